#include "catalog/setting_kind.h"

#include "catalog/password_settings.h"

namespace vort64 {

SettingKind KindOfSetting(std::wstring_view name) {
  struct Named {
    std::wstring_view name;
    SettingKind kind;
  };
  static constexpr Named kNamed[] = {
      {L"time", SettingKind::kTime},
      {L"date", SettingKind::kDate},
      {L"gpt partition record", SettingKind::kGptRecord},
      {L"boot priority order", SettingKind::kBootOrder},
      {L"customized mac address", SettingKind::kMacAddress},
      {L"asset tag number", SettingKind::kAssetTag},
      {L"ownership tag number", SettingKind::kOwnershipTag},
  };
  for (const auto& n : kNamed) {
    if (name == n.name) return n.kind;
  }
  return IsPasswordItem(name) ? SettingKind::kPassword : SettingKind::kByte;
}

}  // namespace vort64
