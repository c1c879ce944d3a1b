#include "ops/result_files.h"

#include "base/text.h"
#include "ops/file_io.h"

namespace vort64 {

ResultFileTarget ResultFileOf(const ParsedRequest& request, const std::filesystem::path& workDir) {
  if (request.resultFileName.empty()) return {workDir / kResultFile, kResultFile};
  return {PathOfFileName(request.resultFileName), request.resultFileName};
}

void ImportLog::Add(std::wstring_view name, const OutcomeRule& rule) {
  lines_ += ResultLineStart(name);
  lines_ += rule.resultWord;
  lines_ += L'\n';
  switch (rule.verdict) {
    case VerdictEffect::kKeeps: break;
    case VerdictEffect::kRebootRequired: rebootRequired_ = true; break;
    case VerdictEffect::kFails: failed_ = true; break;
  }
}

ImportVerdict ImportLog::Verdict() const {
  if (failed_) return ImportVerdict::kFail;
  return rebootRequired_ ? ImportVerdict::kPassRebootRequired : ImportVerdict::kPass;
}

std::wstring_view VerdictWords(ImportVerdict verdict) {
  switch (verdict) {
    case ImportVerdict::kPassRebootRequired: return L"Pass and reboot required to make function works";
    case ImportVerdict::kPass: return L"Pass";
    case ImportVerdict::kFail: break;
  }
  return L"Fail";
}

std::wstring VerdictLine(ImportVerdict verdict) { return L"Overall result : " + std::wstring(VerdictWords(verdict)); }

std::string ImportLog::Block(std::wstring_view header) const {
  std::wstring block(header);
  block += VerdictLine(Verdict()) + L"\n\n";
  block += L"===================================Result of each settings==============================\n\n";
  block += lines_;
  return ResultFileText(block);
}

std::wstring ResultLineStart(std::wstring_view shownName) {
  // A name from a file shows its control characters escaped: it cannot end
  // its line and forge another.
  const std::wstring name = Utf8ToWide(Printable(shownName));
  const size_t tabs = name.size() > 31 ? 1 : (31 - name.size() + 7) / 8 + 1;  // 1 when 40 - L < 9
  return std::wstring(name) + L":" + std::wstring(tabs, L'\t');
}

std::string ResultFileText(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (const wchar_t c : text) {
    if (c == L'\n') {
      bytes += "\r\n";
    } else {
      bytes += static_cast<char>(static_cast<unsigned char>(c));
    }
  }
  return bytes;
}

}  // namespace vort64
