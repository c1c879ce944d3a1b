// What the custom-settings import keeps for the whole process, across the
// replay of each imported setting: the two result files and the verdict marks.
#ifndef VORT64_OPS_RESULT_FILES_H_
#define VORT64_OPS_RESULT_FILES_H_

#include <filesystem>
#include <fstream>
#include <string_view>

namespace vort64 {

inline constexpr char kResultFile[] = "Result.txt";
inline constexpr char kResultTempFile[] = "ResultTemp.txt";

class ImportResults {
 public:
  // Opens Result.txt and ResultTemp.txt in `dir` for appending, creating them.
  bool Open(const std::filesystem::path& dir);
  bool IsOpen() const { return temp_.is_open(); }

  // Appends text to ResultTemp.txt; a line feed becomes CR LF, as the files
  // are read on Windows. Each character is written as one byte.
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

// Writes wide text as one byte per character with CR LF line ends.
void WriteResultText(std::ostream& out, std::wstring_view text);

}  // namespace vort64

#endif  // VORT64_OPS_RESULT_FILES_H_
