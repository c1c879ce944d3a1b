// The autotest's HTML report, "VORT_AutoTestResult.html": a head,
// a run header with the WMI interface version, and for every tested setting a
// header and one coloured line per step, in monospaced preformatted blocks.
//
// The text is exact to the byte. Every line break is the platform's text
// end-of-line: CR LF on Windows, LF elsewhere. The page is kept in memory
// and written whole at Close, as WriteWholeFile writes: an earlier report
// stays as it was until the new one is complete, and nothing is written
// through a link or into anything else than a regular file.
//
// Calling order: construct (looks at the file's place, starts the head),
// WriteRunHeader, then for each item WriteItemHeader followed by its
// WriteStepLine calls, and last Close.
#ifndef VORT64_AUTOTEST_REPORT_H_
#define VORT64_AUTOTEST_REPORT_H_

#include <cstdint>
#include <filesystem>
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
  // Looks at where kAutotestReportFile in `dir` goes: a link, directory,
  // fifo or device there refuses the report (a message names the file) and
  // usable() is false; otherwise says "File Descriptor:" on `console` and
  // starts the page with its head.
  AutotestReport(Console& console, const std::filesystem::path& dir);
  AutotestReport(const AutotestReport&) = delete;
  AutotestReport& operator=(const AutotestReport&) = delete;
  // Without a Close before, nothing is written.
  ~AutotestReport() = default;

  // Where the report is written.
  const std::filesystem::path& path() const { return path_; }
  // Whether the report may be written where it goes.
  bool usable() const { return usable_; }
  // Whether Close wrote the whole page to the file.
  bool written() const { return written_; }

  // The run header: an empty black row, black "WMI version : 2.90", the rule.
  void WriteRunHeader(InterfaceVersion version);
  // The header of one tested setting: an empty black row, black
  // "Vortmark : <settingName>", the rule.
  void WriteItemHeader(std::wstring_view settingName);
  // One step line in the colour of `verdict` (the outcome table's);
  // `settingName` and `value` (the byte at the setting's offset) show on
  // passed Get and Set lines only.
  void WriteStepLine(StepKind kind, std::wstring_view settingName, uint8_t value, StepVerdict verdict);
  // Ends the page ("</body>", "</html>") and writes it to the file. A page
  // that cannot be written whole (a full disk, a link put in its place) is
  // said on the console, naming the file; an earlier report stays as it was.
  void Close();

 private:
  // Adds `text` and a line break.
  void Line(std::string_view text);

  Console& console_;
  std::filesystem::path path_;
  std::string page_;
  bool usable_ = false;
  bool written_ = false;
};

}  // namespace vort64

#endif  // VORT64_AUTOTEST_REPORT_H_
