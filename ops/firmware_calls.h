// The firmware methods as the functions call them: each runs the method on
// the run's session and says what it handed back (the password file's
// lines, then the method's message for its outcome) on the run's console,
// at once, so its lines keep their place among the function's own. Every
// firmware method call of ops/ and autotest/ goes through here.
#ifndef VORT64_OPS_FIRMWARE_CALLS_H_
#define VORT64_OPS_FIRMWARE_CALLS_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "wmi/firmware_methods.h"

namespace vort64 {

struct Operations;

// The outcome of the call, its messages said (its `said` is left empty).
MethodOutcome GetBiosOptions(Operations& ops, std::string_view password, std::span<uint8_t> buffer);
MethodOutcome SetBiosOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer);
MethodOutcome GetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<uint8_t> buffer);
MethodOutcome SetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer);
MethodOutcome LoadBIOSDefault(Operations& ops, std::string_view password);
MethodOutcome LoadUserDefault(Operations& ops, std::string_view password);

}  // namespace vort64

#endif  // VORT64_OPS_FIRMWARE_CALLS_H_
