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

// A plain value: once accepted it is passed by value or by const reference.
struct InterfaceVersion {
  uint32_t major = 0;
  uint32_t minor = 0;

  // Major 2 and minor at least `m`.
  constexpr bool AtLeast(uint32_t m) const { return major == 2 && minor >= m; }

  // The longest current or new password: 12 characters below 2.56, 16 from
  // 2.56 on.
  constexpr uint32_t PasswordMaxLength() const { return minor >= 56 ? 16 : 12; }
  // The longest OPAL password: 32 from 2.79 on; none (0) before.
  constexpr uint32_t OpalPasswordMaxLength() const { return minor >= 79 ? 32 : 0; }

  // Whether the version offers `slot`: supervisor and user always; the
  // drive 0 and 1 slots below 2.56; the common drive slot from 2.56 on; the
  // OPAL slot from 2.79 on.
  constexpr bool Offers(PasswordSlot slot) const {
    switch (slot) {
      case PasswordSlot::kSupervisor:
      case PasswordSlot::kUser: return true;
      case PasswordSlot::kHdd: return minor >= 56;
      case PasswordSlot::kOpal: return minor >= 79;
      case PasswordSlot::kHdd0:
      case PasswordSlot::kHdd1: return minor < 56;
    }
    return false;
  }

  friend constexpr bool operator==(const InterfaceVersion&, const InterfaceVersion&) = default;
};

}  // namespace vort64

#endif  // VORT64_BASE_INTERFACE_VERSION_H_
