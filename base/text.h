// Text helpers shared by every layer: the program keeps names and arguments
// as wide text and converts at the edges (UTF-8 on Linux).
#ifndef VORT64_BASE_TEXT_H_
#define VORT64_BASE_TEXT_H_

#include <string>
#include <string_view>

namespace vort64 {

// UTF-8 to wide text; a malformed byte becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
// Wide text to UTF-8; a lone surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// Case mapping of the ASCII letters only; every other character is kept.
wchar_t AsciiToLower(wchar_t c);
std::wstring AsciiToLower(std::wstring_view text);
wchar_t AsciiToUpper(wchar_t c);
std::wstring AsciiToUpper(std::wstring_view text);

}  // namespace vort64

#endif  // VORT64_BASE_TEXT_H_
