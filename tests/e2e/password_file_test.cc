// "/password-file FILE" in place of "/password PASSWORD": every function and
// form gives the same output, exit code, firmware calls and files as with
// the password on the command line, and a file that holds no password is
// refused before the firmware is reached.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kPassword[] = "Secret1";

// Everything a run leaves behind.
struct Outcome {
  ProcessResult result;
  std::map<std::string, std::string> files;  // machine/NAME and work/NAME
};

class PasswordFileTest : public MachineTest {
 protected:
  std::string Text(const std::filesystem::path& file) const {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& [dir, label] : {std::pair{machine_, "machine/"}, std::pair{work_, "work/"}}) {
      for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        // The self-test's report says when it started, which two runs do not share.
        files[label + entry.path().filename().string()] =
            std::regex_replace(Text(entry.path()), std::regex("Started : [^<]*</pre>"), "Started : (when)</pre>");
      }
    }
    return files;
  }
  // A fresh machine with the supervisor password, `prepare` run with the
  // password on the command line, then `args` after the password switch
  // pair of `passwordSwitch`.
  Outcome Run(const std::vector<std::string>& passwordSwitch, const std::vector<std::string>& prepare,
              const std::vector<std::string>& args, const std::string& input, const std::string& settingsFile) {
    std::filesystem::remove_all(work_);
    std::filesystem::create_directories(work_);
    if (!settingsFile.empty()) std::ofstream(work_ / "Settings.xml", std::ios::binary) << settingsFile;
    CreateMachine({"--supervisor-password", kPassword});
    if (!prepare.empty()) {
      std::vector<std::string> full = {"/password", kPassword};
      full.insert(full.end(), prepare.begin(), prepare.end());
      EXPECT_EQ(Vort64(full).exitCode, 0);
      std::filesystem::remove(machine_ / "calls.log");
    }
    std::vector<std::string> full = passwordSwitch;
    full.insert(full.end(), args.begin(), args.end());
    Outcome outcome{Vort64(full, input), {}};
    outcome.files = Files();
    return outcome;
  }
};

