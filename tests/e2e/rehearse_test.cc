// vort-sim rehearse: the real vort64 runs the check, the import and the
// check again of a baseline on a fresh twin of each interface version, and
// the rehearsal says, per version, what the program said.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <system_error>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;

// The first interface version of each layout, newest first.
const std::vector<std::string> kLayoutVersions = {"2.90", "2.89", "2.87", "2.86", "2.85", "2.82",
                                                  "2.79", "2.78", "2.77", "2.74", "2.73", "2.72",
                                                  "2.71", "2.68", "2.65", "2.61", "2.56", "2.0"};

class RehearseTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    temp_ = root_ / "temp";
    std::filesystem::create_directories(temp_);
    passwordFile_ = root_ / "pw.txt";
    std::ofstream(passwordFile_, std::ios::binary) << kPassword << "\nOld1\n";
    std::filesystem::permissions(passwordFile_,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }

  // A baseline of `items` in the working directory.
  void WriteBaseline(const std::string& name, const std::vector<std::pair<std::string, std::string>>& items) const {
    std::string text = "<?xml version='1.0' encoding='UTF-8'?>\n<Root>\n<Category name=\"x\">\n";
    for (const auto& [item, value] : items) {
      text += "\t<Item name=\"" + item + "\"><Value>" + value + "</Value></Item>\n";
    }
    WriteWorkText(name, text + "</Category>\n</Root>\n");
  }

  // vort-sim rehearse, with the system's temporary folder in temp_.
  ProcessResult Rehearse(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"rehearse"};
    all.insert(all.end(), args.begin(), args.end());
    const std::string temp = temp_.string();
    return RunProcess(VORT_SIM_BIN, all, {{"TMPDIR", temp}, {"TMP", temp}, {"TEMP", temp}}, work_);
  }

  // The baseline a fleet administrator writes: the password the notebooks
  // should have, a typo ("wifi", which no version has), a setting older
  // versions lack (the GNA device, 2.90 only) and two every version has.
  void RehearsesAFleetBaseline(const std::string& passwordValue) {
    WriteBaseline("baseline.xml", {{"set supervisor password", passwordValue},
                                   {"wifi", "0"},
                                   {"gna device", "0"},
                                   {"boot mode", "1"},
                                   {"camera", "0"}});
    const ProcessResult r = Rehearse({"baseline.xml", "--password-file", passwordFile_.string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "");
    std::string expected;
    for (const std::string& v : kLayoutVersions) {
      const bool gna = v == "2.90";
      expected += v + std::string(v.size() == 3 ? " " : "") + "  before: " + (gna ? "3" : "2") +
                  " differ, 1 invalid  import: Fail (1 Invalid Parameter" + (gna ? "" : ", 1 Not support") +
                  ")  after: 1 invalid\n"
                  "      wifi: unknown setting (nearest: wi-fi, wigig); import: Invalid Parameter\n" +
                  (gna ? "" : "      gna device: Not support\n");
    }
    std::string versions;
    for (const std::string& v : kLayoutVersions) versions += (versions.empty() ? "" : ", ") + v;
    expected += "compliant: 0 of 18 versions\nnot compliant: " + versions + "\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_THAT(r.out, Not(HasSubstr(kPassword)));
    // The twins were made in a temporary folder, and it is gone.
    EXPECT_TRUE(std::filesystem::is_empty(temp_));
  }

  // vort-sim rehearse with --json: the document (an empty object when
  // standard output is no one JSON document), kept for the check against
  // the schema after the suite.
  Json RehearseJson(const std::vector<std::string>& args, ProcessResult& r) {
    r = Rehearse(args);
    KeepJson(r.out);
    try {
      return Json::parse(r.out);  // one document and nothing after it
    } catch (const Json::exception& e) {
      ADD_FAILURE() << "standard output is no one JSON document: " << e.what() << "\n" << r.out;
      return Json::object();
    }
  }

  static constexpr char kPassword[] = "Sup1";
  std::filesystem::path temp_;
  std::filesystem::path passwordFile_;
};

// Every layout at its first version: the typo is the one setting that does
// not end compliant, the setting a version lacks is said but counts as the
// same there.
TEST_F(RehearseTest, EveryLayoutSaysWhatTheProgramSaid) { RehearsesAFleetBaseline("DoNotChange"); }

// The same with the password Item naming the password the twins have (the
// password file's first line): the check says it is the same (below 2.73
// with what it cannot tell) and the import changes nothing.
TEST_F(RehearseTest, APasswordItemOfTheRunsOwnPasswordIsTheSame) { RehearsesAFleetBaseline(kPassword); }

