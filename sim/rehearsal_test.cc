#include "sim/rehearsal.h"

#include <gtest/gtest.h>

namespace vort64::sim {
namespace {

constexpr char kEcho[] =
    "BIOS WMI Version = 2.90\nPassword = ********\nFunctionName = check-custom-settings\nItem = b.xml\n\n";

std::string ResultFile(const std::string& verdict, const std::string& lines) {
  return "Model name : Simulated Notebook\r\nSerial number : SIM0001\r\nAsset tag number : \r\n\r\n"
         "Overall result : " +
         verdict +
         "\r\n\r\n===================================Result of each settings==============================\r\n\r\n" +
         lines;
}

TEST(RehearsalTest, TheLayoutsFirstVersionsNewestFirst) {
  const std::vector<TwinVersion> versions = LayoutFirstVersions();
  ASSERT_EQ(versions.size(), 18u);
  EXPECT_EQ(VersionText(versions.front()), "2.90");
  EXPECT_EQ(VersionText(versions[1]), "2.89");
  EXPECT_EQ(VersionText(versions.back()), "2.0");
}

// The Items' lines are the count's number of lines before the count line;
// what the program printed before them (its echo, a warning) is not taken.
TEST(RehearsalTest, ACheckIsReadFromItsCountLine) {
  const struct {
    const char* label;
    std::string out;
    bool counted;
    std::vector<std::string> lines;
  } kCases[] = {
      {"two Items",
       std::string(kEcho) + "boot mode: same\nwifi: unknown setting\n"
                            "2 settings: 1 same, 0 differ, 0 not supported, 1 invalid\n",
       true,
       {"boot mode: same", "wifi: unknown setting"}},
      {"CR LF line ends",
       std::string(kEcho) + "boot mode: same\r\n1 settings: 1 same, 0 differ, 0 not supported, 0 invalid\r\n",
       true,
       {"boot mode: same"}},
      {"fewer lines than counted",
       "boot mode: same\n3 settings: 1 same, 2 differ, 0 not supported, 0 invalid\n",
       true,
       {}},
      {"a count line with more after it on the line",
       "boot mode: same\n1 settings: 1 same, 0 differ, 0 not supported, 0 invalid and more\n",
       false,
       {}},
      {"no count line (the read failed)", std::string(kEcho), false, {}},
      {"nothing at all", "", false, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    const CheckRun check = ReadCheckRun(1, c.out, "Error: x\n");
    EXPECT_EQ(check.counted, c.counted);
    EXPECT_EQ(check.lines, c.lines);
    EXPECT_EQ(check.errors, std::vector<std::string>{"Error: x"});
  }
  const CheckRun counted =
      ReadCheckRun(1, "a: same\nb: 0 -> 1\n2 settings: 1 same, 1 differ, 0 not supported, 0 invalid\n", "");
  EXPECT_EQ(counted.settings, 2u);
  EXPECT_EQ(counted.same, 1u);
  EXPECT_EQ(counted.differ, 1u);
  EXPECT_EQ(counted.invalid, 0u);
}

TEST(RehearsalTest, AnImportIsReadFromItsResultFileBlock) {
  // A block before it (a Result.txt that was there) is not this run's.
  const std::string earlier = ResultFile("Fail", "boot mode:\t\t\t\tIncorrect password\r\n");
  const ImportRun import =
      ReadImportRun(0,
                    earlier + ResultFile("Pass and reboot required to make function works",
                                         "boot mode:\t\t\t\tPass and reboot required to make function works\r\n"
                                         "a: b:\t\t\t\t\tInvalid Parameter\r\n"),
                    "");
  EXPECT_EQ(import.verdict, "Pass and reboot required to make function works");
  ASSERT_EQ(import.lines.size(), 2u);
  EXPECT_EQ(import.lines[0].name, "boot mode");
  EXPECT_EQ(import.lines[0].word, "Pass and reboot required to make function works");
  EXPECT_EQ(import.lines[1].name, "a: b");
  EXPECT_EQ(import.lines[1].word, "Invalid Parameter");

  const ImportRun none = ReadImportRun(103, "", "Error: b.xml could not be loaded: nothing was imported.\n");
  EXPECT_EQ(none.verdict, "");
  EXPECT_TRUE(none.lines.empty());
}

VersionRehearsal Version(CheckRun before, ImportRun import, CheckRun after) {
  VersionRehearsal v;
  v.version = {2, 54};
  v.before = std::move(before);
  v.import = std::move(import);
  v.after = std::move(after);
  v.settings = SettingsOf(v.before, v.import, v.after);
  return v;
}

CheckRun Check(int exitCode, const std::string& lines, const std::string& count, const std::string& err = "") {
  return ReadCheckRun(exitCode, lines + count + "\n", err);
}

TEST(RehearsalTest, AVersionLineAndTheSettingsThatDoNotEndTheSame) {
  const std::string items = "a: b: 0 -> 1\nboot mode: same\ngna device: Not support\n";
  const CheckRun before = Check(1, items, "3 settings: 1 same, 1 differ, 1 not supported, 0 invalid");
  const ImportRun passed =
      ReadImportRun(0, ResultFile("Pass", "a: b:\t\tPass\r\nboot mode:\tPass\r\ngna device:\tNot support\r\n"), "");
  const ImportRun failed = ReadImportRun(
      103, ResultFile("Fail", "a: b:\t\tIncorrect password\r\nboot mode:\tPass\r\ngna device:\tNot support\r\n"), "");
  const struct {
    const char* label;
    VersionRehearsal version;
    std::string text;
  } kCases[] = {
      {"compliant after the import",
       Version(before, passed,
               Check(0, "a: b: same\nboot mode: same (the firmware accepted it)\ngna device: Not support\n",
                     "3 settings: 2 same, 0 differ, 1 not supported, 0 invalid")),
       "2.54  before: 1 differ  import: Pass  after: compliant\n      gna device: Not support\n"},
      {"a firmware word (a setting whose name holds \": \")",
       Version(before, failed, Check(1, items, "3 settings: 1 same, 1 differ, 1 not supported, 0 invalid")),
       "2.54  before: 1 differ  import: Fail (1 Incorrect password, 1 Not support)  after: 1 differ\n"
       "      a: b: 0 -> 1; import: Incorrect password\n      gna device: Not support\n"},
      {"steps that said nothing of the Items say why",
       Version(ReadCheckRun(103, kEcho, "Error: the firmware refused the password (code 2): nothing was checked.\n"),
               ReadImportRun(std::nullopt, "", ""), ReadCheckRun(101, "", "The length of password is too long.\n")),
       "2.54  before: failed (exit 103)  import: did not run  after: failed (exit 101)\n"
       "      before: Error: the firmware refused the password (code 2): nothing was checked.\n"
       "      after: The length of password is too long.\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(VersionReport(c.version), c.text);
  }
  VersionRehearsal noTwin;
  noTwin.version = {2, 0};
  noTwin.twinError = "cannot write the machine files in t";
  EXPECT_EQ(VersionReport(noTwin), "2.0   the twin could not be made: cannot write the machine files in t\n");
  EXPECT_FALSE(noTwin.compliant());

  Rehearsal rehearsal;
  rehearsal.versions = {kCases[0].version, kCases[1].version};
  rehearsal.versions[1].version = {2, 90};
  EXPECT_FALSE(rehearsal.compliant());
  EXPECT_EQ(SummaryText(rehearsal), "compliant: 1 of 2 versions (2.54)\nnot compliant: 2.90\n");
  rehearsal.versions.pop_back();
  EXPECT_TRUE(rehearsal.compliant());
  EXPECT_EQ(SummaryText(rehearsal), "compliant: 1 of 1 versions (2.54)\n");
}

}  // namespace
}  // namespace vort64::sim
