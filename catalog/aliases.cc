#include "catalog/aliases.h"

#include <algorithm>
#include <utility>

#include <vector>
#include "base/text.h"

namespace vort64 {
namespace {

// clang-format off
constexpr std::wstring_view kSupervisorAlias[] = {L"supervisor password"};
constexpr std::wstring_view kSupervisor[] = {L"set supervisor password"};
constexpr std::wstring_view kUserAlias[] = {L"user password"};
constexpr std::wstring_view kUser[] = {L"set user password"};
constexpr std::wstring_view kDriveAlias[] = {L"hdd{N} password", L"set hdd{N} password"};
constexpr std::wstring_view kDrive[] = {L"set hdd{N} password", L"set hdd{N}/hdd{N}(opal) password"};
constexpr std::wstring_view kOpalAlias[] = {L"hdd{N}(opal) password", L"set hdd{N}(opal) password"};
constexpr std::wstring_view kOpal[] = {L"set hdd{N}(opal) password", L"set hdd{N}/hdd{N}(opal) password"};
constexpr std::wstring_view kCombinedAlias[] = {L"hdd{N}/hdd{N}(opal) password", L"set hdd{N}/hdd{N}(opal) password"};
constexpr std::wstring_view kCombined[] = {L"set hdd{N}/hdd{N}(opal) password", L"set hdd{N} password"};
constexpr std::wstring_view kBootDeviceAlias[] = {L"boot device"};
constexpr std::wstring_view kBootOrder[] = {L"boot priority order"};
constexpr std::wstring_view kTpmStateAlias[] = {L"tpm state", L"tcm state", L"current tpm state", L"current tcm state"};
constexpr std::wstring_view kCurrentTpmState[] = {L"current tpm 2.0 state"};
constexpr std::wstring_view kChangeTpmStateAlias[] = {L"tpm state", L"tcm state", L"change tpm state", L"change tcm state"};
constexpr std::wstring_view kChangeTpmState[] = {L"change tpm 2.0 state"};
constexpr std::wstring_view kClearTpmAlias[] = {L"tpm", L"tcm"};
constexpr std::wstring_view kClearTpm[] = {kClearTpmSetting, kClearTpmTcmSetting};
constexpr std::wstring_view kClearTpmOldName[] = {kClearTpmSetting};
constexpr std::wstring_view kClearTpmNewName[] = {kClearTpmTcmSetting};
constexpr std::wstring_view kCleanGptAlias[] = {L"gpt"};
constexpr std::wstring_view kCleanGpt[] = {L"clean gpt"};
constexpr std::wstring_view kStatusToClear[] = {L"user password status", L"hdd password status"};

constexpr AliasRow kRows[] = {
    {L"set", kSupervisorAlias, kSupervisor, {}, true},
    {L"set", kUserAlias, kUser, {}, false},
    {L"set", kDriveAlias, kDrive, {}, false},
    {L"set", kOpalAlias, kOpal, {}, false},
    {L"set", kCombinedAlias, kCombined, {}, false},
    {L"", kBootDeviceAlias, kBootOrder, {}, false},
    {L"get", kTpmStateAlias, kCurrentTpmState, {}, false},
    {L"set", kChangeTpmStateAlias, kChangeTpmState, {}, false},
    {L"clear", kClearTpmAlias, kClearTpm, L"1", false},
    {L"", kClearTpmOldName, kClearTpmNewName, {}, false},
    {L"", kClearTpmNewName, kClearTpmOldName, {}, false},
    {L"clean", kCleanGptAlias, kCleanGpt, L"1", false},
    {L"clear", kStatusToClear, kStatusToClear, L"0", false},
};
// clang-format on

constexpr std::wstring_view kDrivePlace = L"{N}";
constexpr wchar_t kDrives[] = L"012345";

// `pattern` with every "{N}" replaced by `drive`.
std::wstring WithDrive(std::wstring_view pattern, wchar_t drive) {
  std::wstring text;
  for (size_t at = 0; at < pattern.size();) {
    if (pattern.substr(at, kDrivePlace.size()) == kDrivePlace) {
      text += drive;
      at += kDrivePlace.size();
    } else {
      text += pattern[at++];
    }
  }
  return text;
}

bool HasDrivePlace(std::wstring_view pattern) { return pattern.find(kDrivePlace) != std::wstring_view::npos; }

// The drive that makes `pattern` read `name`: '\0' for a pattern without a
// drive place that is `name`; nothing when it does not fit.
std::optional<wchar_t> Match(std::wstring_view pattern, std::wstring_view name) {
  if (!HasDrivePlace(pattern)) return pattern == name ? std::optional<wchar_t>(L'\0') : std::nullopt;
  for (const wchar_t drive : std::wstring_view(kDrives)) {
    if (WithDrive(pattern, drive) == name) return drive;
  }
  return std::nullopt;
}

}  // namespace

std::span<const AliasRow> AliasRows() { return kRows; }

ResolvedName ResolveSettingName(const SettingCatalog& catalog, std::wstring_view functionWord, std::wstring_view typed,
                                std::wstring_view valueText) {
  ResolvedName resolved{std::wstring(typed), std::wstring(functionWord), std::wstring(valueText)};
  // A function word that stands for a "/set" of a fixed value always goes
  // through its row; otherwise a name the layout has is taken as it is.
  const bool exact = catalog.HasSetting(typed);
  for (const AliasRow& row : kRows) {
    if (!row.functionWord.empty() && row.functionWord != functionWord) continue;
    if (exact && row.setValue.empty()) continue;
    std::optional<wchar_t> drive;
    for (const std::wstring_view alias : row.aliases) {
      if ((drive = Match(alias, typed))) break;
    }
    if (!drive) continue;
    const auto named = [&](std::wstring_view target) {
      return *drive == L'\0' ? std::wstring(target) : WithDrive(target, *drive);
    };
    resolved.name = named(row.targets.front());
    for (const std::wstring_view target : row.targets) {
      if (catalog.HasSetting(named(target))) {
        resolved.name = named(target);
        break;
      }
    }
    if (!row.setValue.empty()) {
      resolved.functionWord = L"set";
      resolved.valueText = std::wstring(row.setValue);
    }
    resolved.echoesName = row.echoesName;
    return resolved;
  }
  return resolved;
}

std::span<const std::wstring> KnownSettingNames() {
  static const std::vector<std::wstring> names = [] {
    std::vector<std::wstring> all;
    const auto addPattern = [&all](std::wstring_view pattern) {
      if (!HasDrivePlace(pattern)) {
        all.emplace_back(pattern);
        return;
      }
      for (const wchar_t drive : std::wstring_view(kDrives)) all.push_back(WithDrive(pattern, drive));
    };
    std::vector<uint32_t> layouts = {kNewestVariant, kBaselineVariant};
    for (const VariantDelta& delta : OlderVariantDeltas()) layouts.push_back(delta.variant);
    for (const uint32_t layout : layouts) {
      for (const CatalogRow& row : VariantRows(layout)) all.emplace_back(row.name);
    }
    for (const AliasRow& row : kRows) {
      for (const std::wstring_view alias : row.aliases) addPattern(alias);
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
  }();
  return names;
}

std::vector<std::wstring> NearestKnownNames(std::wstring_view name, size_t most) {
  // The edit distance of two names, with insertions, deletions and changes.
  const auto distance = [](std::wstring_view a, std::wstring_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
      size_t diagonal = row[0];
      row[0] = i;
      for (size_t j = 1; j <= b.size(); ++j) {
        const size_t above = row[j];
        row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
        diagonal = above;
      }
    }
    return row[b.size()];
  };
  constexpr size_t kMostEdits = 2;
  constexpr size_t kShortestPart = 3;  // a shorter name is inside too many others
  std::vector<std::pair<size_t, std::wstring>> near;
  for (const std::wstring& known : KnownSettingNames()) {
    const size_t edits = distance(name, known);
    if (edits <= kMostEdits) {
      near.emplace_back(edits, known);
    } else if (name.size() >= kShortestPart && known.find(name) != std::wstring::npos) {
      near.emplace_back(kMostEdits + 1, known);
    }
  }
  std::sort(near.begin(), near.end());
  std::vector<std::wstring> names;
  for (size_t i = 0; i < near.size() && names.size() < most; ++i) names.push_back(near[i].second);
  return names;
}

std::string UnknownSettingText(std::wstring_view name) {
  std::string text = "unknown setting";
  const std::vector<std::wstring> near = NearestKnownNames(name);
  for (size_t i = 0; i < near.size(); ++i) text += (i == 0 ? " (nearest: " : ", ") + WideToUtf8(near[i]);
  if (!near.empty()) text += ")";
  return text;
}

bool IsKnownSettingName(std::wstring_view name) {
  const auto names = KnownSettingNames();
  return std::binary_search(names.begin(), names.end(), name,
                            [](std::wstring_view a, std::wstring_view b) { return a < b; });
}

}  // namespace vort64
