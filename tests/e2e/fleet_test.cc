// What fleets run: the read-only check of a machine against a
// custom-settings file, and the import of a whole file in three firmware
// calls that says what the same settings applied one by one would say.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;

class FleetTest : public MachineTest {
 protected:
  void WriteItems(const std::string& name, const std::string& items) const {
    WriteWorkText(name, "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n<Category name=\"x\">\n" +
                            items + "</Category>\n</Root>\n");
  }
  static std::string Item(const std::string& name, const std::string& value) {
    return "\t<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
  }
  // What the check printed after the echo of the command line.
  static std::string CheckLines(const std::string& out) {
    const size_t at = out.find("Item = ");
    const size_t start = out.find("\n\n", at);
    return start == std::string::npos ? out : out.substr(start + 2);
  }
  // A password file only its owner may read and write, holding `lines`
  // (replaced when it is there), in the test's folder; its path.
  std::string WritePasswordFile(const std::string& lines, const std::string& name = "pw.txt") const {
    const std::filesystem::path file = root_ / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << lines;
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return file.string();
  }
  ProcessResult Check(const std::string& file) { return Vort64({"/password", "", "/check-custom-settings", file}); }
  ProcessResult Import(const std::string& file) { return Vort64({"/password", "", "/import-custom-settings", file}); }
};

TEST_F(FleetTest, TheCheckReadsOnceWritesNothingAndSaysWhatDiffers) {
  CreateMachine();
  ASSERT_EQ(Vort64({"/password", "", "/set", "boot mode=1"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/set", "fast boot=1"}).exitCode, 0);
  const std::string matching = Item("boot mode", "1") + Item("fast boot", "1") + Item("date", "238,238,238") +
                               Item("set supervisor password", "DoNotChange");
  WriteItems("matching.xml", matching);
  WriteItems("two.xml", Item("boot mode", "0") + Item("fast boot", "0") + Item("date", "238,238,238"));
  WriteItems("odd.xml", Item("boot mode", "1") + Item("fast boot", "") + Item("no such setting", "1") +
                            Item("wigig", "255") + Item("set supervisor password", "new1"));
  const struct {
    const char* label;
    const char* file;
    const char* faults;
    int exitCode;
    std::string lines;
  } kCases[] = {
      {"a machine that matches", "matching.xml", "", 0,
       "boot mode: same\nfast boot: same\ndate: same\nset supervisor password: same\n"
       "4 settings: 4 same, 0 differ, 0 not supported, 0 invalid\n"},
      {"two settings differ", "two.xml", "", 1,
       "boot mode: 1 (UEFI) -> 0 (Legacy)\nfast boot: 1 (Enabled) -> 0 (Disabled)\ndate: same\n"
       "3 settings: 1 same, 2 differ, 0 not supported, 0 invalid\n"},
      {"a bad value, a name this model lacks, a password the notebook lacks", "odd.xml", "", 1,
       "boot mode: same\nfast boot: Invalid Parameter\nno such setting: unknown setting\nwigig: Not support\n"
       "set supervisor password: none -> ********\n"
       "5 settings: 1 same, 1 differ, 1 not supported, 2 invalid\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    WriteMachineFile("calls.log", "");
    const Bytes before = Options();
    const ProcessResult r = Check(c.file);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_EQ(CheckLines(r.out), c.lines);
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Options(), before);
  }
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));

  // An older notebook lacks some settings of a newer one's file: not a drift.
  ASSERT_EQ(Vort64({"/password", "", "/export-custom-settings", "new.xml"}).exitCode, 0);
  CreateMachine({"--wmi", "2.56"});
  const ProcessResult older = Check("new.xml");
  EXPECT_THAT(CheckLines(older.out), HasSubstr("gna device: Not support\n"));

  // A file without any Item is no configuration: it is refused, unread.
  WriteItems("empty.xml", "");
  WriteMachineFile("calls.log", "");
  const ProcessResult empty = Check("empty.xml");
  EXPECT_EQ(empty.exitCode, 103);
  EXPECT_THAT(empty.err, HasSubstr("empty.xml holds no Item: nothing was checked."));
  EXPECT_TRUE(Calls().empty());

  // A failed read and a file that cannot be loaded.
  WriteMachineFile("faults", "GetBiosOptions 3\n");
  EXPECT_EQ(Check("matching.xml").exitCode, 103);
  WriteMachineFile("calls.log", "");
  const ProcessResult missing = Check("missing.xml");
  EXPECT_EQ(missing.exitCode, 103);
  EXPECT_THAT(missing.out, HasSubstr("Error: failed to load XML file.\nmissing.xml: not found."));
  EXPECT_TRUE(Calls().empty());
}

// Each layout's whole export imports in one read, one write and one read
// back, and Result.txt says what applying the settings one by one says (a
// setting named twice makes the import go one by one).
TEST_F(FleetTest, AWholeFileImportsInThreeCallsWithTheWordsOfOneByOne) {
  for (const std::string version : {"2.40", "2.55", "2.56", "2.61", "2.65", "2.68", "2.71", "2.72", "2.73", "2.74",
                                    "2.77", "2.78", "2.79", "2.82", "2.85", "2.86", "2.87", "2.89", "2.90"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version});
    ASSERT_EQ(Vort64({"/password", "", "/export-custom-settings", "all.xml"}).exitCode, 0);
    std::string file = WorkText("all.xml");
    // The same file with "boot priority order" a second time, at the end.
    const size_t order = file.find("<Item name=\"boot priority order\"");
    ASSERT_NE(order, std::string::npos);
    const std::string orderItem = file.substr(order, file.find("</Item>", order) + 7 - order);
    const size_t end = file.rfind("</Category>");
    WriteWorkText("twice.xml", file.substr(0, end) + orderItem + "\r\n" + file.substr(end));

    std::filesystem::remove(work_ / "Result.txt");
    WriteMachineFile("calls.log", "");
    ASSERT_EQ(Import("all.xml").exitCode, 0);
    EXPECT_EQ(Calls().size(), 3u);
    const std::string asOneBlock = WorkText("Result.txt");
    EXPECT_EQ(Check("all.xml").exitCode, 0);

    std::filesystem::remove(work_ / "Result.txt");
    WriteMachineFile("calls.log", "");
    ASSERT_EQ(Import("twice.xml").exitCode, 0);
    EXPECT_GT(Calls().size(), 3u);
    std::string oneByOne = WorkText("Result.txt");
    oneByOne.erase(oneByOne.rfind("boot priority order:"));
    EXPECT_EQ(asOneBlock, oneByOne);
  }
}

