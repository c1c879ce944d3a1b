#include "ops/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vort64 {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("vort64-file-io-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The names in the directory, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(FileIoTest, ReplaceWritesWholeFilesAndLeavesNoPartOnFailure) {
  const std::vector<uint8_t> bytes(2048, 5);
  EXPECT_EQ(WriteWholeFile(dir_ / "a.bin", bytes), WriteOutcome::kWritten);
  EXPECT_EQ(WriteWholeFile(dir_ / "a.bin", std::vector<uint8_t>(3, 1)), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / "a.bin"), std::string(3, '\1'));

  // A folder of that name is not replaced, and nothing is left beside it.
  fs::create_directory(dir_ / "folder.bin");
  EXPECT_EQ(WriteWholeFile(dir_ / "folder.bin", bytes), WriteOutcome::kNotRegular);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder.bin"));
  EXPECT_EQ(WriteWholeFile(dir_ / "missing" / "a.bin", bytes), WriteOutcome::kOpenFailed);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin", "folder.bin"}));
}

TEST_F(FileIoTest, NamesUpToTheFileSystemLimitAreWritten) {
  // The temporary name beside the file is short, whatever the file's name.
  for (const size_t length : {size_t{240}, size_t{250}, size_t{255}}) {
    SCOPED_TRACE(length);
    const fs::path target = dir_ / (std::string(length - 4, 'n') + ".bin");
    EXPECT_EQ(WriteWholeFile(target, Bytes("block")), WriteOutcome::kWritten);
    EXPECT_EQ(ReadAll(target), "block");
    EXPECT_EQ(AppendWholeFile(target, Bytes("+")), WriteOutcome::kWritten);
    EXPECT_EQ(ReadAll(target), "block+");
    fs::remove(target);
  }
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileIoTest, AppendAddsOneWholeBlock) {
  EXPECT_EQ(AppendWholeFile(dir_ / "Result.txt", Bytes("one\r\n")), WriteOutcome::kWritten);
  EXPECT_EQ(AppendWholeFile(dir_ / "Result.txt", Bytes("two\r\n")), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / "Result.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(AppendWholeFile(dir_ / "missing" / "Result.txt", Bytes("x")), WriteOutcome::kOpenFailed);
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

TEST_F(FileIoTest, RefusalsNameTheFileAndWhatStandsThere) {
  const struct {
    TargetKind kind;
    const char* message;
  } kCases[] = {
      {TargetKind::kLink, "file: out.bin is a link, not a regular file: nothing was written. \n\n"},
      {TargetKind::kDirectory, "file: out.bin is a directory, not a regular file: nothing was written. \n\n"},
      {TargetKind::kFifo, "file: out.bin is a fifo, not a regular file: nothing was written. \n\n"},
      {TargetKind::kDevice, "file: out.bin is a device, not a regular file: nothing was written. \n\n"},
      {TargetKind::kOther, "file: out.bin is a special file, not a regular file: nothing was written. \n\n"},
      {TargetKind::kUnreachable, "file: out.bin cannot be looked up: nothing was written. \n\n"},
      {TargetKind::kRegular, "file: out.bin changed while it was written: nothing was written. \n\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(RefusedOutputMessage("out.bin", c.kind), c.message);
  EXPECT_FALSE(MayWriteOver(TargetKind::kLink));
  EXPECT_TRUE(MayWriteOver(TargetKind::kAbsent));
  EXPECT_TRUE(MayWriteOver(TargetKind::kRegular));
}

#if !defined(_WIN32)

// What can stand where an output goes, made in `dir` at `path`; `outside`
// is a file elsewhere that must stay as it is.
struct Hostile {
  const char* what;
  TargetKind kind;
  void (*make)(const fs::path& path, const fs::path& outside);
};

const Hostile kHostile[] = {
    {"link to a file outside", TargetKind::kLink,
     [](const fs::path& path, const fs::path& outside) { fs::create_symlink(outside, path); }},
    {"dangling link", TargetKind::kLink,
     [](const fs::path& path, const fs::path& outside) { fs::create_symlink(outside.string() + ".none", path); }},
    {"link to /dev/zero", TargetKind::kLink,
     [](const fs::path& path, const fs::path&) { fs::create_symlink("/dev/zero", path); }},
    {"link to /dev/full", TargetKind::kLink,
     [](const fs::path& path, const fs::path&) { fs::create_symlink("/dev/full", path); }},
    {"fifo", TargetKind::kFifo,
     [](const fs::path& path, const fs::path&) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
    {"directory", TargetKind::kDirectory, [](const fs::path& path, const fs::path&) { fs::create_directory(path); }},
};

TEST_F(FileIoTest, NothingIsWrittenThroughALinkOrIntoAnythingButARegularFile) {
  const fs::path outside = dir_ / "outside" / "precious.txt";
  fs::create_directories(outside.parent_path());
  std::ofstream(outside, std::ios::binary) << "precious";
  const auto stamp = fs::last_write_time(outside);
  for (const Hostile& h : kHostile) {
    SCOPED_TRACE(h.what);
    const fs::path target = dir_ / "out.bin";
    h.make(target, outside);
    EXPECT_EQ(CheckOutputTarget(target), h.kind);
    EXPECT_EQ(WriteWholeFile(target, Bytes("new")), WriteOutcome::kNotRegular);
    EXPECT_EQ(AppendWholeFile(target, Bytes("new")), WriteOutcome::kNotRegular);
    // Read as input, none but the link to a file is one (a fifo is not waited for).
    if (std::string(h.what) != "link to a file outside") {
      EXPECT_EQ(ReadFileStart(target, 10).kind, ReadOutcome::Kind::kOpenFailed);
    }
    // What stood there still stands, and nothing was left beside it.
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.bin", "outside"}));
    EXPECT_EQ(fs::symlink_status(target).type(), h.kind == TargetKind::kLink   ? fs::file_type::symlink
                                                 : h.kind == TargetKind::kFifo ? fs::file_type::fifo
                                                                               : fs::file_type::directory);
    fs::remove(target);
  }
  EXPECT_EQ(ReadAll(outside), "precious");
  EXPECT_EQ(fs::last_write_time(outside), stamp);
  EXPECT_EQ(CheckOutputTarget(dir_ / "none"), TargetKind::kAbsent);
  EXPECT_EQ(CheckOutputTarget(outside), TargetKind::kRegular);
  EXPECT_EQ(CheckOutputTarget("/dev/null"), TargetKind::kDevice);
}

TEST_F(FileIoTest, APlantedTemporaryNameIsNeverWrittenThrough) {
  // Links under the names a temporary file could have had, and more: the
  // temporary is created exclusively under a new random name.
  const fs::path outside = dir_ / "outside" / "precious.txt";
  fs::create_directories(outside.parent_path());
  std::ofstream(outside, std::ios::binary) << "precious";
  fs::create_symlink(outside, dir_ / "saved.bin.vort64-partial");
  for (int i = 0; i < 16; ++i) fs::create_symlink(outside, dir_ / (".vort64-planted" + std::to_string(i)));
  EXPECT_EQ(WriteWholeFile(dir_ / "saved.bin", Bytes("block")), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / "saved.bin"), "block");
  EXPECT_EQ(fs::symlink_status(dir_ / "saved.bin").type(), fs::file_type::regular);
  EXPECT_EQ(ReadAll(outside), "precious");
  EXPECT_EQ(Names().size(), 19u);  // saved.bin, the planted links, outside
}

TEST_F(FileIoTest, AFileOfPasswordBytesIsItsOwnersAlone) {
  const mode_t mask = ::umask(022);
  EXPECT_EQ(WriteWholeFile(dir_ / "raw.bin", Bytes("secret"), FileAccess::kOwnerOnly), WriteOutcome::kWritten);
  EXPECT_EQ(WriteWholeFile(dir_ / "shared.xml", Bytes("<x/>")), WriteOutcome::kWritten);
  // Replacing a file that others could read makes it the owner's alone too.
  std::ofstream(dir_ / "old.bin") << "old";
  fs::permissions(dir_ / "old.bin", fs::perms(0644));
  EXPECT_EQ(WriteWholeFile(dir_ / "old.bin", Bytes("secret"), FileAccess::kOwnerOnly), WriteOutcome::kWritten);
  ::umask(mask);
  EXPECT_EQ(fs::status(dir_ / "raw.bin").permissions() & fs::perms::all, fs::perms(0600));
  EXPECT_EQ(fs::status(dir_ / "old.bin").permissions() & fs::perms::all, fs::perms(0600));
  EXPECT_EQ(fs::status(dir_ / "shared.xml").permissions() & fs::perms::all, fs::perms(0644));
}

#endif

}  // namespace
}  // namespace vort64
