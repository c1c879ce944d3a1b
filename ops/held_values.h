// Whether a value the firmware does not list may be written all the same:
// the firmware's list may be incomplete, and a value the machine holds
// itself, now or in its defaults, is always taken back. The other block
// (the defaults for a "/set", the current settings for a "/set-default") is
// read only when a value needs it, and once.
#ifndef VORT64_OPS_HELD_VALUES_H_
#define VORT64_OPS_HELD_VALUES_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/parsed_request.h"
#include "catalog/catalog.h"

namespace vort64 {

struct Operations;

class HeldValues {
 public:
  enum class Other { kDefaults, kCurrent };
  HeldValues(Operations& ops, std::string_view password, Other other) : ops_(ops), password_(password), other_(other) {}

  // Whether `request` may go on: its value is listed, or `block` (the block
  // it is placed into) or the other block holds it at the setting's byte.
  bool Allows(const ParsedRequest& request, const SettingInfo& setting, std::span<const uint8_t> block);

 private:
  Operations& ops_;
  std::string_view password_;
  Other other_;
  std::optional<std::vector<uint8_t>> otherBlock_;  // empty when its read failed
};

// "Invalid value "7" of camera: the firmware lists 0 (Disabled), 1 (Enabled)."
std::string UnlistedValueMessage(const ParsedRequest& request, const SettingInfo& setting);

}  // namespace vort64

#endif  // VORT64_OPS_HELD_VALUES_H_
