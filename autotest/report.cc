#include "autotest/report.h"

#include <span>
#include <utility>

#include "base/option_block.h"
#include "base/text.h"
#include "ops/file_io.h"

namespace vort64 {
namespace {

// The literal pieces of the page.
constexpr std::string_view kBlackStart = "<pre style=\"color:black;\">";
constexpr std::string_view kBlueStart = "<pre style=\"color:blue;\">";
constexpr std::string_view kRedStart = "<pre style=\"color:red;\">";
constexpr std::string_view kOrangeStart = "<pre style=\"color:orange;\">";
constexpr std::string_view kBlockEnd = "</pre>";
constexpr std::string_view kGetLabel = "[Get    ] ";
constexpr std::string_view kSetLabel = "[Set    ] ";
constexpr std::string_view kSuccessLabel = "[Success] ";
constexpr std::string_view kCompareLabel = "[Compare]";
constexpr std::string_view kRestoreLabel = "[Restore] ";
constexpr std::string_view kSkipLabel = "[Skip]";
constexpr std::string_view kFailLabel = "[Fail] ";
constexpr std::string_view kSeparator = " : ";
constexpr size_t kFillerLength = 77;  // blanks of an empty row
constexpr size_t kRuleLength = 63;    // dashes of the rule

constexpr std::string_view kHead[] = {
    "<!DOCTYPE html>",
    "<html>",
    "<head>",
    "<meta http-equiv=\"Content - Type\" content = \"text/html\"; charset=\"utf-8\">",
    "<title> Kelm WMIAutoTest(NB) test result </title>",
    "<style> pre {font-family: Consolas; font-size: 12pt; margin: 0;}</style>",
    "</head>",
    "<body>",
};

// The line break of a text file on the platform.
#if defined(_WIN32)
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

// A name converted for the page takes at most 259 bytes, and a step line at
// most 259 characters before its block end (the line is built in a 260-byte buffer);
// the names of the autotest lists stay far below.
constexpr size_t kTextLimit = 259;

// The setting name as narrow text (UTF-8, which the page declares), cut to
// the limit at a character boundary.
std::string NarrowName(std::wstring_view name) {
  std::string text = WideToUtf8(name);
  if (text.size() > kTextLimit) {
    size_t cut = kTextLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

std::string BlackRow(std::string_view text) {
  std::string row(kBlackStart);
  row += text;
  row += kBlockEnd;
  return row;
}

// The label of a step that ended otherwise than passed: "[Compare]" for
// every step but a restore.
std::string_view EndedLabel(StepKind kind) {
  return kind == StepKind::kRestore ? kRestoreLabel.substr(0, kRestoreLabel.size() - 1) : kCompareLabel;
}

std::string_view PassedLabel(StepKind kind) {
  switch (kind) {
    case StepKind::kGet: return kGetLabel;
    case StepKind::kSet: return kSetLabel;
    case StepKind::kRestore: return kRestoreLabel;
    case StepKind::kCompare:
    case StepKind::kSkip: break;
  }
  return kCompareLabel;
}

// A row of the summary: "label : value", as the page's other rows read
// (the page's font need not be monospaced where it is shown, so nothing
// is lined up with blanks).
std::string SummaryRow(std::string_view label, std::string_view value) {
  std::string row(label);
  row += kSeparator;
  row += value;
  return row;
}

}  // namespace

std::string ReportTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss clock(floor<seconds>(time - day));
  const auto two = [](int64_t n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  return std::to_string(static_cast<int>(date.year())) + "-" + two(static_cast<unsigned>(date.month())) + "-" +
         two(static_cast<unsigned>(date.day())) + " " + two(clock.hours().count()) + ":" +
         two(clock.minutes().count()) + ":" + two(clock.seconds().count()) + " UTC";
}

std::string HtmlText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '<': text += "&lt;"; continue;
      case '>': text += "&gt;"; continue;
      case '&': text += "&amp;"; continue;
      case '"': text += "&quot;"; continue;
      default: break;
    }
    if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else if (byte >= 0xA0) {
      text += "&#" + std::to_string(byte) + ";";
    } else {
      text += "&#xFFFD;";
    }
  }
  return text;
}

