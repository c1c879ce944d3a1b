// The custom-settings file from the command line: the export, the import of
// each setting as a "/set", and Result.txt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<uint8_t>;

constexpr char kFileHead[] = "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n";

class CustomSettingsTest : public MachineTest {
 protected:
  // A file of hand-written Items in one Category.
  void WriteItems(const std::string& name, const std::string& items) const {
    WriteWorkText(name,
                  std::string(kFileHead) + "<Category name=\"Post Behaviors\">\n" + items + "</Category>\n</Root>\n");
  }
  static std::string Item(const std::string& name, const std::string& value) {
    return "\t<Item name=\"" + name + "\" Description=\"\">\n\t\t<Value>" + value + "</Value></Item>\n";
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  // The lines of the last block of Result.txt after its rule.
  std::string LastBlockLines() const {
    const std::string all = WorkText("Result.txt");
    const std::string rule =
        "===================================Result of each settings==============================\r\n\r\n";
    const size_t at = all.rfind(rule);
    return at == std::string::npos ? std::string() : all.substr(at + rule.size());
  }
};

TEST_F(CustomSettingsTest, ExportThenImportOnTheSameMachineChangesNothing) {
  for (const std::string version : {"2.56", "2.73", "2.90"}) {
    SCOPED_TRACE(version);
    std::filesystem::remove(work_ / "Result.txt");
    CreateMachine({"--wmi", version, "--supervisor-password", "secret", "--user-password", "user1"});
    const Bytes before = Options();
    const ProcessResult exported = Vort64({"/password", "secret", "/export-custom-settings", "all.xml"});
    ASSERT_EQ(exported.exitCode, 0) << exported.out << exported.err;
    const std::string file = WorkText("all.xml");
    EXPECT_THAT(file, HasSubstr("<Item name=\"set supervisor password\""));
    EXPECT_THAT(file, Not(HasSubstr("Category name=\"Expansion\"")));

    const ProcessResult imported = Vort64({"/password", "secret", "/import-custom-settings", "all.xml"});
    EXPECT_EQ(imported.exitCode, 0) << imported.out << imported.err;
    EXPECT_EQ(Options(), before);  // no password changed, the clock not moved
    EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'s', 'e', 'c', 'r', 'e', 't'}));
    const std::string result = WorkText("Result.txt");
    EXPECT_THAT(result, HasSubstr("Overall result : Pass\r\n\r\n"));
    const std::string lines = LastBlockLines();
    EXPECT_EQ(Count(lines, "\r\n"), Count(file, "<Item "));
    // Every setting passes but wigig, which this notebook does not support.
    EXPECT_EQ(Count(lines, "\tPass\r\n") + 1, Count(file, "<Item "));
    EXPECT_THAT(lines, HasSubstr("wigig:\t\t\t\t\tNot support\r\n"));
    EXPECT_FALSE(std::filesystem::exists(work_ / "ResultTemp.txt"));
    // One Get, Set and Get per setting that was written.
    for (const auto& call : Calls()) {
      EXPECT_THAT(call,
                  ::testing::AnyOf(::testing::StartsWith("GetBiosOptions "), ::testing::StartsWith("SetBiosOptions ")));
    }
  }
}

