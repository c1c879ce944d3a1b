// What the program writes, in a working directory someone else prepared:
// nothing is written through a link or into anything but a regular file,
// a planted temporary name is never used, long names work, a full disk
// leaves earlier files whole, and runs at the same time lose no update.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/machine_fixture.h"

#if !defined(_WIN32)
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vort64::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kSettingsFile[] =
    "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n<Category name=\"Post Behaviors\">\n"
    "\t<Item name=\"boot mode\" Description=\"\">\n\t\t<Value>1</Value></Item>\n</Category>\n</Root>\n";

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The names in a directory, sorted.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// An output of the program and the run that writes it.
struct Output {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> inputs;  // files the run reads from the working directory
};

const Output kOutputs[] = {
    {"saved.bin", {"/password", "", "/export-raw-settings", "saved.bin"}, {}},
    {"settings.xml", {"/password", "", "/export-custom-settings", "settings.xml"}, {}},
    {"Result.txt", {"/password", "", "/import-custom-settings", "in.xml"}, {"in.xml"}},
    {"r.txt", {"/password", "", "/import-custom-settings", "in.xml", "/result-file", "r.txt"}, {"in.xml"}},
    {"VORT_AutoTestResult.html", {"/password", "", "/get", "autotest"}, {}},
};

// How long a refused run may take. Under Wine (the Windows build's tests)
// starting a process alone can take a good part of a second on a busy
// machine.
#if defined(_WIN32)
constexpr auto kRefusalTime = std::chrono::seconds(5);
#else
constexpr auto kRefusalTime = std::chrono::seconds(1);
#endif

// What can stand where an output goes.
struct Hostile {
  const char* what;
  const char* word;  // as the message says it
  fs::file_type type;
};

const Hostile kHostile[] = {
#if !defined(_WIN32)
    {"a link to a file outside", "a link", fs::file_type::symlink},
    {"a dangling link", "a link", fs::file_type::symlink},
    {"a link to /dev/zero", "a link", fs::file_type::symlink},
    {"a link to /dev/full", "a link", fs::file_type::symlink},
    {"a fifo", "a fifo", fs::file_type::fifo},
#endif
    {"a directory", "a directory", fs::file_type::directory},
};

class HostileFilesTest : public MachineTest {
 protected:
  // A file outside the working directory that nothing may change.
  void MakeOutside() {
    outside_ = root_ / "outside" / "precious.txt";
    fs::create_directories(outside_.parent_path());
    WriteText(outside_, "precious");
    outsideTime_ = fs::last_write_time(outside_);
  }
  void ExpectOutsideUnchanged() const {
    EXPECT_EQ(ReadText(outside_), "precious");
    EXPECT_EQ(fs::last_write_time(outside_), outsideTime_);
    EXPECT_EQ(Names(outside_.parent_path()), std::vector<std::string>{"precious.txt"});
  }
  void Make(const Hostile& h, const fs::path& at) const {
    const std::string what = h.what;
#if !defined(_WIN32)
    if (what == "a link to a file outside") return fs::create_symlink(outside_, at);
    if (what == "a dangling link") return fs::create_symlink(outside_.parent_path() / "none.txt", at);
    if (what == "a link to /dev/zero") return fs::create_symlink("/dev/zero", at);
    if (what == "a link to /dev/full") return fs::create_symlink("/dev/full", at);
    if (what == "a fifo") {
      ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0);
      return;
    }
#endif
    fs::create_directory(at);
    WriteText(at / "inside", "kept");
  }

  fs::path outside_;
  fs::file_time_type outsideTime_;
};

// Each output with each hostile thing in its place: refused before any
// firmware call, within a second, with a message naming the file and exit
// code 103; the thing stays, the file outside is untouched, nothing else is
// left in the working directory.
TEST_F(HostileFilesTest, NothingIsWrittenThroughWhatStandsInAnOutputsPlace) {
  CreateMachine();
  MakeOutside();
  for (const Output& output : kOutputs) {
    for (const Hostile& h : kHostile) {
      SCOPED_TRACE(std::string(output.name) + " is " + h.what);
      fs::remove_all(work_);
      fs::create_directories(work_);
      for (const std::string& input : output.inputs) WriteText(work_ / input, kSettingsFile);
      Make(h, work_ / output.name);
      const size_t calls = Calls().size();
      const auto before = Options();

      const auto start = std::chrono::steady_clock::now();
      const ProcessResult r = Vort64(output.args);
      EXPECT_LT(std::chrono::steady_clock::now() - start, kRefusalTime);

      EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
      EXPECT_THAT(r.out, HasSubstr(std::string("file: ") + output.name + " is " + h.word +
                                   ", not a regular file: nothing was written. \n"));
      EXPECT_THAT(r.err, Not(HasSubstr("file")));
      EXPECT_EQ(Calls().size(), calls);  // no firmware call
      EXPECT_EQ(Options(), before);
      EXPECT_EQ(fs::symlink_status(work_ / output.name).type(), h.type);
      if (h.type == fs::file_type::directory) {
        EXPECT_EQ(Names(work_ / output.name), std::vector<std::string>{"inside"});
      }
      std::vector<std::string> left(output.inputs.begin(), output.inputs.end());
      left.push_back(output.name);
      std::sort(left.begin(), left.end());
      EXPECT_EQ(Names(work_), left);
      ExpectOutsideUnchanged();
    }
  }
}

