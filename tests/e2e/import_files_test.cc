// The files an import reads and writes, as an attacker or a careless script
// leaves them: a custom-settings file that is not quite XML, or has no Item;
// a Result.txt with a second name or one this run may not write; an export
// or report target made read-only. Each is refused before any firmware call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/machine_fixture.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace vort64::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr char kHead[] = "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n";

// A file of Items in one Category.
std::string Items(const std::string& items) {
  return std::string(kHead) + "<Category name=\"x\">\n" + items + "</Category>\n</Root>\n";
}

std::string Item(const std::string& name, const std::string& value) {
  return "\t<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class ImportFilesTest : public MachineTest {
 protected:
  // A file its owner made read-only (mode 0444; on Windows the read-only
  // attribute) is one to keep: every output of the program refuses it before
  // any firmware call, names it and says why, and leaves it as it was. The
  // same runs with the files writable work. `run` runs vort64 as the files'
  // owner.
  template <class Run>
  void ExpectReadOnlyOutputsRefused(const Run& run) {
    WriteText(work_ / "in.xml", Items(Item("boot mode", "1")));
    const struct {
      const char* name;
      std::vector<std::string> args;
    } kCases[] = {
        {"saved.bin", {"/password", "", "/export-raw-settings", "saved.bin"}},
        {"settings.xml", {"/password", "", "/export-custom-settings", "settings.xml"}},
        {"Result.txt", {"/password", "", "/import-custom-settings", "in.xml"}},
        {"r.txt", {"/password", "", "/import-custom-settings", "in.xml", "/result-file", "r.txt"}},
        {"VORT_AutoTestResult.html", {"/password", "", "/get", "autotest"}},
    };
    for (const auto& c : kCases) {
      SCOPED_TRACE(c.name);
      WriteText(work_ / c.name, "kept");
      fs::permissions(work_ / c.name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
      const auto before = Options();
      const ProcessResult r = run(c.args);
      EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
      EXPECT_THAT(r.out, HasSubstr(std::string("file: ") + c.name + " is read-only: nothing was written. \n"));
      EXPECT_THAT(r.err, Not(HasSubstr("file")));
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(Options(), before);
      EXPECT_EQ(ReadText(work_ / c.name), "kept");
      EXPECT_EQ(fs::status(work_ / c.name).permissions() & fs::perms::owner_write, fs::perms::none);
      fs::permissions(work_ / c.name, fs::perms::owner_write, fs::perm_options::add);
      fs::remove(work_ / c.name);
    }
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.name) + " writable");
      const ProcessResult r = run(c.args);
      EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
      EXPECT_TRUE(fs::is_regular_file(work_ / c.name));
    }
  }
};

// Files both builds refuse as not XML, with the line (which Wine's MSXML
// does not tell): the import and the check call nothing, the import leaves
// no Result.txt, and the machine stays as it was.
TEST_F(ImportFilesTest, WhatIsNotQuiteXmlIsRefusedAlikeBeforeAnyCall) {
  CreateMachine();
  const struct {
    const char* label;
    std::string content;
    int line;
  } kCases[] = {
      {"a NUL character referred to in a tag", Items(Item("asset tag number", "&#x0;XY")), 4},
      {"a NUL character referred to after a number", Items(Item("boot mode", "1&#x0;junk")), 4},
      {"a NUL character typed", Items(Item("boot mode", std::string("1\0junk", 6))), 4},
      {"text after the top element", Items(Item("boot mode", "1")) + "junk", 7},
      {"text before the top element", "junk" + Items(Item("boot mode", "1")), 1},
      {"two top elements", "<Root/>\n<Root/>\n", 2},
      {"a second document after the first", Items(Item("boot mode", "1")) + Items(Item("boot mode", "0")), 7},
      {"an entity XML does not know", Items(Item("boot mode", "&one;")), 4},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    fs::remove(work_ / "Result.txt");
    WriteText(work_ / "in.xml", c.content);
    const auto before = Options();
    for (const char* function : {"/import-custom-settings", "/check-custom-settings"}) {
      SCOPED_TRACE(function);
      const ProcessResult r = Vort64({"/password", "", function, "in.xml"});
      EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
      const std::string withLine =
          "Error: failed to load XML file.\nin.xml: not XML at line " + std::to_string(c.line) + ".\n\n";
#if defined(_WIN32)
      if (r.out.find(withLine) == std::string::npos) {
        EXPECT_THAT(r.out, HasSubstr("Error: failed to load XML file.\nin.xml: not XML.\n\n"));
      }
#else
      EXPECT_THAT(r.out, HasSubstr(withLine));
#endif
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(Options(), before);
      EXPECT_FALSE(fs::exists(work_ / "Result.txt"));
    }
  }
}

