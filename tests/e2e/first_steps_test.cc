// What a new administrator types, sees and leaves behind on first use: a
// value the firmware cannot take is refused before it is reached, no
// password shows in the output, names keep their case, the usage and the
// version answer the usual words, every setting can be listed, the
// self-test ends with its verdict, and a mistyped machine is named.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

class FirstStepsTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    CreateMachine({"--supervisor-password", "Secret1"});
  }
  std::string Text(const std::filesystem::path& file) const {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // The self-test's last line: its counts, and the report it wrote in the
  // working directory (as the program names it: a Windows path under Wine).
  void ExpectVerdict(const std::string& out, const std::string& counts) const {
    const std::string start = "\nSelf-test: " + counts + "; report: ";
    const size_t at = out.rfind(start);
    ASSERT_NE(at, std::string::npos) << out;
    ASSERT_EQ(out.back(), '\n');
    const std::string path = out.substr(at + start.size(), out.size() - at - start.size() - 1);
    EXPECT_EQ(path.find('\n'), std::string::npos) << "not the last line";
    EXPECT_EQ(std::filesystem::path(path).filename(), "VORT_AutoTestResult.html");
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::equivalent(path, work_ / "VORT_AutoTestResult.html", ec)) << path;
  }
  // The files of the working directory, by name.
  std::vector<std::string> WorkFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(work_)) {
      names.push_back(std::filesystem::relative(entry.path(), work_).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The refusal names what the firmware lists for the setting.
std::string Refused(const std::string& value, const std::string& item, const std::string& reason = "") {
  const std::string listed = item == "boot mode" ? "0 (Legacy), 1 (UEFI)" : "0 (Disabled), 1 (Enabled)";
  return "Invalid value \"" + value + "\" of " + item + ": " + reason + "the firmware lists " + listed + ".\n\n";
}

TEST_F(FirstStepsTest, AValueTheSettingCannotTakeIsRefusedBeforeTheFirmwareIsReached) {
  const std::vector<uint8_t> before = Options();
  const struct {
    const char* setting;
    std::string err;
  } cases[] = {
      {"boot mode=abc", Refused("abc", "boot mode")},
      {"wi-fi=300", Refused("300", "wi-fi")},
      {"wi-fi=-1", Refused("-1", "wi-fi")},
      {"wi-fi=255", Refused("255", "wi-fi", "255 marks a setting as not supported; ")},
      {"wi-fi=1,2", Refused("1,2", "wi-fi")},
      {"date=2024/7/4x", "Invalid value of date\n"},
      {"time=10:20:30s", "Invalid value of time\n"},
      {"boot priority order=19,-1", "Failed to capture boot priority order\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    const ProcessResult r = Vort64({"/password", "Secret1", "/set", c.setting});
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_EQ(r.out, std::string(kVersion) + kUsage);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);

  // Blanks round the number are taken; the setting reads back what was typed.
  const ProcessResult set = Vort64({"/password", "Secret1", "/set", "wi-fi= 0 "});
  EXPECT_EQ(set.exitCode, 0) << set.out << set.err;
  EXPECT_THAT(set.out, EndsWith("Comparison result : The same. \nOffset : 53\nSize : 1\nend : 54\nwi-fi: 0\n"));
  const ProcessResult again = Vort64({"/password", "Secret1", "/set", "wi-fi=1"});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_THAT(again.out, Not(HasSubstr("Skip Set BIOS options because not support")));
  EXPECT_THAT(again.out, EndsWith("wi-fi: 1\n"));
}

TEST_F(FirstStepsTest, NoPasswordShowsInTheOutput) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string shown;
  } cases[] = {
      {{"/password", "Secret1", "/get", "boot mode"}, 0, "Password = ********\nFunctionName = get\n"},
      {{"/password", "Secret1", "/set", "user password=Userpw1"},
       0,
       "g_new_user_password : ********\nPassword = ********\n"},
      {{"/password", "Secret1", "/set", "current password=Secret1,supervisor password=Newpw1"},
       0,
       "g_new_supervisor_password : ********\nPassword = ********\n"},
      // An empty password is shown as what it is: none.
      {{"/password", "Newpw1", "/set", "current password=Userpw1,user password="},
       0,
       "g_new_user_password : \nPassword = ********\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(c.shown));
    for (const char* password : {"Secret1", "Userpw1", "Newpw1"}) {
      EXPECT_THAT(r.out + r.err, Not(HasSubstr(password)));
    }
  }
  // The changes happened: the machine holds the new supervisor password and no user password.
  EXPECT_EQ(Text(machine_ / "supervisor-password"), "Newpw1");
  EXPECT_FALSE(std::filesystem::exists(machine_ / "user-password"));
}

TEST_F(FirstStepsTest, FileNamesKeepTheirCase) {
  std::filesystem::create_directories(work_ / "Backups");
  const ProcessResult raw = Vort64({"/password", "Secret1", "/export-raw-settings", "Backups/M.Bin"});
  EXPECT_EQ(raw.exitCode, 0) << raw.out << raw.err;
  EXPECT_EQ(std::filesystem::file_size(work_ / "Backups" / "M.Bin"), 2048u);
  const ProcessResult xml = Vort64({"/password", "Secret1", "/export-custom-settings", "Backups/MySettings.XML"});
  EXPECT_EQ(xml.exitCode, 0) << xml.out << xml.err;
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"Backups", "Backups/M.Bin", "Backups/MySettings.XML"}));

  const ProcessResult back = Vort64({"/password", "Secret1", "/import-raw-settings", "Backups/M.Bin"});
  EXPECT_EQ(back.exitCode, 0) << back.out << back.err;
  // The import reads the file it was named (each setting gets its result).
  Vort64({"/password", "Secret1", "/import-custom-settings", "Backups/MySettings.XML"});
  EXPECT_THAT(Text(work_ / "Result.txt"), HasSubstr("\r\nboot mode:\t\t\t\tPass\r\n"));

  // A name that is not there fails as the name typed.
  const ProcessResult missing = Vort64({"/password", "Secret1", "/import-custom-settings", "MySettings.xml"});
  EXPECT_EQ(missing.exitCode, 103);
  EXPECT_THAT(missing.out + missing.err, HasSubstr("Error: failed to load XML file."));
  EXPECT_THAT(missing.out, HasSubstr("Item = MySettings.xml\n"));
}