TEST_F(CustomSettingsTest, ResultFileHasTheMachineHeaderAndGrowsByABlockPerImport) {
  CreateMachine({"--model", "Test Book 14", "--serial", "SN42", "--asset-tag", "A7"});
  WriteItems("two.xml", Item("boot mode", "1") + Item("fast boot", "0"));
  ASSERT_EQ(Vort64({"/password", "", "/import-custom-settings", "two.xml"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/import-custom-settings", "two.xml"}).exitCode, 0);
  const std::string block =
      "Model name : Test Book 14\r\nSerial number : SN42\r\nAsset tag number : A7\r\n\r\n"
      "Overall result : Pass\r\n\r\n"
      "===================================Result of each settings==============================\r\n\r\n"
      "boot mode:\t\t\t\tPass\r\nfast boot:\t\t\t\tPass\r\n";
  EXPECT_EQ(WorkText("Result.txt"), block + block);
  EXPECT_EQ(FileBytes("options.bin", 311, 1), Bytes{1});
}

TEST_F(CustomSettingsTest, AStaleResultTempIsNeitherReadNorTouched) {
  CreateMachine();
  WriteWorkText("ResultTemp.txt", "left over:\tPass\r\n");
  WriteItems("one.xml", Item("boot mode", "1"));
  ASSERT_EQ(Vort64({"/password", "", "/import-custom-settings", "one.xml"}).exitCode, 0);
  EXPECT_EQ(LastBlockLines(), "boot mode:\t\t\t\tPass\r\n");
  EXPECT_EQ(WorkText("ResultTemp.txt"), "left over:\tPass\r\n");
}

TEST_F(CustomSettingsTest, AFileFromANewerModelImportsWhatTheOlderHas) {
  CreateMachine({"--wmi", "2.90"});
  ASSERT_EQ(Vort64({"/password", "", "/export-custom-settings", "new.xml"}).exitCode, 0);
  CreateMachine({"--wmi", "2.56"});
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "new.xml"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const std::string lines = LastBlockLines();
  EXPECT_THAT(lines, HasSubstr("gna device:\t\t\t\tNot support\r\n"));
  EXPECT_THAT(lines, HasSubstr("boot mode:\t\t\t\tPass\r\n"));
  EXPECT_THAT(WorkText("Result.txt"), HasSubstr("Overall result : Pass\r\n"));
}

TEST_F(CustomSettingsTest, AFailureMakesTheVerdictFailWhateverFollows) {
  CreateMachine();
  // A refused value, and a setting the firmware answers with 8, in either order.
  WriteMachineFile("faults", "SetBiosOptions 8\n");
  for (const bool failureFirst : {true, false}) {
    SCOPED_TRACE(failureFirst);
    const std::string bad = Item("boot mode", "");
    const std::string rebooting = Item("fast boot", "1");
    WriteItems("mixed.xml", failureFirst ? bad + rebooting : rebooting + bad);
    const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "mixed.xml"});
    EXPECT_EQ(r.exitCode, 103);
    const std::string lines = LastBlockLines();
    EXPECT_THAT(lines, HasSubstr("boot mode:\t\t\t\tInvalid Parameter\r\n"));
    EXPECT_THAT(lines, HasSubstr("fast boot:\t\t\t\tPass and reboot required to make function works\r\n"));
    const std::string all = WorkText("Result.txt");
    EXPECT_THAT(all.substr(all.rfind("Overall result")), ::testing::StartsWith("Overall result : Fail\r\n"));
  }
  // Every setting answered with 8 and none failed: reboot required.
  WriteItems("reboot.xml", Item("fast boot", "1"));
  EXPECT_EQ(Vort64({"/password", "", "/import-custom-settings", "reboot.xml"}).exitCode, 0);
  EXPECT_THAT(WorkText("Result.txt"),
              HasSubstr("Overall result : Pass and reboot required to make function works\r\n"));
}

TEST_F(CustomSettingsTest, RefusalsAndUnknownNamesEachGetTheirLine) {
  CreateMachine({"--supervisor-password", "secret"});
  WriteItems("odd.xml", Item("boot mode", "1") + Item("no such setting", "1") + Item("date", "2024/2/30") +
                            "\t<Item name=\"fast boot\"/>\n");
  const ProcessResult wrong = Vort64({"/password", "nope", "/import-custom-settings", "odd.xml"});
  EXPECT_EQ(wrong.exitCode, 103);
  EXPECT_EQ(LastBlockLines(),
            "boot mode:\t\t\t\tIncorrect password\r\n"
            "no such setting:\t\t\tInvalid Parameter\r\n"
            "date:\t\t\t\t\tInvalid Parameter\r\n"
            "fast boot:\t\t\t\tInvalid Parameter\r\n");
  // A name this model lacks is its line's word, not a complaint of the
  // parser; the cause of the failed run is said once.
  EXPECT_EQ(wrong.err, "Error: the firmware refused the password (code 2); 4 of 4 settings failed; see Result.txt.\n");

  WriteMachineFile("faults", "SetBiosOptions 3\n");
  WriteItems("one.xml", Item("boot mode", "1"));
  const ProcessResult refused = Vort64({"/password", "secret", "/import-custom-settings", "one.xml"});
  EXPECT_EQ(refused.exitCode, 103);
  EXPECT_EQ(LastBlockLines(), "boot mode:\t\t\t\tInvalid Parameter\r\n");
  EXPECT_EQ(refused.err, "Error: the firmware refused the call with code 3; 1 of 1 settings failed; see Result.txt.\n");
}

TEST_F(CustomSettingsTest, FilesThatCannotBeLoadedTouchNothing) {
  CreateMachine();
  WriteWorkText("broken.xml", "<Root><Category>");
  for (const std::string name : {"missing.xml", "broken.xml"}) {
    SCOPED_TRACE(name);
    const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", name});
    EXPECT_EQ(r.exitCode, 103);
    EXPECT_THAT(r.out, HasSubstr("Error: failed to load XML file."));
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));
  EXPECT_FALSE(std::filesystem::exists(work_ / "ResultTemp.txt"));
}

