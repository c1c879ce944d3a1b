#include "ops/file_io.h"

#include <fstream>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vort64 {

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& target) {
#if defined(_WIN32)
  return MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  std::error_code ec;
  std::filesystem::rename(from, target, ec);
  return !ec;
#endif
}

std::filesystem::path PartialFileBeside(const std::filesystem::path& target) {
  std::filesystem::path partial = target;
  partial += ".vort64-partial";
  return partial;
}

std::filesystem::path PathOfFileName(std::string_view utf8Name) {
  return std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
}

WriteOutcome WriteWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
  const std::filesystem::path temp = PartialFileBeside(target);
  std::error_code ec;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return WriteOutcome::kOpenFailed;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return WriteOutcome::kWriteFailed;
    }
  }
  if (!RenameOver(temp, target)) {
    std::filesystem::remove(temp, ec);
    return WriteOutcome::kOpenFailed;
  }
  return WriteOutcome::kWritten;
}

WriteOutcome AppendWholeFile(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
  std::ofstream out(target, std::ios::binary | std::ios::app);
  if (!out.is_open()) return WriteOutcome::kOpenFailed;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? WriteOutcome::kWritten : WriteOutcome::kWriteFailed;
}

ReadOutcome ReadFileStart(const std::filesystem::path& path, size_t limit) {
  ReadOutcome result;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || ec) return result;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return result;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return result;
  result.bytes.resize(limit);
  in.read(reinterpret_cast<char*>(result.bytes.data()), static_cast<std::streamsize>(limit));
  if (in.bad()) return {};
  result.bytes.resize(static_cast<size_t>(in.gcount()));
  result.size = size;
  result.kind = ReadOutcome::Kind::kRead;
  return result;
}

}  // namespace vort64
