// The values the firmware lists for a one-byte setting, read once from the
// layout's text of allowed values: number-and-label pairs
// ("0 : Disabled, 1 : Enabled"), ranges ("0~59: minute"), and the marks
// 238 ("do not change"), 254 and 255 ("not supported"), which are no values
// to write. A label is a view into the text it was read from.
#ifndef VORT64_CATALOG_LISTED_VALUES_H_
#define VORT64_CATALOG_LISTED_VALUES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vort64 {

// One listed value, or a range of them [first, last] (a range has no label
// of its own: "minute" names what the numbers are, not one value).
struct ListedValue {
  uint8_t first = 0;
  uint8_t last = 0;
  std::wstring_view label;  // empty for a range
};

class ListedValues {
 public:
  static constexpr size_t kMaxValues = 24;

  bool empty() const { return count_ == 0; }
  std::span<const ListedValue> values() const { return {values_.data(), count_}; }

  bool Lists(uint8_t value) const;
  // The label of a listed single value; nothing for a range or an unlisted value.
  std::optional<std::wstring_view> LabelOf(uint8_t value) const;
  // The value whose label is `typed`, compared without regard to ASCII case
  // or blanks ("disabled", "20%" for "20 %"); nothing when no label fits.
  std::optional<uint8_t> ValueOfLabel(std::wstring_view typed) const;
  // "0 (Disabled), 1 (Enabled)"; a range as "0 to 59".
  std::string Describe() const;

  // False when the list is full.
  bool Add(ListedValue value);

 private:
  std::array<ListedValue, kMaxValues> values_{};
  size_t count_ = 0;
};

// The listed values of `meaning`: the comma-separated items of its first
// sentence that read "N : label" or "N~M : label", marks left out. Empty for
// a text that lists none (a free-form setting's).
ListedValues ParseListedValues(std::wstring_view meaning);

}  // namespace vort64

#endif  // VORT64_CATALOG_LISTED_VALUES_H_
