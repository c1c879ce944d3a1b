#include "ops/file_io.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "base/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vort64 {
namespace {

// How often a new temporary name is drawn when the one drawn is taken.
constexpr int kTemporaryNameTries = 16;

// A short name no other file beside `target` is likely to have:
// ".vort64-" and eight random hexadecimal digits. It is created exclusively,
// so a name someone planted is never written through.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target, std::random_device& random) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string name = ".vort64-";
  const uint32_t bits = random();
  for (int shift = 28; shift >= 0; shift -= 4) name += kDigits[(bits >> shift) & 0xFu];
  return target.parent_path() / name;
}

// Whether `kind` is something else than a regular file.
bool NotAFile(TargetKind kind) {
  switch (kind) {
    case TargetKind::kLink:
    case TargetKind::kDirectory:
    case TargetKind::kFifo:
    case TargetKind::kDevice:
    case TargetKind::kOther: return true;
    case TargetKind::kAbsent:
    case TargetKind::kRegular:
    case TargetKind::kUnreachable:
    case TargetKind::kReadOnly:
    case TargetKind::kHardLinked: break;
  }
  return false;
}

// The room a read of a file of `size` bytes starts with: the file and one
// byte more (which shows it ended), never more than `limit`.
size_t FirstRoom(uint64_t size, size_t limit) { return static_cast<size_t>(std::min<uint64_t>(size + 1, limit)); }

// The room after `room` was filled by a file that grew while it was read.
size_t MoreRoom(size_t room, size_t limit) { return std::min(limit, std::max<size_t>(room * 2, 4096)); }

const char* Describe(TargetKind kind) {
  switch (kind) {
    case TargetKind::kLink: return " is a link";
    case TargetKind::kDirectory: return " is a directory";
    case TargetKind::kFifo: return " is a fifo";
    case TargetKind::kDevice: return " is a device";
    case TargetKind::kOther: return " is a special file";
    case TargetKind::kUnreachable: return " cannot be looked up";
    case TargetKind::kReadOnly: return " is read-only";
    case TargetKind::kHardLinked: return " has more than one name (a hard link)";
    case TargetKind::kAbsent:
    case TargetKind::kRegular: break;
  }
  // Refused a moment ago, a file may be what stands there now.
  return " changed while it was written";
}

#if defined(_WIN32)

// An open handle, closed when it goes out of scope unless closed before.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  // False when closing reports an error.
  bool Close() {
    const bool closed = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE h_;
};

// What an open handle is: a regular file, or which other kind; for an
// output, also whether a regular file may be written as `output` writes it.
TargetKind KindOfHandle(HANDLE h, std::optional<OutputUse> output = std::nullopt) {
  const DWORD type = GetFileType(h);
  if (type == FILE_TYPE_PIPE) return TargetKind::kFifo;
  if (type == FILE_TYPE_CHAR) return TargetKind::kDevice;
  if (type != FILE_TYPE_DISK) return TargetKind::kOther;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return TargetKind::kUnreachable;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return TargetKind::kLink;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return TargetKind::kDirectory;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return TargetKind::kDevice;
  if (output) {
    if (*output == OutputUse::kAppend && info.nNumberOfLinks > 1) return TargetKind::kHardLinked;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return TargetKind::kReadOnly;
  }
  return TargetKind::kRegular;
}

bool WriteAll(HANDLE h, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(h, bytes.data() + done, want, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

#else

// An open file descriptor, closed when it goes out of scope unless closed before.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // False when closing reports an error (a write that failed late).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

TargetKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return TargetKind::kRegular;
  if (S_ISLNK(mode)) return TargetKind::kLink;
  if (S_ISDIR(mode)) return TargetKind::kDirectory;
  if (S_ISFIFO(mode)) return TargetKind::kFifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return TargetKind::kDevice;
  return TargetKind::kOther;
}

// Writes all of `bytes`: false when a write fails or stops short.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// The flags every output is opened with: no link followed, no wait for a
// fifo's reader, no controlling terminal taken, not inherited.
constexpr int kOutputFlags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Whether this run may write the regular file at `path`, as its mode and
// its file system say for the run's user (root may write any mode).
bool WritableByThisRun(const std::filesystem::path& path) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
  return errno != EACCES && errno != EPERM && errno != EROFS;
}

#endif

}  // namespace

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathOfFileName(std::string_view utf8Name) {
  return std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
}

std::string RefusedOutputMessage(std::string_view name, TargetKind kind) {
  std::string text = "file: ";
  text += Printable(name);
  text += Describe(kind);
  text += NotAFile(kind) ? ", not a regular file: nothing was written. \n\n" : ": nothing was written. \n\n";
  return text;
}