TEST_F(PasswordFileTest, EveryFunctionWorksTheSameWithThePasswordFromAFile) {
  const std::filesystem::path file = root_ / "deploy" / "password.txt";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << kPassword << "\r\n";
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> prepare = {};
    std::string input = "";
    std::string settingsFile = "";  // written to Settings.xml first
  } cases[] = {
      {{}, 103},  // the bare password check runs nothing
      {{"/load-factory-default"}, 0},
      {{"/load-user-default"}, 103},  // no user defaults stored yet
      {{"/show-settings"}, 0},
      {{"/get", "boot mode"}, 0},
      {{"/set", "boot mode=1"}, 0},
      {{"/get-default", "boot mode"}, 0},
      {{"/set-default", "boot mode=1"}, 0},
      {{"/set", "date=2024/7/4"}, 0},
      {{"/set", "time=10:20:30"}, 0},
      {{"/set", "boot priority order=1,19"}, 0},
      {{"/set", "customized mac address=00-1B-21-3C-4D-5F"}, 0},
      {{"/set", "asset tag number=ABC123"}, 0},
      {{"/set", "current password=Secret1,supervisor password=Newpw1"}, 0},
      {{"/set", "user password=Userpw1"}, 0},
      {{"/set", "current password=Userpw1,user password=Userpw2"}, 0, {"/set", "user password=Userpw1"}},
      {{"/set", "boot mode=abc"}, 101},
      {{"/export-raw-settings", "Saved.bin"}, 0},
      {{"/import-raw-settings", "Saved.bin"}, 0, {"/export-raw-settings", "Saved.bin"}},
      {{"/export-custom-settings", "Settings.xml"}, 0},
      {{"/import-custom-settings", "Settings.xml"},
       0,
       {},
       "",
       "<?xml version=\"1.0\"?>\n<Root><Item name=\"boot mode\"><Value>1</Value></Item>"
       "<Item name=\"wi-fi\"><Value>0</Value></Item></Root>\n"},
      {{"/get", "autotest"}, 0, {}, "Usr1 Usr2\nSecret1 Secret1\n"},
      {{"/get", "boot mode", "/ignore_precheck"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Outcome typed = Run({"/password", kPassword}, c.prepare, c.args, c.input, c.settingsFile);
    const Outcome filed = Run({"/password-file", file.string()}, c.prepare, c.args, c.input, c.settingsFile);
    EXPECT_EQ(typed.result.exitCode, c.exitCode) << typed.result.out << typed.result.err;
    EXPECT_EQ(filed.result.exitCode, typed.result.exitCode);
    EXPECT_EQ(filed.result.out, typed.result.out);
    EXPECT_EQ(filed.result.err, typed.result.err);
    EXPECT_EQ(filed.files, typed.files);  // the firmware calls and every file left behind
    EXPECT_THAT(filed.result.out + filed.result.err, Not(HasSubstr(kPassword)));
  }
}

TEST_F(PasswordFileTest, AFileThatHoldsNoPasswordIsRefusedBeforeTheFirmwareIsReached) {
  CreateMachine({"--supervisor-password", kPassword});
  const std::filesystem::path dir = root_ / "files";
  std::filesystem::create_directories(dir / "a-directory");
  std::ofstream(dir / "empty", std::ios::binary);
  std::ofstream(dir / "large", std::ios::binary) << kPassword << "\n" << std::string(1024, '#');
  std::ofstream(dir / "too-long", std::ios::binary) << std::string(17, 'p') << "\n";
  std::ofstream(dir / "tab", std::ios::binary) << "Sec\tret\n";
  std::ofstream(dir / "line-end", std::ios::binary) << "\n";
  std::ofstream(dir / "has-nul", std::ios::binary) << std::string("PW\0Secret1\n", 11);
  std::ofstream(dir / "non-ascii", std::ios::binary) << "Caf\xc3\xa9\n";
  // The owner's alone, so that the only message is the refusal.
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      std::filesystem::permissions(entry.path(),
                                   std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
  }
  std::ofstream(dir / "wrong", std::ios::binary) << "Wrong1\n";
  const std::string usage = "Usage:\n";
  const struct {
    std::string file;
    int exitCode;
    std::string err;
  } cases[] = {
      {"missing", 101, "Password file " + (dir / "missing").string() + ": there is no such file.\n\n"},
      {"a-directory", 101, "Password file " + (dir / "a-directory").string() + ": it is not a regular file.\n\n"},
      {"large", 101, "Password file " + (dir / "large").string() + ": it holds more than 1024 bytes.\n\n"},
      {"empty", 101, "Password file " + (dir / "empty").string() + ": it holds no line.\n\n"},
      // The password's own rules are those of the command line.
      {"too-long", 101, "The length of password is too long.\n"},
      {"line-end", 101, "Password file " + (dir / "line-end").string() + ": its first line is empty.\n\n"},
      {"has-nul", 101, "Password file " + (dir / "has-nul").string() + ": its first line holds a NUL byte.\n\n"},
      {"tab", 101, "Password file " + (dir / "tab").string() + ": its first line holds a control character.\n\n"},
      {"non-ascii", 101, "Password has invalid characters.\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ProcessResult r = Vort64({"/password-file", (dir / c.file).string(), "/get", "boot mode"});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err, c.err);
    EXPECT_THAT(r.out + r.err, Not(HasSubstr("Secret1")));
    EXPECT_THAT(r.out, ::testing::StartsWith("BIOS WMI Version = 2.90\n" + usage));
  }
  EXPECT_TRUE(Calls().empty());

  // A password the firmware does not take fails as on the command line.
  const ProcessResult wrong = Vort64({"/password-file", (dir / "wrong").string(), "/set", "boot mode=1"});
  EXPECT_EQ(wrong.exitCode, 103);
  EXPECT_THAT(wrong.out, Not(HasSubstr("Wrong1")));
}

// Lines after the first are earlier passwords: when the firmware refuses
// one (2), the run tries the next, never making more than two refused calls,
// says which line was accepted (never the password) and uses it for every
// later call.
TEST_F(PasswordFileTest, EarlierPasswordsAreTriedInTurnWithAtMostTwoRefusedCalls) {
  const std::filesystem::path file = root_ / "pw.txt";
  const auto hex = [](const std::string& password) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < 16; ++i) {
      std::snprintf(digits, sizeof digits, "%02x", i < password.size() ? static_cast<unsigned char>(password[i]) : 0u);
      text += digits;
    }
    return text;
  };
  const auto get = [&](const std::string& password) {
    return "GetBiosOptions " + std::to_string(password.size()) + " " + hex(password);
  };
  const auto set = [&](const std::string& password) {
    return "SetBiosOptions " + std::to_string(password.size()) + " " + hex(password);
  };
  const std::string name = file.string();
  const struct {
    const char* label;
    const char* lines;
    const char* machinePassword;  // empty: none set
    const char* retries;          // the wrong-password count before the run
    int exitCode;
    std::string err;
    std::vector<std::string> calls;
  } cases[] = {
      {"line 1 accepted", "New1\nOld2\n", "New1", "", 0, "", {get("New1"), set("New1"), get("New1")}},
      {"line 2 accepted",
       "New1\nOld2\n",
       "Old2",
       "",
       0,
       "password: line 2 of " + name + " accepted\n",
       {get("New1"), get("Old2"), set("Old2"), get("Old2")}},
      {"line 3 is not reached",
       "New1\nOld2\nOld3\n",
       "Old3",
       "",
       103,
       "password: lines 1 to 2 of " + name +
           " refused; line 3 on not tried (a run makes at most 2 refused calls, so that the firmware does not lock)\n",
       {get("New1"), get("Old2")}},
      {"no line accepted",
       "New1\nOld2\n",
       "Other9",
       "",
       103,
       "password: lines 1 to 2 of " + name + " refused\n",
       {get("New1"), get("Old2")}},
      {"a single line refused",
       "New1\n",
       "Other9",
       "",
       103,
       "password: line 1 of " + name + " refused\n",
       {get("New1")}},
      {"the retry count exceeded: nothing more is tried",
       "New1\nOld2\n",
       "Old2",
       "3",
       103,
       "password: line 1 of " + name +
           " refused; line 2 on not tried (a run makes at most 2 refused calls, so "
           "that the firmware does not lock)\n",
       {get("New1")}},
      {"no supervisor password: line 1 is taken",
       "New1\nOld2\n",
       "",
       "",
       0,
       "",
       {get("New1"), set("New1"), get("New1")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> create;
    if (*c.machinePassword) create = {"--supervisor-password", c.machinePassword};
    CreateMachine(create);
    if (*c.retries) WriteMachineFile("password-retries", c.retries);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.lines;
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const ProcessResult r = Vort64({"/password-file", name, "/set", "boot mode=1"});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(Calls(), c.calls);
    for (const char* password : {"New1", "Old2", "Old3", "Other9"}) {
      EXPECT_THAT(r.out + r.err, Not(HasSubstr(password)));
    }
  }

  // A later line is held to the rules of a password, before any call.
  CreateMachine({"--supervisor-password", "Old2"});
  const struct {
    std::string lines;
    std::string err;
  } refused[] = {
      {"New1\n\nOld2\n", "Password file " + name + ": its line 2 is empty.\n\n"},
      {"New1\nOld2\nOld\t3\n", "Password file " + name + ": its line 3 holds a control character.\n\n"},
      {std::string("New1\nOl\0d2\n", 11), "Password file " + name + ": its line 2 holds a NUL byte.\n\n"},
      {"New1\n" + std::string(17, 'x') + "\n",
       "Password file " + name + ": its line 2 is longer than a password of this interface version.\n\n"},
      {"New1\nCaf\xc3\xa9\n", "Password file " + name + ": its line 2 holds a character no password takes.\n\n"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.err);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.lines;
    const ProcessResult r = Vort64({"/password-file", name, "/get", "boot mode"});
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_EQ(r.err, c.err);
    EXPECT_THAT(r.out, HasSubstr("Usage:\n"));
    EXPECT_TRUE(Calls().empty());
  }
}

#if !defined(_WIN32)
// A password file others may read or write still works, with a warning on
// standard error that names it; the owner's alone gets none.
TEST_F(PasswordFileTest, AFileOthersMayReadGetsAWarning) {
  CreateMachine({"--supervisor-password", kPassword});
  const std::filesystem::path file = root_ / "pw.txt";
  std::ofstream(file, std::ios::binary) << kPassword << "\n";
  using std::filesystem::perms;
  std::filesystem::permissions(file, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
  const ProcessResult open = Vort64({"/password-file", file.string(), "/get", "boot mode"});
  EXPECT_EQ(open.exitCode, 0);
  EXPECT_EQ(open.err, "Warning: password file " + file.string() +
                          " may be read or written by others than its owner (chmod 600 " + file.string() +
                          " keeps it to its owner).\n");
  EXPECT_THAT(open.out, HasSubstr("Get BIOS options success."));
  EXPECT_EQ(Calls().size(), 1u);

  std::filesystem::permissions(file, perms::owner_read | perms::owner_write);
  const ProcessResult own = Vort64({"/password-file", file.string(), "/get", "boot mode"});
  EXPECT_EQ(own.exitCode, 0);
  EXPECT_EQ(own.err, "");
}
#endif

}  // namespace
}  // namespace vort64::e2e
