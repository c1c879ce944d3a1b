// Test helpers of the XML tests: a scratch directory per test and whole-file
// reading and writing.
#ifndef VORT64_OPS_XML_XML_TEST_UTIL_H_
#define VORT64_OPS_XML_XML_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vort64::xml_test {

// An empty directory of its own for the running test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir()
      : path_(std::filesystem::path(::testing::TempDir()) /
              ("vort64-xml-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vort64::xml_test

#endif  // VORT64_OPS_XML_XML_TEST_UTIL_H_
