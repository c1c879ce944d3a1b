#include "sim/machine_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>

namespace vort64::sim {
namespace {

class MachineFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path File(const std::string& name, size_t size) const {
    const auto path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(i & 0xFF));
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(MachineFilesTest, ReadsAtMostWhatCanBeValid) {
  std::filesystem::create_directory(dir_ / "directory");
  // A sparse file far beyond every limit: only the first bytes are read, so
  // the answer comes at once and costs no memory.
  const auto huge = dir_ / "huge";
  std::ofstream(huge, std::ios::binary).put('x');
  std::filesystem::resize_file(huge, uint64_t{1} << 32);

  const struct {
    const char* what;
    std::filesystem::path path;
    size_t limit;
    FileState state;
    size_t size;
  } cases[] = {
      {"missing", dir_ / "none", 8, FileState::kMissing, 0},
      {"inside a missing directory", dir_ / "none" / "file", 8, FileState::kMissing, 0},
      {"a directory", dir_ / "directory", 8, FileState::kUnreadable, 0},
      {"empty", File("empty", 0), 8, FileState::kRead, 0},
      {"at the limit", File("eight", 8), 8, FileState::kRead, 8},
      {"one byte over", File("nine", 9), 8, FileState::kTooLong, 0},
      {"4 GiB", huge, 2048, FileState::kTooLong, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const FileRead read = ReadFileAtMost(c.path, c.limit);
    EXPECT_EQ(read.state, c.state);
    EXPECT_EQ(read.bytes.size(), c.size);
  }
  const FileRead eight = ReadFileAtMost(dir_ / "eight", 8);
  EXPECT_EQ(eight.bytes, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(MachineFilesTest, AnOptionBlockFileHoldsExactlyOneBlock) {
  const struct {
    size_t size;
    FileState state;
  } cases[] = {
      {0, FileState::kTooShort}, {2047, FileState::kTooShort}, {2048, FileState::kRead}, {2049, FileState::kTooLong}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const FileRead read = ReadFileOfSize(File("block", c.size), 2048);
    EXPECT_EQ(read.state, c.state);
    EXPECT_EQ(read.damaged(), c.state != FileState::kRead);
    EXPECT_EQ(read.bytes.size(), read.ok() ? 2048u : 0u);
  }
}

TEST_F(MachineFilesTest, HeadReadStopsAtTheCount) {
  const auto path = File("table", 100);
  EXPECT_EQ(ReadFileHead(path, 10).bytes, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(ReadFileHead(path, 1000).bytes.size(), 100u);
  EXPECT_EQ(ReadFileHead(dir_, 10).state, FileState::kUnreadable);
}

TEST_F(MachineFilesTest, AWriteReplacesTheWholeFile) {
  const auto path = dir_ / "written";
  ASSERT_TRUE(WriteFileBytes(path, {1, 2, 3, 4, 5}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  // Shorter and longer contents leave exactly the bytes written.
  ASSERT_TRUE(WriteFileBytes(path, {9, 8}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{9, 8}));
  ASSERT_TRUE(WriteFileBytes(path, {7, 7, 7}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{7, 7, 7}));
  ASSERT_TRUE(WriteFileBytes(path, {}));
  EXPECT_EQ(ReadFileAtMost(path, 64).state, FileState::kRead);
  EXPECT_TRUE(ReadFileAtMost(path, 64).bytes.empty());

  std::filesystem::create_directory(dir_ / "directory");
  EXPECT_FALSE(WriteFileBytes(dir_ / "directory", {1}));
  EXPECT_FALSE(WriteFileBytes(dir_ / "none" / "file", {1}));
}

TEST_F(MachineFilesTest, AMachineFileReadsAsAnOptionBlockFileDoes) {
  std::filesystem::create_directory(dir_ / "directory");
  const struct {
    const char* what;
    std::filesystem::path path;
    FileState state;
  } cases[] = {
      {"missing", dir_ / "none", FileState::kMissing},
      {"inside a missing directory", dir_ / "none" / "file", FileState::kMissing},
      {"a directory", dir_ / "directory", FileState::kUnreadable},
      {"short", File("short", 7), FileState::kTooShort},
      {"long", File("long", 9), FileState::kTooLong},
      {"whole", File("whole", 8), FileState::kRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MachineFile file(c.path);
    const FileRead read = file.ReadOfSize(8);
    EXPECT_EQ(read.state, c.state);
    EXPECT_EQ(read.bytes, ReadFileOfSize(c.path, 8).bytes);
    EXPECT_EQ(file.ReadOfSize(8).state, c.state);  // and again, while it is open
  }
}

// Each use sees what the path holds then: changed in place, replaced by
// another file, removed, or something else in its place.
TEST_F(MachineFilesTest, AMachineFileFollowsItsPath) {
  const auto path = File("block", 8);
  MachineFile file(path);
  ASSERT_TRUE(file.ReadOfSize(8).ok());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "ABCDEFGH";
  EXPECT_EQ(file.ReadOfSize(8).bytes, (std::vector<uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
  std::ofstream(path, std::ios::binary | std::ios::app) << "I";
  EXPECT_EQ(file.ReadOfSize(8).state, FileState::kTooLong);

  std::ofstream(dir_ / "other", std::ios::binary) << "abcdefgh";
  std::filesystem::rename(dir_ / "other", path);
  EXPECT_EQ(file.ReadOfSize(8).bytes, (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));

  std::filesystem::remove(path);
  EXPECT_EQ(file.ReadOfSize(8).state, FileState::kMissing);
  std::filesystem::create_directory(path);
  EXPECT_EQ(file.ReadOfSize(8).state, FileState::kUnreadable);
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << "12345678";
  EXPECT_EQ(file.ReadOfSize(8).bytes, (std::vector<uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8'}));
  file.Close();
  EXPECT_EQ(file.ReadOfSize(8).bytes, (std::vector<uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8'}));
}

TEST_F(MachineFilesTest, AMachineFileStoresBackWhatItRead) {
  const auto path = File("block", 8);
  MachineFile file(path);
  const FileRead read = file.ReadOfSize(8);
  ASSERT_TRUE(read.ok());
  std::vector<uint8_t> bytes = read.bytes;
  bytes[3] = static_cast<uint8_t>(bytes[3] + 40);
  ASSERT_TRUE(file.Rewrite(bytes));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, bytes);
  EXPECT_EQ(file.ReadOfSize(8).bytes, bytes);
  // Fewer bytes leave the file exactly that long.
  ASSERT_TRUE(file.Rewrite({1, 2, 3}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{1, 2, 3}));
  // Nothing read yet: the path is written.
  MachineFile fresh(dir_ / "fresh");
  ASSERT_TRUE(fresh.Rewrite({4, 5}));
  EXPECT_EQ(ReadFileAtMost(dir_ / "fresh", 64).bytes, (std::vector<uint8_t>{4, 5}));
}

TEST_F(MachineFilesTest, AMachineFileWritesWhatItsPathNames) {
  const auto path = dir_ / "sent";
  MachineFile file(path);
  ASSERT_TRUE(file.Write({1, 2, 3, 4, 5}));  // created
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  ASSERT_TRUE(file.Write({6, 7}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{6, 7}));
  std::ofstream(path, std::ios::binary | std::ios::app) << "longer";
  ASSERT_TRUE(file.Write({8, 9, 10}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{8, 9, 10}));

  std::filesystem::remove(path);
  ASSERT_TRUE(file.Write({11}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{11}));
  std::ofstream(dir_ / "other", std::ios::binary) << "other";
  std::filesystem::rename(dir_ / "other", path);
  ASSERT_TRUE(file.Write({12, 13}));
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{12, 13}));

  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_FALSE(file.Write({14}));
  EXPECT_FALSE(MachineFile(dir_ / "none" / "file").Write({1}));
}

TEST_F(MachineFilesTest, AppendedLinesAreInTheFileAtOnce) {
  const auto path = dir_ / "log";
  AppendFile log(path);
  log.Append("first\n");
  EXPECT_EQ(ReadFileAtMost(path, 64).bytes, (std::vector<uint8_t>{'f', 'i', 'r', 's', 't', '\n'}));
  log.Append("2\n");
  log.Close();
  log.Append("3\n");  // opened again
  const auto bytes = ReadFileAtMost(path, 64).bytes;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first\n2\n3\n");

  // A directory in the way drops the lines.
  std::filesystem::create_directory(dir_ / "blocked");
  AppendFile blocked(dir_ / "blocked");
  blocked.Append("lost\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "blocked"));
}

TEST(ParseCountTest, DecimalCountsSaturateAndAnythingElseIsDamaged) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const struct {
    const char* text;
    std::optional<int32_t> count;
  } cases[] = {
      {"", 0},
      {"0", 0},
      {"3\n", 3},
      {"12\r\n", 12},
      {"2147483647", kMax},
      {"2147483648", kMax},
      {"99999999999999999999", kMax},
      {"-1", std::nullopt},
      {" 3", std::nullopt},
      {"3x", std::nullopt},
      {"\n3", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseCount(c.text), c.count);
  }
}

}  // namespace
}  // namespace vort64::sim
