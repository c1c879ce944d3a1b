#include "sim/machine_files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <system_error>

namespace vort64::sim {
namespace {

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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace vort64::sim
