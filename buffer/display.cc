#include "buffer/display.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/text.h"
#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"

namespace vort64 {
namespace {

// Functions after which there is no single setting to show.
bool ShowsNoSetting(Function function) {
  switch (function) {
    case Function::kExportCustomSettings:
    case Function::kImportCustomSettings:
    case Function::kCheckCustomSettings:
    case Function::kExportRawSettings:
    case Function::kImportRawSettings:
    case Function::kLoadFactoryDefault:
    case Function::kLoadUserDefault:
    case Function::kRotatePassword: return true;
    default: return false;
  }
}

std::string Number(uint8_t byte) { return std::to_string(unsigned{byte}); }

// The bytes in decimal with `separator` between them and a
// line break after the last one; nothing at all for no bytes.
std::string JoinBytes(std::span<const uint8_t> bytes, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    text += Number(bytes[i]);
    text += i + 1 < bytes.size() ? separator : "\n";
  }
  return text;
}

std::string Reversed(std::span<const uint8_t> bytes, std::string_view separator) {
  std::string text;
  for (size_t i = bytes.size(); i-- > 0;) {
    text += Number(bytes[i]);
    if (i > 0) text += separator;
  }
  return text;
}

bool IsShownPassword(PasswordItem::Kind kind) {
  return kind == PasswordItem::kSupervisor || kind == PasswordItem::kUser || kind == PasswordItem::kHdd ||
         kind == PasswordItem::kHddOpal;
}

}  // namespace

SettingValue FormatSettingValue(std::wstring_view name, std::span<const uint8_t> block, uint32_t offset,
                                uint32_t size) {
  const uint64_t end = uint64_t{offset} + size;
  // The setting's bytes, as far as the block holds them.
  const size_t first = std::min<size_t>(offset, block.size());
  const std::span<const uint8_t> bytes = block.subspan(first, std::min<size_t>(end, block.size()) - first);
  const auto at = [&](size_t i) { return BlockByte(block, static_cast<uint32_t>(offset + i)); };

  switch (KindOfSetting(name)) {
    case SettingKind::kPassword:
      if (!IsShownPassword(ClassifyPasswordItem(name).kind)) break;
      return {SettingValue::kHiddenPassword, ""};
    case SettingKind::kTime: return {SettingValue::kText, Reversed(bytes, ":") + "\n"};
    case SettingKind::kBootOrder: return {SettingValue::kText, JoinBytes(bytes, ", ")};
    case SettingKind::kGptRecord: return {SettingValue::kText, "Record = \"" + Reversed(bytes, "\",\"") + "\"\n"};
    case SettingKind::kDate:
      return {SettingValue::kText, Number(at(1)) + " / " + Number(at(0)) + " / " + Number(at(2)) + "\n"};
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag: return {SettingValue::kText, std::string(bytes.begin(), bytes.end()) + "\n"};
    case SettingKind::kMacAddress: {
      const bool unsupported =
          bytes.size() == 6 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kNotSupported; });
      return {unsupported ? SettingValue::kUnsupported : SettingValue::kText, JoinBytes(bytes, "-")};
    }
    case SettingKind::kByte: break;
  }
  const bool unsupported = std::find(bytes.begin(), bytes.end(), kNotSupported) != bytes.end();
  return {unsupported ? SettingValue::kUnsupported : SettingValue::kText, JoinBytes(bytes, ", ")};
}

std::string OneLineValue(const SettingValue& value) {
  if (value.kind == SettingValue::kHiddenPassword) return "(password, not shown)";
  std::string text = value.text;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (char& c : text) {
    if (c < 0x20 || c > 0x7E) c = '.';
  }
  if (value.kind == SettingValue::kUnsupported) text += " (not supported)";
  return text;
}

std::string ListSettings(const SettingCatalog& catalog, std::span<const uint8_t> block) {
  std::string out;
  for (const auto& [name, info] : catalog.settings()) {
    out += WideToUtf8(name) + ": " + OneLineValue(FormatSettingValue(name, block, info.offset, info.size)) + "\n";
  }
  return out;
}

Support ShowSettingValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<const uint8_t> block) {
  if (request.function == Function::kShowSettings) {
    ctx.console.Say(ListSettings(catalog, block));
    return Support::kSupported;
  }
  if (ShowsNoSetting(request.function) || request.itemName == L"change supervisor password") {
    return Support::kSupported;
  }

  const std::wstring& name = request.itemName;
  const uint32_t offset = catalog.GetSettingOffset(name);
  const uint32_t size = catalog.GetSettingSize(name);
  Console& console = ctx.console;
  console.Say("Offset : " + std::to_string(offset) + "\n");
  console.Say("Size : " + std::to_string(size) + "\n");
  console.Say("end : " + std::to_string(uint64_t{offset} + size) + "\n");
  console.SayWide(name + L": ");

  const SettingValue value = FormatSettingValue(name, block, offset, size);
  if (value.kind == SettingValue::kHiddenPassword) {
    console.Say("\n");
    if (ctx.version.Holds(InterfaceRule::kFlaggedPasswords)) {
      console.Say("Offset : " + std::to_string(kPasswordFlagByte) + "\n");
      console.Say("Size : 2\n");
      console.Say("end : 237\n");
      console.Say("flag for setting : " + Number(BlockByte(block, kPasswordFlagByte)) + "\n");
    }
    return Support::kSupported;
  }
  console.Say(value.text);
  return value.kind == SettingValue::kUnsupported ? Support::kUnsupported : Support::kSupported;
}

}  // namespace vort64