// The import keeps its per-setting lines in memory and writes no
// ResultTemp.txt: whatever stands under that name is left alone.
TEST_F(HostileFilesTest, TheImportLeavesWhateverStandsUnderTheOldTemporaryName) {
  CreateMachine();
  MakeOutside();
  for (const Hostile& h : kHostile) {
    SCOPED_TRACE(std::string("ResultTemp.txt is ") + h.what);
    fs::remove_all(work_);
    fs::create_directories(work_);
    WriteText(work_ / "in.xml", kSettingsFile);
    Make(h, work_ / "ResultTemp.txt");
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, kRefusalTime);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(fs::symlink_status(work_ / "ResultTemp.txt").type(), h.type);
    EXPECT_THAT(ReadText(work_ / "Result.txt"), HasSubstr("boot mode:\t\t\t\tPass\r\n"));
    EXPECT_EQ(Names(work_), (std::vector<std::string>{"Result.txt", "ResultTemp.txt", "in.xml"}));
    ExpectOutsideUnchanged();
  }
}

#if !defined(_WIN32)
// A link planted under the name the export's temporary file used to have,
// and under names like the ones it has now: the export writes its own new
// file and replaces the target, never the planted link's target.
TEST_F(HostileFilesTest, APlantedTemporaryNameIsNeverWrittenThrough) {
  CreateMachine();
  MakeOutside();
  for (const std::string name : {"saved.bin", "settings.xml"}) {
    SCOPED_TRACE(name);
    fs::create_symlink(outside_, work_ / (name + ".vort64-partial"));
    for (int i = 0; i < 8; ++i) fs::create_symlink(outside_, work_ / (".vort64-" + std::to_string(10000000 + i)));
    const std::string function = name == "saved.bin" ? "/export-raw-settings" : "/export-custom-settings";
    const ProcessResult r = Vort64({"/password", "", function, name});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(fs::symlink_status(work_ / name).type(), fs::file_type::regular);
    EXPECT_EQ(fs::symlink_status(work_ / (name + ".vort64-partial")).type(), fs::file_type::symlink);
    EXPECT_EQ(Names(work_).size(), 10u);  // the file and the nine planted links
    ExpectOutsideUnchanged();
    fs::remove_all(work_);
    fs::create_directories(work_);
  }
}