// Without the typo the baseline holds on every version the fleet runs; the
// twins are kept where --keep says, with the program's outputs beside them.
TEST_F(RehearseTest, ACorrectBaselineEndsCompliantOnTheVersionsNamed) {
  WriteBaseline("baseline.xml",
                {{"set supervisor password", kPassword}, {"gna device", "0"}, {"boot mode", "1"}, {"camera", "0"}});
  const std::filesystem::path keep = root_ / "twins";
  const ProcessResult r = Rehearse({"baseline.xml", "--wmi", "2.54,2.76,2.90", "--password-file",
                                    passwordFile_.string(), "--keep", keep.string(), "--program", VORT64_BIN});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // The last line names the folder as the system names it (a drive letter on Windows).
  const std::string kept = "twins kept in ";
  const size_t last = r.out.rfind(kept);
  ASSERT_NE(last, std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(0, last),
            "2.54  before: 2 differ  import: Pass  after: compliant\n"
            "      gna device: Not support\n"
            "2.76  before: 2 differ  import: Pass  after: compliant\n"
            "      gna device: Not support\n"
            "2.90  before: 3 differ  import: Pass  after: compliant\n"
            "compliant: 3 of 3 versions (2.54, 2.76, 2.90)\n");
  ASSERT_TRUE(r.out.ends_with("\n"));
  const std::string keptPath = r.out.substr(last + kept.size(), r.out.size() - last - kept.size() - 1);
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::equivalent(keptPath, keep, ec)) << keptPath;
  for (const std::string v : {"2.54", "2.76", "2.90"}) {
    SCOPED_TRACE(v);
    // The twin, with the password set and the baseline applied: the program
    // itself says it holds.
    const ProcessResult check =
        RunProcess(VORT64_BIN, {"/password-file", passwordFile_.string(), "/check-custom-settings", "baseline.xml"},
                   {{"VORT64_MACHINE", (keep / v / "twin").string()}}, work_);
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_THAT(check.out, HasSubstr("boot mode: same\ncamera: same\n"));
    const ProcessResult wrong = RunProcess(VORT64_BIN, {"/password", "Other1", "/get", "boot mode"},
                                           {{"VORT64_MACHINE", (keep / v / "twin").string()}}, work_);
    EXPECT_EQ(wrong.exitCode, 103);
    // Result.txt and the program's output of each step, in the version's folder.
    std::ifstream result(keep / v / "Result.txt");
    std::string text((std::istreambuf_iterator<char>(result)), std::istreambuf_iterator<char>());
    EXPECT_THAT(text, HasSubstr("Overall result : Pass"));
    for (const char* step : {"check-before", "import", "check-after"}) {
      EXPECT_TRUE(std::filesystem::exists(keep / v / (std::string(step) + ".out"))) << step;
    }
  }
  // Nothing was made in the temporary folder, nothing in the working one but the baseline.
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));
}

