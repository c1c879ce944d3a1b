// What the custom-settings import keeps for the whole process, across the
// replay of each imported setting: the two result files and the verdict marks.
#ifndef VORT64_OPS_RESULT_FILES_H_
#define VORT64_OPS_RESULT_FILES_H_

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace vort64 {

inline constexpr char kResultFile[] = "Result.txt";
inline constexpr char kResultTempFile[] = "ResultTemp.txt";

class Console;

// The import's overall verdict. A failed setting makes it "Fail" whatever
// follows; a reboot request shows only when every setting passed.
enum class ImportVerdict { kPass, kPassRebootRequired, kFail };

class ImportResults {
 public:
  // Opens Result.txt in `dir` for appending and ResultTemp.txt for this
  // import alone (what an interrupted import left there is dropped), creating
  // them.
  bool Open(const std::filesystem::path& dir);
  bool IsOpen() const { return temp_.is_open(); }

  // A setting failed: the verdict is "Fail" whatever follows.
  void MarkFailed() {
    overallPass = false;
    rebootRequired = false;
  }

  ImportVerdict Verdict() const {
    if (!overallPass) return ImportVerdict::kFail;
    return rebootRequired ? ImportVerdict::kPassRebootRequired : ImportVerdict::kPass;
  }

  // Closes ResultTemp.txt and appends one block to Result.txt: `header` (the
  // machine's lines), the verdict line, the rule and ResultTemp.txt's lines;
  // then deletes ResultTemp.txt and closes Result.txt. Says "ResultTemp.txt
  // not found" on the console when it cannot be read back.
  void Compose(std::wstring_view header, Console& console);

  // Appends text to ResultTemp.txt; a line feed becomes CR LF, as the files
  // are read on Windows. Each character is written as one byte. The stream
  // writes its buffer when it fills and when Compose closes the file.
  void AppendTemp(std::wstring_view text);

  bool overallPass = true;
  bool rebootRequired = false;

  std::ofstream& result() { return result_; }
  std::ofstream& temp() { return temp_; }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::ofstream result_;
  std::ofstream temp_;
};

// The start of a setting's line in ResultTemp.txt: "name:" and the tabs
// that put its word at column 40 (tab stops every 8 columns).
std::wstring ResultLineStart(std::wstring_view name);

// Writes wide text as one byte per character with CR LF line ends.
void WriteResultText(std::ostream& out, std::wstring_view text);

}  // namespace vort64

#endif  // VORT64_OPS_RESULT_FILES_H_
