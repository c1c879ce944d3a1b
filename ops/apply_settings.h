// The one way the program changes the option block and knows that it did:
// the requested values placed into the block as the firmware gave it, the
// block written once, read back once, and each setting's bytes compared by
// its kind's rule. "/set", "/set-default", the import (in one block, or a
// setting at a time), the password changes and the self-test apply through
// it; the check places through it and compares by the same rule without
// writing. The rules it holds, once each:
//   - not supported: the firmware marks the setting so in the block as read
//     (MarkedUnsupported, beside the display);
//   - the clock bytes: each setting's kind says which it asks the firmware to
//     keep (sent as 238); a clock byte a setting of the block places itself
//     is sent as placed;
//   - the read-back: after a write of the defaults always, after a write of
//     the current settings unless the setting's catalog row says a write of
//     it is not read back (ReadBack::kNone);
//   - the comparison: CompareWrittenSetting, a clock byte sent as 238 being
//     the firmware's own.
#ifndef VORT64_OPS_APPLY_SETTINGS_H_
#define VORT64_OPS_APPLY_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/parsed_request.h"
#include "catalog/catalog.h"
#include "ops/executor.h"
#include "ops/held_values.h"
#include "ops/outcome.h"
#include "wmi/firmware_methods.h"

namespace vort64 {

// The block a change goes to: the current settings or the defaults.
enum class OptionBlock { kCurrent, kDefaults };

// What placing one setting's value into the block as read came to.
enum class Placing {
  kPlaced,       // `placed` holds the block with the value in it
  kUnsupported,  // the firmware marks the setting not supported
  kUnlisted,     // a value the firmware does not list, and the machine does not hold
  kKept,         // the new password "DoNotChange": nothing to place
  kRefused,      // the field cannot take the value
};

// Places the request's value into `placed` (on entry: a copy of `read`,
// the block as the firmware gave it). `held` knows the values the machine
// holds beyond the firmware's list. With `sayWhy`, a setting skipped as not
// supported or unlisted says why (as "/set" does).
Placing PlaceSetting(Operations& ops, HeldValues& held, const ParsedRequest& request, std::span<const uint8_t> read,
                     std::span<uint8_t> placed, bool sayWhy);

// Whether the setting's bytes in `held` (the block the firmware holds) are
// those `wanted` has placed, by the comparison a write's read back gets.
bool SettingHolds(const Operations& ops, const ParsedRequest& request, std::span<const uint8_t> wanted,
                  std::span<const uint8_t> held);

struct ApplyRequest {
  OptionBlock target = OptionBlock::kCurrent;
  std::string_view password;  // sent with the write and the read back
  std::vector<const ParsedRequest*> settings;
  // "/set" and "/set-default": a setting skipped says why ("Skip Set BIOS
  // options because not support", the firmware's list of values).
  bool sayWhy = true;
};

struct Applied {
  std::vector<OperationResult> outcomes;  // one per setting, in the request's order
  std::optional<MethodOutcome> write;     // when a block was sent
  std::optional<MethodOutcome> readBack;  // when the block was read back (into `readBack`)
};

// Applies `what` to `block`, which holds the target block as just read: on
// return it holds the block as sent (as read when nothing was placed).
// Nothing is sent when no value is placed. A written setting's outcome keeps
// the write's code (8: reboot required). `readBack` is 2048 bytes.
Applied ApplySettings(Operations& ops, const ApplyRequest& what, std::span<uint8_t> block, std::span<uint8_t> readBack);

}  // namespace vort64

#endif  // VORT64_OPS_APPLY_SETTINGS_H_
