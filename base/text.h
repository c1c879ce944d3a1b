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

// Whether the bytes are UTF-8 throughout (no malformed, overlong or cut-off
// sequence, no surrogate, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Whether a character is one that moves or hides what follows it on a
// terminal or in a file: a C0 control (tab, line feed and carriage return
// among them), DEL, a C1 control, or the line and paragraph separators.
bool IsControlCharacter(char32_t c);
bool HoldsControlCharacter(std::wstring_view text);
// Text taken from a file or the command line, as the program prints it: each
// control character as \xHH (\uHHHH above U+00FF), so that no such text can
// start a line of its own or hide one; everything else as it is.
std::string Printable(std::string_view utf8);
std::string Printable(std::wstring_view text);

// Case mapping of the ASCII letters only; every other character is kept.
wchar_t AsciiToLower(wchar_t c);
std::wstring AsciiToLower(std::wstring_view text);
wchar_t AsciiToUpper(wchar_t c);
std::wstring AsciiToUpper(std::wstring_view text);

}  // namespace vort64

#endif  // VORT64_BASE_TEXT_H_
