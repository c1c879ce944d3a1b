#include "buffer/display.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/console.h"
#include "buffer/layout.h"
#include "buffer/block_fields.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"

namespace vort64 {
namespace {

// Functions after which there is no single setting to show.
bool ShowsNoSetting(Function function) {
  switch (function) {
    case Function::kExportCustomSettings:
    case Function::kImportCustomSettings:
    case Function::kExportRawSettings:
    case Function::kImportRawSettings:
    case Function::kLoadFactoryDefault:
    case Function::kLoadUserDefault: return true;
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

Support ShowSettingValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<const uint8_t> block) {
  if (ShowsNoSetting(request.function) || request.itemName == L"change supervisor password") {
    return Support::kSupported;
  }

  const std::wstring& name = request.itemName;
  const uint32_t offset = catalog.GetSettingOffset(name);
  const uint32_t size = catalog.GetSettingSize(name);
  const uint64_t end = uint64_t{offset} + size;
  Console& console = ctx.console;
  console.Say("Offset : " + std::to_string(offset) + "\n");
  console.Say("Size : " + std::to_string(size) + "\n");
  console.Say("end : " + std::to_string(end) + "\n");
  console.SayWide(name + L": ");

  // The setting's bytes, as far as the block holds them.
  const size_t first = std::min<size_t>(offset, block.size());
  const std::span<const uint8_t> bytes = block.subspan(first, std::min<size_t>(end, block.size()) - first);
  const auto at = [&](size_t i) { return BlockByte(block, static_cast<uint32_t>(offset + i)); };

  switch (KindOfSetting(name)) {
    case SettingKind::kPassword:
      if (!IsShownPassword(ClassifyPasswordItem(name).kind)) break;
      console.Say("\n");
      if (ctx.version.AtLeast(72)) {
        console.Say("Offset : " + std::to_string(kPasswordFlagByte) + "\n");
        console.Say("Size : 2\n");
        console.Say("end : 237\n");
        console.Say("flag for setting : " + Number(BlockByte(block, kPasswordFlagByte)) + "\n");
      }
      return Support::kSupported;
    case SettingKind::kTime: console.Say(Reversed(bytes, ":") + "\n"); return Support::kSupported;
    case SettingKind::kBootOrder: console.Say(JoinBytes(bytes, ", ")); return Support::kSupported;
    case SettingKind::kGptRecord:
      console.Say("Record = \"" + Reversed(bytes, "\",\"") + "\"\n");
      return Support::kSupported;
    case SettingKind::kDate:
      console.Say(Number(at(1)) + " / " + Number(at(0)) + " / " + Number(at(2)) + "\n");
      return Support::kSupported;
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag:
      console.Say(std::string(bytes.begin(), bytes.end()) + "\n");
      return Support::kSupported;
    case SettingKind::kMacAddress: {
      console.Say(JoinBytes(bytes, "-"));
      const bool unsupported = bytes.size() == 6 && std::all_of(bytes.begin(), bytes.end(),
                                                                [](uint8_t b) { return b == kNotSupported; });
      return unsupported ? Support::kUnsupported : Support::kSupported;
    }
    case SettingKind::kByte: break;
  }
  console.Say(JoinBytes(bytes, ", "));
  return std::find(bytes.begin(), bytes.end(), kNotSupported) != bytes.end() ? Support::kUnsupported
                                                                              : Support::kSupported;
}

}  // namespace vort64