TEST_F(HostileFilesTest, ARawExportIsReadableByItsOwnerOnly) {
  CreateMachine({"--supervisor-password", "secret"});
  const ProcessResult r = Vort64({"/password", "secret", "/export-raw-settings", "saved.bin"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(fs::status(work_ / "saved.bin").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::file_size(work_ / "saved.bin"), 2048u);
}
#endif

TEST_F(HostileFilesTest, ExportNamesUpTo250CharactersAreWritten) {
  CreateMachine();
  const std::string stem(246, 'n');
  for (const auto& [name, function] :
       {std::pair{stem + ".bin", "/export-raw-settings"}, std::pair{stem + ".xml", "/export-custom-settings"}}) {
    SCOPED_TRACE(function);
    ASSERT_EQ(name.size(), 250u);
    const ProcessResult r = Vort64({"/password", "", function, name});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(fs::is_regular_file(work_ / name));
  }
  EXPECT_EQ(fs::file_size(work_ / (stem + ".bin")), 2048u);
  EXPECT_THAT(ReadText(work_ / (stem + ".xml")), HasSubstr("<Root WMI_version=\"2.90\">"));
  EXPECT_EQ(Names(work_).size(), 2u);
}

// Four processes set four different settings of one machine, each 50 times,
// at the same time. A /set shows the value it found before writing: each
// process must find the value it wrote itself the round before, so no
// update of another run came between its read and write-back.
TEST_F(HostileFilesTest, RunsAtTheSameTimeLoseNoUpdate) {
  CreateMachine();
  const char* kSettings[] = {"boot mode", "fast boot", "wake on lan", "bluetooth"};
  constexpr int kRounds = 50;
  // Each setting starts at 0.
  for (const char* setting : kSettings) {
    ASSERT_EQ(Vort64({"/password", "", "/set", std::string(setting) + "=0"}).exitCode, 0) << setting;
  }
  std::vector<std::future<std::vector<std::string>>> workers;
  for (const char* setting : kSettings) {
    workers.push_back(std::async(std::launch::async, [this, setting] {
      std::vector<std::string> problems;
      for (int round = 1; round <= kRounds; ++round) {
        const int value = round % 2;
        const ProcessResult r = Vort64({"/password", "", "/set", std::string(setting) + "=" + std::to_string(value)});
        const std::string found = std::string(setting) + ": " + std::to_string(1 - value) + "\n";
        const std::string same = "Comparison result : The same. \n";
        if (r.exitCode != 0 || r.out.find(found) == std::string::npos || r.out.find(same) == std::string::npos) {
          problems.push_back("round " + std::to_string(round) + ": exit " + std::to_string(r.exitCode) + "\n" + r.out +
                             r.err);
        }
      }
      return problems;
    }));
  }
  for (auto& worker : workers) {
    const std::vector<std::string> problems = worker.get();
    EXPECT_TRUE(problems.empty()) << problems.size() << " lost or failed updates, the first:\n" << problems.front();
  }
  // The last round wrote 0 everywhere.
  for (const char* setting : kSettings) {
    const ProcessResult r = Vort64({"/password", "", "/get", setting});
    EXPECT_THAT(r.out, HasSubstr(std::string(setting) + ": 0\n"));
  }
  EXPECT_EQ(Calls().size(), 4u * 3 + 4u * kRounds * 3 + 4u);
}

#if !defined(_WIN32)
// A small tmpfs as the working directory, filled to the last page: every
// write ends with exit code 103 and a message naming the file, and the files
// of earlier runs stay whole. Needs root (to mount).
class FullDiskTest : public HostileFilesTest {
 protected:
  void SetUp() override {
    HostileFilesTest::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    disk_ = root_ / "disk";
    fs::create_directories(disk_);
    if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    mounted_ = true;
    work_ = disk_;
  }
  void TearDown() override {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    HostileFilesTest::TearDown();
  }
  // Fills the disk to its last byte.
  void Fill() const {
    std::ofstream filler(disk_ / "filler", std::ios::binary);
    const std::string page(4096, 'f');
    while (filler.write(page.data(), static_cast<std::streamsize>(page.size()))) {
    }
    filler.close();
    std::ofstream bytes(disk_ / "filler-bytes", std::ios::binary);
    while (bytes.put('f')) {
    }
  }
  fs::path disk_;
  bool mounted_ = false;
};

TEST_F(FullDiskTest, AFullDiskFailsEveryWriteAndLeavesEarlierFilesWhole) {
  CreateMachine({"--wmi", "2.75"});  // a self-test without password prompts
  // The earlier files, written while there was room.
  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "saved.bin"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/export-custom-settings", "settings.xml"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/get", "autotest"}).exitCode, 0);
  const std::string raw = ReadText(disk_ / "saved.bin");
  const std::string xml = ReadText(disk_ / "settings.xml");
  const std::string report = ReadText(disk_ / "VORT_AutoTestResult.html");
  ASSERT_EQ(raw.size(), 2048u);
  Fill();
  const struct {
    std::vector<std::string> args;
    const char* message;
    const char* file;
    const std::string& before;
  } kCases[] = {
      {{"/password", "", "/export-raw-settings", "saved.bin"}, "file: saved.bin write failed. \n", "saved.bin", raw},
      {{"/password", "", "/export-custom-settings", "settings.xml"},
       "file: settings.xml write failed. \n",
       "settings.xml",
       xml},
      {{"/password", "", "/get", "autotest"},
       "file: VORT_AutoTestResult.html write failed. \n",
       "VORT_AutoTestResult.html",
       report},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(c.message));
    EXPECT_EQ(ReadText(disk_ / c.file), c.before);
    // The self-test's closing line names no report that was not written.
    if (std::string(c.file) == "VORT_AutoTestResult.html") {
      EXPECT_THAT(r.out,
                  ::testing::EndsWith("Self-test: 24 passed, 2 skipped, 0 failed; the report was not written\n"));
      EXPECT_THAT(r.out, Not(HasSubstr("report: ")));
    }
  }
  EXPECT_EQ(Names(disk_), (std::vector<std::string>{"VORT_AutoTestResult.html", "filler", "filler-bytes", "saved.bin",
                                                    "settings.xml"}));
}

// The import appends its block to Result.txt in one write: on a full disk
// the write fails, the run says so and Result.txt keeps what it held.
TEST_F(FullDiskTest, AnImportOnAFullDiskKeepsResultTxtWhole) {
  CreateMachine();
  // A Result.txt of whole pages, so that no room is left in its last one.
  const std::string earlier(8192, 'r');
  WriteText(disk_ / "Result.txt", earlier);
  WriteText(disk_ / "in.xml", kSettingsFile);
  Fill();
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("file: " + (disk_ / "Result.txt").string() + " write failed. \n"));
  // Standard error says why, for a script that reads only it.
  EXPECT_EQ(r.err,
            "Error: Result.txt could not be written after the import ran: the results of its settings are lost.\n");
  EXPECT_EQ(ReadText(disk_ / "Result.txt"), earlier);
  EXPECT_EQ(Names(disk_), (std::vector<std::string>{"Result.txt", "filler", "filler-bytes", "in.xml"}));
}
#endif

}  // namespace
}  // namespace vort64::e2e
