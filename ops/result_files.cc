#include "ops/result_files.h"

#include <system_error>

#include "base/console.h"

namespace vort64 {

bool ImportResults::Open(const std::filesystem::path& dir) {
  dir_ = dir;
  result_.open(dir / kResultFile, std::ios::binary | std::ios::app);
  temp_.open(dir / kResultTempFile, std::ios::binary | std::ios::trunc);
  return result_.is_open() && temp_.is_open();
}

void ImportResults::Compose(std::wstring_view header, Console& console) {
  // Windows deletes no file that is still open.
  temp_.close();
  std::wstring block(header);
  switch (Verdict()) {
    case ImportVerdict::kPassRebootRequired:
      block += L"Overall result : Pass and reboot required to make function works\n\n";
      break;
    case ImportVerdict::kPass: block += L"Overall result : Pass\n\n"; break;
    case ImportVerdict::kFail: block += L"Overall result : Fail\n\n"; break;
  }
  block += L"===================================Result of each settings==============================\n\n";
  WriteResultText(result_, block);

  const std::filesystem::path tempPath = dir_ / kResultTempFile;
  std::ifstream temp(tempPath, std::ios::binary);
  if (!temp.is_open()) {
    console.Out("ResultTemp.txt not found");
  } else {
    result_ << temp.rdbuf();
    temp.close();
    std::error_code ec;
    std::filesystem::remove(tempPath, ec);
  }
  result_.close();
}

void ImportResults::AppendTemp(std::wstring_view text) {
  if (!temp_.is_open()) return;
  WriteResultText(temp_, text);
}

std::wstring ResultLineStart(std::wstring_view name) {
  const size_t tabs = name.size() > 31 ? 1 : (31 - name.size() + 7) / 8 + 1;  // 1 when 40 - L < 9
  return std::wstring(name) + L":" + std::wstring(tabs, L'\t');
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
