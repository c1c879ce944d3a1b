// A fresh directory for one fuzzer input, removed with everything in it when
// the input is done; and the files a harness puts into it.
#ifndef VORT64_FUZZ_TEMP_DIR_H_
#define VORT64_FUZZ_TEMP_DIR_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace vort64::fuzz {

class TempDir {
 public:
  // A new directory below the system's temporary directory; aborts when it
  // cannot be made (a harness without its directory tests nothing).
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes (replaces) a file; aborts when it cannot.
void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// The whole content of a regular file; nothing when there is none.
std::optional<std::vector<uint8_t>> ReadRegularFile(const std::filesystem::path& path);

}  // namespace vort64::fuzz

#endif  // VORT64_FUZZ_TEMP_DIR_H_
