#include "fuzz/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "fuzz/check.h"

namespace vort64::fuzz {

TempDir::TempDir() {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "vort64-fuzz-XXXXXX").string();
  FUZZ_CHECK(!ec);
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  FUZZ_CHECK(!out.fail());
}

std::optional<std::vector<uint8_t>> ReadRegularFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vort64::fuzz
