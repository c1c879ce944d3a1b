// Reading and writing the files the file functions name, safely: a file is
// read only as far as it can be valid, and a file is replaced only once its
// new content is wholly written.
#ifndef VORT64_OPS_FILE_IO_H_
#define VORT64_OPS_FILE_IO_H_

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace vort64 {

// The path of a file name as the parser keeps it (UTF-8).
std::filesystem::path PathOfFileName(std::string_view utf8Name);

// Where the new content of `target` is written before it replaces `target`.
std::filesystem::path PartialFileBeside(const std::filesystem::path& target);

// Renames `from` over `target`, replacing it, as one step where the system
// allows it. False when `target` could not be replaced.
bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& target);

enum class WriteOutcome { kWritten, kOpenFailed, kWriteFailed };

// Writes `bytes` to a temporary file beside `target` and renames it over
// `target` once all of it was written and the file closed without error. On
// any failure the temporary file is removed and `target` stays as it was.
WriteOutcome WriteWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes);

// Appends `bytes` to `target` (created when missing) in one write, and
// reports whether all of them reached the file.
WriteOutcome AppendWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes);

struct ReadOutcome {
  enum class Kind { kRead, kOpenFailed };
  Kind kind = Kind::kOpenFailed;
  std::vector<uint8_t> bytes;  // at most `limit` bytes
  uint64_t size = 0;           // the file's size
};

// Reads at most `limit` bytes of a regular file. A missing file, a
// directory or a file that cannot be opened or read is kOpenFailed.
ReadOutcome ReadFileStart(const std::filesystem::path& path, size_t limit);

}  // namespace vort64

#endif  // VORT64_OPS_FILE_IO_H_
