#include "ops/held_values.h"

#include "base/option_block.h"
#include "base/text.h"
#include "catalog/value_codecs.h"
#include "ops/firmware_calls.h"

namespace vort64 {

bool HeldValues::Allows(const ParsedRequest& request, const SettingInfo& setting, std::span<const uint8_t> block) {
  if (!request.unlistedValue) return true;
  const auto holds = [&](std::span<const uint8_t> b) {
    return setting.offset < b.size() && b[setting.offset] == request.ByteValue();
  };
  if (holds(block)) return true;
  if (!otherBlock_) {
    std::vector<uint8_t> other(kSettingsBufferSize, 0);
    const MethodOutcome read = other_ == Other::kDefaults ? GetBiosDefaultOptions(ops_, password_, other)
                                                          : GetBiosOptions(ops_, password_, other);
    otherBlock_ = read.passed() ? std::move(other) : std::vector<uint8_t>();
  }
  return holds(*otherBlock_);
}

std::string UnlistedValueMessage(const ParsedRequest& request, const SettingInfo& setting) {
  return InvalidValueText(request.valueText, request.itemName, setting.listed) + "\n";
}

}  // namespace vort64