TEST_F(FirstStepsTest, HelpAndVersionAnswerTheUsualWords) {
  // "/?" and "/h" come after the version line, as ever.
  for (const char* help : {"/?", "/h"}) {
    SCOPED_TRACE(help);
    const ProcessResult r = Vort64({help});
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_EQ(r.out, std::string(kVersion) + kUsage);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_TRUE(Calls().empty());

  // The version and the other usage words come before anything reaches the
  // firmware: neither a missing machine nor the default one (not made) is
  // looked at.
  const std::filesystem::path state = root_ / "state";
  const struct {
    const char* word;
    int exitCode;
    std::string out;
  } early[] = {
      {"--version", 0, "vort64 " VORT64_VERSION "\n"},
      {"/version", 0, "vort64 " VORT64_VERSION "\n"},
      {"-h", 101, kUsage},
      {"--help", 101, kUsage},
      {"/help", 101, kUsage},
      {"-?", 101, kUsage},
  };
  for (const auto& c : early) {
    SCOPED_TRACE(c.word);
    for (const std::string& machine : {machine_.string(), (root_ / "no-such-machine").string(), std::string()}) {
      const ProcessResult r = RunProcess(
          VORT64_BIN, {c.word},
          {{"VORT64_MACHINE", machine}, {"XDG_STATE_HOME", state.string()}, {"HOME", (root_ / "home").string()}},
          work_);
      EXPECT_EQ(r.exitCode, c.exitCode);
      EXPECT_EQ(r.out, c.out);
      EXPECT_EQ(r.err, "");
    }
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(std::filesystem::exists(state));
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(FirstStepsTest, ShowSettingsListsEverySettingWithOneRead) {
  const ProcessResult r = Vort64({"/password", "Secret1", "/show-settings"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, ::testing::StartsWith(std::string(kVersion) + "Get BIOS options success.\n3g/lte: 1 (Enabled)\n"));
  for (const char* line :
       {"\nboot mode: 0 (Legacy)\n", "\nboot priority order: 19, 1, 7, 10, 255, 255", "\ndate: 12 / 10 / 26\n",
        "\nwigig: 255 (not supported)\n", "\nset supervisor password: (password, not shown)\n",
        "\nsupervisor password is status: 1 (Set)\n", "\nuser password is status: 0 (Clear)\n",
        "\ncustomized mac address: 00-1B-21-3C-4D-5E\n"}) {
    EXPECT_THAT(r.out, HasSubstr(line));
  }
  EXPECT_THAT(r.out, Not(HasSubstr("Secret1")));
  // One line per setting of the version, after the two first lines.
  const ProcessResult sim = RunProcess(VORT_SIM_BIN, {"show", machine_.string()}, {}, work_);
  ASSERT_EQ(sim.exitCode, 0);
  EXPECT_EQ(r.out, std::string(kVersion) + "Get BIOS options success.\n" + sim.out);
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("GetBiosOptions 7 ", 0), 0u);
  EXPECT_TRUE(WorkFiles().empty());

  WriteMachineFile("faults", "GetBiosOptions fail\n");
  const ProcessResult failed = Vort64({"/password", "Secret1", "/show-settings"});
  EXPECT_EQ(failed.exitCode, 103);
  EXPECT_THAT(failed.out, Not(HasSubstr("boot mode:")));
}

TEST_F(FirstStepsTest, TheSelfTestEndsWithItsVerdictAndItsReport) {
  CreateMachine();
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"}, "old1 new1\nold2 new2\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ExpectVerdict(r.out, "65 passed, 1 skipped, 0 failed");
  EXPECT_TRUE(std::filesystem::is_regular_file(work_ / "VORT_AutoTestResult.html"));
  EXPECT_THAT(r.out, Not(HasSubstr("new1")));

  // The user password was asked for first: it is now new1, the supervisor's new2.
  EXPECT_EQ(Text(machine_ / "user-password"), "new1");
  EXPECT_EQ(Text(machine_ / "supervisor-password"), "new2");

  CreateMachine({"--wmi", "2.75"});
  WriteMachineFile("faults", "stuck 55\n");  // bluetooth does not take a value
  const ProcessResult fault = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(fault.exitCode, 103);
  ExpectVerdict(fault.out, "23 passed, 2 skipped, 1 failed");
}

TEST_F(FirstStepsTest, AMistypedMachineIsNamed) {
  const std::string missing = (root_ / "machne").string();
  const ProcessResult r =
      RunProcess(VORT64_BIN, {"/password", "Secret1", "/get", "boot mode"}, {{"VORT64_MACHINE", missing}}, work_);
  EXPECT_EQ(r.exitCode, 104);
  EXPECT_EQ(r.err, "The simulated machine " + missing + " (VORT64_MACHINE) does not exist.\n");
  EXPECT_EQ(r.out, "Not support this BIOS WMI version \n");
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(FirstStepsTest, VortSimAnswersHelpNamesWhatItDoesNotKnowAndMakesFreshMachines) {
  const ProcessResult help = RunProcess(VORT_SIM_BIN, {"--help"}, {}, work_);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, ::testing::StartsWith("usage: vort-sim create DIR"));
  EXPECT_EQ(help.err, "");

  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string firstLine;
  } refused[] = {
      {{"create", (root_ / "other").string(), "--bogus"}, 2, "vort-sim: unknown option: --bogus\n"},
      {{"create", (root_ / "other").string(), "--bogus", "x"}, 2, "vort-sim: unknown option: --bogus\n"},
      {{"create", (root_ / "other").string(), "--wmi"}, 2, "vort-sim: --wmi needs a value\n"},
      {{"frobnicate"}, 2, "vort-sim: unknown command: frobnicate\n"},
      {{"show", (root_ / "nowhere").string()},
       1,
       "vort-sim: " + (root_ / "nowhere").string() + ": no such machine directory\n"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProcessResult r = RunProcess(VORT_SIM_BIN, c.args, {}, work_);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.firstLine);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(root_ / "other"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "nowhere"));

  // A machine made over a failing one starts fresh.
  WriteMachineFile("faults", "GetBiosOptions fail\n");
  EXPECT_EQ(Vort64({"/password", "Secret1", "/get", "boot mode"}).exitCode, 103);
  EXPECT_FALSE(Calls().empty());
  CreateMachine();
  for (const char* file : {"faults", "calls.log", "last-sent.bin", "supervisor-password"}) {
    EXPECT_FALSE(std::filesystem::exists(machine_ / file)) << file;
  }
  EXPECT_EQ(Vort64({"/password", "", "/get", "boot mode"}).exitCode, 0);
}

}  // namespace
}  // namespace vort64::e2e
