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

// Opens `target` for appending and appends `bytes`, as the import does with
// Result.txt (there with the work in between).
WriteOutcome Append(const fs::path& target, std::span<const uint8_t> bytes) {
  AppendFile file(target);
  return file.Append(bytes);
}

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
    EXPECT_EQ(Append(target, Bytes("+")), WriteOutcome::kWritten);
    EXPECT_EQ(ReadAll(target), "block+");
    fs::remove(target);
  }
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileIoTest, AppendAddsOneWholeBlock) {
  EXPECT_EQ(Append(dir_ / "Result.txt", Bytes("one\r\n")), WriteOutcome::kWritten);
  EXPECT_EQ(Append(dir_ / "Result.txt", Bytes("two\r\n")), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / "Result.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(Append(dir_ / "missing" / "Result.txt", Bytes("x")), WriteOutcome::kOpenFailed);
}

TEST_F(FileIoTest, AnAppendGoesThroughTheFileOpenedBefore) {
  AppendFile file(dir_ / "Result.txt");
  ASSERT_TRUE(file.open());
  // Created when opened: what stands there is the file that gets the block,
  // even when the name is taken by another file meanwhile.
  EXPECT_TRUE(fs::is_regular_file(dir_ / "Result.txt"));
  const char* written = "Result.txt";
#if !defined(_WIN32)
  // (Windows does not rename a file open without shared deletion.)
  fs::rename(dir_ / "Result.txt", dir_ / "moved.txt");
  std::ofstream(dir_ / "Result.txt", std::ios::binary) << "planted";
  written = "moved.txt";
#endif
  EXPECT_EQ(file.Append(Bytes("block")), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / written), "block");
#if !defined(_WIN32)
  EXPECT_EQ(ReadAll(dir_ / "Result.txt"), "planted");
#endif
  // Once written, the file is closed: nothing more goes through it.
  EXPECT_FALSE(file.open());
  EXPECT_EQ(file.Append(Bytes("again")), WriteOutcome::kNotRegular);
  EXPECT_EQ(ReadAll(dir_ / written), "block");

  AppendFile nowhere(dir_ / "missing" / "Result.txt");
  EXPECT_FALSE(nowhere.open());
  EXPECT_TRUE(nowhere.openFailed());
  EXPECT_EQ(nowhere.Append(Bytes("x")), WriteOutcome::kOpenFailed);
}

TEST_F(FileIoTest, ReadTakesAsMuchMemoryAsTheFileHolds) {
  // The limit of a custom-settings file, and files around the sizes where
  // the room read into grows.
  constexpr size_t kLimit = (8u << 20) + 1;
  for (const size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{100000}}) {
    SCOPED_TRACE(size);
    std::string content(size, 'x');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 26);
    std::ofstream(dir_ / "in.xml", std::ios::binary | std::ios::trunc) << content;
    const ReadOutcome read = ReadFileStart(dir_ / "in.xml", kLimit);
    ASSERT_EQ(read.kind, ReadOutcome::Kind::kRead);
    EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), content);
    EXPECT_EQ(read.size, size);
    EXPECT_LE(read.bytes.capacity(), size + 4096);
  }
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
      {TargetKind::kReadOnly, "file: out.bin is read-only: nothing was written. \n\n"},
      {TargetKind::kHardLinked, "file: out.bin has more than one name (a hard link): nothing was written. \n\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(RefusedOutputMessage("out.bin", c.kind), c.message);
  EXPECT_FALSE(MayWriteOver(TargetKind::kReadOnly));
  EXPECT_FALSE(MayWriteOver(TargetKind::kHardLinked));
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
    EXPECT_EQ(Append(target, Bytes("new")), WriteOutcome::kNotRegular);
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

// A hard link is refused where the file is appended to (the block would
// reach the other name too) and replaced where it is written whole (the
// other name keeps the old file).
TEST_F(FileIoTest, AFileWithAnotherNameIsNeverAppendedTo) {
  const fs::path outside = dir_ / "outside" / "precious.txt";
  fs::create_directories(outside.parent_path());
  std::ofstream(outside, std::ios::binary) << "precious";
  fs::create_hard_link(outside, dir_ / "Result.txt");
  EXPECT_EQ(CheckOutputTarget(dir_ / "Result.txt", OutputUse::kAppend), TargetKind::kHardLinked);
  EXPECT_EQ(CheckOutputTarget(dir_ / "Result.txt", OutputUse::kReplace), TargetKind::kRegular);
  AppendFile file(dir_ / "Result.txt");
  EXPECT_FALSE(file.open());
  EXPECT_FALSE(file.openFailed());
  EXPECT_EQ(file.refusal(), TargetKind::kHardLinked);
  EXPECT_EQ(file.Append(Bytes("block")), WriteOutcome::kNotRegular);
  EXPECT_EQ(ReadAll(outside), "precious");

  EXPECT_EQ(WriteWholeFile(dir_ / "Result.txt", Bytes("new")), WriteOutcome::kWritten);
  EXPECT_EQ(ReadAll(dir_ / "Result.txt"), "new");
  EXPECT_EQ(ReadAll(outside), "precious");
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