std::string WriteFailureMessage(std::string_view name, WriteOutcome outcome, const std::filesystem::path& target) {
  switch (outcome) {
    case WriteOutcome::kWritten: break;
    case WriteOutcome::kNotRegular: return RefusedOutputMessage(name, CheckOutputTarget(target));
    case WriteOutcome::kOpenFailed: return "file: " + Printable(name) + " open failed. \n\n";
    case WriteOutcome::kWriteFailed: return "file: " + Printable(name) + " write failed. \n\n";
  }
  return "";
}

#if defined(_WIN32)

TargetKind CheckOutputTarget(const std::filesystem::path& path, OutputUse use) {
  // Opened for no access at all, the reparse point itself rather than what
  // it names, a directory too: nothing is read, written or waited for.
  const Handle h(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TargetKind::kAbsent;
    // A pipe with no free instance cannot be opened at all.
    if (error == ERROR_PIPE_BUSY) return TargetKind::kFifo;
    return TargetKind::kUnreachable;
  }
  return KindOfHandle(h.get(), use);
}

WriteOutcome WriteWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes, FileAccess) {
  if (!MayWriteOver(CheckOutputTarget(target))) return WriteOutcome::kNotRegular;
  std::random_device random;
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::filesystem::path temp = TemporaryBeside(target, random);
    Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return WriteOutcome::kOpenFailed;
    }
    const bool written = WriteAll(file.get(), bytes);
    const bool closed = file.Close();
    if (!written || !closed) {
      DeleteFileW(temp.c_str());
      return WriteOutcome::kWriteFailed;
    }
    // Whatever stands at the target now is looked at once more: a link put
    // there in the meantime is refused rather than replaced.
    const TargetKind now = CheckOutputTarget(target);
    if (!MayWriteOver(now)) {
      DeleteFileW(temp.c_str());
      return WriteOutcome::kNotRegular;
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DeleteFileW(temp.c_str());
      return WriteOutcome::kOpenFailed;
    }
    return WriteOutcome::kWritten;
  }
  return WriteOutcome::kOpenFailed;
}

AppendFile::AppendFile(const std::filesystem::path& target) : handle_(INVALID_HANDLE_VALUE) {
  refusal_ = CheckOutputTarget(target, OutputUse::kAppend);
  if (!MayWriteOver(refusal_)) return;
  const bool existed = refusal_ == TargetKind::kRegular;
  refusal_ = TargetKind::kRegular;
  const HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A file this run may not write, made read-only since it was looked at.
    if (existed && GetLastError() == ERROR_ACCESS_DENIED) {
      refusal_ = TargetKind::kReadOnly;
    } else {
      openFailed_ = true;
    }
    return;
  }
  handle_ = h;
  const TargetKind kind = KindOfHandle(h, OutputUse::kAppend);
  if (kind != TargetKind::kRegular) {
    refusal_ = kind;
    CloseHandle(h);
    handle_ = INVALID_HANDLE_VALUE;
  }
}

AppendFile::~AppendFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

WriteOutcome AppendFile::Append(std::span<const uint8_t> bytes) {
  if (!open()) return openFailed_ ? WriteOutcome::kOpenFailed : WriteOutcome::kNotRegular;
  Handle file(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  refusal_ = TargetKind::kUnreachable;  // closed: nothing more goes through it
  LARGE_INTEGER before{};
  const LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file.get(), zero, &before, FILE_END)) return WriteOutcome::kWriteFailed;
  if (!WriteAll(file.get(), bytes)) {
    // What reached the file is taken back: it keeps what it held.
    if (SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
    return WriteOutcome::kWriteFailed;
  }
  return file.Close() ? WriteOutcome::kWritten : WriteOutcome::kWriteFailed;
}

ReadOutcome ReadFileStart(const std::filesystem::path& path, size_t limit) {
  ReadOutcome result;
  const Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || KindOfHandle(file.get()) != TargetKind::kRegular) return result;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return result;
  result.bytes.resize(FirstRoom(static_cast<uint64_t>(size.QuadPart), limit));
  size_t got = 0;
  while (got < limit) {
    if (got == result.bytes.size()) result.bytes.resize(MoreRoom(got, limit));
    const DWORD want = static_cast<DWORD>(std::min<size_t>(result.bytes.size() - got, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(file.get(), result.bytes.data() + got, want, &read, nullptr)) return {};
    if (read == 0) break;
    got += read;
  }
  result.bytes.resize(got);
  result.size = static_cast<uint64_t>(size.QuadPart);
  result.kind = ReadOutcome::Kind::kRead;
  return result;
}

#else

TargetKind CheckOutputTarget(const std::filesystem::path& path, OutputUse use) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? TargetKind::kAbsent : TargetKind::kUnreachable;
  const TargetKind kind = KindOfMode(st.st_mode);
  if (kind != TargetKind::kRegular) return kind;
  if (use == OutputUse::kAppend && st.st_nlink > 1) return TargetKind::kHardLinked;
  return WritableByThisRun(path) ? TargetKind::kRegular : TargetKind::kReadOnly;
}