// A block the firmware refuses as a whole goes setting by setting; a
// password change goes in a block of its own after the others, from the
// block read back: two calls more, not one read and write per setting.
TEST_F(FleetTest, ARefusedBlockGoesOneByOneAndAPasswordChangeInABlockOfItsOwn) {
  CreateMachine();
  WriteItems("two.xml", Item("boot mode", "1") + Item("fast boot", "0"));
  WriteMachineFile("faults", "SetBiosOptions 3\n");
  EXPECT_EQ(Import("two.xml").exitCode, 103);
  // The refused block, then each setting: Get and its refused Set.
  EXPECT_EQ(Calls().size(), 2u + 4u);
  EXPECT_THAT(WorkText("Result.txt"),
              HasSubstr("boot mode:\t\t\t\tInvalid Parameter\r\nfast boot:\t\t\t\tInvalid Parameter\r\n"));

  WriteMachineFile("faults", "");
  WriteItems("password.xml", Item("set supervisor password", "new1") + Item("boot mode", "1") + Item("fast boot", "1"));
  WriteMachineFile("calls.log", "");
  EXPECT_EQ(Import("password.xml").exitCode, 0);
  const std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_THAT(calls[3], HasSubstr("SetBiosOptions"));
  EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'n', 'e', 'w', '1'}));
  EXPECT_THAT(WorkText("Result.txt"), HasSubstr("set supervisor password:\t\tPass\r\nboot mode:\t\t\t\tPass\r\n"));
}

