#include "sim/machine_files.h"

#include <limits>

#include "sim/machine_files_platform.h"

namespace vort64::sim {

FileRead ReadFileAtMost(const std::filesystem::path& path, size_t limit) {
  FileRead read = ReadUpTo(path, limit + 1);
  if (read.ok() && read.bytes.size() > limit) return {FileState::kTooLong, {}};
  return read;
}

FileRead ReadFileHead(const std::filesystem::path& path, size_t count) { return ReadUpTo(path, count); }

FileRead ReadFileOfSize(const std::filesystem::path& path, size_t size) {
  return OfSize(ReadUpTo(path, size + 1), size);
}

FileRead OfSize(FileRead read, size_t size) {
  if (read.ok() && read.bytes.size() > size) return {FileState::kTooLong, {}};
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

}  // namespace vort64::sim