WriteOutcome WriteWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes, FileAccess access) {
  if (!MayWriteOver(CheckOutputTarget(target))) return WriteOutcome::kNotRegular;
  const mode_t mode = access == FileAccess::kOwnerOnly ? 0600 : 0666;
  std::random_device random;
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::filesystem::path temp = TemporaryBeside(target, random);
    Descriptor file(::open(temp.c_str(), kOutputFlags | O_CREAT | O_EXCL, mode));
    if (file.get() < 0) {
      if (errno == EEXIST) continue;
      return WriteOutcome::kOpenFailed;
    }
    const bool written = WriteAll(file.get(), bytes);
    const bool closed = file.Close();
    if (!written || !closed) {
      ::unlink(temp.c_str());
      return WriteOutcome::kWriteFailed;
    }
    // Whatever stands at the target now is looked at once more: a link put
    // there in the meantime is refused rather than replaced.
    if (!MayWriteOver(CheckOutputTarget(target))) {
      ::unlink(temp.c_str());
      return WriteOutcome::kNotRegular;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
      ::unlink(temp.c_str());
      return WriteOutcome::kOpenFailed;
    }
    return WriteOutcome::kWritten;
  }
  return WriteOutcome::kOpenFailed;
}

AppendFile::AppendFile(const std::filesystem::path& target) {
  // Looked at before it is opened, so that no device is even opened.
  refusal_ = CheckOutputTarget(target, OutputUse::kAppend);
  if (!MayWriteOver(refusal_)) return;
  const bool existed = refusal_ == TargetKind::kRegular;
  refusal_ = TargetKind::kRegular;
  fd_ = ::open(target.c_str(), kOutputFlags | O_APPEND | O_CREAT, 0666);
  if (fd_ < 0) {
    // A link (ELOOP), a directory (EISDIR) or a fifo without a reader (ENXIO)
    // put there since it was looked at, or a file made read-only meanwhile.
    switch (errno) {
      case ELOOP: refusal_ = TargetKind::kLink; break;
      case EISDIR: refusal_ = TargetKind::kDirectory; break;
      case ENXIO: refusal_ = TargetKind::kFifo; break;
      case EACCES:
      case EPERM:
      case EROFS:
        if (existed) {
          refusal_ = TargetKind::kReadOnly;
          break;
        }
        [[fallthrough]];
      default: openFailed_ = true; break;
    }
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    openFailed_ = true;
  } else if (!S_ISREG(st.st_mode)) {
    refusal_ = KindOfMode(st.st_mode);
  } else if (st.st_nlink > 1) {
    refusal_ = TargetKind::kHardLinked;
  } else {
    return;
  }
  ::close(fd_);
  fd_ = -1;
}

AppendFile::~AppendFile() {
  if (fd_ >= 0) ::close(fd_);
}

WriteOutcome AppendFile::Append(std::span<const uint8_t> bytes) {
  if (!open()) return openFailed_ ? WriteOutcome::kOpenFailed : WriteOutcome::kNotRegular;
  Descriptor file(fd_);
  fd_ = -1;
  refusal_ = TargetKind::kUnreachable;  // closed: nothing more goes through it
  struct stat before {};
  if (::fstat(file.get(), &before) != 0) return WriteOutcome::kWriteFailed;
  if (!WriteAll(file.get(), bytes)) {
    // What reached the file is taken back, unless someone else appended
    // meanwhile: the file keeps what it held.
    struct stat after {};
    if (::fstat(file.get(), &after) == 0 && after.st_size >= before.st_size) {
      const off_t mine = after.st_size - before.st_size;
      if (mine >= 0 && static_cast<uintmax_t>(mine) <= bytes.size()) {
        [[maybe_unused]] const int cut = ::ftruncate(file.get(), before.st_size);
      }
    }
    return WriteOutcome::kWriteFailed;
  }
  return file.Close() ? WriteOutcome::kWritten : WriteOutcome::kWriteFailed;
}

ReadOutcome ReadFileStart(const std::filesystem::path& path, size_t limit) {
  ReadOutcome result;
  // Not blocking: a fifo opens at once and is refused below.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return result;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return result;
  result.bytes.resize(FirstRoom(static_cast<uint64_t>(st.st_size), limit));
  size_t got = 0;
  while (got < limit) {
    if (got == result.bytes.size()) result.bytes.resize(MoreRoom(got, limit));
    const ssize_t n = ::read(file.get(), result.bytes.data() + got, result.bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {};
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  result.bytes.resize(got);
  result.size = static_cast<uint64_t>(st.st_size);
  result.kind = ReadOutcome::Kind::kRead;
  return result;
}

#endif

}  // namespace vort64
