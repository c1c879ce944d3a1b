// The rows of the custom-settings export: every catalog entry with its value
// text, and the boot device table.
#include <algorithm>
#include <string>
#include <vector>

#include "base/option_block.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/tables.h"
#include "catalog/value_codecs.h"

namespace vort64 {
namespace {

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
  return CodecOf(info.kind).exportText(SettingBytes(info, buffer));
}

std::wstring FormatExportValue(const SettingInfo& info, std::span<const uint8_t> buffer) {
  const std::span<const uint8_t> bytes = SettingBytes(info, buffer);
  switch (info.exportTreatment) {
    case ExportTreatment::kNeverClear: return L"0";
    case ExportTreatment::kKeepPassword: return std::wstring(kKeepPasswordValue);
    case ExportTreatment::kKeepClock: {
      // The firmware keeps 238 in a date or time byte as "leave the clock
      // alone", so an exported date or time never moves the clock.
      const std::vector<uint8_t> kept(bytes.size(), kDoNotChange);
      return CodecOf(info.kind).exportText(kept);
    }
    case ExportTreatment::kLeftOut:
    case ExportTreatment::kValueAsRead: break;
  }
  return CodecOf(info.kind).exportText(bytes);
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