// "/result-file PATH": the block goes to PATH (relative to the working
// directory, or absolute), appended as Result.txt is; the working directory
// gets no Result.txt; standard output ends with the verdict line as the
// file has it; a failed run's cause names PATH.
TEST_F(CustomSettingsTest, TheResultFileGoesWhereAskedAndItsVerdictToStandardOutput) {
  CreateMachine({"--model", "Test Book 14", "--serial", "SN42"});
  std::filesystem::create_directories(work_ / "logs");
  WriteItems("good.xml", Item("boot mode", "1"));
  WriteItems("bad.xml", Item("boot mode", "1") + Item("fast boot", "x"));
  const std::string absolute = (work_ / "logs" / "absolute.txt").string();
  const std::string head = "Model name : Test Book 14\r\nSerial number : SN42\r\nAsset tag number : \r\n\r\n";
  const std::string rule =
      "===================================Result of each settings==============================\r\n\r\n";
  const std::string echo = "Password = \nFunctionName = import-custom-settings\nItem = good.xml\n\n";

  const ProcessResult pass =
      Vort64({"/password", "", "/import-custom-settings", "good.xml", "/result-file", "logs/r.txt"});
  EXPECT_EQ(pass.exitCode, 0) << pass.out << pass.err;
  EXPECT_EQ(pass.out, kVersion + echo + "Overall result : Pass\n");
  EXPECT_EQ(pass.err, "");
  const std::string passBlock = head + "Overall result : Pass\r\n\r\n" + rule + "boot mode:\t\t\t\tPass\r\n";
  EXPECT_EQ(WorkText("logs/r.txt"), passBlock);

  const ProcessResult fail =
      Vort64({"/password", "", "/import-custom-settings", "bad.xml", "/result-file", "logs/r.txt"});
  EXPECT_EQ(fail.exitCode, 103);
  EXPECT_THAT(fail.out, ::testing::EndsWith("\nOverall result : Fail\n"));
  EXPECT_EQ(fail.err, "Error: 1 of 2 settings failed, the first fast boot (Invalid Parameter); see logs/r.txt.\n");
  EXPECT_EQ(WorkText("logs/r.txt"), passBlock + head + "Overall result : Fail\r\n\r\n" + rule +
                                        "boot mode:\t\t\t\tPass\r\nfast boot:\t\t\t\tInvalid Parameter\r\n");

  const ProcessResult there =
      Vort64({"/password", "", "/import-custom-settings", "good.xml", "/RESULT-FILE", absolute});
  EXPECT_EQ(there.exitCode, 0) << there.out << there.err;
  EXPECT_EQ(WorkText("logs/absolute.txt"), passBlock);
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));

  // Without the switch: Result.txt in the working directory, and the same line.
  const ProcessResult plain = Vort64({"/password", "", "/import-custom-settings", "good.xml"});
  EXPECT_EQ(plain.out, kVersion + echo + "Overall result : Pass\n");
  EXPECT_EQ(WorkText("Result.txt"), passBlock);
}

