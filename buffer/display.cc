#include "buffer/display.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/text.h"
#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "catalog/password_settings.h"

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

SettingValue FormatSettingValue(const SettingInfo& setting, std::span<const uint8_t> block) {
  const uint32_t offset = setting.offset;
  const uint64_t end = uint64_t{offset} + setting.size;
  // The setting's bytes, as far as the block holds them.
  const size_t first = std::min<size_t>(offset, block.size());
  const std::span<const uint8_t> bytes = block.subspan(first, std::min<size_t>(end, block.size()) - first);
  const auto at = [&](size_t i) { return BlockByte(block, static_cast<uint32_t>(offset + i)); };

  switch (setting.kind) {
    case SettingKind::kPassword:
      if (!IsShownPassword(setting.password.kind)) break;
      return {SettingValue::kHiddenPassword, ""};
    case SettingKind::kTime: return {SettingValue::kText, Reversed(bytes, ":") + "\n"};
    case SettingKind::kBootOrder: return {SettingValue::kText, JoinBytes(bytes, ", ")};
    case SettingKind::kGptRecord: return {SettingValue::kText, "Record = \"" + Reversed(bytes, "\",\"") + "\"\n"};
    case SettingKind::kDate:
      return {SettingValue::kText, Number(at(1)) + " / " + Number(at(0)) + " / " + Number(at(2)) + "\n"};
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag: {
      // A tag ends at its first NUL byte; the bytes after it are no text.
      const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
      return {SettingValue::kText, std::string(bytes.begin(), nul) + "\n"};
    }
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

namespace {

// ReadableValue of `value`, the setting's value as FormatSettingValue gave it.
std::string Readable(const SettingInfo& setting, std::span<const uint8_t> block, const SettingValue& value) {
  std::string text = value.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const bool oneByte = setting.size == 1 && setting.offset < block.size();
  if (setting.kind == SettingKind::kMacAddress && value.kind == SettingValue::kText) {
    // In the form "/set" takes it, as the export writes it: two hexadecimal digits a byte.
    text = WideToUtf8(FormatExportValue(setting, block));
  } else if (setting.kind == SettingKind::kByte && oneByte) {
    if (const auto label = setting.listed.LabelOf(block[setting.offset])) text += " (" + WideToUtf8(*label) + ")";
  }
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

Support ShowSettingValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<const uint8_t> block) {
  if (request.function == Function::kShowSettings) {
    ctx.console.Say(ListSettings(catalog, block));
    return Support::kSupported;
  }
  if (ShowsNoSetting(request.function)) return Support::kSupported;

  const std::wstring& name = request.itemName;
  const SettingInfo* found = catalog.FindSetting(name);
  const SettingInfo setting = found ? *found : SettingInfo{};
  const uint32_t offset = setting.offset;
  const uint32_t size = setting.size;
  Console& console = ctx.console;
  console.Say("Offset : " + std::to_string(offset) + "\n");
  console.Say("Size : " + std::to_string(size) + "\n");
  console.Say("end : " + std::to_string(uint64_t{offset} + size) + "\n");
  console.SayWide(name + L": ");

  const SettingValue value = FormatSettingValue(setting, block);
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
