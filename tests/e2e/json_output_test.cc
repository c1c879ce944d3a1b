// "/json": every function answers with one JSON document on standard output
// and nothing else there, its messages on standard error, the exit code as
// without it, and never a password. (Each document is also checked against
// the schema after the suite: see tests/e2e/CMakeLists.txt.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

// Distinctive passwords: none of them may show anywhere in a run's output.
constexpr char kSupervisor[] = "Qx7Jm4Kz";
constexpr char kNewSupervisor[] = "Nw2Rt8Lp";
constexpr char kUserOld[] = "Ux5Vb2Nc";
constexpr char kUserNew[] = "Ux6Vb3Nd";

class JsonOutputTest : public MachineTest {
 protected:
  // Runs `args` after "/json": the document, checked for what every document
  // holds; a failure when standard output is anything but one document.
  Json RunJson(const std::vector<std::string>& args, int exitCode, const std::string& input = "") {
    std::vector<std::string> all = {"/json"};
    all.insert(all.end(), args.begin(), args.end());
    last_ = Vort64(all, input);
    EXPECT_EQ(last_.exitCode, exitCode) << last_.err;
    Json doc;
    try {
      doc = Json::parse(last_.out);  // one document and nothing after it
    } catch (const Json::exception& e) {
      ADD_FAILURE() << "standard output is no one JSON document: " << e.what() << "\n" << last_.out;
      return Json::object();
    }
    EXPECT_EQ(doc.at("tool"), (Json{{"name", "vort64"}, {"version", VORT64_VERSION}}));
    EXPECT_EQ(doc.at("exitCode"), last_.exitCode);
    const bool failed = exitCode != 0 && exitCode != 1;
    EXPECT_EQ(doc.contains("error"), failed) << last_.out;
    for (const char* secret : {kSupervisor, kNewSupervisor, kUserOld, kUserNew}) {
      EXPECT_THAT(last_.out, ::testing::Not(HasSubstr(secret)));
      EXPECT_THAT(last_.err, ::testing::Not(HasSubstr(secret)));
    }
    return doc;
  }

  ProcessResult last_;
};

// The setting of a /get or /show-settings document named `name`.
Json SettingNamed(const Json& doc, const std::string& name) {
  for (const Json& s : doc.at("settings")) {
    if (s.at("name") == name) return s;
  }
  ADD_FAILURE() << "no setting " << name;
  return Json::object();
}

// Whether the path a document names is the file `file` (the program names it
// as its platform does: under Wine with a drive letter).
bool SamePlace(const Json& named, const std::filesystem::path& file) {
  std::error_code ec;
  return named.is_string() && std::filesystem::equivalent(named.get<std::string>(), file, ec);
}

