// The firmware's WMI interface version, from the OEM SMBIOS structure, and
// what it decides for the whole run: the password limits and the new-password
// slots it offers. An accepted version never changes during a run.
#ifndef VORT64_BASE_INTERFACE_VERSION_H_
#define VORT64_BASE_INTERFACE_VERSION_H_

#include <cstdint>
#include <string_view>

namespace vort64 {

// Where a new password typed on the command line goes: the supervisor, user,
// drive and OPAL slots. Which of them exist depends on the version.
enum class PasswordSlot { kSupervisor, kUser, kHdd, kOpal, kHdd0, kHdd1 };

// "g_new_supervisor_password" and its siblings, as the echo names them.
std::string_view PasswordSlotName(PasswordSlot slot);

// The rules of the firmware interface that change with its version, each
// named once. A rule holds on interface 2.M from the minor number
// FirstMinor gives; no other code compares minor numbers (the catalog's
// layout tables aside, which name their layouts by minor number).
enum class InterfaceRule {
  // Passwords go to the firmware as characters; before, as keyboard scan
  // codes.
  kCharacterPasswords,
  // A block is sent with 238 in the clock bytes it does not set; before, the
  // firmware takes the clock as sent.
  kClockKept,
  // Passwords keep their case; before, the firmware knows upper-case
  // passwords only.
  kPasswordCaseKept,
  // A drive password may be named "set hddN/hddN(opal) password" (until
  // drive password forms).
  kCombinedDrivePasswords,
  // Passwords of up to 16 characters sent in a 16-byte array (12 before);
  // one new-drive-password slot for every drive instead of a slot each for
  // drives 0 and 1.
  kLongPasswords,
  // The firmware applies the password fields the flag byte names; before,
  // every password field that changed.
  kFlaggedPasswords,
  // The supervisor, user and combined drive passwords are placed in the
  // long form (old and new password side by side); before, in the short
  // form.
  kLongPasswordForm,
  // The self-test runs its current list of settings; before, its older one.
  kCurrentSelfTestList,
  // Drives are named "set hddN password" and "set hddN(opal) password" and
  // placed in the long and the OPAL form; combined names end.
  kDrivePasswordForms,
  // OPAL drive passwords of up to 32 characters.
  kOpalPasswords,
  // The echo shows a MAC address byte by byte.
  kMacAddressEcho,
  // A supervisor or user password without an old one is sent with an
  // old-password length of 0; before, 1.
  kEmptyOldAccountPasswordAsZero,
  // A drive password without an old one is sent with an old-password length
  // of 0; before, 1.
  kEmptyOldDrivePasswordAsZero,
};

// The first minor number of major 2 at which `rule` holds.
constexpr uint32_t FirstMinor(InterfaceRule rule) {
  switch (rule) {
    case InterfaceRule::kCharacterPasswords: return 50;
    case InterfaceRule::kClockKept:
    case InterfaceRule::kPasswordCaseKept:
    case InterfaceRule::kCombinedDrivePasswords: return 55;
    case InterfaceRule::kLongPasswords: return 56;
    case InterfaceRule::kFlaggedPasswords: return 72;
    case InterfaceRule::kLongPasswordForm: return 73;
    case InterfaceRule::kCurrentSelfTestList: return 76;
    case InterfaceRule::kDrivePasswordForms:
    case InterfaceRule::kOpalPasswords:
    case InterfaceRule::kMacAddressEcho:
    case InterfaceRule::kEmptyOldAccountPasswordAsZero: return 79;
    case InterfaceRule::kEmptyOldDrivePasswordAsZero: return 80;
  }
  return 0;
}

// A plain value: once accepted it is passed by value or by const reference.
// Only major 2 is accepted for a run; on any other major no rule holds.
struct InterfaceVersion {
  uint32_t major = 0;
  uint32_t minor = 0;

  // Whether a run may go on with this version: major 2 only.
  constexpr bool Supported() const { return major == 2; }
  constexpr bool Holds(InterfaceRule rule) const { return Supported() && minor >= FirstMinor(rule); }

  // Keyboard scan codes in place of characters: major 2 below 2.50.
  constexpr bool SendsScanCodes() const { return Supported() && !Holds(InterfaceRule::kCharacterPasswords); }

  // The longest current or new password: 12 characters, or 16 with long
  // passwords.
  constexpr uint32_t PasswordMaxLength() const { return Holds(InterfaceRule::kLongPasswords) ? 16 : 12; }
  // The longest OPAL password: 32 with OPAL passwords; none (0) before.
  constexpr uint32_t OpalPasswordMaxLength() const { return Holds(InterfaceRule::kOpalPasswords) ? 32 : 0; }

  // Whether the version offers `slot`: supervisor and user always; the
  // drive 0 and 1 slots before long passwords, the common drive slot with
  // them; the OPAL slot with OPAL passwords.
  constexpr bool Offers(PasswordSlot slot) const {
    switch (slot) {
      case PasswordSlot::kSupervisor:
      case PasswordSlot::kUser: return true;
      case PasswordSlot::kHdd: return Holds(InterfaceRule::kLongPasswords);
      case PasswordSlot::kOpal: return Holds(InterfaceRule::kOpalPasswords);
      case PasswordSlot::kHdd0:
      case PasswordSlot::kHdd1: return !Holds(InterfaceRule::kLongPasswords);
    }
    return false;
  }

  friend constexpr bool operator==(const InterfaceVersion&, const InterfaceVersion&) = default;
};

}  // namespace vort64

#endif  // VORT64_BASE_INTERFACE_VERSION_H_
