#include "autotest/report.h"

#include <gtest/gtest.h>

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
  report.Close();
  EXPECT_TRUE(report.written());
  EXPECT_EQ(File(), WithLineEnds(kHead + kEnd));
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
    report.Close();
  }
  EXPECT_EQ(File().rfind(WithLineEnds(kHead), 0), 0u);
  EXPECT_TRUE(File().ends_with(WithLineEnds(kEnd)));
}

// Every kind of line and every colour, in the driver's order: a passed item
// (its Get, Set, Get and Compare), a password item whose change
// was refused (2), an item the catalog lacks (103), one whose write failed.
TEST_F(AutotestReportTest, ReportIsExactToTheByte) {
  {
    AutotestReport report(console_, dir_);
    report.WriteRunHeader({2, 90});
    report.WriteItemHeader(L"asf support");
    report.WriteStepLine(StepKind::kGet, L"asf support", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kGet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kCompare, L"asf support", 0, StepVerdict::kPassed);
    report.WriteItemHeader(L"set supervisor password");
    report.WriteStepLine(StepKind::kSkip, L"set supervisor password", 0, StepVerdict::kIncorrectPassword);
    report.WriteItemHeader(L"hour");
    report.WriteStepLine(StepKind::kSkip, L"hour", 0, StepVerdict::kSkipped);
    report.WriteItemHeader(L"wake on lan");
    report.WriteStepLine(StepKind::kGet, L"wake on lan", 255, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"wake on lan", 255, StepVerdict::kSkipped);
    report.Close();
    EXPECT_TRUE(report.written());
  }
  const std::string expected = kHead + "<pre style=\"color:black;\">" + kFiller +
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
                               "</body>\n"
                               "</html>\n";
  EXPECT_EQ(File(), WithLineEnds(expected));
  EXPECT_EQ(out_.str(), "File Descriptor:\n");
}

TEST_F(AutotestReportTest, RuleAndFillerHaveTheirLengths) {
  {
    AutotestReport report(console_, dir_);
    report.WriteRunHeader({2, 7});
    report.Close();
  }
  std::istringstream lines(File());
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    got.push_back(line);
  }
  ASSERT_EQ(got.size(), 13u);
  EXPECT_EQ(got[8], "<pre style=\"color:black;\">" + std::string(77, ' ') + "</pre>");
  EXPECT_EQ(got[9], "<pre style=\"color:black;\">WMI version : 2.7</pre>");
  EXPECT_EQ(got[10], "---------------------------------------------------------------");
  EXPECT_EQ(got[10].size(), 63u);
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
    {"skip, incorrect password", StepKind::kSkip, 1, StepVerdict::kIncorrectPassword,
     "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"get, incorrect password", StepKind::kGet, 1, StepVerdict::kIncorrectPassword,
     "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"compare, incorrect password", StepKind::kCompare, 1, StepVerdict::kIncorrectPassword,
     "<pre style=\"color:red;\">[Fail] [Compare]</pre>"},
    {"skip, mismatch", StepKind::kSkip, 1, StepVerdict::kSkipped, "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip, invalid parameter", StepKind::kSkip, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip, not in the catalog", StepKind::kSkip, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip, nothing to show", StepKind::kSkip, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip, 2 with reboot required", StepKind::kSkip, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip, negative", StepKind::kSkip, 1, StepVerdict::kSkipped, "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"set, retries exceeded", StepKind::kSet, 1, StepVerdict::kSkipped,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
    {"skip asked with a passed result", StepKind::kSkip, 1, StepVerdict::kPassed,
     "<pre style=\"color:orange;\">[Skip][Compare]</pre>"},
};

TEST_F(AutotestReportTest, StepLinesTakeTheColourOfTheirVerdict) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(c.what);
    {
      AutotestReport report(console_, dir_);
      report.WriteStepLine(c.kind, L"asf support", c.value, c.verdict);
      report.Close();
    }
    EXPECT_EQ(File(), WithLineEnds(kHead + c.line + kEnd));
  }
}

TEST_F(AutotestReportTest, LongNamesAreCutToTheLineLimit) {
  const std::wstring name(300, L'n');
  {
    AutotestReport report(console_, dir_);
    report.WriteItemHeader(name);
    report.WriteStepLine(StepKind::kGet, name, 7, StepVerdict::kPassed);
    report.Close();
  }
  const std::string blue = "<pre style=\"color:blue;\">[Success] [Get    ] ";
  const std::string expected = kHead + "<pre style=\"color:black;\">" + kFiller + "</pre>\n" +
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
      report.Close();
      EXPECT_FALSE(report.written());
    }
    EXPECT_EQ(out_.str(), where.out);
    EXPECT_EQ(err_.str(), "");
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "taken" / kAutotestReportFile));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

// The sample the browser check (tests/browser/check-report) renders: every
// colour, items "asf support", "set supervisor password", "hour" and
// "wake on lan" in this order. Written into $VORT64_REPORT_SAMPLE_DIR when
// that is set (CTest's autotest_report_sample), else into a scratch directory.
TEST(AutotestReportBrowserSample, WritesEveryColour) {
  const char* sampleDir = std::getenv("VORT64_REPORT_SAMPLE_DIR");
  const bool keep = sampleDir != nullptr && *sampleDir != '\0';
  const fs::path dir = keep ? fs::path(sampleDir) : fs::path(::testing::TempDir()) / "vort64-report-sample";
  fs::create_directories(dir);
  std::ostringstream out;
  std::ostringstream err;
  Console console(out, err);
  {
    AutotestReport report(console, dir);
    ASSERT_TRUE(report.usable());
    report.WriteRunHeader({2, 90});
    report.WriteItemHeader(L"asf support");
    report.WriteStepLine(StepKind::kGet, L"asf support", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kGet, L"asf support", 0, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kCompare, L"asf support", 0, StepVerdict::kPassed);
    report.WriteItemHeader(L"set supervisor password");
    report.WriteStepLine(StepKind::kSkip, L"set supervisor password", 0, StepVerdict::kIncorrectPassword);
    report.WriteItemHeader(L"hour");
    report.WriteStepLine(StepKind::kSkip, L"hour", 0, StepVerdict::kSkipped);
    report.WriteItemHeader(L"wake on lan");
    report.WriteStepLine(StepKind::kGet, L"wake on lan", 4, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSet, L"wake on lan", 1, StepVerdict::kPassed);
    report.WriteStepLine(StepKind::kSkip, L"wake on lan", 1, StepVerdict::kSkipped);
    report.Close();
  }
  const std::string file = ReadBytes(dir / kAutotestReportFile);
  EXPECT_EQ(file.rfind(WithLineEnds(kHead), 0), 0u);
  EXPECT_TRUE(file.ends_with(WithLineEnds(kEnd)));
  if (!keep) fs::remove_all(dir);
}

}  // namespace
}  // namespace vort64