TEST_F(JsonOutputTest, EveryFunctionAnswersWithOneDocumentAndNoPassword) {
  CreateMachine({"--supervisor-password", kSupervisor});
  const std::string pw = kSupervisor;
  WriteWorkText("pw.txt", std::string(kNewSupervisor) + "\n" + kSupervisor + "\n");
  const struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* function;
    std::function<void(const Json&)> check;
  } cases[] = {
      {{"/password", pw, "/get", "boot mode"},
       0,
       "get",
       [](const Json& d) {
         EXPECT_EQ(d.at("settings"),
                   (Json::array({{{"name", "boot mode"}, {"value", 0}, {"label", "Legacy"}, {"supported", true}}})));
         EXPECT_EQ(d.at("interface"), "2.90");
         EXPECT_EQ(d.at("model"), "Simulated Notebook");
         EXPECT_EQ(d.at("serial"), "SIM0001");
       }},
      {{"/password", pw, "/get", "date"},
       0,
       "get",
       [](const Json& d) { EXPECT_EQ(d.at("settings").at(0).at("value"), "2026,12,10"); }},
      {{"/password", pw, "/get", "set supervisor password"},
       0,
       "get",
       [](const Json& d) { EXPECT_TRUE(d.at("settings").at(0).at("value").is_null()); }},
      {{"/password", pw, "/get-default", "boot mode"},
       0,
       "get-default",
       [](const Json& d) { EXPECT_EQ(d.at("settings").at(0).at("name"), "boot mode"); }},
      {{"/password", pw, "/show-settings"},
       0,
       "show-settings",
       [](const Json& d) {
         const Json camera = SettingNamed(d, "camera");
         EXPECT_EQ(camera.at("value"), 1);
         EXPECT_EQ(camera.at("label"), "Enabled");
         EXPECT_EQ(camera.at("writable"), true);
         EXPECT_EQ(camera.at("listed"),
                   (Json::array({{{"value", 0}, {"label", "Disabled"}}, {{"value", 1}, {"label", "Enabled"}}})));
         EXPECT_EQ(SettingNamed(d, "wigig").at("supported"), false);
         EXPECT_EQ(SettingNamed(d, "customized mac address").at("value").type(), Json::value_t::string);
         EXPECT_TRUE(SettingNamed(d, "set supervisor password").at("value").is_null());
       }},
      {{"/password", pw, "/set", "camera=Disabled"},
       0,
       "set",
       [](const Json& d) {
         EXPECT_EQ(d.at("setting"), "camera");
         EXPECT_EQ(d.at("before"), (Json{{"value", 1}, {"label", "Enabled"}}));
         EXPECT_EQ(d.at("after"), (Json{{"value", 0}, {"label", "Disabled"}}));
         EXPECT_EQ(d.at("result"), "Pass");
       }},
      {{"/password", pw, "/set", "asset tag number=IT0815"},
       0,
       "set",
       [](const Json& d) { EXPECT_EQ(d.at("after").at("value"), "IT0815"); }},
      {{"/password", pw, "/set", "camera=7"},
       101,
       "set",
       [](const Json& d) { EXPECT_EQ(d.at("outcome"), "value unlisted"); }},
      {{"/password", pw, "/set-default", "boot mode=1"},
       0,
       "set-default",
       [](const Json& d) { EXPECT_EQ(d.at("after").at("value"), 1); }},
      {{"/password", pw, "/set", "user password=" + std::string(kUserOld)},
       0,
       "set",
       [](const Json& d) {
         EXPECT_TRUE(d.at("before").is_null());
         EXPECT_TRUE(d.at("after").is_null());
       }},
      {{"/password", pw, "/load-factory-default"},
       0,
       "load-factory-default",
       [](const Json& d) { EXPECT_EQ(d.at("outcome"), "done"); }},
      {{"/password", pw, "/load-user-default"},
       103,
       "load-user-default",
       [](const Json& d) { EXPECT_EQ(d.at("error").at("code"), 4); }},
      {{"/password", pw}, 103, "password", [](const Json& d) { EXPECT_EQ(d.at("outcome"), "nothing ran"); }},
      {{"/password", "Wrong1", "/get", "boot mode"},
       103,
       "get",
       [](const Json& d) {
         EXPECT_EQ(d.at("error"), (Json{{"code", 2}, {"message", "the firmware refused the password (code 2)"}}));
         EXPECT_EQ(d.at("settings"), Json::array());
       }},
      {{"/password", pw, "/export-raw-settings", "saved.bin"},
       0,
       "export-raw-settings",
       [](const Json& d) { EXPECT_EQ(d.at("file"), "saved.bin"); }},
      {{"/password", pw, "/import-raw-settings", "saved.bin"},
       0,
       "import-raw-settings",
       [](const Json& d) { EXPECT_EQ(d.at("outcome"), "done"); }},
      {{"/password", pw, "/export-custom-settings", "settings.xml"},
       0,
       "export-custom-settings",
       [](const Json& d) { EXPECT_EQ(d.at("file"), "settings.xml"); }},
      {{"/password", pw, "/check-custom-settings", "settings.xml"},
       0,
       "check-custom-settings",
       [](const Json& d) {
         EXPECT_EQ(d.at("counts").at("differs"), 0);
         EXPECT_EQ(d.at("counts").at("settings"), d.at("settings").size());
       }},
      {{"/password", pw, "/import-custom-settings", "settings.xml"},
       0,
       "import-custom-settings",
       [&](const Json& d) {
         EXPECT_EQ(d.at("verdict"), "Pass");
         EXPECT_TRUE(SamePlace(d.at("resultFile"), work_ / "Result.txt"));
         EXPECT_EQ(SettingNamed(d, "boot mode").at("result"), "Pass");
         EXPECT_EQ(SettingNamed(d, "wigig").at("result"), "Not support");
       }},
      {{"/password-file", "pw.txt", "/rotate-password"},
       0,
       "rotate-password",
       [](const Json& d) { EXPECT_EQ(d.at("outcome"), "done"); }},
      {{"/password", kNewSupervisor, "/get", "autotest"},
       0,
       "self-test",
       [&](const Json& d) {
         EXPECT_EQ(d.at("verdict"), "no fault");
         EXPECT_EQ(d.at("items").size(), 66u);
         EXPECT_EQ(d.at("counts").at("passed").get<int>() + d.at("counts").at("skipped").get<int>(), 66);
         EXPECT_TRUE(SamePlace(d.at("report"), work_ / "VORT_AutoTestResult.html"));
       }},
  };
  const std::string answers =
      std::string(kUserOld) + " " + kUserNew + "\n" + kNewSupervisor + " " + kNewSupervisor + "\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Json doc = RunJson(c.args, c.exitCode, answers);
    EXPECT_EQ(doc.value("function", Json()), c.function);
    c.check(doc);
  }
}

