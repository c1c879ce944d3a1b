#include "base/text_rules.h"

#include <algorithm>
#include <limits>

namespace vort64 {
namespace {

bool IsCBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r'; }

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  return 99;
}

int32_t ReadInteger(std::wstring_view text, int base) {
  text = CText(text);
  size_t i = 0;
  while (i < text.size() && IsCBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  if (base == 16 && i + 2 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
      DigitValue(text[i + 2]) < 16) {
    i += 2;
  }
  // Magnitude, capped just above what a 32-bit long can hold.
  constexpr int64_t kCap = int64_t{1} << 32;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= base) break;
    magnitude = magnitude * base + digit;
    if (magnitude > kCap) magnitude = kCap;
  }
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  if (negative) return static_cast<int32_t>(-magnitude < kMin ? kMin : -magnitude);
  return static_cast<int32_t>(magnitude > kMax ? kMax : magnitude);
}

}  // namespace

std::wstring_view CText(std::wstring_view text) {
  const size_t nul = text.find(L'\0');
  return nul == std::wstring_view::npos ? text : text.substr(0, nul);
}

size_t InPlaceTokenizer::TextEnd() const {
  const size_t nul = buffer_.find(L'\0', pos_);
  return nul == std::wstring::npos ? buffer_.size() : nul;
}

std::optional<std::wstring_view> InPlaceTokenizer::Next(std::wstring_view delimiters) {
  ended_by_delimiter_ = false;
  if (pos_ > buffer_.size()) return std::nullopt;
  const size_t end = TextEnd();
  while (pos_ < end && delimiters.find(buffer_[pos_]) != std::wstring_view::npos) ++pos_;
  if (pos_ == end) return std::nullopt;
  const size_t start = pos_;
  while (pos_ < end && delimiters.find(buffer_[pos_]) == std::wstring_view::npos) ++pos_;
  const std::wstring_view token(buffer_.data() + start, pos_ - start);
  if (pos_ < end) {
    buffer_[pos_] = L'\0';
    ++pos_;
    ended_by_delimiter_ = true;
  }
  return token;
}

std::wstring_view InPlaceTokenizer::Rest() const {
  if (pos_ >= buffer_.size()) return {};
  return std::wstring_view(buffer_.data() + pos_, TextEnd() - pos_);
}

int32_t ReadDecimal(std::wstring_view text) { return ReadInteger(text, 10); }

std::optional<uint32_t> ReadPlainDecimal(std::wstring_view text) {
  text = CText(text);
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  size_t first = 0, end = text.size();
  while (first < end && blank(text[first])) ++first;
  while (end > first && blank(text[end - 1])) --end;
  if (first == end) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = first; i < end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text[i] - L'0'), UINT32_MAX);
  }
  return static_cast<uint32_t>(value);
}

int32_t ReadHex(std::wstring_view text) { return ReadInteger(text, 16); }

bool IsPrintableAscii(wchar_t c) { return c >= 32 && c <= 126; }

bool IsAsciiAlphanumeric(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::string AsciiNarrow(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) out.push_back(static_cast<uint32_t>(c) < 128 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace vort64
