// The self-test from the command line: the report it leaves, what it prints,
// its exit code, and a machine left as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
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

  // A write the firmware refuses: red lines, and nothing changed.
  CreateMachine({"--wmi", "2.90"});
  const Bytes before = Options();
  WriteMachineFile("faults", "SetBiosOptions 3\n");
  const ProcessResult refused = Vort64({"/password", "", "/get", "autotest"}, kAnswers);
  EXPECT_EQ(refused.exitCode, 103);
  EXPECT_THAT(Report(), HasSubstr("<pre style=\"color:red;\">[Fail] [Compare]</pre>"));
  // Orange only for the setting this notebook does not support.
  EXPECT_EQ(Count(Report(), "color:orange;"), 1u);
  EXPECT_THAT(refused.out, HasSubstr("Self-test: 0 passed, 1 skipped, 65 failed; report: "));
  EXPECT_EQ(Options(), before);
}

TEST_F(AutotestTest, AValueThatDoesNotStickIsARedFailAndTheMachineStaysAsItWas) {
  CreateMachine({"--wmi", "2.75"});
  const Bytes before = Options();
  WriteMachineFile("faults", "stuck 55\n");  // bluetooth keeps its byte whatever is sent
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  EXPECT_EQ(r.exitCode, 103);
  EXPECT_THAT(r.out, HasSubstr("Comparison result : Not the same. \n"));
  EXPECT_THAT(Report(),
              HasSubstr("Vortmark : bluetooth</pre>\n---------------------------------------------------------------\n"
                        "<pre style=\"color:blue;\">[Success] [Get    ] bluetooth : 1</pre>"
                        "<pre style=\"color:red;\">[Fail] [Compare]</pre>"));
  EXPECT_THAT(r.out, HasSubstr("Self-test: 23 passed, 2 skipped, 1 failed; report: "));
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

// The summary at the top of the report: the verdict in its colour, the
// counts the console's closing line has, which the items' colours give too
// (an item with a red line failed, one with an orange line and no red one
// was skipped), the interface version, the notebook, the program and when
// it ran. The page's head is as it always was.
TEST_F(AutotestTest, TheSummaryOnTopCountsAsTheConsoleAndTheColours) {
  const struct {
    std::vector<std::string> machine;
    std::string password;
    std::string answers;
    int exitCode;
    const char* counts;
    const char* version;
  } cases[] = {
      {{"--wmi", "2.90", "--model", "Book <14> & Co", "--serial", "SN42"},
       "",
       kAnswers,
       0,
       "65 passed, 1 skipped, 0 failed",
       "2.90"},
      {{"--wmi", "2.56", "--model", "Book <14> & Co", "--serial", "SN42"},
       "",
       "",
       0,
       "17 passed, 9 skipped, 0 failed",
       "2.56"},
      // The supervisor password's change refused (a wrong current password
      // typed; the user had none to check): counted failed, and red.
      {{"--wmi", "2.90", "--model", "Book <14> & Co", "--serial", "SN42", "--supervisor-password", "secret"},
       "secret",
       "wrong1 new1\nwrong2 new2\n",
       103,
       "64 passed, 1 skipped, 1 failed",
       "2.90"},
      // No answers at all: the password changes did not happen, red as well.
      {{"--wmi", "2.90", "--model", "Book <14> & Co", "--serial", "SN42"},
       "",
       "",
       103,
       "63 passed, 1 skipped, 2 failed",
       "2.90"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counts);
    CreateMachine(c.machine);
    const ProcessResult r = Vort64({"/password", c.password, "/get", "autotest"}, c.answers);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(std::string("\nSelf-test: ") + c.counts + "; report: "));
    const std::string report = Report();
    const bool failed = c.exitCode != 0;
    EXPECT_THAT(report, ::testing::StartsWith(
                            "<!DOCTYPE html>\n<html>\n<head>\n"
                            "<meta http-equiv=\"Content - Type\" content = \"text/html\"; charset=\"utf-8\">\n"
                            "<title> Kelm WMIAutoTest(NB) test result </title>\n"
                            "<style> pre {font-family: Consolas; font-size: 12pt; margin: 0;}</style>\n"
                            "</head>\n<body>\n" +
                            std::string(failed ? "<pre style=\"color:red;\">Overall result : Fail</pre>\n"
                                               : "<pre style=\"color:blue;\">Overall result : Pass</pre>\n") +
                            "<pre style=\"color:black;\">Items : " + c.counts + "</pre>\n" +
                            "<pre style=\"color:black;\">Interface version : " + c.version + "</pre>\n" +
                            "<pre style=\"color:black;\">Model name : Book &lt;14&gt; &amp; Co</pre>\n"
                            "<pre style=\"color:black;\">Serial number : SN42</pre>\n"
                            "<pre style=\"color:black;\">Program : vort64 " VORT64_VERSION "</pre>\n"
                            "<pre style=\"color:black;\">Started : "));
    EXPECT_TRUE(std::regex_search(report, std::regex("Started : 20[0-9][0-9]-[01][0-9]-[0-3][0-9] "
                                                     "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] UTC</pre>\n"
                                                     "<pre style=\"color:black;\"> {77}</pre>\n"
                                                     "<pre style=\"color:black;\">WMI version : ")));
    // The counts again, from the colours of each item's lines.
    size_t passed = 0, skipped = 0, redItems = 0;
    const std::string header = "Vortmark : ";
    for (size_t at = report.find(header); at != std::string::npos;) {
      const size_t next = report.find(header, at + 1);
      const std::string item = report.substr(at, next == std::string::npos ? std::string::npos : next - at);
      if (item.find("color:red;") != std::string::npos) {
        ++redItems;
      } else if (item.find("color:orange;") != std::string::npos) {
        ++skipped;
      } else {
        ++passed;
      }
      at = next;
    }
    EXPECT_EQ(std::to_string(passed) + " passed, " + std::to_string(skipped) + " skipped, " + std::to_string(redItems) +
                  " failed",
              c.counts);
  }
}

// A report that cannot be written when the run ends (a directory put in its
// place while the run went on): the run says so, its closing line names no
// report, and it ends with 103, the items' verdict whatever it was.
TEST_F(AutotestTest, AReportThatCouldNotBeWrittenIsNotNamed) {
  CreateMachine({"--wmi", "2.75"});
  WriteMachineFile("faults", "delay 15\n");  // about two seconds of calls
  const std::filesystem::path report = work_ / "VORT_AutoTestResult.html";
  const std::filesystem::path log = machine_ / "calls.log";
  std::thread planter([&report, &log] {
    // Once the run has made its first call (its report's place was looked at
    // before), a directory takes the report's place.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::error_code ec;
    while (std::chrono::steady_clock::now() < until &&
           (!std::filesystem::exists(log, ec) || std::filesystem::file_size(log, ec) == 0)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::filesystem::create_directory(report, ec);
  });
  const ProcessResult r = Vort64({"/password", "", "/get", "autotest"});
  planter.join();
  ASSERT_FALSE(Calls().empty());
  EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("file: VORT_AutoTestResult.html is a directory, not a regular file: nothing was "
                               "written. \n\nSelf-test: 24 passed, 2 skipped, 0 failed; the report was not written\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("report: ")));
  EXPECT_TRUE(std::filesystem::is_directory(report));
  EXPECT_TRUE(std::filesystem::is_empty(report));
}

}  // namespace
}  // namespace vort64::e2e
