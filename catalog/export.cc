// The rows of the custom-settings export: every catalog entry with its value
// text, and the boot device table.
#include <algorithm>
#include <string>

#include "base/option_block.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

// The firmware keeps 238 in a date or time byte as "leave the clock alone", so
// an exported date or time never moves the clock when imported again.
std::wstring KeepClock() { return std::to_wstring(kDoNotChange); }

// The GPT partition record keeps its year as the year minus 2000.
constexpr unsigned kGptRecordYearBase = 2000;
constexpr unsigned kDateYearBase = 2000;  // a date's year byte counts from it

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

// The bytes [offset, end) as two upper-case hexadecimal digits each, joined by
// "-", the form "/set" takes a MAC address in. Bytes past the buffer are left out.
std::wstring JoinHexBytes(std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (size_t at = offset; at < std::min<size_t>(end, buffer.size()); ++at) {
    if (at != offset) text += L'-';
    text += kDigits[buffer[at] >> 4];
    text += kDigits[buffer[at] & 0x0F];
  }
  return text;
}

// The GPT partition record, kept minute, hour, day, month, year - 2000:
// "/set" takes it from the full year down to the minute. Bytes past the
// buffer are left out.
std::wstring GptRecordText(std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  const size_t last = std::min<size_t>(end, buffer.size());
  // A record of zeros is "0 : No Record", and "/set" takes it as "0".
  if (offset < last && std::all_of(buffer.begin() + offset, buffer.begin() + static_cast<ptrdiff_t>(last),
                                   [](uint8_t b) { return b == 0; })) {
    return L"0";
  }
  std::wstring text;
  for (size_t at = last; at > offset; --at) {
    const unsigned byte = buffer[at - 1];
    if (at != last) text += L',';
    text += std::to_wstring(at == last ? kGptRecordYearBase + byte : byte);
  }
  return text;
}

// A tag's characters up to its first NUL, the form "/set" takes a tag in; the
// bytes in decimal when one of them is no printable ASCII character.
std::wstring TagText(std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  std::wstring text;
  for (size_t at = offset; at < std::min<size_t>(end, buffer.size()) && buffer[at] != 0; ++at) {
    if (buffer[at] < 0x20 || buffer[at] > 0x7E) return JoinBytes(buffer, offset, end, /*reversed=*/false);
    text += static_cast<wchar_t>(buffer[at]);
  }
  return text;
}

// The value as the block holds it, in the form "/set" takes for its kind.
std::wstring ValueAsRead(SettingKind kind, std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  switch (kind) {
    case SettingKind::kGptRecord: return GptRecordText(buffer, offset, end);
    case SettingKind::kMacAddress: return JoinHexBytes(buffer, offset, end);
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag: return TagText(buffer, offset, end);
    case SettingKind::kPassword:
    case SettingKind::kTime:
    case SettingKind::kDate:
    case SettingKind::kBootOrder:
    case SettingKind::kByte: break;
  }
  // The boot priority order and every other setting: the bytes in order.
  return JoinBytes(buffer, offset, end, /*reversed=*/false);
}

// Date or time as "leave the clock alone": the date as three 238s, the time
// as one 238 for every byte of it the block holds.
std::wstring KeptClockText(SettingKind kind, std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  if (kind == SettingKind::kDate) return KeepClock() + L',' + KeepClock() + L',' + KeepClock();
  std::wstring text;
  for (size_t i = offset; i < std::min<size_t>(end, buffer.size()); ++i) {
    if (i != offset) text += L':';
    text += KeepClock();
  }
  return text;
}

// Where a group stands in the file: Security last, the groups of the
// expansion fields and of the SMBIOS information left out.
ExportGroupPlace GroupPlaceOf(Category group) {
  switch (group) {
    case Category::kSecurity: return ExportGroupPlace::kLast;
    case Category::kExpansion:
    case Category::kSmbiosInformation: return ExportGroupPlace::kLeftOut;
    case Category::kSystemFunction:
    case Category::kDeviceControl:
    case Category::kIoPorts:
    case Category::kPowerAndEventControl:
    case Category::kPostBehaviors:
    case Category::kDateAndTime: return ExportGroupPlace::kInOrder;
  }
  return ExportGroupPlace::kLeftOut;
}

}  // namespace

std::wstring FormatValueAsRead(const SettingInfo& info, std::span<const uint8_t> buffer) {
  const uint32_t offset = info.offset;
  const uint32_t end = info.offset + info.size;
  switch (info.kind) {
    case SettingKind::kTime: return JoinBytes(buffer, offset, end, /*reversed=*/true);
    case SettingKind::kDate:
      // Day, month and the year after 2000 in the block; year, month, day typed.
      if (uint64_t{offset} + 3 > buffer.size() || info.size != 3) break;
      return std::to_wstring(kDateYearBase + buffer[offset + 2]) + L',' + std::to_wstring(buffer[offset + 1]) + L',' +
             std::to_wstring(buffer[offset]);
    default: break;
  }
  return ValueAsRead(info.kind, buffer, offset, end);
}

std::wstring FormatExportValue(const SettingInfo& info, std::span<const uint8_t> buffer) {
  const uint32_t offset = info.offset;
  const uint32_t end = info.offset + info.size;
  switch (info.exportTreatment) {
    case ExportTreatment::kNeverClear: return L"0";
    case ExportTreatment::kKeepPassword: return std::wstring(kKeepPasswordValue);
    case ExportTreatment::kKeepClock: return KeptClockText(info.kind, buffer, offset, end);
    case ExportTreatment::kLeftOut:
    case ExportTreatment::kValueAsRead: break;
  }
  return ValueAsRead(info.kind, buffer, offset, end);
}

int CollectExportSettings(const SettingCatalog& catalog, std::vector<SettingExportRow>& rows,
                          std::span<const uint8_t> buffer) {
  rows.assign(kSettingExportRows, SettingExportRow{});
  size_t index = 0;
  for (const auto& [name, info] : catalog.settings()) {
    if (index == rows.size()) break;
    if (info.exportTreatment != ExportTreatment::kLeftOut) {
      rows[index] = SettingExportRow{.category = CategoryText(info.category),
                                     .name = name,
                                     .meaning = info.meaning,
                                     .value = FormatExportValue(info, buffer),
                                     .groupPlace = GroupPlaceOf(info.category),
                                     .lastInGroup = info.password.kind == PasswordItem::kSupervisor};
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
