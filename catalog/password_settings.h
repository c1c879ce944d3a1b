// The password settings by name: the supervisor and user passwords and the
// hard-disk passwords in their three naming patterns; which new-password
// slot each writes to and which bit of the flag byte stands for it.
#ifndef VORT64_CATALOG_PASSWORD_SETTINGS_H_
#define VORT64_CATALOG_PASSWORD_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/interface_version.h"
#include "base/option_block.h"

namespace vort64 {

struct PasswordItem {
  enum Kind {
    kNone,
    kSupervisor,   // "set supervisor password"
    kUser,         // "set user password"
    kHdd,          // "set hddN password"
    kHddOpal,      // "set hddN(opal) password"
    kHddCombined,  // "set hddN/hddN(opal) password" (interfaces 2.73 to 2.78)
  };
  Kind kind = kNone;
  uint32_t disk = 0;  // N, 0 to 5, for the hard-disk kinds

  bool IsAccount() const { return kind == kSupervisor || kind == kUser; }
  // The item's bit of the password flag byte; 0 for kNone.
  uint8_t FlagBit() const {
    switch (kind) {
      case kSupervisor: return kSupervisorFlag;
      case kUser: return kUserFlag;
      case kHdd:
      case kHddOpal:
      case kHddCombined: return DriveFlag(disk);
      case kNone: break;
    }
    return 0;
  }
};

inline constexpr uint32_t kHardDisks = 6;

// Exact comparison: a name typed in another case is no password item.
// Allocates nothing.
PasswordItem ClassifyPasswordItem(std::wstring_view name);

// The setting whose byte tells whether `item`'s password is set
// ("supervisor password is status", "hddN/hddN(opal) password is status",
// from the layouts that have them on); empty for kNone.
std::wstring PasswordStatusName(PasswordItem item);

// The names whose value is a new password.
bool IsPasswordItem(std::wstring_view name);

// The slot a new password for `name` goes to on `version`; nothing when the
// version routes that name nowhere or does not offer the slot.
std::optional<PasswordSlot> PasswordSlotFor(const InterfaceVersion& version, std::wstring_view name);

// The bit of the password flag byte for a password item, from interface 2.72
// on; nothing for other names and versions.
std::optional<uint32_t> PasswordFlagBit(const InterfaceVersion& version, std::wstring_view name);

}  // namespace vort64

#endif  // VORT64_CATALOG_PASSWORD_SETTINGS_H_
