// The firmware's vocabulary, written once: the return codes, the password
// array, the WMI classes, methods and instances; the option block's own
// facts are in base/option_block.h. The program, the simulated machine and
// the tests all read them from here.
#ifndef VORT64_WMI_FIRMWARE_FACTS_H_
#define VORT64_WMI_FIRMWARE_FACTS_H_

#include <cstddef>
#include <cstdint>

#include "base/option_block.h"

namespace vort64 {

// ---- Return codes -----------------------------------------------------------

enum FirmwareReturnCode : int32_t {
  kFirmwareSuccess = 0,
  kFirmwareNotSupported = 1,
  kFirmwareIncorrectPassword = 2,
  kFirmwareInvalidParameter = 3,
  kFirmwareNoUserDefault = 4,
  kFirmwareNoSupervisorPassword = 5,
  kFirmwareRetryExceeded = 7,
  kFirmwareRebootRequired = 8,
  kFirmwareIncompatibleData = 209,
  kFirmwareDfciControlled = 210,
};

// A code passes when no bit other than the reboot-required 8 is set.
constexpr bool Passed(int32_t code) { return (code & ~kFirmwareRebootRequired) == 0; }

// Wrong supervisor passwords in a row after which every wrong one answers 7.
inline constexpr int32_t kWrongPasswordsBeforeLockout = 3;

// ---- Passwords sent with every method -------------------------------------

// The Password array: 16 bytes with long passwords, 12 before; keyboard
// scan codes in place of characters where the version sends them
// (InterfaceRule in base/interface_version.h).
inline constexpr uint32_t kPasswordArrayShort = 12;
inline constexpr uint32_t kPasswordArrayLong = 16;

// ---- WMI classes, methods and instances -----------------------------------

inline constexpr wchar_t kWmiNamespace[] = L"ROOT\\WMI";

inline constexpr wchar_t kConfigurationClass[] = L"KelmBiosConfigurationTool";
inline constexpr wchar_t kConfigurationQuery[] = L"SELECT * FROM KelmBiosConfigurationTool";
inline constexpr wchar_t kConfigurationInstance[] = L"ACPI\\PNP0C14\\0_0";
inline constexpr wchar_t kSettingClass[] = L"BIOSSetting";
inline constexpr wchar_t kSettingQuery[] = L"SELECT * FROM BIOSSetting";
inline constexpr wchar_t kSettingInstance[] = L"ACPI\\PNP0C14\\1_0";

inline constexpr wchar_t kGetBiosOptionsMethod[] = L"GetBiosOptions";
inline constexpr wchar_t kSetBiosOptionsMethod[] = L"SetBiosOptions";
inline constexpr wchar_t kGetBiosDefaultOptionsMethod[] = L"GetBiosDefaultOptions";
inline constexpr wchar_t kSetBiosDefaultOptionsMethod[] = L"SetBiosDefaultOptions";
inline constexpr wchar_t kLoadBiosDefaultMethod[] = L"LoadBIOSDefault";
inline constexpr wchar_t kLoadUserDefaultMethod[] = L"LoadUserDefault";

// Parameter names.
inline constexpr wchar_t kPasswordLenParam[] = L"PasswordLen";
inline constexpr wchar_t kPasswordParam[] = L"Password";
inline constexpr wchar_t kDataParam[] = L"Data";
inline constexpr wchar_t kReturnCodeParam[] = L"ReturnCode";

// The raw SMBIOS tables.
inline constexpr wchar_t kRawSmbiosClass[] = L"MSSMBios_RawSMBiosTables";

}  // namespace vort64

#endif  // VORT64_WMI_FIRMWARE_FACTS_H_
