// The self-test from the command line: the report it leaves, what it prints,
// its exit code, and a machine left as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;

constexpr char kAnswers[] = "old1 new1\nold2 new2\n";

class AutotestTest : public MachineTest {
 protected:
  // The report with its line ends as LF: the file is written in text mode,
  // so Windows ends its lines with CR LF (and nothing else does).
  std::string Report() const {
    std::ifstream in(work_ / "VORT_AutoTestResult.html", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
      text += raw[i];
    }
#if defined(_WIN32)
    EXPECT_NE(raw.find("<html>\r\n"), std::string::npos);
#else
    EXPECT_EQ(raw.find('\r'), std::string::npos);
#endif
    return text;
  }
  // The tested settings, in report order.
  static std::vector<std::string> Items(const std::string& report) {
    std::vector<std::string> items;
    const std::regex header("Vortmark : ([^<]*)</pre>");
    for (auto it = std::sregex_iterator(report.begin(), report.end(), header); it != std::sregex_iterator(); ++it) {
      items.push_back((*it)[1]);
    }
    return items;
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  // The option block without the supervisor and user password fields and
  // their status bytes (196, 197), which the password step changes.
  Bytes OptionsWithoutPasswords(size_t supervisor, size_t user) const {
    Bytes block = Options();
    if (block.size() == 2048) {
      block[196] = 0;
      block[197] = 0;
      std::fill(block.begin() + static_cast<long>(supervisor), block.begin() + static_cast<long>(supervisor + 34), 0);
      std::fill(block.begin() + static_cast<long>(user), block.begin() + static_cast<long>(user + 34), 0);
    }
    return block;
  }
};

TEST_F(AutotestTest, CurrentListEndsWithThePasswordsAndLeavesTheMachineAsItWas) {
  CreateMachine({"--wmi", "2.90"});
  const Bytes before = OptionsWithoutPasswords(199, 260);
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"}, kAnswers);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("File Descriptor:\n"));
  const std::string report = Report();
  const auto items = Items(report);
  ASSERT_EQ(items.size(), 66u);
  EXPECT_EQ(items[64], "set user password");
  EXPECT_EQ(items[65], "set supervisor password");
  // Each password item ends with one Compare line.
  const size_t user = report.find("Vortmark : set user password");
  const std::string userPart = report.substr(user, report.find("Vortmark : set supervisor password") - user);
  EXPECT_EQ(Count(userPart, "[Compare]"), 1u);
  EXPECT_EQ(Count(userPart, "[Get    ]"), 0u);
  EXPECT_THAT(report, ::testing::EndsWith("</pre></body>\n</html>\n"));
  // wigig reads 255 on this machine: an orange Skip, not a fault.
  EXPECT_THAT(report, HasSubstr("wigig : 255</pre><pre style=\"color:orange;\">[Skip][Compare]</pre>"));
  EXPECT_EQ(OptionsWithoutPasswords(199, 260), before);  // boot order and clock included
  // The passwords the step set are what the machine says it holds.
  EXPECT_EQ(FileBytes("options.bin", 196, 2), (Bytes{1, 1}));
}

TEST_F(AutotestTest, LegacyListHasNoPasswordStep) {
  CreateMachine({"--wmi", "2.75"});
  const Bytes before = Options();
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string report = Report();
  EXPECT_EQ(Items(report).size(), 26u);
  EXPECT_THAT(r.out, Not(HasSubstr("Enter Current password")));
  EXPECT_EQ(Options(), before);
}

// One read for the whole run, then per item the test value written and read
// back and the first value written and read back, that read serving as the
// next item's: at most 4 calls per item and 1. The console names each call
// that was made, and only those.
TEST_F(AutotestTest, FourCallsPerItemAndOneAndAConsoleLinePerCallMade) {
  const struct {
    const char* wmi;
    size_t items;
    size_t unverified;  // writes of the TPM clear: the firmware acts on the next start, nothing to read back
  } cases[] = {{"2.90", 66, 2}, {"2.75", 26, 0}, {"2.54", 26, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wmi);
    CreateMachine({"--wmi", c.wmi});
    const Bytes before = OptionsWithoutPasswords(199, 260);
    const ProcessResult r = Vort64({"/password", "", "/get", "autotest"}, kAnswers);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto calls = Calls();
    EXPECT_LE(calls.size(), 4 * c.items + 1);
    size_t gets = 0, sets = 0;
    for (const auto& call : calls) {
      gets += call.starts_with("GetBiosOptions ") ? 1u : 0u;
      sets += call.starts_with("SetBiosOptions ") ? 1u : 0u;
    }
    EXPECT_EQ(gets + sets, calls.size());
    EXPECT_EQ(Count(r.out, "Get BIOS options success.\n"), gets);
    EXPECT_EQ(Count(r.out, "Set BIOS options Success.\n"), sets);
    // Each write but a password step's and the TPM clear's was read back and compared.
    EXPECT_EQ(Count(r.out, "Comparison result : The same. \n"),
              sets - Count(r.out, "Enter Current password") - c.unverified);
    EXPECT_EQ(OptionsWithoutPasswords(199, 260), before);
  }
}

TEST_F(AutotestTest, SettingsTheVersionLacksAreSkippedAndTheRunGoesOn) {
  CreateMachine({"--wmi", "2.56"});
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string report = Report();
  for (const std::string name : {"cnvi wlan/bt", "power on by rtc alarm", "hour", "minute", "second",
                                 "absolute persistence module", "lock bios version", "rollback old bios version"}) {
    SCOPED_TRACE(name);
    EXPECT_THAT(report, HasSubstr("Vortmark : " + name +
                                  "</pre>\n---------------------------------------------------------------\n"
                                  "<pre style=\"color:orange;\">[Skip][Compare]</pre>"));
  }
  EXPECT_EQ(Count(r.out, "skip\n"), 8u);
}

TEST_F(AutotestTest, FaultsFoundExitWith103) {
  // A wrong password: every first read fails, red lines.
  CreateMachine({"--wmi", "2.90", "--supervisor-password", "secret"});
  const ProcessResult wrong = Vort64({"/password", "nope", "/get", "autotest"}, kAnswers);
  EXPECT_EQ(wrong.exitCode, 103);
  EXPECT_THAT(Report(), HasSubstr("<pre style=\"color:red;\">[Fail] [Compare]</pre>"));

  // A write the firmware refuses: orange lines, and nothing changed.
  CreateMachine({"--wmi", "2.90"});
  const Bytes before = Options();
  WriteMachineFile("faults", "SetBiosOptions 3\n");
  const ProcessResult refused = Vort64({"/password", "", "/get", "autotest"}, kAnswers);
  EXPECT_EQ(refused.exitCode, 103);
  EXPECT_EQ(Options(), before);
}

TEST_F(AutotestTest, AValueThatDoesNotStickIsAnOrangeSkipAndTheMachineStaysAsItWas) {
  CreateMachine({"--wmi", "2.75"});
  const Bytes before = Options();
  WriteMachineFile("faults", "stuck 55\n");  // bluetooth keeps its byte whatever is sent
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(r.exitCode, 103);
  EXPECT_THAT(r.out, HasSubstr("Comparison result : Not the same. \n"));
  EXPECT_THAT(Report(),
              HasSubstr("Vortmark : bluetooth</pre>\n---------------------------------------------------------------\n"
                        "<pre style=\"color:blue;\">[Success] [Get    ] bluetooth : 1</pre>"
                        "<pre style=\"color:orange;\">[Skip][Compare]</pre>"));
  EXPECT_EQ(Options(), before);
}

TEST_F(AutotestTest, AReportThatCannotBeWrittenWhereItGoesStopsTheRunBeforeAnyCall) {
  CreateMachine({"--wmi", "2.75"});
  const Bytes before = Options();
  std::filesystem::create_directory(work_ / "VORT_AutoTestResult.html");  // in the way of the file
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(r.exitCode, 103) << r.err;
  EXPECT_EQ(r.out,
            "BIOS WMI Version = 2.75\nPassword = \nFunctionName = get\nItem = autotest\n\n"
            "file: VORT_AutoTestResult.html is a directory, not a regular file: nothing was written. \n\n");
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);
  EXPECT_TRUE(std::filesystem::is_empty(work_ / "VORT_AutoTestResult.html"));
}

}  // namespace
}  // namespace vort64::e2e