// A twin starts from a notebook's raw export with --options (and its one
// version): what the notebook holds already is the same before the import.
TEST_F(RehearseTest, ATwinStartsFromARawExport) {
  CreateMachine({"--wmi", "2.77"});
  ASSERT_EQ(Vort64({"/password", "", "/set", "boot mode=1"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "real.bin"}).exitCode, 0);
  WriteBaseline("baseline.xml", {{"boot mode", "1"}, {"camera", "0"}});
  const ProcessResult r = Rehearse({"baseline.xml", "--options", "real.bin", "--wmi", "2.77"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "2.77  before: 1 differ  import: Pass  after: compliant\n"
            "compliant: 1 of 1 versions (2.77)\n");
}

// What the program refuses is said per version, with its cause: a password
// longer than the 12 characters below 2.56 takes.
TEST_F(RehearseTest, APasswordAVersionRefusesFailsThatVersion) {
  const std::string longPassword = "Sup1Longer1234";
  std::ofstream(passwordFile_, std::ios::binary | std::ios::trunc) << longPassword << "\n";
  WriteBaseline("baseline.xml", {{"boot mode", "1"}});
  const ProcessResult r = Rehearse({"baseline.xml", "--wmi", "2.55,2.56", "--password-file", passwordFile_.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out,
            "2.55  before: failed (exit 101)  import: failed (exit 101)  after: failed (exit 101)\n"
            "      before: The length of password is too long.\n"
            "      import: The length of password is too long.\n"
            "      after: The length of password is too long.\n"
            "2.56  before: 1 differ  import: Pass  after: compliant\n"
            "compliant: 1 of 2 versions (2.56)\n"
            "not compliant: 2.55\n");
  EXPECT_THAT(r.out + r.err, Not(HasSubstr(longPassword)));
}

// A check as the document has it: its exit code, counts and standard error.
Json CheckEntry(int exitCode, size_t same, size_t differs, size_t notSupported, size_t invalid) {
  return {{"exitCode", exitCode},
          {"counts",
           {{"settings", same + differs + notSupported + invalid},
            {"same", same},
            {"differs", differs},
            {"notSupported", notSupported},
            {"invalid", invalid}}},
          {"errors", Json::array()}};
}

// One Item as the document has it: what the check before, the import and the check after said.
Json SettingEntry(const std::string& name, const std::string& before, const std::string& import,
                  const std::string& after) {
  return {{"name", name},
          {"before", before},
          {"import", import},
          {"after", after},
          {"endsSame", after == "same" || after.starts_with("same (")}};
}

// --json (here before the baseline): the same rehearsal as one document, for
// the fleet baseline whose password Item names the twins' password; neither
// the password nor anything but the document is on standard output.
TEST_F(RehearseTest, TheJsonDocumentSaysEveryVersionOfAFleetBaseline) {
  constexpr char kDistinctive[] = "Rh9Wq3Zx";
  std::ofstream(passwordFile_, std::ios::binary | std::ios::trunc) << kDistinctive << "\nOld1\n";
  WriteBaseline("baseline.xml", {{"set supervisor password", kDistinctive},
                                 {"wifi", "0"},
                                 {"gna device", "0"},
                                 {"boot mode", "1"},
                                 {"camera", "0"}});
  ProcessResult r;
  const Json doc = RehearseJson({"--json", "baseline.xml", "--password-file", passwordFile_.string()}, r);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, Not(HasSubstr(kDistinctive)));
  EXPECT_EQ(doc.value("tool", Json()), (Json{{"name", "vort-sim"}, {"version", VORT64_VERSION}}));
  EXPECT_EQ(doc.value("command", Json()), "rehearse");
  EXPECT_EQ(doc.value("exitCode", Json()), 1);
  EXPECT_FALSE(doc.contains("error"));
  EXPECT_EQ(doc.value("kept", Json(0)), nullptr);
  const Json versions = doc.value("versions", Json::array());
  ASSERT_EQ(versions.size(), kLayoutVersions.size()) << r.out;
  for (size_t i = 0; i < versions.size(); ++i) {
    const std::string& v = kLayoutVersions[i];
    SCOPED_TRACE(v);
    const bool gna = v == "2.90";
    // Below 2.73 no status byte says a password is set: the check says what it cannot tell.
    const std::string password = std::stoi(v.substr(2)) >= 73
                                     ? "same"
                                     : "same (the firmware accepted it; no status byte shows whether one is set)";
    const std::string wifi = "unknown setting (nearest: wi-fi, wigig)";
    const Json expected = {
        {"version", v},
        {"twinError", nullptr},
        {"before", CheckEntry(1, 1, gna ? 3 : 2, gna ? 0 : 1, 1)},
        {"import",
         {{"exitCode", 103},
          {"verdict", "Fail"},
          {"errors", {"Error: 1 of 5 settings failed, the first wifi (Invalid Parameter); see Result.txt."}}}},
        {"after", CheckEntry(1, gna ? 4 : 3, 0, gna ? 0 : 1, 1)},
        {"compliant", false},
        {"settings",
         {SettingEntry("set supervisor password", password, "Pass", password),
          SettingEntry("wifi", wifi, "Invalid Parameter", wifi),
          gna ? SettingEntry("gna device", "1 (Enabled) -> 0 (Disabled)", "Pass", "same")
              : SettingEntry("gna device", "Not support", "Not support", "Not support"),
          SettingEntry("boot mode", "0 (Legacy) -> 1 (UEFI)", "Pass", "same"),
          SettingEntry("camera", "1 (Enabled) -> 0 (Disabled)", "Pass", "same")}}};
    EXPECT_EQ(versions[i], expected);
  }
  EXPECT_EQ(doc.value("summary", Json()),
            (Json{{"compliant", Json::array()}, {"notCompliant", Json(kLayoutVersions)}}));
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
}

// --json among the options, with --keep: the versions end compliant (the GNA
// device 2.54 lacks counts as the same there) and the document names the
// folder the twins are kept in.
TEST_F(RehearseTest, TheJsonDocumentOfACompliantBaselineNamesTheKeptTwins) {
  WriteBaseline("baseline.xml", {{"gna device", "0"}, {"boot mode", "1"}});
  const std::filesystem::path keep = root_ / "twins";
  ProcessResult r;
  const Json doc = RehearseJson({"baseline.xml", "--wmi", "2.54,2.90", "--json", "--keep", keep.string()}, r);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(doc.value("exitCode", Json()), 0);
  const Json versions = doc.value("versions", Json::array());
  ASSERT_EQ(versions.size(), 2u) << r.out;
  EXPECT_EQ(versions[0].value("version", Json()), "2.54");
  EXPECT_EQ(versions[0].value("compliant", Json()), true);
  EXPECT_EQ(versions[0].value("after", Json()), CheckEntry(0, 1, 0, 1, 0));
  EXPECT_EQ(versions[0].value("settings", Json()),
            (Json{SettingEntry("gna device", "Not support", "Not support", "Not support"),
                  SettingEntry("boot mode", "0 (Legacy) -> 1 (UEFI)", "Pass", "same")}));
  EXPECT_EQ(versions[1].value("version", Json()), "2.90");
  EXPECT_EQ(versions[1].value("compliant", Json()), true);
  EXPECT_EQ(versions[1].value("import", Json()),
            (Json{{"exitCode", 0}, {"verdict", "Pass"}, {"errors", Json::array()}}));
  EXPECT_EQ(doc.value("summary", Json()), (Json{{"compliant", {"2.54", "2.90"}}, {"notCompliant", Json::array()}}));
  const Json kept = doc.value("kept", Json());
  std::error_code ec;
  ASSERT_TRUE(kept.is_string()) << r.out;
  const std::string keptText = kept.get<std::string>();  // UTF-8 on every platform
  EXPECT_TRUE(std::filesystem::equivalent(std::u8string(keptText.begin(), keptText.end()), keep, ec)) << kept;
  EXPECT_TRUE(std::filesystem::exists(keep / "2.90" / "twin"));
}

// A step the program refuses says nothing of the Items: the document gives
// its exit code, no counts, no verdict and the program's standard error.
TEST_F(RehearseTest, TheJsonDocumentOfARefusedStepHoldsTheProgramsError) {
  const std::string longPassword = "Sup1Longer1234";
  std::ofstream(passwordFile_, std::ios::binary | std::ios::trunc) << longPassword << "\n";
  WriteBaseline("baseline.xml", {{"boot mode", "1"}});
  ProcessResult r;
  const Json doc =
      RehearseJson({"baseline.xml", "--wmi", "2.55,2.56", "--password-file", passwordFile_.string(), "--json"}, r);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, Not(HasSubstr(longPassword)));
  const Json refused = {"The length of password is too long."};
  const Json check = {{"exitCode", 101}, {"counts", nullptr}, {"errors", refused}};
  const Json versions = doc.value("versions", Json::array());
  ASSERT_EQ(versions.size(), 2u) << r.out;
  EXPECT_EQ(versions[0], (Json{{"version", "2.55"},
                               {"twinError", nullptr},
                               {"before", check},
                               {"import", {{"exitCode", 101}, {"verdict", nullptr}, {"errors", refused}}},
                               {"after", check},
                               {"compliant", false},
                               {"settings", Json::array()}}));
  EXPECT_EQ(versions[1].value("compliant", Json()), true);
  EXPECT_EQ(doc.value("summary", Json()), (Json{{"compliant", {"2.56"}}, {"notCompliant", {"2.55"}}}));
}

