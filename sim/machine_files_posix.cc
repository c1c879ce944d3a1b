// Machine files over POSIX file descriptors: a file is looked up before it
// is opened, read in as few reads as its size allows, and never emptied on
// opening and written again (ext4 makes the close of such a file wait for
// the disk): new bytes go over the old ones and the file is cut to length.
#include <fcntl.h>
#include <sys/file.h>
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

// What the machine files need to know of a file.
struct Facts {
  bool regular = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  size_t size = 0;
};

// Looks at a file (`path` relative to `dir`, or with AT_EMPTY_PATH the open
// file `dir` itself) without asking for its times: a file whose times were
// asked for gets fine-grained times at its next write, which costs the file
// system an inode update at every write of a file looked at before each one.
bool LookAt(int dir, const char* path, int flags, Facts& facts) {
  struct statx x {};
  if (::statx(dir, path, flags, STATX_TYPE | STATX_INO | STATX_SIZE, &x) != 0) return false;
  facts.regular = S_ISREG(x.stx_mode);
  facts.device = (uint64_t{x.stx_dev_major} << 32) | x.stx_dev_minor;
  facts.inode = x.stx_ino;
  facts.size = static_cast<size_t>(x.stx_size);
  return true;
}

bool LookUp(const std::filesystem::path& path, Facts& facts) { return LookAt(AT_FDCWD, path.c_str(), 0, facts); }

bool LookAtOpen(int fd, Facts& facts) { return LookAt(fd, "", AT_EMPTY_PATH, facts); }

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
  Facts facts;
  if (!LookAtOpen(fd, facts)) return false;
  if (!facts.regular) return WriteAll(fd, bytes.data(), bytes.size());
  return WriteFromStart(fd, bytes, facts.size);
}

}  // namespace

FileRead ReadUpTo(const std::filesystem::path& path, size_t count) {
  Facts facts;
  if (!LookUp(path, facts)) return {LookUpFailure(), {}};
  // Only a regular file is read: a directory cannot be, and a pipe or a
  // device may never end (nor block the opening, should one take its place).
  if (!facts.regular) return {FileState::kUnreadable, {}};
  const Descriptor file(::open(path.c_str(), O_RDONLY | kOpenFlags));
  if (file.get() < 0) return {FileState::kUnreadable, {}};
  return ReadFromStart(file.get(), count, facts.size);
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  // A machine's files are its owner's alone, as a firmware keeps them: its
  // passwords and the passwords each call sent (calls.log) among them.
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  return file.get() >= 0 && ::fchmod(file.get(), 0600) == 0 && WriteWhole(file.get(), bytes) && file.Close();
}

bool WritePrivateFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  return file.get() >= 0 && ::fchmod(file.get(), 0600) == 0 && WriteWhole(file.get(), bytes) && file.Close();
}

MachineFile::MachineFile(std::filesystem::path path) : path_(std::move(path)) {}

MachineFile::~MachineFile() { Close(); }

void MachineFile::Close() {
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

FileRead MachineFile::ReadOfSize(size_t size) {
  Facts facts;
  if (!LookUp(path_, facts)) {
    const FileState state = LookUpFailure();
    Close();
    return {state, {}};
  }
  const bool same = descriptor_ >= 0 && facts.device == device_ && facts.inode == inode_;
  if (!same) Close();
  if (!facts.regular) return {FileState::kUnreadable, {}};
  if (!same) {
    int fd = ::open(path_.c_str(), O_RDWR | kOpenFlags);
    writable_ = fd >= 0;
    if (!writable_) fd = ::open(path_.c_str(), O_RDONLY | kOpenFlags);
    Descriptor file(fd);
    // What was opened is what is kept: a file put in the path's place after
    // the lookup is looked at once more.
    if (file.get() < 0 || !LookAtOpen(file.get(), facts) || !facts.regular) return {FileState::kUnreadable, {}};
    device_ = facts.device;
    inode_ = facts.inode;
    descriptor_ = file.Release();
  }
  size_ = facts.size;
  return OfSize(ReadFromStart(descriptor_, size + 1, facts.size), size);
}

bool MachineFile::Rewrite(const std::vector<uint8_t>& bytes) {
  if (descriptor_ < 0 || !writable_) return WriteFileBytes(path_, bytes);
  if (!WriteFromStart(descriptor_, bytes, size_)) return false;
  size_ = bytes.size();
  return true;
}

bool MachineFile::Write(const std::vector<uint8_t>& bytes) {
  Facts facts;
  const bool found = LookUp(path_, facts);
  if (!(found && descriptor_ >= 0 && writable_ && facts.device == device_ && facts.inode == inode_)) {
    Close();
    // Anything but a regular file (or none) is written as WriteFileBytes does.
    if (found && !facts.regular) return WriteFileBytes(path_, bytes);
    Descriptor file(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (file.get() < 0) return WriteFileBytes(path_, bytes);
    if (!LookAtOpen(file.get(), facts) || !facts.regular) return WriteWhole(file.get(), bytes);
    device_ = facts.device;
    inode_ = facts.inode;
    writable_ = true;
    descriptor_ = file.Release();
  }
  if (!WriteFromStart(descriptor_, bytes, facts.size)) return false;
  size_ = bytes.size();
  return true;
}

AppendFile::AppendFile(std::filesystem::path path) : path_(std::move(path)) {}

AppendFile::~AppendFile() { Close(); }

void AppendFile::Append(std::string_view line) {
  if (descriptor_ < 0) descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (descriptor_ >= 0) WriteAll(descriptor_, line.data(), line.size());
}

void AppendFile::Close() {
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

FileLock::FileLock(std::filesystem::path path) : path_(std::move(path)) {}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

FileLock::Outcome FileLock::TryLock() { return Take(false); }

FileLock::Outcome FileLock::Lock() { return Take(true); }

FileLock::Outcome FileLock::Take(bool wait) {
  if (handle_ < 0) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | kOpenFlags, 0600);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Outcome::kNoPlace : Outcome::kFailed;
    handle_ = fd;
  }
  while (::flock(static_cast<int>(handle_), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Outcome::kBusy : Outcome::kFailed;
  }
  held_ = true;
  return Outcome::kHeld;
}

void FileLock::Unlock() {
  if (held_) ::flock(static_cast<int>(handle_), LOCK_UN);
  held_ = false;
}

}  // namespace vort64::sim
