#include "sim/machine_files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#endif

namespace vort64::sim {
namespace {

#if !defined(_WIN32)
// An open file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Closes it now: false when closing reports an error (a write that failed late).
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};
#endif

// Up to `count` bytes from the start of a regular file.
FileRead ReadUpTo(const std::filesystem::path& path, size_t count) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return {FileState::kMissing, {}};
  // Only a regular file is read: a directory cannot be, and a pipe or a
  // device may never end.
  if (ec || status.type() != std::filesystem::file_type::regular) return {FileState::kUnreadable, {}};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {FileState::kUnreadable, {}};

  FileRead read{FileState::kRead, {}};
  std::array<char, 4096> chunk;
  while (read.bytes.size() < count) {
    const size_t want = std::min(chunk.size(), count - read.bytes.size());
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    const auto got = static_cast<size_t>(in.gcount());
    read.bytes.insert(read.bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < want) break;
  }
  if (in.bad()) return {FileState::kUnreadable, {}};
  return read;
}

}  // namespace

FileRead ReadFileAtMost(const std::filesystem::path& path, size_t limit) {
  FileRead read = ReadUpTo(path, limit + 1);
  if (read.ok() && read.bytes.size() > limit) return {FileState::kTooLong, {}};
  return read;
}

FileRead ReadFileHead(const std::filesystem::path& path, size_t count) { return ReadUpTo(path, count); }

FileRead ReadFileOfSize(const std::filesystem::path& path, size_t size) {
  FileRead read = ReadFileAtMost(path, size);
  if (read.ok() && read.bytes.size() < size) return {FileState::kTooShort, {}};
  return read;
}

std::optional<int32_t> ParseCount(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  int32_t count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const int32_t digit = c - '0';
    count = count > (kMax - digit) / 10 ? kMax : count * 10 + digit;
  }
  return count;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
#if defined(_WIN32)
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
#else
  // The bytes go over the old ones and the file is then cut to their length;
  // it is not emptied first: ext4 writes a file emptied on opening and
  // written again to the disk when it is closed, which made every stored
  // block wait for the disk.
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (file.get() < 0) return false;
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return false;
  const auto length = static_cast<off_t>(bytes.size());
  if (S_ISREG(status.st_mode) && status.st_size > length && ::ftruncate(file.get(), length) != 0) return false;
  return file.Close();
#endif
}

}  // namespace vort64::sim
