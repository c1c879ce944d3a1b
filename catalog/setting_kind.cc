#include "catalog/setting_kind.h"

#include "catalog/catalog.h"
#include "catalog/password_settings.h"

namespace vort64 {
namespace {

// The settings the firmware writes without a read-back: it clears the TPM
// on the next start, under the name of each layout.
constexpr std::wstring_view kWithoutReadBack[] = {kClearTpmSetting, kClearTpmTcmSetting};

// The treatment of a setting the custom-settings file holds.
ExportTreatment ValueTreatment(std::wstring_view name, SettingKind kind) {
  for (const std::wstring_view clear : kWithoutReadBack) {
    if (name == clear) return ExportTreatment::kNeverClear;
  }
  switch (kind) {
    case SettingKind::kPassword: return ExportTreatment::kKeepPassword;
    case SettingKind::kTime:
    case SettingKind::kDate: return ExportTreatment::kKeepClock;
    case SettingKind::kGptRecord:
    case SettingKind::kMacAddress:
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag:
    case SettingKind::kBootOrder:
    case SettingKind::kByte: break;
  }
  return ExportTreatment::kValueAsRead;
}

// Values a layout's text leaves out although its firmware holds and takes
// them: the TPM clear below 2.72 lists only "1 : Clear", yet it reads 0 when
// nothing is to be done (as later layouts say), and an export writes 0.
struct ListedFix {
  std::wstring_view name;
  ListedValue value;
};
constexpr ListedFix kListedFixes[] = {
    {kClearTpmSetting, {0, 0, L"Do nothing"}},
};

}  // namespace

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

void DescribeSetting(std::wstring_view name, SettingInfo& info) {
  info.kind = KindOfSetting(name);
  info.password = ClassifyPasswordItem(name);
  // The firmware's descriptions say "Set" of every setting it takes a value for.
  info.writable = info.description.find(L"Set") != std::wstring_view::npos;
  info.exportTreatment = info.writable ? ValueTreatment(name, info.kind) : ExportTreatment::kLeftOut;
  info.readBack = ReadBack::kCompare;
  for (const std::wstring_view clear : kWithoutReadBack) {
    if (name == clear) info.readBack = ReadBack::kNone;
  }
  info.listed = info.kind == SettingKind::kByte ? ParseListedValues(info.meaning) : ListedValues();
  for (const ListedFix& fix : kListedFixes) {
    if (name == fix.name && !info.listed.empty() && !info.listed.Lists(fix.value.first)) info.listed.Add(fix.value);
  }
}

}  // namespace vort64
