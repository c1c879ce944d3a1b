#include "autotest/report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vort64 {
namespace {

namespace fs = std::filesystem;

const std::string kFiller(77, ' ');
const std::string kRule(63, '-');

// `text` with the line ends the report's text mode writes: CR LF on Windows.
std::string WithLineEnds(const std::string& text) {
#ifdef _WIN32
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
#else
  return text;
#endif
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kHead =
    "<!DOCTYPE html>\n"
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"Content - Type\" content = \"text/html\"; charset=\"utf-8\">\n"
    "<title> Kelm WMIAutoTest(NB) test result </title>\n"
    "<style> pre {font-family: Consolas; font-size: 12pt; margin: 0;}</style>\n"
    "</head>\n"
    "<body>\n";

const std::string kEnd = "</body>\n</html>\n";

// The summary's rows, written out: the labels padded to one column.
std::string Summary(bool fail, const std::string& items, const std::string& version, const std::string& model,
                    const std::string& serial, const std::string& program, const std::string& started) {
  return std::string(fail ? "<pre style=\"color:red;\">Overall result : Fail</pre>\n"
                          : "<pre style=\"color:blue;\">Overall result : Pass</pre>\n") +
         "<pre style=\"color:black;\">Items : " + items + "</pre>\n" +
         "<pre style=\"color:black;\">Interface version : " + version + "</pre>\n" +
         "<pre style=\"color:black;\">Model name : " + model + "</pre>\n" +
         "<pre style=\"color:black;\">Serial number : " + serial + "</pre>\n" +
         "<pre style=\"color:black;\">Program : " + program + "</pre>\n" +
         "<pre style=\"color:black;\">Started : " + started + "</pre>\n";
}

// The summary of a report made without facts and closed without counts.
const std::string kNoSummary =
    Summary(false, "0 passed, 0 skipped, 0 failed", "unknown", "unknown", "unknown", "", "1970-01-01 00:00:00 UTC");

// The notebook and the run of the tests that give them.
ReportFacts Facts() {
  using namespace std::chrono;
  return {"Simulated Notebook", "SIM0001", "vort64 9.8.7", sys_days{2026y / December / 10} + 9h + 30min + 5s};
}

class AutotestReportTest : public ::testing::Test {
 protected:
  AutotestReportTest() : console_(out_, err_) {
    dir_ = fs::path(::testing::TempDir()) /
           ("vort64-report-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~AutotestReportTest() override { fs::remove_all(dir_); }

  std::string File() const { return ReadBytes(dir_ / kAutotestReportFile); }

  std::ostringstream out_;
  std::ostringstream err_;
  Console console_;
  fs::path dir_;
};

TEST_F(AutotestReportTest, TheFileIsWrittenWholeAtClose) {
  AutotestReport report(console_, dir_);
  EXPECT_TRUE(report.usable());
  EXPECT_EQ(out_.str(), "File Descriptor:\n");
  EXPECT_EQ(err_.str(), "");
  EXPECT_FALSE(fs::exists(dir_ / kAutotestReportFile));
  report.Close({});
  EXPECT_TRUE(report.written());
  EXPECT_EQ(File(), WithLineEnds(kHead + kNoSummary + kEnd));
  EXPECT_EQ(out_.str(), "File Descriptor:\n");
}

TEST_F(AutotestReportTest, ReplacesTheReportOfTheRunBefore) {
  {
    std::ofstream old(dir_ / kAutotestReportFile, std::ios::binary);
    old << std::string(5000, 'x');
  }
  {
    AutotestReport report(console_, dir_);
    report.WriteRunHeader({2, 90});
    // The report of the run before stays whole until the new one is.
    EXPECT_EQ(File(), std::string(5000, 'x'));
    report.Close({});
  }
  EXPECT_EQ(File().rfind(WithLineEnds(kHead), 0), 0u);
  EXPECT_TRUE(File().ends_with(WithLineEnds(kEnd)));
}

// Every kind of line and every colour, in the driver's order: a passed item
// (its Get, Set, Get and Compare), a password item whose change failed, an
// item the catalog lacks, one the firmware does not support (255), one that
// did not read back and whose first value could not be written back; the
// summary above them with the counts and the facts.
TEST_F(AutotestReportTest, ReportIsExactToTheByte) {
  {
    AutotestReport report(console_, dir_, Facts());
    report.WriteRunHeader({2, 90});
    report.WriteItemHeader(L"asf support");
    report.WriteStepLine(StepKind::kGet, L"asf support", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kGet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kCompare, L"asf support", 0, StepVerdict::kPassed);
    report.WriteItemHeader(L"set supervisor password");
    report.WriteStepLine(StepKind::kSkip, L"set supervisor password", 0, StepVerdict::kFailed);
    report.WriteItemHeader(L"hour");
    report.WriteStepLine(StepKind::kSkip, L"hour", 0, StepVerdict::kSkipped);
    report.WriteItemHeader(L"wake on lan");
    report.WriteStepLine(StepKind::kGet, L"wake on lan", 255, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"wake on lan", 255, StepVerdict::kSkipped);
    report.WriteItemHeader(L"fast boot");
    report.WriteStepLine(StepKind::kGet, L"fast boot", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"fast boot", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"fast boot", 0, StepVerdict::kFailed);
    report.WriteStepLine(StepKind::kRestore, L"fast boot", 1, StepVerdict::kFailed);
    report.Close({.passed = 1, .skipped = 2, .failed = 2});
    EXPECT_TRUE(report.written());
  }
  const std::string expected = kHead +
                               "<pre style=\"color:red;\">Overall result : Fail</pre>\n"
                               "<pre style=\"color:black;\">Items : 1 passed, 2 skipped, 2 failed</pre>\n"
                               "<pre style=\"color:black;\">Interface version : 2.90</pre>\n"
                               "<pre style=\"color:black;\">Model name : Simulated Notebook</pre>\n"
                               "<pre style=\"color:black;\">Serial number : SIM0001</pre>\n"
                               "<pre style=\"color:black;\">Program : vort64 9.8.7</pre>\n"
                               "<pre style=\"color:black;\">Started : 2026-12-10 09:30:05 UTC</pre>\n"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">WMI version : 2.90</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">Vortmark : asf support</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:blue;\">[Success] [Get    ] asf support : 1</pre>"
                               "<pre style=\"color:blue;\">[Success] [Set    ] asf support : 0</pre>"
                               "<pre style=\"color:blue;\">[Success] [Get    ] asf support : 0</pre>\n"
                               "<pre style=\"color:blue;\">[Success] [Compare]</pre>"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">Vortmark : set supervisor password</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:red;\">[Fail] [Compare]</pre>"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">Vortmark : hour</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:orange;\">[Skip][Compare]</pre>"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">Vortmark : wake on lan</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:blue;\">[Success] [Get    ] wake on lan : 255</pre>"
                               "<pre style=\"color:orange;\">[Skip][Compare]</pre>"
                               "<pre style=\"color:black;\">" +
                               kFiller +
                               "</pre>\n"
                               "<pre style=\"color:black;\">Vortmark : fast boot</pre>\n" +
                               kRule +
                               "\n"
                               "<pre style=\"color:blue;\">[Success] [Get    ] fast boot : 1</pre>"
                               "<pre style=\"color:blue;\">[Success] [Set    ] fast boot : 0</pre>"
                               "<pre style=\"color:red;\">[Fail] [Compare]</pre>"
                               "<pre style=\"color:red;\">[Fail] [Restore]</pre>"
                               "</body>\n"
                               "</html>\n";
  EXPECT_EQ(File(), WithLineEnds(expected));
  EXPECT_EQ(out_.str(), "File Descriptor:\n");
}

// The verdict follows the counts: any failed item fails the run; skipped
// items do not.
TEST_F(AutotestReportTest, SummaryVerdictFollowsTheFailedItems) {
  const struct {
    AutotestCounts counts;
    bool fail;
    const char* items;
  } cases[] = {
      {{66, 0, 0}, false, "66 passed, 0 skipped, 0 failed"}, {{18, 8, 0}, false, "18 passed, 8 skipped, 0 failed"},
      {{0, 26, 0}, false, "0 passed, 26 skipped, 0 failed"}, {{64, 0, 2}, true, "64 passed, 0 skipped, 2 failed"},
      {{0, 0, 1}, true, "0 passed, 0 skipped, 1 failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.items);
    {
      AutotestReport report(console_, dir_, Facts());
      report.WriteRunHeader({2, 56});
      report.Close(c.counts);
    }
    const std::string summary =
        Summary(c.fail, c.items, "2.56", "Simulated Notebook", "SIM0001", "vort64 9.8.7", "2026-12-10 09:30:05 UTC");
    EXPECT_EQ(File().substr(0, WithLineEnds(kHead + summary).size()), WithLineEnds(kHead + summary));
    EXPECT_EQ(c.counts.FaultFound(), c.fail);
  }
}

// The notebook's own strings are text on the page, never markup: the
// characters HTML gives a meaning are written as references, and so is
// every byte that is not printable ASCII. A table without the system
// structure says "unknown".
TEST_F(AutotestReportTest, TheNotebooksStringsAreShownAsText) {
  ReportFacts facts = Facts();
  facts.model = std::string("<script>alert(\"x\")</script> & Co");
  facts.serial = std::string("S\x01N\xE9\x7F\xA0", 6);
  {
    AutotestReport report(console_, dir_, facts);
    report.Close({});
  }
  EXPECT_NE(File().find("Model name : &lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; Co</pre>"),
            std::string::npos);
  EXPECT_NE(File().find("Serial number : S&#xFFFD;N&#233;&#xFFFD;&#160;</pre>"), std::string::npos);
  EXPECT_EQ(File().find("<script>"), std::string::npos);

  facts.model.reset();
  facts.serial.reset();
  {
    AutotestReport report(console_, dir_, facts);
    report.Close({});
  }
  EXPECT_NE(File().find("Model name : unknown</pre>"), std::string::npos);
  EXPECT_NE(File().find("Serial number : unknown</pre>"), std::string::npos);
}

TEST(ReportTimeTest, UtcToTheSecond) {
  using namespace std::chrono;
  const struct {
    system_clock::time_point time;
    const char* text;
  } cases[] = {
      {sys_days{2026y / December / 10} + 9h + 30min + 5s + 999ms, "2026-12-10 09:30:05 UTC"},
      {sys_days{2000y / January / 1}, "2000-01-01 00:00:00 UTC"},
      {sys_days{2099y / December / 31} + 23h + 59min + 59s, "2099-12-31 23:59:59 UTC"},
      {sys_days{2028y / February / 29} + 12h, "2028-02-29 12:00:00 UTC"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportTime(c.time), c.text);
}

TEST_F(AutotestReportTest, RuleAndFillerHaveTheirLengths) {
  {
    AutotestReport report(console_, dir_);
    report.WriteRunHeader({2, 7});
    report.Close({});
  }
  std::istringstream lines(File());
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    got.push_back(line);
  }
  ASSERT_EQ(got.size(), 20u);  // the head, the summary, the run header, the end
  EXPECT_EQ(got[10], "<pre style=\"color:black;\">Interface version : 2.7</pre>");
  EXPECT_EQ(got[15], "<pre style=\"color:black;\">" + std::string(77, ' ') + "</pre>");
  EXPECT_EQ(got[16], "<pre style=\"color:black;\">WMI version : 2.7</pre>");
  EXPECT_EQ(got[17], "---------------------------------------------------------------");
  EXPECT_EQ(got[17].size(), 63u);
}

struct StepCase {
  const char* what;
  StepKind kind;
  uint8_t value;
  StepVerdict verdict;
  const char* line;  // what follows the head
};

// "asf support" is the setting of every case.
const StepCase kStepCases[] = {
    {"get passed", StepKind::kGet, 0, StepVerdict::kPassed,
     "<pre style=\"color:blue;\">[Success] [Get    ] asf support : 0</pre>"},
    {"get passed, reboot required", StepKind::kGet, 255, StepVerdict::kPassed,
     "<pre style=\"color:blue;\">[Success] [Get    ] asf support : 255</pre>"},
    {"set passed", StepKind::kSet, 1, StepVerdict::kPassed,
     "<pre style=\"color:blue;\">[Success] [Set    ] asf support : 1</pre>"},
    {"set passed, reboot required", StepKind::kSet, 100, StepVerdict::kPassed,
     "<pre style=\"color:blue;\">[Success] [Set    ] asf support : 100</pre>"},
    {"compare passed", StepKind::kCompare, 1, StepVerdict::kPassed,
     "\n<pre style=\"color:blue;\">[Success] [Compare]</pre>"},
    {"compare passed, reboot required", StepKind::kCompare, 1, StepVerdict::kPassed,
     "\n<pre style=\"color:blue;\">[Success] [Compare]</pre>"},
    {"restore passed", StepKind::kRestore, 1, StepVerdict::kPassed,
     "<pre style=\"color:blue;\">[Success] [Restore] asf support : 1</pre>"},
    {"skip failed", StepKind::kSkip, 1, StepVerdict::kFailed, "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"get failed", StepKind::kGet, 1, StepVerdict::kFailed, "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"set failed", StepKind::kSet, 1, StepVerdict::kFailed, "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"compare failed", StepKind::kCompare, 1, StepVerdict::kFailed, "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"restore failed", StepKind::kRestore, 1, StepVerdict::kFailed, "<pre style=\"color:red;\">[Fail] [Restore]</pre>"},
    {"skip skipped", StepKind::kSkip, 1, StepVerdict::kSkipped, "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"set skipped", StepKind::kSet, 1, StepVerdict::kSkipped, "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"restore skipped", StepKind::kRestore, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Restore]</pre>"},
    {"skip asked with a passed result", StepKind::kSkip, 1, StepVerdict::kPassed,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
};

TEST_F(AutotestReportTest, StepLinesTakeTheColourOfTheirVerdict) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(c.what);
    {
      AutotestReport report(console_, dir_);
      report.WriteStepLine(c.kind, L"asf support", c.value, c.verdict);
      report.Close({});
    }
    EXPECT_EQ(File(), WithLineEnds(kHead + kNoSummary + c.line + kEnd));
  }
}

TEST_F(AutotestReportTest, LongNamesAreCutToTheLineLimit) {
  const std::wstring name(300, L'n');
  {
    AutotestReport report(console_, dir_);
    report.WriteItemHeader(name);
    report.WriteStepLine(StepKind::kGet, name, 7, StepVerdict::kPassed);
    report.Close({});
  }
  const std::string blue = "<pre style=\"color:blue;\">[Success] [Get    ] ";
  const std::string expected = kHead + kNoSummary + "<pre style=\"color:black;\">" + kFiller + "</pre>\n" +
                               "<pre style=\"color:black;\">Vortmark : " + std::string(259, 'n') + "</pre>\n" + kRule +
                               "\n" + blue + std::string(259 - blue.size(), 'n') + "</pre>" + kEnd;
  EXPECT_EQ(File(), WithLineEnds(expected));
}

// A directory where the report goes refuses the report at once; a report
// that cannot be written at the end says so. Either way the message names
// the file and nothing is written.
TEST_F(AutotestReportTest, AReportThatCannotBeWrittenSaysSoAndWritesNothing) {
  struct Where {
    const char* what;
    fs::path dir;
    bool usable;
    const char* out;
  };
  fs::create_directories(dir_ / "taken" / kAutotestReportFile);  // the file's path is a directory
  const Where wheres[] = {
      {"path is a directory", dir_ / "taken", false,
       "file: VORT_AutoTestResult.html is a directory, not a regular file: nothing was written. \n\n"},
      {"directory is missing", dir_ / "missing", true,
       "File Descriptor:\nfile: VORT_AutoTestResult.html open failed. \n\n"},
  };
  for (const Where& where : wheres) {
    SCOPED_TRACE(where.what);
    out_.str("");
    {
      AutotestReport report(console_, where.dir);
      EXPECT_EQ(report.usable(), where.usable);
      report.WriteRunHeader({2, 90});
      report.WriteItemHeader(L"asf support");
      report.WriteStepLine(StepKind::kGet, L"asf support", 1, StepVerdict::kPassed);
      report.Close({.passed = 1});
      EXPECT_FALSE(report.written());
    }
    EXPECT_EQ(out_.str(), where.out);
    EXPECT_EQ(err_.str(), "");
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "taken" / kAutotestReportFile));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

// The sample the browser check (tests/browser/check-report) renders: the
// summary and every colour, items "asf support", "set supervisor password",
// "hour", "wake on lan" and "fast boot" in this order. Written into
// $VORT64_REPORT_SAMPLE_DIR when that is set (CTest's autotest_report_sample),
// else into a scratch directory.
TEST(AutotestReportBrowserSample, WritesEveryColour) {
  const char* sampleDir = std::getenv("VORT64_REPORT_SAMPLE_DIR");
  const bool keep = sampleDir != nullptr && *sampleDir != '\0';
  const fs::path dir = keep ? fs::path(sampleDir) : fs::path(::testing::TempDir()) / "vort64-report-sample";
  fs::create_directories(dir);
  std::ostringstream out;
  std::ostringstream err;
  Console console(out, err);
  {
    AutotestReport report(console, dir, Facts());
    ASSERT_TRUE(report.usable());
    report.WriteRunHeader({2, 90});
    report.WriteItemHeader(L"asf support");
    report.WriteStepLine(StepKind::kGet, L"asf support", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kGet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kCompare, L"asf support", 0, StepVerdict::kPassed);
    report.WriteItemHeader(L"set supervisor password");
    report.WriteStepLine(StepKind::kSkip, L"set supervisor password", 0, StepVerdict::kFailed);
    report.WriteItemHeader(L"hour");
    report.WriteStepLine(StepKind::kSkip, L"hour", 0, StepVerdict::kSkipped);
    report.WriteItemHeader(L"wake on lan");
    report.WriteStepLine(StepKind::kGet, L"wake on lan", 255, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"wake on lan", 255, StepVerdict::kSkipped);
    report.WriteItemHeader(L"fast boot");
    report.WriteStepLine(StepKind::kGet, L"fast boot", 4, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"fast boot", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"fast boot", 1, StepVerdict::kFailed);
    report.WriteStepLine(StepKind::kRestore, L"fast boot", 4, StepVerdict::kFailed);
    report.Close({.passed = 1, .skipped = 2, .failed = 2});
  }
  const std::string file = ReadBytes(dir / kAutotestReportFile);
  EXPECT_EQ(file.rfind(WithLineEnds(kHead), 0), 0u);
  EXPECT_TRUE(file.ends_with(WithLineEnds(kEnd)));
  if (!keep) fs::remove_all(dir);
}

}  // namespace
}  // namespace vort64
