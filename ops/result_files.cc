#include "ops/result_files.h"

namespace vort64 {

bool ImportResults::Open(const std::filesystem::path& dir) {
  dir_ = dir;
  result_.open(dir / kResultFile, std::ios::binary | std::ios::app);
  temp_.open(dir / kResultTempFile, std::ios::binary | std::ios::app);
  return result_.is_open() && temp_.is_open();
}

void ImportResults::AppendTemp(std::wstring_view text) {
  if (!temp_.is_open()) return;
  WriteResultText(temp_, text);
  temp_.flush();
}

void WriteResultText(std::ostream& out, std::wstring_view text) {
  for (wchar_t c : text) {
    if (c == L'\n') {
      out << "\r\n";
    } else {
      out.put(static_cast<char>(static_cast<unsigned char>(c)));
    }
  }
}

}  // namespace vort64