// A baseline whose supervisor password is not the password file's first
// line (a typo, or the password before a rotation) would strand the fleet:
// every step is refused before any firmware call, and the rehearsal says so
// in its lines and its document.
TEST_F(RehearseTest, ABaselineThatWouldStrandThePasswordIsNamedAsRefused) {
  int n = 0;
  for (const char* password : {"Sup1Typo", "Old1"}) {
    SCOPED_TRACE(password);
    const std::filesystem::path kept = root_ / ("kept-" + std::to_string(++n));
    WriteBaseline("baseline.xml", {{"boot mode", "1"}, {"set supervisor password", password}});
    const std::string file = passwordFile_.string();
    const std::string refused = "refused (its supervisor password is not the password file's first line)";
    const ProcessResult text = Rehearse({"baseline.xml", "--wmi", "2.54,2.90", "--password-file", file});
    EXPECT_EQ(text.exitCode, 1) << text.err;
    for (const char* version : {"2.54", "2.90"}) {
      EXPECT_THAT(text.out, HasSubstr(std::string(version) + "  before: " + refused + "  import: " + refused +
                                      "  after: " + refused + "\n"));
    }
    // Below each version, the program's line of each step (the files' paths
    // as the rehearsal gave them).
    const std::string cause = "Error: the Item \"set supervisor password\" of ";
    for (const char* step : {"before: ", "import: ", "after: "}) {
      EXPECT_THAT(text.out, HasSubstr("      " + std::string(step) + cause));
    }
    EXPECT_THAT(text.out, HasSubstr(" names another supervisor password than the first line of "));
    EXPECT_THAT(text.out, HasSubstr(": nothing was imported (a notebook given it would refuse every run with "));
    EXPECT_THAT(text.out, HasSubstr("compliant: 0 of 2 versions\nnot compliant: 2.54, 2.90\n"));

    ProcessResult r;
    const Json doc =
        RehearseJson({"baseline.xml", "--wmi", "2.90", "--password-file", file, "--json", "--keep", kept.string()}, r);
    const Json version = doc.value("versions", Json::array()).at(0);
    EXPECT_EQ(version["before"].value("refused", Json()), "baseline refused");
    EXPECT_EQ(version["import"].value("refused", Json()), "baseline refused");
    EXPECT_EQ(version["after"].value("refused", Json()), "baseline refused");
    // No firmware call was made on the twin.
    EXPECT_FALSE(std::filesystem::exists(kept / "2.90" / "twin" / "calls.log"));
    EXPECT_THAT(text.out + r.out, Not(HasSubstr(password)));
  }
}

