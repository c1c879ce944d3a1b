// The rows of the custom-settings export: every catalog entry with its value
// text, and the boot device table.
#include <algorithm>
#include <string>

#include "catalog/catalog.h"

namespace vort64 {
namespace {

// 238 in a date or time byte tells the firmware to leave the clock alone, so
// an exported date or time never moves the clock when imported again.
constexpr std::wstring_view kKeepClock = L"238";

// The bytes [offset, end) as unsigned decimal numbers joined by `separator`,
// in buffer order or last byte first. Bytes past the buffer are left out.
std::wstring JoinBytes(std::span<const uint8_t> buffer, uint32_t offset, uint32_t end, bool reversed) {
  const size_t last = std::min<size_t>(end, buffer.size());
  const size_t first = offset;
  std::wstring text;
  if (first >= last) return text;
  for (size_t i = 0; i < last - first; ++i) {
    const size_t at = reversed ? last - 1 - i : first + i;
    if (i != 0) text += L',';
    text += std::to_wstring(static_cast<unsigned>(buffer[at]));
  }
  return text;
}

}  // namespace

std::wstring FormatExportValue(std::wstring_view name, std::span<const uint8_t> buffer, uint32_t offset,
                               uint32_t end) {
  if (name == L"set supervisor password" || name == L"set user password" || name == L"set hdd0 password" ||
      name == L"set hdd1 password") {
    return {};
  }
  if (name == L"time") {
    std::wstring text;
    for (uint32_t i = offset; i < end; ++i) {
      if (i != offset) text += L':';
      text += kKeepClock;
    }
    return text;
  }
  if (name == L"gpt partition record") return JoinBytes(buffer, offset, end, /*reversed=*/true);
  if (name == L"date") return L"238,238,238";
  // The boot priority order and every other setting: the bytes in order.
  return JoinBytes(buffer, offset, end, /*reversed=*/false);
}

int CollectExportSettings(const SettingCatalog& catalog, std::vector<SettingExportRow>& rows,
                          std::span<const uint8_t> buffer) {
  rows.assign(kSettingExportRows, SettingExportRow{});
  size_t index = 0;
  for (const auto& [name, info] : catalog.settings()) {
    if (index == rows.size()) break;
    if (info.description.find(L"Set") != std::wstring::npos) {
      rows[index] = SettingExportRow{.category = info.category,
                                     .name = name,
                                     .meaning = info.meaning,
                                     .value = FormatExportValue(name, buffer, info.offset, info.offset + info.size)};
    }
    ++index;
  }
  return 0;
}

void CollectExportBootDevices(const SettingCatalog& catalog, std::vector<BootDeviceExportRow>& rows) {
  rows.assign(kBootDeviceExportRows, BootDeviceExportRow{});
  size_t index = 0;
  for (const auto& [code, device] : catalog.bootDevices()) {
    if (index == rows.size()) break;
    rows[index++] = BootDeviceExportRow{
        .category = device.category, .code = std::to_wstring(code), .deviceName = device.deviceName};
  }
}

}  // namespace vort64
