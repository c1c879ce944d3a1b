// The autotest's HTML report, "VORT_AutoTestResult.html": a head,
// a run header with the WMI interface version, and for every tested setting a
// header and one coloured line per step, in monospaced preformatted blocks.
//
// The text is exact to the byte. The file is written in text mode, so every
// line break is the stream's own end-of-line: CR LF on Windows, LF elsewhere.
// A report whose file could not be opened keeps working: it writes nothing and
// says "Fail to open file: " on the console before each step line and at the
// close.
//
// Calling order: construct (opens the file, writes the head), WriteRunHeader,
// then for each item WriteItemHeader followed by its WriteStepLine calls, and
// last Close.
#ifndef VORT64_AUTOTEST_REPORT_H_
#define VORT64_AUTOTEST_REPORT_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/interface_version.h"
#include "ops/outcome.h"

namespace vort64 {

inline constexpr char kAutotestReportFile[] = "VORT_AutoTestResult.html";

// The step of the autotest a line reports.
enum class StepKind {
  kGet,      // a read: shows the setting's name and the byte found
  kSet,      // a write: shows the setting's name and the byte written
  kCompare,  // the read-back comparison (and a password change): no name, no value
  kSkip,     // the item ends here: no name, no value; asked for with a failed result only
};

class AutotestReport {
 public:
  // Opens kAutotestReportFile in `dir` (created, or truncated), writes the page
  // head, and says "Fail to open file: VORT_AutoTestResult.html" (when it
  // cannot be opened) and "File Descriptor:" on `console`.
  AutotestReport(Console& console, const std::filesystem::path& dir);
  AutotestReport(const AutotestReport&) = delete;
  AutotestReport& operator=(const AutotestReport&) = delete;
  // Closes the file; without a Close before, the page stays without its end.
  ~AutotestReport() = default;

  // Where the report is written.
  const std::filesystem::path& path() const { return path_; }

  // Whether the file is open and every write to it so far succeeded.
  bool ok() const { return file_.is_open() && !file_.fail(); }

  // The run header: an empty black row, black "WMI version : 2.90", the rule.
  void WriteRunHeader(InterfaceVersion version);
  // The header of one tested setting: an empty black row, black
  // "Vortmark : <settingName>", the rule.
  void WriteItemHeader(std::wstring_view settingName);
  // One step line in the colour of `verdict` (the outcome table's);
  // `settingName` and `value` (the byte at the setting's offset) show on
  // passed Get and Set lines only.
  void WriteStepLine(StepKind kind, std::wstring_view settingName, uint8_t value, StepVerdict verdict);
  // Ends the page ("</body>", "</html>") and closes the file.
  void Close();

 private:
  // Writes `text` and a line break (the stream's end-of-line), then flushes.
  void Line(std::string_view text);
  // Says "Fail to open file: " on the console when the stream has failed.
  void ComplainIfFailed();

  Console& console_;
  std::filesystem::path path_;
  std::ofstream file_;
};

}  // namespace vort64

#endif  // VORT64_AUTOTEST_REPORT_H_
