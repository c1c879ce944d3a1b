#include "ops/xml/value_text.h"

namespace vort64 {

bool IsXmlWhiteSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

std::wstring ValueText(std::span<const TextPiece> pieces) {
  std::wstring text;
  // A run of normalized white space is held back until a character follows
  // it: at the start and at the end it comes to nothing.
  bool pendingBlank = false;
  for (const TextPiece& piece : pieces) {
    for (const wchar_t c : piece.text) {
      if (!piece.kept && IsXmlWhiteSpace(c)) {
        pendingBlank = !text.empty();
        continue;
      }
      if (pendingBlank) text += L' ';
      pendingBlank = false;
      text += c;
    }
  }
  return text;
}

}  // namespace vort64
