// The names people type for settings, kept as rows of data: each alias says
// which function words it serves, which setting names it leads to (the first
// one the interface version's layout has), and, for the function words that
// stand for a "/set" of a fixed value ("/clear tpm"), the value it sets.
// Beside it, every name any layout has, so that a name this interface lacks
// can be told from a name no interface has.
#ifndef VORT64_CATALOG_ALIASES_H_
#define VORT64_CATALOG_ALIASES_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"

namespace vort64 {

// "{N}" in an alias or a target stands for a drive number, 0 to 5, the same
// in both.
struct AliasRow {
  std::wstring_view functionWord;  // the function word it serves; empty for every one
  std::span<const std::wstring_view> aliases;
  std::span<const std::wstring_view> targets;  // in order of preference
  std::wstring_view setValue;                  // not empty: the function becomes "set" with this value
  bool echoesName = false;                     // the name it leads to is printed (a long-standing line)
};
std::span<const AliasRow> AliasRows();

struct ResolvedName {
  std::wstring name;          // the layout's name; the first target when the layout has none of them
  std::wstring functionWord;  // the function word, "set" after an alias with a set value
  std::wstring valueText;     // the value text, the alias's set value after one
  bool echoesName = false;
};

// The name `typed` (lower case) under the function word `functionWord`, for
// the layout of `catalog`: the first alias row that serves the function word
// and names it, but a name the layout has is taken as it is unless its row
// turns the function into a "/set" of a fixed value.
ResolvedName ResolveSettingName(const SettingCatalog& catalog, std::wstring_view functionWord, std::wstring_view typed,
                                std::wstring_view valueText);

// Whether any interface version's layout has a setting of that name, or an
// alias row names it.
bool IsKnownSettingName(std::wstring_view name);

// The known names closest to `name` (at most two edits away, or holding it
// whole), nearest first, at most `most`.
std::vector<std::wstring> NearestKnownNames(std::wstring_view name, size_t most = 3);

// "unknown setting", with the nearest known names if any are close:
// "unknown setting (nearest: wi-fi)".
std::string UnknownSettingText(std::wstring_view name);

// The names of every layout and every alias, sorted, each once.
std::span<const std::wstring> KnownSettingNames();

}  // namespace vort64

#endif  // VORT64_CATALOG_ALIASES_H_
