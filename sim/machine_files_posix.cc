// Machine files over POSIX file descriptors: a file is looked up before it
// is opened, read in as few reads as its size allows, and never emptied on
// opening and written again (ext4 makes the close of such a file wait for
// the disk): new bytes go over the old ones and the file is cut to length.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "sim/machine_files.h"
#include "sim/machine_files_platform.h"

namespace vort64::sim {
namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// An open file descriptor, closed when it goes out of scope unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  // Closes it now: false when closing reports an error (a write that failed late).
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// What looking a path up found: as std::filesystem::status has it, a
// missing file or directory on the way is not found, anything else that
// fails (a link loop, no permission) is damage.
FileState LookUpFailure() { return errno == ENOENT || errno == ENOTDIR ? FileState::kMissing : FileState::kUnreadable; }

// Up to `count` bytes from the start of the open regular file `fd` that
// held `size` bytes when it was looked up.
FileRead ReadFromStart(int fd, size_t count, size_t size) {
  FileRead read{FileState::kRead, {}};
  // One read asks for a byte more than the file holds: when it answers
  // less, and that reaches the size the file had, that is its end (a file
  // that says it is empty is read until a read answers nothing).
  constexpr size_t kChunk = 4096;
  while (read.bytes.size() < count) {
    const size_t at = read.bytes.size();
    const size_t want = std::min(count - at, std::max(kChunk, size + 1 - std::min(size, at)));
    read.bytes.resize(at + want);
    const ssize_t got = ::pread(fd, read.bytes.data() + at, want, static_cast<off_t>(at));
    read.bytes.resize(at + static_cast<size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {FileState::kUnreadable, {}};
    if (got == 0 || (static_cast<size_t>(got) < want && size > 0 && read.bytes.size() >= size)) break;
  }
  return read;
}

// Writes all of `size` bytes at the file position (a pipe or a device).
bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = ::write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// Writes `bytes` over the start of the open regular file `fd`, which held
// `size` bytes, and cuts it to their length when it was longer.
bool WriteFromStart(int fd, const std::vector<uint8_t>& bytes, size_t size) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return size <= bytes.size() || ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// Writes `bytes` as the whole content of the open file `fd`.
bool WriteWhole(int fd, const std::vector<uint8_t>& bytes) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  if (!S_ISREG(status.st_mode)) return WriteAll(fd, bytes.data(), bytes.size());
  return WriteFromStart(fd, bytes, static_cast<size_t>(status.st_size));
}

}  // namespace

FileRead ReadUpTo(const std::filesystem::path& path, size_t count) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {LookUpFailure(), {}};
  // Only a regular file is read: a directory cannot be, and a pipe or a
  // device may never end (nor block the opening, should one take its place).
  if (!S_ISREG(status.st_mode)) return {FileState::kUnreadable, {}};
  const Descriptor file(::open(path.c_str(), O_RDONLY | kOpenFlags));
  if (file.get() < 0) return {FileState::kUnreadable, {}};
  return ReadFromStart(file.get(), count, static_cast<size_t>(status.st_size));
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  return file.get() >= 0 && WriteWhole(file.get(), bytes) && file.Close();
}

MachineFile::MachineFile(std::filesystem::path path) : path_(std::move(path)) {}

MachineFile::~MachineFile() { Close(); }

void MachineFile::Close() {
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

FileRead MachineFile::ReadOfSize(size_t size) {
  struct stat status {};
  if (::stat(path_.c_str(), &status) != 0) {
    const FileState state = LookUpFailure();
    Close();
    return {state, {}};
  }
  const bool same = descriptor_ >= 0 && status.st_dev == device_ && status.st_ino == inode_;
  if (!same) Close();
  if (!S_ISREG(status.st_mode)) return {FileState::kUnreadable, {}};
  if (!same) {
    int fd = ::open(path_.c_str(), O_RDWR | kOpenFlags);
    writable_ = fd >= 0;
    if (!writable_) fd = ::open(path_.c_str(), O_RDONLY | kOpenFlags);
    Descriptor file(fd);
    // What was opened is what is kept: a file put in the path's place after
    // the lookup is looked at once more.
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) return {FileState::kUnreadable, {}};
    if (!S_ISREG(status.st_mode)) return {FileState::kUnreadable, {}};
    device_ = status.st_dev;
    inode_ = status.st_ino;
    descriptor_ = file.Release();
  }
  size_ = static_cast<size_t>(status.st_size);
  return OfSize(ReadFromStart(descriptor_, size + 1, size_), size);
}

bool MachineFile::Rewrite(const std::vector<uint8_t>& bytes) {
  if (descriptor_ < 0 || !writable_) return WriteFileBytes(path_, bytes);
  if (!WriteFromStart(descriptor_, bytes, size_)) return false;
  size_ = bytes.size();
  return true;
}

bool MachineFile::Write(const std::vector<uint8_t>& bytes) {
  struct stat status {};
  const bool found = ::stat(path_.c_str(), &status) == 0;
  if (!(found && descriptor_ >= 0 && writable_ && status.st_dev == device_ && status.st_ino == inode_)) {
    Close();
    // Anything but a regular file (or none) is written as WriteFileBytes does.
    if (found && !S_ISREG(status.st_mode)) return WriteFileBytes(path_, bytes);
    Descriptor file(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (file.get() < 0) return WriteFileBytes(path_, bytes);
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return WriteWhole(file.get(), bytes);
    device_ = status.st_dev;
    inode_ = status.st_ino;
    writable_ = true;
    descriptor_ = file.Release();
  }
  if (!WriteFromStart(descriptor_, bytes, static_cast<size_t>(status.st_size))) return false;
  size_ = bytes.size();
  return true;
}

AppendFile::AppendFile(std::filesystem::path path) : path_(std::move(path)) {}

AppendFile::~AppendFile() { Close(); }

void AppendFile::Append(std::string_view line) {
  if (descriptor_ < 0) descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (descriptor_ >= 0) WriteAll(descriptor_, line.data(), line.size());
}

void AppendFile::Close() {
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

}  // namespace vort64::sim
