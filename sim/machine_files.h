// Reading and writing the files of a machine directory. Any of them may be
// missing, damaged, huge, a directory or a pipe: a read takes at most what
// can be valid, says what it found, and never throws.
#ifndef VORT64_SIM_MACHINE_FILES_H_
#define VORT64_SIM_MACHINE_FILES_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace vort64::sim {

// What reading a machine file found.
enum class FileState {
  kRead,        // the bytes are there
  kMissing,     // there is no such file
  kUnreadable,  // not a regular file, or reading it failed
  kTooLong,     // it holds more than the file can validly hold
  kTooShort,    // it holds less than the file must hold
};

struct FileRead {
  FileState state = FileState::kMissing;
  std::vector<uint8_t> bytes;  // kRead only

  bool ok() const { return state == FileState::kRead; }
  bool missing() const { return state == FileState::kMissing; }
  // Present, but not in a form the file can validly take.
  bool damaged() const { return !ok() && !missing(); }
};

// Upper bounds of the machine files.
inline constexpr size_t kTextFileLimit = 64;           // a password, the wrong-password counter
inline constexpr size_t kFaultsFileLimit = 64 * 1024;  // the faults file
inline constexpr size_t kEntryPointLimit = 255;        // an entry point's length is one byte
inline constexpr size_t kSmbiosTableLimit = 1 << 20;   // far above any notebook's tables

// A regular file of at most `limit` bytes, whole. Reads no more than
// limit + 1 bytes: kTooLong when there are more.
FileRead ReadFileAtMost(const std::filesystem::path& path, size_t limit);

// The first `count` bytes of a regular file, or all of it when it is shorter;
// what follows is not read.
FileRead ReadFileHead(const std::filesystem::path& path, size_t count);

// A file that must hold exactly `size` bytes (an option block): kTooShort or
// kTooLong otherwise.
FileRead ReadFileOfSize(const std::filesystem::path& path, size_t size);

// The wrong-password counter as the file holds it: decimal digits, a line
// break allowed after them; empty text counts 0. A count above the largest
// int32_t reads as that largest value. Nothing for any other text.
std::optional<int32_t> ParseCount(std::string_view text);

// Writes (replaces) a whole file. False when it could not be written.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// The same for a file only its owner may read and write (a password):
// mode 0600 on POSIX, whatever mode the file had; a link in its place is not
// followed.
bool WritePrivateFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A machine file that the firmware uses at every call (the option blocks,
// last-sent.bin). It stays open from its first use until Close() or the
// object goes, and its path is looked up at every use: when the path names
// another file than the open one, or none, the open one is let go and the
// path is taken as it is now. So each use sees what opening the file anew
// would show, for one stat instead of an open and a close. (On Windows, where
// an open file cannot be removed, each use opens the file anew.)
class MachineFile {
 public:
  explicit MachineFile(std::filesystem::path path);
  ~MachineFile();
  MachineFile(const MachineFile&) = delete;
  MachineFile& operator=(const MachineFile&) = delete;

  // A file that must hold exactly `size` bytes, as ReadFileOfSize reads it;
  // opened for reading and writing where the file allows that.
  FileRead ReadOfSize(size_t size);
  // Replaces the bytes of the file the last ReadOfSize read (the path is not
  // looked up again), as WriteFileBytes does.
  bool Rewrite(const std::vector<uint8_t>& bytes);
  // Replaces the file the path names (creating it), as WriteFileBytes does.
  bool Write(const std::vector<uint8_t>& bytes);
  // Lets the open file go.
  void Close();

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
  bool writable_ = false;
  uint64_t device_ = 0;
  uint64_t inode_ = 0;
  uint64_t size_ = 0;  // as the last use found it
};

// A file that lines are appended to. The file is opened for the first line
// and stays open until Close() or the object goes (on Windows, where an open
// file cannot be removed, it is opened for each line); each line is written
// at once, in one piece. A line that cannot be written is dropped.
class AppendFile {
 public:
  explicit AppendFile(std::filesystem::path path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  void Append(std::string_view line);
  void Close();

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
};

// A lock that processes take in turn on a file of the machine directory
// (created when missing, never through a link): flock on POSIX, LockFileEx on
// Windows. The file stays open from the first use until the object goes (on
// Windows, where an open file cannot be removed, from each lock to its unlock).
class FileLock {
 public:
  enum class Outcome {
    kHeld,     // this object holds it
    kBusy,     // another holds it (TryLock only)
    kNoPlace,  // the directory is not there
    kFailed,   // the file cannot be made or locked
  };

  explicit FileLock(std::filesystem::path path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock when no one holds it, without waiting.
  Outcome TryLock();
  // Takes the lock, waiting as long as another holds it.
  Outcome Lock();
  void Unlock();

 private:
  Outcome Take(bool wait);

  std::filesystem::path path_;
  intptr_t handle_ = -1;  // a file descriptor, or a Windows file handle
  bool held_ = false;
};

}  // namespace vort64::sim

#endif  // VORT64_SIM_MACHINE_FILES_H_
