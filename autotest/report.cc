#include "autotest/report.h"

#include <span>

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

}  // namespace

AutotestReport::AutotestReport(Console& console, const std::filesystem::path& dir)
    : console_(console), path_(dir / kAutotestReportFile) {
  const TargetKind kind = CheckOutputTarget(path_);
  usable_ = MayWriteOver(kind);
  if (!usable_) {
    console_.Out(RefusedOutputMessage(kAutotestReportFile, kind));
    return;
  }
  console_.Out("File Descriptor:\n");
  for (std::string_view line : kHead) Line(line);
}

void AutotestReport::WriteRunHeader(InterfaceVersion version) {
  Line(BlackRow(std::string(kFillerLength, ' ')));
  Line(BlackRow("WMI version : " + std::to_string(version.major) + "." + std::to_string(version.minor)));
  Line(std::string(kRuleLength, '-'));
}

void AutotestReport::WriteItemHeader(std::wstring_view settingName) {
  Line(BlackRow(std::string(kFillerLength, ' ')));
  Line(BlackRow("Vortmark : " + NarrowName(settingName)));
  Line(std::string(kRuleLength, '-'));
}

void AutotestReport::WriteStepLine(StepKind kind, std::wstring_view settingName, uint8_t value, StepVerdict verdict) {
  // The driver asks for Skip only with a failed result; should it pass one,
  // the line still says Skip.
  if (kind == StepKind::kSkip && verdict == StepVerdict::kPassed) verdict = StepVerdict::kSkipped;

  std::string line;
  switch (verdict) {
    case StepVerdict::kIncorrectPassword: line.append(kRedStart).append(kFailLabel).append(kCompareLabel); break;
    case StepVerdict::kSkipped: line.append(kOrangeStart).append(kSkipLabel).append(kCompareLabel); break;
    case StepVerdict::kPassed:
      line.append(kBlueStart).append(kSuccessLabel);
      if (kind == StepKind::kCompare) {
        line.append(kCompareLabel);
        page_ += kLineEnd;  // the Compare line starts a new text line
      } else {
        line.append(kind == StepKind::kGet ? kGetLabel : kSetLabel);
        line.append(NarrowName(settingName)).append(kSeparator).append(std::to_string(value));
      }
      break;
  }
  if (line.size() > kTextLimit) line.resize(kTextLimit);
  line.append(kBlockEnd);
  // No line break after a step line: the next line follows on the same text line.
  page_ += line;
}

void AutotestReport::Close() {
  if (!usable_ || written_) return;
  Line("</body>");
  Line("</html>");
  const std::string name = kAutotestReportFile;
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(page_.data()), page_.size());
  switch (WriteWholeFile(path_, bytes)) {
    case WriteOutcome::kWritten: written_ = true; break;
    case WriteOutcome::kNotRegular: console_.Out(RefusedOutputMessage(name, CheckOutputTarget(path_))); break;
    case WriteOutcome::kOpenFailed: console_.Out("file: " + name + " open failed. \n\n"); break;
    case WriteOutcome::kWriteFailed: console_.Out("file: " + name + " write failed. \n\n"); break;
  }
}

void AutotestReport::Line(std::string_view text) {
  page_ += text;
  page_ += kLineEnd;
}

}  // namespace vort64
