#include "catalog/listed_values.h"

#include "base/option_block.h"
#include "base/text.h"

namespace vort64 {
namespace {

// The firmware's own marks in a list: not values anyone writes.
constexpr uint8_t kFunctionSupported = 254;
bool IsMark(unsigned value) { return value == kDoNotChange || value == kFunctionSupported || value == kNotSupported; }

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

// A decimal number at the front of `text`, taken off it.
std::optional<unsigned> TakeNumber(std::wstring_view& text) {
  size_t digits = 0;
  unsigned value = 0;
  while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && digits < 4) {
    value = value * 10 + static_cast<unsigned>(text[digits] - L'0');
    ++digits;
  }
  if (digits == 0 || (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9')) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

// The text with ASCII letters lower-cased and blanks left out.
std::wstring Folded(std::wstring_view text) {
  std::wstring folded;
  for (const wchar_t c : text) {
    if (c == L' ' || c == L'\t') continue;
    folded += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  }
  return folded;
}

}  // namespace

bool ListedValues::Lists(uint8_t value) const {
  for (const ListedValue& v : values()) {
    if (value >= v.first && value <= v.last) return true;
  }
  return false;
}

std::optional<std::wstring_view> ListedValues::LabelOf(uint8_t value) const {
  for (const ListedValue& v : values()) {
    if (v.first == v.last && v.first == value && !v.label.empty()) return v.label;
  }
  return std::nullopt;
}

std::optional<uint8_t> ListedValues::ValueOfLabel(std::wstring_view typed) const {
  const std::wstring wanted = Folded(typed);
  if (wanted.empty()) return std::nullopt;
  for (const ListedValue& v : values()) {
    if (v.first == v.last && !v.label.empty() && Folded(v.label) == wanted) return v.first;
  }
  return std::nullopt;
}

std::string ListedValues::Describe() const {
  std::string text;
  for (const ListedValue& v : values()) {
    if (!text.empty()) text += ", ";
    text += std::to_string(v.first);
    if (v.first != v.last) {
      text += " to " + std::to_string(v.last);
    } else if (!v.label.empty()) {
      text += " (" + WideToUtf8(v.label) + ")";
    }
  }
  return text;
}

bool ListedValues::Add(ListedValue value) {
  if (count_ == values_.size()) return false;
  values_[count_++] = value;
  return true;
}

ListedValues ParseListedValues(std::wstring_view meaning) {
  // The list is the first sentence: what follows ". " explains it.
  const size_t stop = meaning.find(L". ");
  std::wstring_view rest = meaning.substr(0, stop);
  if (rest.ends_with(L'.')) rest.remove_suffix(1);
  ListedValues listed;
  while (!rest.empty()) {
    const size_t comma = rest.find(L',');
    std::wstring_view item = Trim(rest.substr(0, comma));
    rest = comma == std::wstring_view::npos ? std::wstring_view() : rest.substr(comma + 1);
    const auto first = TakeNumber(item);
    if (!first) continue;
    unsigned last = *first;
    if (!item.empty() && item.front() == L'~') {
      item.remove_prefix(1);
      const auto end = TakeNumber(item);
      if (!end || *end < *first) continue;
      last = *end;
    }
    item = Trim(item);
    if (item.empty() || item.front() != L':' || last > 255) continue;
    const std::wstring_view label = Trim(item.substr(1));
    if (*first == last && IsMark(last)) continue;
    listed.Add(
        {static_cast<uint8_t>(*first), static_cast<uint8_t>(last), *first == last ? label : std::wstring_view()});
  }
  return listed;
}

}  // namespace vort64