// Standard output holds the document alone: what it holds without "/json"
// (the version line, the firmware's lines, the value) goes to standard error.
TEST_F(JsonOutputTest, MessagesGoToStandardErrorAndExitCodesStay) {
  CreateMachine();
  const ProcessResult plain = Vort64({"/password", "", "/get", "boot mode"});
  const Json doc = RunJson({"/password", "", "/get", "boot mode"}, plain.exitCode);
  EXPECT_EQ(last_.err, plain.out + plain.err);
  EXPECT_THAT(last_.err, HasSubstr("BIOS WMI Version = 2.90\n"));
  EXPECT_THAT(last_.err, HasSubstr("Get BIOS options success."));

  const struct {
    std::vector<std::string> args;
    int exitCode;
    Json function;
    const char* err;
  } cases[] = {
      {{"--version"}, 0, "version", "vort64 " VORT64_VERSION "\n"},
      {{"--help"}, 101, "usage", kUsage},
      // "/?" and "/h" after the version line: the usage all the same.
      {{"/?"}, 101, "usage", "BIOS WMI Version = 2.90\nUsage:"},
      {{"/h", "", "/get", "boot mode"}, 101, "usage", "BIOS WMI Version = 2.90\nUsage:"},
      {{"/JSON"}, 103, "none", "BIOS WMI Version = 2.90\n"},  // "/json" twice: the second asks for nothing
      {{"/password", "", "/get", "no such thing"}, 101, nullptr, "Invalid Item"},
      {{"/password", "", "/frobnicate", "x"}, 101, nullptr, "Invalid Function Name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Json d = RunJson(c.args, c.exitCode);
    EXPECT_EQ(d.at("function"), c.function);
    EXPECT_THAT(last_.err, HasSubstr(c.err));
  }
}

// The SMBIOS strings are the firmware's bytes, not always UTF-8: the document
// stays one valid UTF-8 document, with U+FFFD for what is not UTF-8, and JSON's
// own characters are escaped.
TEST_F(JsonOutputTest, SmbiosTextThatIsNotUtf8KeepsTheDocumentValid) {
#if defined(_WIN32)
  GTEST_SKIP() << "a Windows command line carries no bytes that are not UTF-8 to vort-sim";
#else
  CreateMachine({"--model", "Caf\xe9 \"Book\"\\", "--serial", "S\x01N"});
  const Json d = RunJson({"/password", "", "/get", "boot mode"}, 0);
  EXPECT_EQ(d.at("model"), "Caf\xef\xbf\xbd \"Book\"\\");
  EXPECT_EQ(d.at("serial"), "S\x01N");
#endif
}

TEST_F(JsonOutputTest, AVersionOtherThanTwoIsNamed) {
  CreateMachine({"--wmi", "3.0"});
  const Json d = RunJson({"/password", "", "/get", "boot mode"}, 104);
  EXPECT_EQ(d.at("interface"), "3.0");
  EXPECT_TRUE(d.at("function").is_null());
  EXPECT_EQ(d.at("error").at("message"), "the firmware offers no WMI interface of major version 2");
  EXPECT_TRUE(Calls().empty());
}

// Detection with /json: every state the check knows, with the values in the
// form /set takes, and exit code 1 (a finding, not an error).
TEST_F(JsonOutputTest, TheCheckGivesEachStateAndTheCounts) {
  CreateMachine();
  WriteWorkText("baseline.xml",
                "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\"><Category name=\"x\">"
                "<Item name=\"boot mode\"><Value>0</Value></Item>"
                "<Item name=\"camera\"><Value>Disabled</Value></Item>"
                "<Item name=\"wigig\"><Value>1</Value></Item>"
                "<Item name=\"wifi\"><Value>1</Value></Item>"
                "<Item name=\"fast boot\"><Value>9</Value></Item>"
                "</Category></Root>\n");
  const Json d = RunJson({"/password", "", "/check-custom-settings", "baseline.xml"}, 1);
  EXPECT_EQ(d.at("settings"),
            (Json::array({
                {{"name", "boot mode"}, {"state", "same"}, {"current", 0}, {"wanted", 0}},
                {{"name", "camera"}, {"state", "differs"}, {"current", 1}, {"wanted", 0}},
                {{"name", "wigig"}, {"state", "not supported"}, {"current", nullptr}, {"wanted", nullptr}},
                {{"name", "wifi"}, {"state", "unknown"}, {"current", nullptr}, {"wanted", nullptr}},
                {{"name", "fast boot"}, {"state", "invalid"}, {"current", nullptr}, {"wanted", nullptr}},
            })));
  EXPECT_EQ(d.at("counts"), (Json{{"settings", 5}, {"same", 1}, {"differs", 1}, {"notSupported", 1}, {"invalid", 2}}));
  EXPECT_EQ(d.at("outcome"), "drift");
}

// Remediation with /json: the verdict and every Item's word as Result.txt
// has them, and where Result.txt is.
TEST_F(JsonOutputTest, TheImportGivesTheVerdictAndEachWord) {
  CreateMachine();
  WriteWorkText("baseline.xml",
                "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\"><Category name=\"x\">"
                "<Item name=\"camera\"><Value>Disabled</Value></Item>"
                "<Item name=\"wifi\"><Value>1</Value></Item>"
                "</Category></Root>\n");
  const Json d = RunJson({"/password", "", "/import-custom-settings", "baseline.xml"}, 103);
  EXPECT_EQ(d.at("verdict"), "Fail");
  EXPECT_EQ(
      d.at("settings"),
      (Json::array({{{"name", "camera"}, {"result", "Pass"}}, {{"name", "wifi"}, {"result", "Invalid Parameter"}}})));
  EXPECT_TRUE(SamePlace(d.at("resultFile"), work_ / "Result.txt"));
  EXPECT_THAT(WorkText("Result.txt"), HasSubstr("Overall result : Fail"));
  EXPECT_EQ(d.at("error").at("message"), "a setting failed");
}

}  // namespace
}  // namespace vort64::e2e