AutotestReport::AutotestReport(Console& console, const std::filesystem::path& dir, ReportFacts facts)
    : console_(console), path_(dir / kAutotestReportFile), facts_(std::move(facts)) {
  const TargetKind kind = CheckOutputTarget(path_);
  usable_ = MayWriteOver(kind);
  if (!usable_) {
    console_.Out(RefusedOutputMessage(kAutotestReportFile, kind));
    return;
  }
  console_.Out("File Descriptor:\n");
}

void AutotestReport::WriteRunHeader(InterfaceVersion version) {
  version_ = version;
  Line(body_, BlackRow(std::string(kFillerLength, ' ')));
  Line(body_, BlackRow("WMI version : " + std::to_string(version.major) + "." + std::to_string(version.minor)));
  Line(body_, std::string(kRuleLength, '-'));
}

void AutotestReport::WriteItemHeader(std::wstring_view settingName) {
  Line(body_, BlackRow(std::string(kFillerLength, ' ')));
  Line(body_, BlackRow("Vortmark : " + NarrowName(settingName)));
  Line(body_, std::string(kRuleLength, '-'));
}

void AutotestReport::WriteStepLine(StepKind kind, std::wstring_view settingName, uint8_t value, StepVerdict verdict) {
  // The driver asks for Skip only with a failed result; should it pass one,
  // the line still says Skip.
  if (kind == StepKind::kSkip && verdict == StepVerdict::kPassed) verdict = StepVerdict::kSkipped;

  std::string line;
  switch (verdict) {
    case StepVerdict::kFailed: line.append(kRedStart).append(kFailLabel).append(EndedLabel(kind)); break;
    case StepVerdict::kSkipped: line.append(kOrangeStart).append(kSkipLabel).append(EndedLabel(kind)); break;
    case StepVerdict::kPassed:
      line.append(kBlueStart).append(kSuccessLabel);
      if (kind == StepKind::kCompare) {
        line.append(kCompareLabel);
        body_ += kLineEnd;  // the Compare line starts a new text line
      } else {
        line.append(PassedLabel(kind));
        line.append(NarrowName(settingName)).append(kSeparator).append(std::to_string(value));
      }
      break;
  }
  if (line.size() > kTextLimit) line.resize(kTextLimit);
  line.append(kBlockEnd);
  // No line break after a step line: the next line follows on the same text line.
  body_ += line;
}

std::string AutotestReport::Summary(const AutotestCounts& counts) const {
  const auto known = [](const std::optional<std::string>& text) { return text ? HtmlText(*text) : "unknown"; };
  const std::string verdict = SummaryRow("Overall result", counts.FaultFound() ? "Fail" : "Pass");
  std::string rows;
  Line(rows, std::string(counts.FaultFound() ? kRedStart : kBlueStart) + verdict + std::string(kBlockEnd));
  Line(rows, BlackRow(SummaryRow("Items", std::to_string(counts.passed) + " passed, " + std::to_string(counts.skipped) +
                                              " skipped, " + std::to_string(counts.failed) + " failed")));
  Line(rows, BlackRow(SummaryRow(
                 "Interface version",
                 version_ ? std::to_string(version_->major) + "." + std::to_string(version_->minor) : "unknown")));
  Line(rows, BlackRow(SummaryRow("Model name", known(facts_.model))));
  Line(rows, BlackRow(SummaryRow("Serial number", known(facts_.serial))));
  Line(rows, BlackRow(SummaryRow("Program", HtmlText(facts_.program))));
  Line(rows, BlackRow(SummaryRow("Started", ReportTime(facts_.started))));
  return rows;
}

void AutotestReport::Close(const AutotestCounts& counts) {
  if (!usable_ || written_) return;
  std::string page;
  for (std::string_view line : kHead) Line(page, line);
  page += Summary(counts);
  page += body_;
  Line(page, "</body>");
  Line(page, "</html>");
  const std::string name = kAutotestReportFile;
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(page.data()), page.size());
  const WriteOutcome written = WriteWholeFile(path_, bytes);
  written_ = written == WriteOutcome::kWritten;
  console_.Out(WriteFailureMessage(name, written, path_));
}

void AutotestReport::Line(std::string& page, std::string_view text) {
  page += text;
  page += kLineEnd;
}

}  // namespace vort64
