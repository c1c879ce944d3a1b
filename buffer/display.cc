#include "buffer/display.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/functions.h"
#include "base/text.h"
#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "catalog/value_codecs.h"

namespace vort64 {
namespace {

std::string Number(uint8_t byte) { return std::to_string(unsigned{byte}); }

}  // namespace

SettingValue FormatSettingValue(const SettingInfo& setting, std::span<const uint8_t> block) {
  return CodecOf(setting.kind).show(setting, SettingBytes(setting, block));
}

bool MarkedUnsupported(const SettingInfo& setting, std::span<const uint8_t> block) {
  return FormatSettingValue(setting, block).kind == SettingValue::kUnsupported;
}

namespace {

// ReadableValue of `value`, the setting's value as FormatSettingValue gave it.
std::string Readable(const SettingInfo& setting, std::span<const uint8_t> block, const SettingValue& value) {
  std::string text = value.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  text = CodecOf(setting.kind).readable(setting, SettingBytes(setting, block), std::move(text));
  for (char& c : text) {
    if (c < 0x20 || c > 0x7E) c = '.';
  }
  return text;
}

}  // namespace

std::string ReadableValue(const SettingInfo& setting, std::span<const uint8_t> block) {
  return Readable(setting, block, FormatSettingValue(setting, block));
}

std::string OneLineValue(const SettingInfo& setting, std::span<const uint8_t> block) {
  const SettingValue value = FormatSettingValue(setting, block);
  if (value.kind == SettingValue::kHiddenPassword) return "(password, not shown)";
  std::string text = Readable(setting, block, value);
  if (value.kind == SettingValue::kUnsupported) text += " (not supported)";
  return text;
}

std::string ListSettings(const SettingCatalog& catalog, std::span<const uint8_t> block) {
  std::string out;
  for (const auto& [name, info] : catalog.settings()) {
    out += WideToUtf8(name) + ": " + OneLineValue(info, block) + "\n";
  }
  return out;
}

Messages ShowSettingValue(const InterfaceVersion& version, const SettingCatalog& catalog, const ParsedRequest& request,
                          std::span<const uint8_t> block) {
  Messages said;
  const auto say = [&said](std::string text) { said.push_back({Message::Stream::kSay, std::move(text)}); };
  if (request.function == Function::kShowSettings) {
    say(ListSettings(catalog, block));
    return said;
  }
  if (!FactsOf(request.function).showsSetting) return said;

  const std::wstring& name = request.itemName;
  const SettingInfo* found = catalog.FindSetting(name);
  const SettingInfo setting = found ? *found : SettingInfo{};
  const uint32_t offset = setting.offset;
  const uint32_t size = setting.size;
  say("Offset : " + std::to_string(offset) + "\n");
  say("Size : " + std::to_string(size) + "\n");
  say("end : " + std::to_string(uint64_t{offset} + size) + "\n");
  say(WideToUtf8(name + L": "));

  const SettingValue value = FormatSettingValue(setting, block);
  if (value.kind == SettingValue::kHiddenPassword) {
    say("\n");
    if (version.Holds(InterfaceRule::kFlaggedPasswords)) {
      say("Offset : " + std::to_string(kPasswordFlagByte) + "\n");
      say("Size : 2\n");
      say("end : 237\n");
      say("flag for setting : " + Number(BlockByte(block, kPasswordFlagByte)) + "\n");
    }
    return said;
  }
  say(value.text);
  return said;
}

}  // namespace vort64