// Placing the date sends the time as 238 and the other way round: in one
// block neither may undo the other.
TEST_F(FleetTest, DateAndTimeInOneBlockBothHold) {
  CreateMachine();
  WriteItems("clock.xml", Item("date", "2024/1/2") + Item("time", "10:20:30"));
  const ProcessResult r = Import("clock.xml");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Calls().size(), 3u);
  EXPECT_EQ(FileBytes("options.bin", 391, 6), Bytes({2, 1, 24, 30, 20, 10}));
  EXPECT_EQ(Check("clock.xml").exitCode, 0);
}

}  // namespace
}  // namespace vort64::e2e

namespace vort64::e2e {
namespace {

// Every exit 103 of the check and the imports says its cause on standard
// error, never the password.
TEST_F(FleetTest, NoRunFailsInSilence) {
  WriteItems("one.xml", Item("boot mode", "1"));
  WriteItems("bad.xml", Item("boot mode", "1") + Item("fast boot", "abc"));
  const std::string nothingChecked = ": nothing was checked.\n";
  const struct {
    const char* label;
    const char* password;
    const char* faults;
    const char* retries;  // the machine's wrong-password count before the run
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {"check, a wrong password",
       "Wrong1",
       "",
       "",
       {"/check-custom-settings", "one.xml"},
       "Error: the firmware refused the password (code 2)" + nothingChecked},
      {"check, after the lockout",
       "Wrong1",
       "",
       "3",
       {"/check-custom-settings", "one.xml"},
       "Error: the firmware's password retry count is exceeded (code 7): it takes no password now" + nothingChecked},
      {"check, a failed read",
       "Right1",
       "GetBiosOptions 3\n",
       "",
       {"/check-custom-settings", "one.xml"},
       "Error: the firmware's read failed with code 3" + nothingChecked},
      {"check, a read that does not execute",
       "Right1",
       "GetBiosOptions fail\n",
       "",
       {"/check-custom-settings", "one.xml"},
       "Error: the firmware's method could not be executed" + nothingChecked},
      {"check, no file",
       "Right1",
       "",
       "",
       {"/check-custom-settings", "missing.xml"},
       "Error: missing.xml could not be loaded" + nothingChecked},
      {"import, a wrong password",
       "Wrong1",
       "",
       "",
       {"/import-custom-settings", "one.xml"},
       "Error: the firmware refused the password (code 2); 1 of 1 settings failed; see Result.txt.\n"},
      {"import, a failed read",
       "Right1",
       "GetBiosOptions 209\n",
       "",
       {"/import-custom-settings", "one.xml"},
       "Error: the firmware's read failed with code 209; 1 of 1 settings failed; see Result.txt.\n"},
      {"import, a value refused",
       "Right1",
       "",
       "",
       {"/import-custom-settings", "bad.xml"},
       "Error: 1 of 2 settings failed, the first fast boot (Invalid Parameter); see Result.txt.\n"},
      {"import, no file",
       "Right1",
       "",
       "",
       {"/import-custom-settings", "missing.xml"},
       "Error: missing.xml could not be loaded: nothing was imported.\n"},
      {"raw import, a wrong password",
       "Wrong1",
       "",
       "",
       {"/import-raw-settings", "saved.bin"},
       "Error: the firmware refused the password (code 2): nothing was imported.\n"},
      {"raw import, a refused write",
       "Right1",
       "SetBiosOptions 3\n",
       "",
       {"/import-raw-settings", "saved.bin"},
       "Error: the firmware refused the call with code 3.\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    CreateMachine({"--supervisor-password", "Right1"});
    ASSERT_EQ(Vort64({"/password", "Right1", "/export-raw-settings", "saved.bin"}).exitCode, 0);
    WriteMachineFile("faults", c.faults);
    if (*c.retries) WriteMachineFile("password-retries", c.retries);
    std::vector<std::string> args = {"/password", c.password};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Vort64(args);
    EXPECT_EQ(r.exitCode, 103) << r.out;
    EXPECT_EQ(r.err, c.err);
    EXPECT_THAT(r.out + r.err, ::testing::Not(HasSubstr(c.password)));
  }
}

}  // namespace
}  // namespace vort64::e2e

namespace vort64::e2e {
namespace {

// A refused password is not sent again in the same run: a wrong-password
// remediation that goes one setting by one (a password Item) makes one
// refused call, not one per setting, and every line says why.
TEST_F(FleetTest, AWrongPasswordCostsOneRefusedCallPerRun) {
  CreateMachine({"--supervisor-password", "Right1"});
  WriteItems("base.xml", Item("boot mode", "1") + Item("set supervisor password", "New1") + Item("fast boot", "1"));
  for (const char* function : {"/check-custom-settings", "/import-custom-settings"}) {
    SCOPED_TRACE(function);
    WriteMachineFile("calls.log", "");
    const ProcessResult r = Vort64({"/password", "Wrong1", function, "base.xml"});
    EXPECT_EQ(r.exitCode, 103);
    EXPECT_EQ(Calls().size(), 1u);
  }
  EXPECT_EQ(ReadMachineFile("password-retries"), Bytes({'2'}));
  EXPECT_THAT(WorkText("Result.txt"), HasSubstr("boot mode:\t\t\t\tIncorrect password\r\n"
                                                "set supervisor password:\t\tIncorrect password\r\n"
                                                "fast boot:\t\t\t\tIncorrect password\r\n"));
}

}  // namespace
}  // namespace vort64::e2e

namespace vort64::e2e {
namespace {

// "/rotate-password" makes the first line of the password file the
// supervisor password: from the line the firmware accepted, set where the
// notebook has none, nothing when it is in force; read back, exit 0, or 103
// with the cause.
TEST_F(FleetTest, RotationToAnEmptyPasswordIsRefusedBeforeTheFirmware) {
  CreateMachine({"--supervisor-password", "Sup1"});
  const ProcessResult r = Vort64({"/password", "", "/rotate-password"});
  EXPECT_EQ(r.exitCode, 101) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr("Rotation: the first password is empty"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(ReadMachineFile("supervisor-password"), (Bytes{'S', 'u', 'p', '1'}));
}

TEST_F(FleetTest, RotationMakesTheFirstLineTheSupervisorPassword) {
  const std::string name = WritePasswordFile("New1\nOld2\n");
  const std::string notRotated = ": the supervisor password was not rotated.\n";
  for (const std::string version : {"2.54", "2.68", "2.76", "2.90"}) {
    const bool status = version >= "2.73";  // the status byte says whether it is set
    const Bytes kept = version < "2.55" ? Bytes({'N', 'E', 'W', '1'}) : Bytes({'N', 'e', 'w', '1'});
    const struct {
      const char* label;
      const char* machinePassword;
      const char* faults;
      int exitCode;
      std::string out;  // the last line of standard output
      std::string err;
      size_t calls;
    } cases[] = {
        {"from line 2", "Old2", "", 0,
         std::string("Supervisor password: changed from line 2 to line 1; read back") +
             (status ? ", the status byte says it is set.\n" : ".\n"),
         "password: line 2 of " + name + " accepted\n", 4},
        {"line 1 in force", "New1", "", 0,
         status ? "Supervisor password: the first line is in force already; nothing was changed.\n"
                : "Supervisor password: set to the first line; read back.\n",
         "", status ? 1u : 3u},
        {"no supervisor password", "", "", 0,
         status ? "Supervisor password: set (the notebook had none); read back, the status byte says it is set.\n"
                : "Supervisor password: set to the first line; read back.\n",
         "", 3},
        {"no line accepted", "Other9", "", 103, "",
         "password: lines 1 to 2 of " + name + " refused\nError: the firmware refused the password (code 2)" +
             notRotated,
         2},
        {"the write refused", "Old2", "SetBiosOptions 3\n", 103, "",
         "password: line 2 of " + name + " accepted\nError: the firmware refused the call with code 3" + notRotated, 3},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(version + ": " + c.label);
      std::vector<std::string> create = {"--wmi", version};
      if (*c.machinePassword) create.insert(create.end(), {"--supervisor-password", c.machinePassword});
      CreateMachine(create);
      const Bytes before = *c.machinePassword ? ReadMachineFile("supervisor-password") : Bytes{};
      WriteMachineFile("faults", c.faults);
      const ProcessResult r = Vort64({"/password-file", name, "/rotate-password"});
      EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
      EXPECT_EQ(r.err, c.err);
      if (!c.out.empty()) {
        EXPECT_TRUE(r.out.ends_with(c.out)) << r.out;
      }
      EXPECT_EQ(Calls().size(), c.calls);
      EXPECT_EQ(ReadMachineFile("supervisor-password"), c.exitCode == 0 ? kept : before);
      for (const char* password : {"New1", "Old2", "Other9"}) {
        EXPECT_THAT(r.out + r.err, ::testing::Not(HasSubstr(password)));
      }
      // After a rotation the first line opens the notebook.
      if (c.exitCode == 0) {
        EXPECT_EQ(Vort64({"/password", "New1", "/get", "boot mode"}).exitCode, 0);
      }
    }
  }
}

}  // namespace
}  // namespace vort64::e2e

namespace vort64::e2e {
namespace {

// The Fleets flow on twins of three interface versions, a supervisor
// password Item among the settings: detection, remediation, detection
// again. The password Item is the same once the run's accepted password is
// the Item's (and, from 2.56 on, the status byte says one is set); the
// remediation changes it from the accepted line, in a block of its own.
TEST_F(FleetTest, APasswordBaselineConvergesOnEveryVersion) {
  const std::string pw = WritePasswordFile("New1\nOld2\n");
  const std::string settings = Item("set supervisor password", "New1") + Item("boot mode", "1") +
                               Item("fast boot", "1") + Item("gna device", "1");
  WriteItems("typo.xml", settings + Item("wifi", "1"));
  WriteItems("base.xml", settings);
  const std::string accepted = "password: line 2 of " + pw + " accepted\n";
  for (const std::string version : {"2.54", "2.68", "2.76", "2.90"}) {
    SCOPED_TRACE(version);
    const bool status = version >= "2.73";  // a status byte tells whether a password is set
    const std::string lacking = version < "2.76" ? "fast boot: Not support\n" : "fast boot: same\n";
    CreateMachine({"--wmi", version, "--supervisor-password", "Old2"});
    std::filesystem::remove(work_ / "Result.txt");

    const ProcessResult before = Vort64({"/password-file", pw, "/check-custom-settings", "typo.xml"});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(before.err, accepted);
    EXPECT_THAT(CheckLines(before.out), HasSubstr("set supervisor password: ******** -> ********\n"));

    WriteMachineFile("calls.log", "");
    const ProcessResult fix = Vort64({"/password-file", pw, "/import-custom-settings", "typo.xml"});
    EXPECT_EQ(fix.exitCode, 103);
    EXPECT_EQ(fix.err,
              accepted + "Error: 1 of 5 settings failed, the first wifi (Invalid Parameter); see Result.txt.\n");
    // The refused first line, the block of the others read, written and
    // read back, the password's own block written and read back.
    EXPECT_EQ(Calls().size(), 6u);
    EXPECT_THAT(WorkText("Result.txt"), HasSubstr("set supervisor password:\t\tPass\r\n"));
    EXPECT_EQ(ReadMachineFile("supervisor-password"),
              version < "2.55" ? Bytes({'N', 'E', 'W', '1'}) : Bytes({'N', 'e', 'w', '1'}));

    const std::string same = status ? "set supervisor password: same\n"
                                    : "set supervisor password: same (the firmware accepted it; no status byte "
                                      "shows whether one is set)\n";
    const std::string gna = version < "2.79" ? "gna device: Not support\n" : "gna device: same\n";
    const ProcessResult after = Vort64({"/password-file", pw, "/check-custom-settings", "typo.xml"});
    EXPECT_EQ(after.exitCode, 1);
    EXPECT_EQ(after.err, "");
    EXPECT_THAT(CheckLines(after.out), HasSubstr(same + "boot mode: same\n" + lacking + gna +
                                                 "wifi: unknown setting (nearest: wi-fi, wigig)\n"));
    const ProcessResult clean = Vort64({"/password-file", pw, "/check-custom-settings", "base.xml"});
    EXPECT_EQ(clean.exitCode, 0) << clean.out;

    // Remediation again: the password in force is not written again where
    // the status byte shows it.
    WriteMachineFile("calls.log", "");
    EXPECT_EQ(Vort64({"/password-file", pw, "/import-custom-settings", "base.xml"}).exitCode, 0);
    EXPECT_EQ(Calls().size(), status ? 3u : 5u);
    for (const ProcessResult& r : {before, fix, after, clean}) {
      for (const char* password : {"New1", "NEW1", "Old2", "OLD2"}) {
        EXPECT_THAT(r.out + r.err, ::testing::Not(HasSubstr(password)));
      }
    }
    EXPECT_THAT(WorkText("Result.txt"), ::testing::Not(HasSubstr("New1")));
  }
}

// Of a user password only whether one is set can be read: the check says
// so, and the import sets it in a block of its own.
TEST_F(FleetTest, AUserPasswordItemComparesWhetherOneIsSet) {
  CreateMachine({"--supervisor-password", "Sup1"});
  WriteItems("user.xml", Item("set user password", "User1"));
  const ProcessResult before = Vort64({"/password", "Sup1", "/check-custom-settings", "user.xml"});
  EXPECT_EQ(before.exitCode, 1);
  EXPECT_EQ(CheckLines(before.out),
            "set user password: none -> ********\n"
            "1 settings: 0 same, 1 differ, 0 not supported, 0 invalid\n");
  EXPECT_EQ(Vort64({"/password", "Sup1", "/import-custom-settings", "user.xml"}).exitCode, 0);
  EXPECT_EQ(ReadMachineFile("user-password"), Bytes({'U', 's', 'e', 'r', '1'}));
  const ProcessResult after = Vort64({"/password", "Sup1", "/check-custom-settings", "user.xml"});
  EXPECT_EQ(after.exitCode, 0);
  EXPECT_EQ(CheckLines(after.out),
            "set user password: same (a password is set; the password itself cannot be read)\n"
            "1 settings: 1 same, 0 differ, 0 not supported, 0 invalid\n");
  EXPECT_THAT(before.out + after.out, ::testing::Not(HasSubstr("User1")));
}

}  // namespace
}  // namespace vort64::e2e

namespace vort64::e2e {
namespace {

// A fleet runs the program again and again on a notebook. Refused password
// calls are counted across runs since the notebook started, so a wrong
// password file never locks the firmware (it locks at the third wrong
// password in a row); a start of the notebook and a corrected file open it
// at once. The count holds no password.
TEST_F(FleetTest, AWrongPasswordFileNeverLocksANotebookAcrossRuns) {
  const std::string pw = WritePasswordFile("Wrong1\nWrong2\n");
  WriteItems("base.xml", Item("boot mode", "1") + Item("set supervisor password", "Wrong1"));
  const std::string lockout =
      "Error: two passwords were refused since the notebook started: correct the password file or restart the "
      "notebook.\n";
  for (const std::string version : {"2.54", "2.76", "2.90"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version, "--supervisor-password", "Right1"});
    WritePasswordFile("Wrong1\nWrong2\n");
    const struct {
      const char* function;
      std::string err;
    } steps[] = {
        {"/check-custom-settings", "password: lines 1 to 2 of " + pw +
                                       " refused\nError: the firmware refused the password (code 2): nothing was "
                                       "checked.\n"},
        {"/import-custom-settings", lockout + "Error: no password was sent: two were refused since the notebook "
                                              "started, and a third would lock the firmware; 2 of 2 settings "
                                              "failed; see Result.txt.\n"},
        {"/check-custom-settings", lockout + "Error: no password was sent: two were refused since the notebook "
                                             "started, and a third would lock the firmware: nothing was checked.\n"},
        {"/rotate-password", lockout + "Error: no password was sent: two were refused since the notebook started, "
                                       "and a third would lock the firmware: the supervisor password was not "
                                       "rotated.\n"},
    };
    for (const auto& step : steps) {
      SCOPED_TRACE(step.function);
      std::vector<std::string> args = {"/password-file", pw, step.function};
      if (std::string(step.function) != "/rotate-password") args.push_back("base.xml");
      const ProcessResult r = Vort64(args);
      EXPECT_EQ(r.exitCode, 103) << r.out;
      EXPECT_EQ(r.err, step.err);
    }
    // Two calls in all, both refused with 2: none answered 7.
    EXPECT_EQ(Calls().size(), 2u);
    EXPECT_EQ(ReadMachineFile("password-retries"), Bytes({'2'}));
    const ProcessResult json = Vort64({"/json", "/password-file", pw, "/check-custom-settings", "base.xml"});
    EXPECT_THAT(json.out, HasSubstr("\"outcome\": \"lockout avoided\""));

    // The count file holds no password, in clear or in hex.
    const std::string kept = RefusedCallsFile();
    EXPECT_TRUE(std::regex_match(kept, std::regex("start [^\n]+\nrefused 2\n"))) << kept;
    for (const char* password : {"Wrong1", "Wrong2", "Right1", "WRONG1", "RIGHT1"}) {
      EXPECT_THAT(kept, ::testing::Not(HasSubstr(password)));
      std::string hex;
      for (const char* c = password; *c; ++c) {
        constexpr char kDigits[] = "0123456789abcdef";
        hex += kDigits[static_cast<unsigned char>(*c) >> 4];
        hex += kDigits[*c & 0xF];
      }
      EXPECT_THAT(kept, ::testing::Not(HasSubstr(hex)));
    }

    // A start of the notebook and a corrected file: the next run opens at once.
    RestartMachine();
    WritePasswordFile("Right1\n");
    WriteItems("fixed.xml", Item("boot mode", "1"));
    WriteMachineFile("calls.log", "");
    const ProcessResult fixed = Vort64({"/password-file", pw, "/check-custom-settings", "fixed.xml"});
    EXPECT_NE(fixed.exitCode, 103) << fixed.err;
    EXPECT_EQ(fixed.err, "");
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_THAT(RefusedCallsFile(), ::testing::EndsWith("\nrefused 0\n"));
  }
}

// Runs at once on one machine take turns, and none loses a count.
TEST_F(FleetTest, RunsAtOnceNeverLoseARefusedCall) {
  CreateMachine({"--supervisor-password", "Right1"});
  std::vector<std::thread> runs;
  std::vector<ProcessResult> results(6);
  for (size_t i = 0; i < results.size(); ++i) {
    runs.emplace_back([this, &results, i] { results[i] = Vort64({"/password", "Wrong1", "/get", "boot mode"}); });
  }
  for (std::thread& run : runs) run.join();
  size_t refused = 0, withheld = 0;
  for (const ProcessResult& r : results) {
    EXPECT_EQ(r.exitCode, 103);
    refused += r.out.find("Error: Incorrect password.") != std::string::npos ? 1u : 0u;
    withheld += r.err.find("two passwords were refused since the notebook started") != std::string::npos ? 1u : 0u;
  }
  EXPECT_EQ(refused, 2u);
  EXPECT_EQ(withheld, 4u);
  EXPECT_EQ(Calls().size(), 2u);
  EXPECT_EQ(ReadMachineFile("password-retries"), Bytes({'2'}));
}

// With a password file, a baseline's supervisor password must be the
// file's first line: a typo, or the password before a rotation, would leave
// the notebook refusing every later run. Such a file is refused before any
// firmware call, in every form of the Item; with /password it is applied.
TEST_F(FleetTest, ABaselineThatWouldStrandThePasswordIsRefused) {
  const std::string pw = WritePasswordFile("New1\nOld2\n");
  const struct {
    const char* label;
    std::string item;
  } baselines[] = {
      {"a typo", Item("set supervisor password", "Nwe1")},
      {"the password before the rotation", Item("supervisor password", "Old2")},
      {"the long form", Item("current password", "Old2,set supervisor password=Nwe1")},
      {"cleared", Item("set supervisor password", "")},
  };
  for (const auto& baseline : baselines) {
    SCOPED_TRACE(baseline.label);
    CreateMachine({"--supervisor-password", "Old2"});
    WriteItems("base.xml", Item("boot mode", "1") + baseline.item);
    const std::string refused =
        "Error: the Item \"set supervisor password\" of base.xml names another supervisor "
        "password than the first line of " +
        pw + ": nothing was ";
    const std::string why = " (a notebook given it would refuse every run with " + pw + ").\n";
    const ProcessResult check = Vort64({"/password-file", pw, "/check-custom-settings", "base.xml"});
    EXPECT_EQ(check.exitCode, 103);
    EXPECT_EQ(check.err, refused + "checked" + why);
    const ProcessResult import = Vort64({"/password-file", pw, "/import-custom-settings", "base.xml"});
    EXPECT_EQ(import.exitCode, 103);
    EXPECT_EQ(import.err, refused + "imported" + why);
    EXPECT_TRUE(Calls().empty());
    EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));
    EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'O', 'l', 'd', '2'}));
    const ProcessResult json = Vort64({"/json", "/password-file", pw, "/check-custom-settings", "base.xml"});
    EXPECT_THAT(json.out, HasSubstr("\"outcome\": \"baseline refused\""));
    for (const ProcessResult& r : {check, import, json}) {
      for (const char* password : {"New1", "Nwe1", "Old2"})
        EXPECT_THAT(r.out + r.err, ::testing::Not(HasSubstr(password)));
    }
  }
  // Given on the command line, the password is the administrator's word.
  CreateMachine({"--supervisor-password", "Old2"});
  WriteItems("base.xml", Item("boot mode", "1") + Item("set supervisor password", "Nwe1"));
  EXPECT_EQ(Vort64({"/password", "Old2", "/import-custom-settings", "base.xml"}).exitCode, 0);
  EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'N', 'w', 'e', '1'}));
}