TEST_F(RehearseTest, BadUsageIsExitCodeTwoAndMakesNoTwin) {
  WriteBaseline("baseline.xml", {{"boot mode", "1"}});
  WriteWorkText("real.bin", std::string(2048, '\xff'));
  WriteWorkText("short.bin", "abc");
  WriteWorkText("empty-line.txt", "\nSup1\n");
  std::filesystem::create_directories(work_ / "full");
  WriteWorkText("full/x", "x");
  const struct {
    std::vector<std::string> args;
    std::string err;  // the first line of standard error
  } kCases[] = {
      {{}, "vort-sim: rehearse takes BASELINE.xml"},
      {{"--wmi", "2.90"}, "vort-sim: rehearse takes BASELINE.xml"},
      {{"baseline.xml", "--fast"}, "vort-sim: unknown option: --fast"},
      {{"baseline.xml", "--wmi"}, "vort-sim: --wmi needs a value"},
      {{"baseline.xml", "--wmi", "2.90,,2.54"}, "vort-sim: bad version list: 2.90,,2.54"},
      {{"baseline.xml", "--wmi", "2.90,2.90"}, "vort-sim: 2.90 is named twice"},
      {{"baseline.xml", "--options", "real.bin"},
       "vort-sim: --options takes the one version of the notebook it comes from (--wmi M.N)"},
      {{"baseline.xml", "--options", "real.bin", "--wmi", "2.54,2.90"},
       "vort-sim: --options takes the one version of the notebook it comes from (--wmi M.N)"},
      {{"baseline.xml", "--options", "short.bin", "--wmi", "2.90"},
       "vort-sim: short.bin: an option block export holds exactly 2048 bytes"},
      {{"baseline.xml", "--password-file", "missing.txt"}, "vort-sim: missing.txt: no such file"},
      {{"baseline.xml", "--password-file", "empty-line.txt"},
       "vort-sim: empty-line.txt: its first line holds no password"},
      {{"missing.xml"}, "vort-sim: missing.xml: no such file"},
      {{"baseline.xml", "--program", "no-such-vort64"}, "vort-sim: no-such-vort64: no such program"},
      {{"baseline.xml", "--keep", "full"}, "vort-sim: --keep full: not a new or empty folder"},
      // With --json too: no document, the usage on standard error.
      {{"--json"}, "vort-sim: rehearse takes BASELINE.xml"},
      {{"--json", "baseline.xml", "--fast"}, "vort-sim: unknown option: --fast"},
      {{"baseline.xml", "--json", "--wmi"}, "vort-sim: --wmi needs a value"},
      {{"missing.xml", "--json"}, "vort-sim: missing.xml: no such file"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.err);
    const ProcessResult r = Rehearse(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err);
    EXPECT_THAT(r.err, HasSubstr("usage: vort-sim create"));
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));
}

}  // namespace
}  // namespace vort64::e2e
