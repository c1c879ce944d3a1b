// The dictionary of firmware settings for one WMI interface version: where
// each setting's bytes lie in the 2048-byte option block, its group, its
// allowed values and its description; beside it the boot device table.
#ifndef VORT64_CATALOG_CATALOG_H_
#define VORT64_CATALOG_CATALOG_H_

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vort64 {

struct SettingInfo {
  std::wstring description;
  std::wstring meaning;
  std::wstring category;
  uint32_t size = 0;
  uint32_t offset = 0;
};

struct BootDevice {
  std::wstring category;  // "Boot device table"
  std::wstring deviceName;
};

// Names order by their UTF-16 code units as unsigned numbers.
struct CodeUnitLess {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const;
};

struct SettingExportRow {
  std::wstring category;
  std::wstring name;
  std::wstring meaning;
  std::wstring value;
};

struct BootDeviceExportRow {
  std::wstring category;
  std::wstring code;
  std::wstring deviceName;
};

inline constexpr size_t kSettingExportRows = 2048;
inline constexpr size_t kBootDeviceExportRows = 20;

// The value of a password setting that keeps the password as it is.
inline constexpr std::wstring_view kKeepPasswordValue = L"DoNotChange";

class SettingCatalog {
 public:
  using SettingMap = std::map<std::wstring, SettingInfo, CodeUnitLess>;
  using BootDeviceMap = std::map<uint32_t, BootDevice>;
  using BootDeviceTable = BootDeviceMap;

  // Adding a row assigns the whole SettingInfo under its name.
  void AddSetting(std::wstring name, SettingInfo info);
  void AddBootDevice(uint32_t code, BootDevice device);

  // Exact, case-sensitive lookups.
  bool HasSetting(std::wstring_view name) const;
  const SettingInfo* FindSetting(std::wstring_view name) const;
  // 0 for a name not in the catalog.
  uint32_t GetSettingOffset(std::wstring_view name) const;
  uint32_t GetSettingSize(std::wstring_view name) const;

  const SettingMap& settings() const { return settings_; }
  const BootDeviceMap& bootDevices() const { return boot_devices_; }

 private:
  SettingMap settings_;
  BootDeviceMap boot_devices_;
};

// Fills the catalog with the variant for interface major.minor and the boot
// device table; whatever the catalog held before is dropped.
void BuildSettingCatalog(SettingCatalog& catalog, uint32_t major, uint32_t minor);

// One row per catalog entry, in catalog order, into `rows` (replaced by
// kSettingExportRows empty rows first); an entry whose description lacks "Set"
// leaves its row empty. Returns 0.
int CollectExportSettings(const SettingCatalog& catalog, std::vector<SettingExportRow>& rows,
                          std::span<const uint8_t> buffer);
// One row per boot device, ascending by code, into `rows` (replaced by
// kBootDeviceExportRows empty rows first).
void CollectExportBootDevices(const SettingCatalog& catalog, std::vector<BootDeviceExportRow>& rows);
// The export text of a setting's bytes [offset, end), in the form "/set"
// takes: passwords are kept (kKeepPasswordValue), the TPM is not cleared
// ("0"), date and time keep the firmware's clock (238). Bytes beyond the end
// of `buffer` are not read (they are left out of the text).
std::wstring FormatExportValue(std::wstring_view name, std::span<const uint8_t> buffer,
                               uint32_t offset, uint32_t end);

// The settings the self-test exercises: the current list from interface 2.76
// on, the legacy list before.
std::span<const std::wstring_view> AutotestItems(uint32_t major, uint32_t minor);
std::span<const std::wstring_view> AutotestItemsCurrent();
std::span<const std::wstring_view> AutotestItemsLegacy();

}  // namespace vort64

#endif  // VORT64_CATALOG_CATALOG_H_
