// The autotest's HTML report, "VORT_AutoTestResult.html": a head, a
// summary of the run (its verdict and counts, the interface version, the
// notebook's model and serial number, the program's version, when it ran),
// a run header with the WMI interface version, and for every tested setting
// a header and one coloured line per step, in monospaced preformatted blocks.
//
// The text is exact to the byte. Every line break is the platform's text
// end-of-line: CR LF on Windows, LF elsewhere. The page is kept in memory
// and written whole at Close, as WriteWholeFile writes: an earlier report
// stays as it was until the new one is complete, and nothing is written
// through a link or into anything else than a regular file.
//
// Calling order: construct (looks at the file's place), WriteRunHeader,
// then for each item WriteItemHeader followed by its WriteStepLine calls,
// and last Close with the counts, which puts the summary above the steps.
#ifndef VORT64_AUTOTEST_REPORT_H_
#define VORT64_AUTOTEST_REPORT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
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
  kRestore,  // the first value written back: shows the setting's name and the byte, a line only when it failed
};

// How the items of a run ended: each passed, was skipped (a setting this
// version lacks or the firmware does not support) or failed.
struct AutotestCounts {
  size_t passed = 0;
  size_t skipped = 0;
  size_t failed = 0;
  // An item failed: the self-test found a fault.
  bool FaultFound() const { return failed > 0; }
};

// What the summary says of the notebook and the run besides the counts.
struct ReportFacts {
  // The SMBIOS system strings as read; nothing when the tables hold none.
  std::optional<std::string> model;
  std::optional<std::string> serial;
  std::string program;  // "vort64 1.0.0"
  std::chrono::system_clock::time_point started;
};

class AutotestReport {
 public:
  // Looks at where kAutotestReportFile in `dir` goes: a link, directory,
  // fifo or device there refuses the report (a message names the file) and
  // usable() is false; otherwise says "File Descriptor:" on `console`.
  AutotestReport(Console& console, const std::filesystem::path& dir, ReportFacts facts = {});
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
  // The summary names the same version.
  void WriteRunHeader(InterfaceVersion version);
  // The header of one tested setting: an empty black row, black
  // "Vortmark : <settingName>", the rule.
  void WriteItemHeader(std::wstring_view settingName);
  // One step line in the colour of `verdict`: blue passed, orange skipped,
  // red failed. `settingName` and `value` (the byte at the setting's offset)
  // show on passed Get, Set and Restore lines only.
  void WriteStepLine(StepKind kind, std::wstring_view settingName, uint8_t value, StepVerdict verdict);
  // Puts the summary with `counts` between the head and the run header,
  // ends the page ("</body>", "</html>") and writes it to the file. A page
  // that cannot be written whole (a full disk, a link put in its place) is
  // said on the console, naming the file; an earlier report stays as it was.
  void Close(const AutotestCounts& counts);

 private:
  // Adds `text` and a line break to `page`.
  static void Line(std::string& page, std::string_view text);
  // The summary's rows, each a line.
  std::string Summary(const AutotestCounts& counts) const;

  Console& console_;
  std::filesystem::path path_;
  ReportFacts facts_;
  std::optional<InterfaceVersion> version_;
  std::string body_;  // the run header and the items, as written
  bool usable_ = false;
  bool written_ = false;
};

// A time as the summary shows it: "2026-12-10 09:30:00 UTC".
std::string ReportTime(std::chrono::system_clock::time_point time);

// Bytes of the notebook's own text (SMBIOS strings, one character per
// byte) as HTML text: "<", ">", "&" and '"' as references, printable ASCII
// as it is, a byte from 160 on as the character of that number, any other
// byte (a control character) as U+FFFD.
std::string HtmlText(std::string_view bytes);

}  // namespace vort64

#endif  // VORT64_AUTOTEST_REPORT_H_
