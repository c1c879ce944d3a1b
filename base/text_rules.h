// The text rules every command-line reader shares: the C runtime's way of
// tokenising and of reading numbers, ASCII-only case mapping, and the
// fixed-width narrow fields the firmware takes.
#ifndef VORT64_BASE_TEXT_RULES_H_
#define VORT64_BASE_TEXT_RULES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/parsed_request.h"  // kMaxArgumentLength

namespace vort64 {

// The text as a C string sees it: everything before the first NUL.
std::wstring_view CText(std::wstring_view text);

// Splits a text into tokens in place, as the wide tokeniser of the C runtime
// does: leading delimiters are skipped (so empty tokens never appear), the
// delimiter that ends a token is overwritten by a NUL in the buffer, and the
// text ends at its first NUL. A second tokenizer over the same buffer
// therefore sees only the text before the first delimiter an earlier one
// consumed.
class InPlaceTokenizer {
 public:
  explicit InPlaceTokenizer(std::wstring& buffer) : buffer_(buffer) {}

  // The next token, or nothing when only delimiters (or nothing) remain.
  std::optional<std::wstring_view> Next(std::wstring_view delimiters);
  // Whether the last token was ended by a delimiter rather than by the end
  // of the text.
  bool EndedByDelimiter() const { return ended_by_delimiter_; }
  // What follows the last token's delimiter, up to the end of the text.
  std::wstring_view Rest() const;

 private:
  size_t TextEnd() const;

  std::wstring& buffer_;
  size_t pos_ = 0;
  bool ended_by_delimiter_ = false;
};

// Reads a number the way the C runtime's wide string-to-long conversion does
// with a 32-bit long: leading blanks and a sign are accepted, reading stops
// at the first character that is not a digit, no digits give 0, and numbers
// beyond the 32-bit range saturate. Base 16 also accepts a "0x" prefix.
int32_t ReadDecimal(std::wstring_view text);
int32_t ReadHex(std::wstring_view text);

// A plain decimal number: blanks (spaces and tabs) around it allowed, at
// least one digit and nothing else (no sign, no other character, no second
// number). Numbers beyond the 32-bit range read as the largest one, which
// fails every range test. Nothing for any other text.
std::optional<uint32_t> ReadPlainDecimal(std::wstring_view text);

// Range tests compare a read number as unsigned, so negative numbers fail
// every upper bound.
inline uint32_t AsUnsigned(int32_t n) { return static_cast<uint32_t>(n); }
// A stored byte is the low 8 bits of a number.
inline uint8_t LowByte(int64_t n) { return static_cast<uint8_t>(n & 0xFF); }

// Printable ASCII, blank included (32 to 126).
bool IsPrintableAscii(wchar_t c);
// 0 to 9, A to Z, a to z.
bool IsAsciiAlphanumeric(wchar_t c);

// Narrow copy of a text whose characters are all ASCII; anything else
// becomes '?'.
std::string AsciiNarrow(std::wstring_view text);

// A fixed-width NUL-padded field: the text fills it from the start, the rest
// is zero; a text of exactly the field's width leaves no terminator.
template <size_t N>
void StoreFixedText(std::array<char, N>& field, std::string_view text) {
  field.fill('\0');
  for (size_t i = 0; i < N && i < text.size(); ++i) field[i] = text[i];
}

// The text of such a field: up to its first NUL, at most its width.
template <size_t N>
std::string_view FixedText(const std::array<char, N>& field) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string_view(field.data(), n);
}

}  // namespace vort64

#endif  // VORT64_BASE_TEXT_RULES_H_