// Where no result file is written, or the switch is not whole, the command
// line is refused as any other (the usage, exit 101) before the firmware is
// called.
TEST_F(CustomSettingsTest, TheResultFileSwitchIsRefusedWhereItHasNoPlace) {
  CreateMachine();
  WriteItems("good.xml", Item("boot mode", "1"));
  const std::string onlyImport =
      "/result-file is taken by /import-custom-settings only: no other function writes a result file.\n\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"/password", "", "/set", "boot mode=1", "/result-file", "r.txt"}, onlyImport},
      {{"/password", "", "/check-custom-settings", "good.xml", "/result-file", "r.txt"}, onlyImport},
      {{"/password", "", "/export-custom-settings", "good.xml", "/result-file", "r.txt"}, onlyImport},
      {{"/password", "", "/import-custom-settings", "good.xml", "/result-file", "r.txt", "/result-file"},
       "/result-file is given twice.\n\n"},
      {{"/password", "", "/import-custom-settings", "good.xml", "/result-file"},
       "/result-file needs the name of a file.\n\n"},
      {{"/password", "", "/import-custom-settings", "good.xml", "r.txt", "/result-file"},
       "/result-file stands right after the custom-settings file: /import-custom-settings FILE.xml /result-file "
       "PATH.\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_EQ(r.out, std::string(kVersion) + kUsage);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(std::filesystem::exists(work_ / "r.txt"));
  EXPECT_EQ(FileBytes("options.bin", 311, 1), Bytes{0});
}

// The result file is never a file the run reads: the block appended to the
// custom-settings file would leave it no longer XML, to the password file
// lines that are no passwords. Refused before any call, the file as it was.
TEST_F(CustomSettingsTest, TheResultFileIsNeverAFileTheRunReads) {
  CreateMachine({"--supervisor-password", "secret"});
  WriteItems("good.xml", Item("boot mode", "1"));
  WriteWorkText("pw.txt", "secret\n");
  std::filesystem::permissions(work_ / "pw.txt",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::replace);
  const std::string xml = WorkText("good.xml");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"/password", "secret", "/import-custom-settings", "good.xml", "/result-file", "good.xml"},
       "file: good.xml is the custom-settings file the import reads: nothing was written. \n"},
      {{"/password", "secret", "/import-custom-settings", "good.xml", "/result-file", "./good.xml"},
       "file: ./good.xml is the custom-settings file the import reads: nothing was written. \n"},
      {{"/password-file", "pw.txt", "/import-custom-settings", "good.xml", "/result-file", "pw.txt"},
       "file: pw.txt is the password file: nothing was written. \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(c.message));
    EXPECT_THAT(r.out, Not(HasSubstr("Overall result")));
  }
  EXPECT_EQ(WorkText("good.xml"), xml);
  EXPECT_EQ(WorkText("pw.txt"), "secret\n");
  EXPECT_TRUE(Calls().empty());
  // The same run with a result file of its own works.
  const ProcessResult r =
      Vort64({"/password-file", "pw.txt", "/import-custom-settings", "good.xml", "/result-file", "r.txt"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_THAT(WorkText("r.txt"), HasSubstr("boot mode:\t\t\t\tPass\r\n"));
}

}  // namespace
}  // namespace vort64::e2e
