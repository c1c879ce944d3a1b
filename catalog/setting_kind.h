// What kind of value a setting holds, given once for every setting name.
// Below the parser, code switches on the kind, never on the name.
#ifndef VORT64_CATALOG_SETTING_KIND_H_
#define VORT64_CATALOG_SETTING_KIND_H_

#include <array>
#include <cstddef>
#include <string_view>

namespace vort64 {

enum class SettingKind {
  kByte,          // one byte, the low 8 bits of a decimal number
  kTime,          // "time": second, minute, hour
  kDate,          // "date": day, month, year - 2000
  kGptRecord,     // "gpt partition record": minute, hour, day, month, year byte
  kBootOrder,     // "boot priority order": device codes, 255 ends the list
  kMacAddress,    // "customized mac address": six bytes
  kAssetTag,      // "asset tag number": text
  kOwnershipTag,  // "ownership tag number": text
  kPassword,      // a supervisor, user, drive or OPAL password
};

// The kind of the setting `name`, as the catalog decides it once for each row
// (DescribeSetting); code elsewhere reads SettingInfo::kind. Allocates nothing.
SettingKind KindOfSetting(std::wstring_view name);

// The setting whose write presets the password flag byte to the user bit.
inline constexpr std::wstring_view kPasswordFlagSetting = L"flag for setting password";

// The TPM clear, under the names the layouts give it.
inline constexpr std::wstring_view kClearTpmSetting = L"clear tpm";
inline constexpr std::wstring_view kClearTpmTcmSetting = L"clear tpm(tcm)";

// The value of a password setting that keeps the password as it is: the
// word as typed (kKeepPasswordValue) and as a new password is held
// (kKeepPasswordWord), written once.
inline constexpr char kKeepPasswordText[] = "DoNotChange";
inline constexpr std::string_view kKeepPasswordWord = kKeepPasswordText;
inline constexpr auto kKeepPasswordWide = [] {
  std::array<wchar_t, sizeof(kKeepPasswordText)> wide{};
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<wchar_t>(kKeepPasswordText[i]);
  return wide;
}();
inline constexpr std::wstring_view kKeepPasswordValue{kKeepPasswordWide.data(), kKeepPasswordWide.size() - 1};

}  // namespace vort64

#endif  // VORT64_CATALOG_SETTING_KIND_H_