// A password file's name is printed as every name from the command line
// is: a line break in it starts no line of its own. (Windows takes no line
// break in a file name.)
#if !defined(_WIN32)
TEST_F(FleetTest, APasswordFilesNameForgesNoLine) {
  const std::string file = WritePasswordFile("New1\nOld2\n", "pw\nError: forged.txt");
  CreateMachine({"--supervisor-password", "Other9"});
  WriteItems("base.xml", Item("set supervisor password", "Nwe1"));
  const std::string shown = (root_ / "pw\\x0AError: forged.txt").string();
  const ProcessResult check = Vort64({"/password-file", file, "/check-custom-settings", "base.xml"});
  EXPECT_EQ(check.exitCode, 103);
  EXPECT_THAT(check.err, HasSubstr("than the first line of " + shown + ": nothing was checked"));
  const ProcessResult get = Vort64({"/password-file", file, "/get", "boot mode"});
  EXPECT_EQ(get.exitCode, 103);
  EXPECT_EQ(get.err, "password: lines 1 to 2 of " + shown + " refused\n");
}
#endif

// A rotation the firmware answers with 8 (reboot required) changed the
// password; it says it is in force from the next start, and the JSON says
// "reboot required".
TEST_F(FleetTest, ARotationAnsweredRebootRequiredSaysSo) {
  const std::string pw = WritePasswordFile("New1\nOld2\n");
  for (const bool json : {false, true}) {
    SCOPED_TRACE(json);
    CreateMachine({"--supervisor-password", "Old2"});
    WriteMachineFile("faults", "SetBiosOptions 8\n");
    std::vector<std::string> args = {"/password-file", pw, "/rotate-password"};
    if (json) args.insert(args.begin(), "/json");
    const ProcessResult r = Vort64(args);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    if (json) {
      EXPECT_THAT(r.out, HasSubstr("\"outcome\": \"reboot required\""));
    } else {
      EXPECT_TRUE(
          r.out.ends_with("Supervisor password: changed from line 2 to line 1, in force from the next start "
                          "(the firmware answered 8: reboot required); read back, the status byte says it "
                          "is set.\n"))
          << r.out;
    }
    EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'N', 'e', 'w', '1'}));
  }
}

}  // namespace
}  // namespace vort64::e2e