// Blanks, comments and instructions around the top element are XML: such a
// file imports on both builds.
TEST_F(ImportFilesTest, CommentsInstructionsAndBlanksAroundTheTopElementImport) {
  CreateMachine();
  const std::string items = Items(Item("boot mode", "1"));
  WriteText(work_ / "in.xml", "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\r\n<!-- kept -->\r\n\r\n" +
                                  items.substr(items.find("<Root")) + "<?note after?>\r\n<!-- end -->\r\n \t\r\n");
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_THAT(ReadText(work_ / "Result.txt"), HasSubstr("boot mode:\t\t\t\tPass\r\n"));
  EXPECT_EQ(FileBytes("options.bin", 311, 1), std::vector<uint8_t>{1});
  EXPECT_EQ(Calls().size(), 3u);
}

// A file without any Item applies nothing and calls nothing: the import
// fails with its verdict in Result.txt, the check is refused.
TEST_F(ImportFilesTest, AFileWithoutAnyItemCallsNothing) {
  CreateMachine();
  for (const std::string& content : {Items(""), std::string(kHead) + "</Root>\n", std::string("<Root/>")}) {
    SCOPED_TRACE(content);
    fs::remove(work_ / "Result.txt");
    WriteText(work_ / "empty.xml", content);
    const ProcessResult imported = Vort64({"/password", "", "/import-custom-settings", "empty.xml"});
    EXPECT_EQ(imported.exitCode, 103) << imported.out << imported.err;
    EXPECT_THAT(imported.err, HasSubstr("Error: empty.xml holds no Item: nothing was imported.\n"));
    EXPECT_THAT(ReadText(work_ / "Result.txt"), HasSubstr("Overall result : Fail\r\n"));
    const ProcessResult checked = Vort64({"/password", "", "/check-custom-settings", "empty.xml"});
    EXPECT_EQ(checked.exitCode, 103) << checked.out << checked.err;
    EXPECT_THAT(checked.err, HasSubstr("Error: empty.xml holds no Item: nothing was checked.\n"));
    EXPECT_TRUE(Calls().empty());
  }
  // Items this machine lacks are lines of their own, but nothing to send:
  // nothing is read either.
  WriteText(work_ / "absent.xml", Items(Item("gpt partition record", "0") + Item("boot mode", "x")));
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "absent.xml"});
  EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
  EXPECT_THAT(ReadText(work_ / "Result.txt"),
              HasSubstr("gpt partition record:\t\t\tNot support\r\nboot mode:\t\t\t\tInvalid Parameter\r\n"));
  EXPECT_TRUE(Calls().empty());
}

