// The custom-settings import's record: a line per imported setting, kept in
// memory while the import runs, and the overall verdict; appended to
// Result.txt as one block when the import ends.
#ifndef VORT64_OPS_RESULT_FILES_H_
#define VORT64_OPS_RESULT_FILES_H_

#include <filesystem>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "ops/outcome.h"

namespace vort64 {

inline constexpr char kResultFile[] = "Result.txt";

// Where the import's result file goes: "/result-file PATH" as typed, else
// Result.txt in the run's working directory; and the name messages give it
// (PATH as typed, or "Result.txt").
struct ResultFileTarget {
  std::filesystem::path path;
  std::string name;
};
ResultFileTarget ResultFileOf(const ParsedRequest& request, const std::filesystem::path& workDir);

// The import's overall verdict. A failed setting makes it "Fail" whatever
// follows; a reboot request shows only when no setting failed.
enum class ImportVerdict { kPass, kPassRebootRequired, kFail };

// The verdict's words, as Result.txt's "Overall result" line has them.
std::wstring_view VerdictWords(ImportVerdict verdict);
// The verdict's line as the result file has it, without its line end:
// "Overall result : Pass", "Overall result : Fail", ...
std::wstring VerdictLine(ImportVerdict verdict);

class ImportLog {
 public:
  // Records the setting `name` with the word and verdict effect of `rule`.
  void Add(std::wstring_view name, const OutcomeRule& rule);
  // The verdict is "Fail" whatever the settings say.
  void Fail() { failed_ = true; }

  ImportVerdict Verdict() const;

  // The block for Result.txt: `header` (the machine's lines), the verdict
  // line, the rule and a line per setting, one byte per character with
  // CR LF line ends (the file is read on Windows).
  std::string Block(std::wstring_view header) const;

 private:
  std::wstring lines_;
  bool failed_ = false;
  bool rebootRequired_ = false;
};

// The start of a setting's line: "name:" and the tabs that put its word at
// column 40 (tab stops every 8 columns).
std::wstring ResultLineStart(std::wstring_view name);

// Wide text as one byte per character with CR LF line ends.
std::string ResultFileText(std::wstring_view text);

}  // namespace vort64

#endif  // VORT64_OPS_RESULT_FILES_H_
