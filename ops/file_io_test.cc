#include "ops/file_io.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vort64 {
namespace {

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-file-io-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(FileIoTest, ReplaceWritesWholeFilesAndLeavesNoPartOnFailure) {
  const std::vector<uint8_t> bytes(2048, 5);
  EXPECT_EQ(WriteWholeFile(dir_ / "a.bin", bytes), WriteOutcome::kWritten);
  EXPECT_EQ(WriteWholeFile(dir_ / "a.bin", std::vector<uint8_t>(3, 1)), WriteOutcome::kWritten);
  EXPECT_EQ(std::filesystem::file_size(dir_ / "a.bin"), 3u);

  // A folder of that name is not replaced, and nothing is left beside it.
  std::filesystem::create_directory(dir_ / "folder.bin");
  EXPECT_EQ(WriteWholeFile(dir_ / "folder.bin", bytes), WriteOutcome::kOpenFailed);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder.bin"));
  EXPECT_EQ(WriteWholeFile(dir_ / "missing" / "a.bin", bytes), WriteOutcome::kOpenFailed);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST_F(FileIoTest, ReadTakesAtMostTheLimitAndRefusesWhatIsNoFile) {
  std::ofstream(dir_ / "big.bin", std::ios::binary) << std::string(5000, 'x');
  const ReadOutcome big = ReadFileStart(dir_ / "big.bin", 2049);
  EXPECT_EQ(big.kind, ReadOutcome::Kind::kRead);
  EXPECT_EQ(big.bytes.size(), 2049u);
  EXPECT_EQ(big.size, 5000u);
  std::ofstream(dir_ / "empty.bin", std::ios::binary);
  const ReadOutcome empty = ReadFileStart(dir_ / "empty.bin", 2049);
  EXPECT_EQ(empty.kind, ReadOutcome::Kind::kRead);
  EXPECT_TRUE(empty.bytes.empty());
  EXPECT_EQ(ReadFileStart(dir_, 2049).kind, ReadOutcome::Kind::kOpenFailed);
  EXPECT_EQ(ReadFileStart(dir_ / "none.bin", 2049).kind, ReadOutcome::Kind::kOpenFailed);
}

}  // namespace
}  // namespace vort64