// A Result.txt that is a second name of a file elsewhere: the block would be
// appended to that file. It is refused before anything is applied.
TEST_F(ImportFilesTest, AResultFileWithASecondNameIsRefusedBeforeAnyCall) {
  CreateMachine();
  const fs::path outside = root_ / "outside" / "log.txt";
  fs::create_directories(outside.parent_path());
  WriteText(outside, "kept");
  fs::create_hard_link(outside, work_ / "Result.txt");
  WriteText(work_ / "in.xml", Items(Item("boot mode", "1")));
  const auto before = Options();
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("file: Result.txt has more than one name (a hard link): nothing was written. \n"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);
  EXPECT_EQ(ReadText(outside), "kept");
  EXPECT_EQ(ReadText(work_ / "Result.txt"), "kept");  // the second name stays
  fs::remove(work_ / "Result.txt");
  // So is a result file "/result-file" names.
  fs::create_hard_link(outside, work_ / "r.txt");
  const ProcessResult named = Vort64({"/password", "", "/import-custom-settings", "in.xml", "/result-file", "r.txt"});
  EXPECT_EQ(named.exitCode, 103) << named.out << named.err;
  EXPECT_THAT(named.out, HasSubstr("file: r.txt has more than one name (a hard link): nothing was written. \n"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(ReadText(outside), "kept");
  fs::remove(work_ / "r.txt");
  // The exports replace their name: the other name keeps the old file.
  fs::create_hard_link(outside, work_ / "settings.xml");
  EXPECT_EQ(Vort64({"/password", "", "/export-custom-settings", "settings.xml"}).exitCode, 0);
  EXPECT_EQ(ReadText(outside), "kept");
  EXPECT_THAT(ReadText(work_ / "settings.xml"), HasSubstr("<Root WMI_version=\"2.90\">"));
}

#if defined(_WIN32)
TEST_F(ImportFilesTest, AReadOnlyOutputIsRefusedBeforeAnyCall) {
  CreateMachine({"--wmi", "2.75"});  // a self-test without password prompts
  ExpectReadOnlyOutputsRefused([this](const std::vector<std::string>& args) { return Vort64(args); });
}
#else

// Runs vort64 against the machine as the user nobody, for whom a file's mode
// counts (root may write any file): the test's directories are given to
// nobody first. Fails the test when there is no such user.
class AsNobodyTest : public ImportFilesTest {
 protected:
  void SetUp() override {
    ImportFilesTest::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
    const struct passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr) << "no user nobody";
    uid_ = nobody->pw_uid;
    gid_ = nobody->pw_gid;
  }
  // Gives the test's whole directory to nobody.
  void GiveToNobody() const {
    for (const auto& e : fs::recursive_directory_iterator(root_)) {
      ASSERT_EQ(::lchown(e.path().c_str(), uid_, gid_), 0) << e.path();
    }
    ASSERT_EQ(::lchown(root_.c_str(), uid_, gid_), 0);
  }
  ProcessResult Vort64AsNobody(const std::vector<std::string>& args) const {
    const fs::path out = root_ / "nobody.out", err = root_ / "nobody.err";
    std::vector<std::string> strings = {VORT64_BIN};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::string machine = "VORT64_MACHINE=" + machine_.string();
    char* envp[] = {machine.data(), nullptr};
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int inFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ProcessResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
      // Only calls that are safe after fork: the child drops root and runs.
      if (::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) ::_exit(125);
      if (::chdir(work_.c_str()) != 0 || ::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0) {
        ::_exit(126);
      }
      ::execve(argv[0], argv.data(), envp);
      ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    ::close(inFd);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
  }

  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST_F(AsNobodyTest, AReadOnlyOutputIsRefusedBeforeAnyCall) {
  CreateMachine({"--wmi", "2.75"});  // a self-test without password prompts
  ExpectReadOnlyOutputsRefused([this](const std::vector<std::string>& args) {
    GiveToNobody();
    return Vort64AsNobody(args);
  });
}

// A Result.txt this run cannot create (the working directory is not its to
// write) is found out before the settings are applied, not after.
TEST_F(AsNobodyTest, AResultFileThatCannotBeCreatedStopsTheImportBeforeAnyCall) {
  CreateMachine();
  WriteText(work_ / "in.xml", Items(Item("boot mode", "1")));
  GiveToNobody();
  ASSERT_EQ(::chown(work_.c_str(), 0, 0), 0);  // the working directory is root's again
  fs::permissions(work_, fs::perms(0755));
  const auto before = Options();
  const ProcessResult r = Vort64AsNobody({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("file: " + (work_ / "Result.txt").string() + " open failed. \n"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);
  EXPECT_FALSE(fs::exists(work_ / "Result.txt"));
}

#endif

}  // namespace
}  // namespace vort64::e2e
