// Reading and writing the files the file functions name, safely: a file is
// read only as far as it can be valid and only when it is a regular file; a
// file is written only as a regular file reached without following a link,
// and replaced only once its new content is wholly written.
#ifndef VORT64_OPS_FILE_IO_H_
#define VORT64_OPS_FILE_IO_H_

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vort64 {

// The path of a file name as the parser keeps it (UTF-8).
std::filesystem::path PathOfFileName(std::string_view utf8Name);
// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

// What stands where an output file is to go, the last name of the path not
// followed when it is a link (a Windows reparse point).
enum class TargetKind {
  kAbsent,       // nothing: the file will be created
  kRegular,      // a regular file this run may write
  kLink,         // a symbolic link or another reparse point, dangling or not
  kDirectory,    // a directory
  kFifo,         // a named pipe
  kDevice,       // a character or block device
  kOther,        // a socket or anything else that is no regular file
  kUnreachable,  // the path cannot be looked up (no permission, a loop on the way)
  // A regular file this run may not write (its mode, or on Windows its
  // read-only attribute, says so): its owner wants it kept.
  kReadOnly,
  // A regular file with more than one name (a hard link), where it is
  // appended to: the block would reach the file's other names too.
  kHardLinked,
};

// How an output reaches its file.
enum class OutputUse {
  kReplace,  // a new file renamed over the name: a hard link is only unlinked
  kAppend,   // appended to the file: every name of it would change
};

// Looks at `path` without following it and without opening anything there.
TargetKind CheckOutputTarget(const std::filesystem::path& path, OutputUse use = OutputUse::kReplace);

// Whether a file may be written at a path where `kind` stands.
constexpr bool MayWriteOver(TargetKind kind) { return kind == TargetKind::kAbsent || kind == TargetKind::kRegular; }

// The console message for an output refused because of what stands at its
// path, naming the file as the user gave it:
// "file: NAME is a link, not a regular file: nothing was written. \n\n",
// "file: NAME is read-only: nothing was written. \n\n".
std::string RefusedOutputMessage(std::string_view name, TargetKind kind);

// Who may read a file written whole.
enum class FileAccess {
  kShared,     // as the user's file creation mask lets others (0666 & ~umask)
  kOwnerOnly,  // the owner only (0600): the file may hold password bytes
};

enum class WriteOutcome {
  kWritten,
  kNotRegular,   // a link, directory, fifo, device or other file stands at the path: nothing written
  kOpenFailed,   // the file (or its temporary) could not be created, or the target not replaced
  kWriteFailed,  // not every byte reached the file (a full disk), or closing it failed
};

// Writes `bytes` to a temporary file created exclusively under a short
// random name beside `target` and renames it over `target` once all of it was
// written and the file closed without error. On any failure the temporary
// file is removed and `target` stays as it was. A `target` that is not a
// regular file (CheckOutputTarget) is refused and left alone.
// The console message for an output file that was not written, naming it
// as the user gave it: RefusedOutputMessage for what stands at `target`,
// "file: NAME open failed. \n\n" or "file: NAME write failed. \n\n"; empty
// for kWritten.
std::string WriteFailureMessage(std::string_view name, WriteOutcome outcome, const std::filesystem::path& target);

WriteOutcome WriteWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                            FileAccess access = FileAccess::kShared);

// A regular file opened once for appending (created when missing), before
// the work whose record it takes, and written at the end through the same
// open file: what the name stands for cannot change in between. The path is
// not followed when it is a link, and nothing else than a regular file with
// one name that this run may write is opened (nor waited for: a fifo is
// refused at once).
class AppendFile {
 public:
  explicit AppendFile(const std::filesystem::path& target);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Whether the file is open for appending.
  bool open() const { return refusal_ == TargetKind::kRegular && !openFailed_; }
  // When not open: what stood there (kRegular when it could not be opened
  // or created for another reason, see openFailed()).
  TargetKind refusal() const { return refusal_; }
  bool openFailed() const { return openFailed_; }

  // Appends `bytes` in one write and reports whether all of them reached
  // the file and it closed without error; the file is closed after. A write
  // that falls short (a full disk) is taken back, so the file keeps what it
  // held before.
  WriteOutcome Append(std::span<const uint8_t> bytes);

 private:
#if defined(_WIN32)
  void* handle_;
#else
  int fd_ = -1;
#endif
  TargetKind refusal_ = TargetKind::kRegular;
  bool openFailed_ = false;
};

struct ReadOutcome {
  enum class Kind { kRead, kOpenFailed };
  Kind kind = Kind::kOpenFailed;
  std::vector<uint8_t> bytes;  // at most `limit` bytes
  uint64_t size = 0;           // the file's size
};

// Reads at most `limit` bytes of a regular file, taking only as much memory
// as the file holds (a small file costs what it holds, whatever the limit).
// A missing file, a directory, a fifo, a device or a file that cannot be
// opened or read is kOpenFailed; nothing waits for a fifo's writer.
ReadOutcome ReadFileStart(const std::filesystem::path& path, size_t limit);

}  // namespace vort64

#endif  // VORT64_OPS_FILE_IO_H_
