// The firmware's vocabulary, written once: the option block and its fixed
// bytes, the return codes, the WMI classes, methods and instances. The
// program, the simulated machine and the tests all read them from here.
#ifndef VORT64_WMI_FIRMWARE_FACTS_H_
#define VORT64_WMI_FIRMWARE_FACTS_H_

#include <cstddef>
#include <cstdint>

namespace vort64 {

// ---- The option block -----------------------------------------------------
// Every multi-byte field is a run of separate bytes in the order given here;
// none is a little- or big-endian integer.

inline constexpr uint32_t kSettingsBufferSize = 2048;

// The password-setting flag byte: which password fields the firmware is to
// apply. Bit 0 supervisor, bit 1 user, bits 2 to 7 drives 0 to 5 (plain or
// OPAL).
inline constexpr uint32_t kPasswordFlagByte = 235;
inline constexpr uint8_t kSupervisorFlag = 1;
inline constexpr uint8_t kUserFlag = 2;
// The flag bit of drive 0 to 5.
constexpr uint8_t DriveFlag(uint32_t drive) { return static_cast<uint8_t>(4u << drive); }
// From interface 2.72 on the firmware applies the password fields the flag
// byte names; before, every password field that changed.
inline constexpr uint32_t kPasswordFlagFromMinor = 72;

// System date: day, month, year minus 2000. System time: second, minute, hour.
inline constexpr uint32_t kDateFirstByte = 391;
inline constexpr uint32_t kTimeFirstByte = 394;
inline constexpr uint32_t kDateTimeBytes = 3;
inline constexpr uint32_t kClockFirstByte = kDateFirstByte;
inline constexpr uint32_t kClockEndByte = kTimeFirstByte + kDateTimeBytes;  // one past the last

// In a date or time byte: leave the firmware's value alone.
inline constexpr uint8_t kDoNotChange = 238;
// From interface 2.55 on a block is sent with kDoNotChange in the clock
// bytes it does not set; before, the firmware takes the clock as sent.
inline constexpr uint32_t kClockKeptFromMinor = 55;
// In a one-byte or list setting: the firmware does not support it. In the
// boot priority order it ends the list.
inline constexpr uint8_t kNotSupported = 255;

// The OPAL password fields of drives 0 to 5, one after another.
inline constexpr uint32_t kOpalFieldFirstByte = 793;
inline constexpr uint32_t kOpalFieldSize = 66;

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

// The Password array: 12 bytes below interface 2.56, 16 from 2.56 on;
// keyboard scan codes instead of characters below 2.50.
inline constexpr uint32_t kPasswordArrayShort = 12;
inline constexpr uint32_t kPasswordArrayLong = 16;
inline constexpr uint32_t kLongPasswordArrayFromMinor = 56;
inline constexpr uint32_t kCharacterPasswordsFromMinor = 50;

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
