// What kind of value a setting holds, given once for every setting name.
// Below the parser, code switches on the kind, never on the name.
#ifndef VORT64_CATALOG_SETTING_KIND_H_
#define VORT64_CATALOG_SETTING_KIND_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Why the firmware's start measures a setting into the TPM, so that BitLocker
// asks for the recovery key at the next start when it changed and the system
// drive's protection was not suspended for that start. kNo for the settings
// no measurement covers.
enum class MeasuredAtStart : uint8_t {
  kNo,
  kSecureBoot,      // Secure Boot's state, mode and key databases: PCR 7
  kTpm,             // the TPM itself: a TPM switched, cleared or replaced holds none of the sealed keys
  kBootMode,        // UEFI or legacy start: every measurement of the boot path changes
  kBootOrder,       // the boot entries and their order: the boot configuration (PCR 1) and boot manager (PCR 4)
  kBootDevices,     // a boot device class switched on or off adds or drops boot entries (PCR 1)
  kMeasuredLaunch,  // Intel TXT: the measured launch of the operating system (PCRs 17 to 22)
};

// The words a message gives a reason: "secure boot", "TPM", "boot mode", ...
std::string_view MeasuredAtStartWords(MeasuredAtStart reason);

// Several reasons at once, each once, in the enum's order.
class MeasuredReasons {
 public:
  void Add(MeasuredAtStart reason) {
    if (reason != MeasuredAtStart::kNo) bits_ |= Bit(reason);
  }
  void Add(MeasuredReasons other) { bits_ |= other.bits_; }
  bool Has(MeasuredAtStart reason) const { return (bits_ & Bit(reason)) != 0; }
  bool empty() const { return bits_ == 0; }
  bool operator==(const MeasuredReasons&) const = default;
  // The reasons' words in the enum's order.
  std::vector<std::string_view> Words() const;
  // "secure boot", "secure boot and TPM", "secure boot, TPM and boot order".
  std::string Text() const;

 private:
  static unsigned Bit(MeasuredAtStart reason) { return 1u << static_cast<unsigned>(reason); }
  unsigned bits_ = 0;
};

// The reason a measurement at start covers the setting `name`, as the catalog
// decides it once for each row (DescribeSetting, from the table in
// catalog/setting_kind.cc); code elsewhere reads SettingInfo::measured.
MeasuredAtStart MeasuredReasonOf(std::wstring_view name);

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
