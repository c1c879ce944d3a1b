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

// The settings the firmware's start measures into the TPM, under every name
// the layouts give them, and why. A change of one of them makes BitLocker ask
// for the recovery key at the next start unless the system drive's
// protection is suspended for that start.
struct Measured {
  std::wstring_view name;
  MeasuredAtStart reason;
};
constexpr Measured kMeasuredAtStart[] = {
    // Secure Boot's state, its mode and its key databases (PCR 7).
    {L"secure boot", MeasuredAtStart::kSecureBoot},
    {L"secure boot mode", MeasuredAtStart::kSecureBoot},
    {L"erase all secure boot setting", MeasuredAtStart::kSecureBoot},
    {L"restore secure boot to factory default", MeasuredAtStart::kSecureBoot},
    {L"authorized signatures", MeasuredAtStart::kSecureBoot},
    // The TPM that holds BitLocker's key: switched off, cleared or another one.
    {L"change tpm 1.2 state", MeasuredAtStart::kTpm},
    {L"change tpm 2.0 state", MeasuredAtStart::kTpm},
    {kClearTpmSetting, MeasuredAtStart::kTpm},
    {kClearTpmTcmSetting, MeasuredAtStart::kTpm},
    {L"tpm detection selection", MeasuredAtStart::kTpm},
    {L"tpm device selection", MeasuredAtStart::kTpm},
    // UEFI or legacy: another boot path altogether.
    {L"boot mode", MeasuredAtStart::kBootMode},
    // The boot entries and their order.
    {L"boot priority order", MeasuredAtStart::kBootOrder},
    {L"network boot", MeasuredAtStart::kBootDevices},
    {L"usb boot", MeasuredAtStart::kBootDevices},
    // Intel TXT: the measured launch.
    {L"trusted execution technology", MeasuredAtStart::kMeasuredLaunch},
};

}  // namespace

std::string_view MeasuredAtStartWords(MeasuredAtStart reason) {
  switch (reason) {
    case MeasuredAtStart::kNo: break;
    case MeasuredAtStart::kSecureBoot: return "secure boot";
    case MeasuredAtStart::kTpm: return "TPM";
    case MeasuredAtStart::kBootMode: return "boot mode";
    case MeasuredAtStart::kBootOrder: return "boot order";
    case MeasuredAtStart::kBootDevices: return "boot devices";
    case MeasuredAtStart::kMeasuredLaunch: return "measured launch";
  }
  return "";
}

std::vector<std::string_view> MeasuredReasons::Words() const {
  std::vector<std::string_view> words;
  for (const MeasuredAtStart reason :
       {MeasuredAtStart::kSecureBoot, MeasuredAtStart::kTpm, MeasuredAtStart::kBootMode, MeasuredAtStart::kBootOrder,
        MeasuredAtStart::kBootDevices, MeasuredAtStart::kMeasuredLaunch}) {
    if (Has(reason)) words.push_back(MeasuredAtStartWords(reason));
  }
  return words;
}

std::string MeasuredReasons::Text() const {
  const std::vector<std::string_view> words = Words();
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
    text += words[i];
  }
  return text;
}

MeasuredAtStart MeasuredReasonOf(std::wstring_view name) {
  for (const Measured& row : kMeasuredAtStart) {
    if (name == row.name) return row.reason;
  }
  return MeasuredAtStart::kNo;
}

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
  info.measured = MeasuredReasonOf(name);
  info.listed = info.kind == SettingKind::kByte ? ParseListedValues(info.meaning) : ListedValues();
  for (const ListedFix& fix : kListedFixes) {
    if (name == fix.name && !info.listed.empty() && !info.listed.Lists(fix.value.first)) info.listed.Add(fix.value);
  }
}

}  // namespace vort64
