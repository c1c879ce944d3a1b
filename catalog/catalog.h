// The dictionary of firmware settings for one WMI interface version: where
// each setting's bytes lie in the 2048-byte option block, its group, its
// allowed values and its description; beside it the boot device table.
#ifndef VORT64_CATALOG_CATALOG_H_
#define VORT64_CATALOG_CATALOG_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/interface_version.h"
#include "catalog/listed_values.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/sorted_rows.h"
#include "catalog/tables.h"

namespace vort64 {

// How a setting goes into the custom-settings file, decided here for every
// setting: an import of the file must never change a password, clear the TPM
// or move the clock, whatever the machine held when it was exported.
enum class ExportTreatment {
  kLeftOut,       // the firmware takes no value for it: its description offers no "Set"
  kValueAsRead,   // its value as the block holds it, in the form "/set" takes
  kKeepPassword,  // a password: kKeepPasswordValue
  kNeverClear,    // the TPM clear: "0"
  kKeepClock,     // date and time: 238 in every byte
};

// Whether a write of the setting is read back and compared.
enum class ReadBack {
  kCompare,  // read the block again and compare the setting's bytes
  kNone,     // the firmware acts on the next start (the TPM clear): the write's code is the outcome
};

// One setting of a layout, with every fact the program knows of it. The
// texts are views: into the constant layout tables for a built catalog, into
// the catalog's own copies for rows added with AddSetting. The facts after
// `offset` are derived once from the row (DescribeSetting) when the catalog
// is built or a row is added; code below the parser reads them here.
struct SettingInfo {
  std::wstring_view description;
  std::wstring_view meaning;
  Category category = Category::kSystemFunction;
  uint32_t size = 0;
  uint32_t offset = 0;

  SettingKind kind = SettingKind::kByte;
  bool writable = false;  // the firmware takes a value for it
  ExportTreatment exportTreatment = ExportTreatment::kLeftOut;
  ReadBack readBack = ReadBack::kCompare;
  ListedValues listed;    // a one-byte setting's listed values; empty for the free-form kinds
  PasswordItem password;  // which password, for kPassword
  // Whether, and why, the firmware's start measures the setting (BitLocker).
  MeasuredAtStart measured = MeasuredAtStart::kNo;
};

// Fills the derived facts of `info` for the setting `name`.
void DescribeSetting(std::wstring_view name, SettingInfo& info);

// A row as tests and hand-made catalogs give it: the texts, the group and
// where its bytes lie.
inline SettingInfo MakeSettingInfo(std::wstring_view description, std::wstring_view meaning, Category category,
                                   uint32_t size, uint32_t offset) {
  SettingInfo info;
  info.description = description;
  info.meaning = meaning;
  info.category = category;
  info.size = size;
  info.offset = offset;
  return info;
}

struct BootDevice {
  std::wstring_view category;  // "Boot device table"
  std::wstring_view deviceName;
};

// Names order by their UTF-16 code units as unsigned numbers.
struct CodeUnitLess {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const;
};

// Where a setting group stands in the custom-settings file: the groups in
// order, each where its first setting comes; the last group after them,
// whose settings with `lastInGroup` close it; a group left out.
enum class ExportGroupPlace { kLeftOut, kInOrder, kLast };

// An export row refers to the texts of the catalog it was collected from
// (which must outlive it); only the value text is its own. An empty row
// (no category) stands for a setting that is left out.
struct SettingExportRow {
  std::wstring_view category;
  std::wstring_view name;
  std::wstring_view meaning;
  std::wstring value;
  ExportGroupPlace groupPlace = ExportGroupPlace::kLeftOut;
  bool lastInGroup = false;
};

struct BootDeviceExportRow {
  std::wstring_view category;
  std::wstring code;
  std::wstring_view deviceName;
};

inline constexpr size_t kSettingExportRows = 2048;
inline constexpr size_t kBootDeviceExportRows = 20;

// A built catalog refers to its layout's rows, sorted once per process into a
// constant table: building and copying it allocate nothing per row. A catalog
// that rows are added to keeps a sorted copy of its own.
class SettingCatalog {
 public:
  // Read-only, sorted views with the lookups of a std::map (find, contains,
  // at); valid while the catalog lives and is not changed.
  using SettingMap = SortedRows<std::wstring_view, SettingInfo, CodeUnitLess>;
  using BootDeviceMap = SortedRows<uint32_t, BootDevice, std::less<>>;
  using BootDeviceTable = BootDeviceMap;
  using SettingEntry = SettingMap::value_type;
  using BootDeviceEntry = BootDeviceMap::value_type;

  SettingCatalog() = default;

  // Adding a row assigns the whole SettingInfo under its name; the catalog
  // keeps copies of the name and texts. Adding invalidates what the lookups
  // answered before.
  void AddSetting(std::wstring name, SettingInfo info);
  void AddBootDevice(uint32_t code, BootDevice device);

  // Exact, case-sensitive lookups.
  bool HasSetting(std::wstring_view name) const;
  const SettingInfo* FindSetting(std::wstring_view name) const;
  // 0 for a name not in the catalog.
  uint32_t GetSettingOffset(std::wstring_view name) const;
  uint32_t GetSettingSize(std::wstring_view name) const;

  // By name (CodeUnitLess), and by ascending code.
  SettingMap settings() const { return SettingMap(Rows(sharedSettings_, ownSettings_)); }
  BootDeviceMap bootDevices() const { return BootDeviceMap(Rows(sharedBootDevices_, ownBootDevices_)); }

 private:
  friend void BuildSettingCatalog(SettingCatalog& catalog, uint32_t major, uint32_t minor);
  SettingCatalog(std::span<const SettingEntry> settings, std::span<const BootDeviceEntry> bootDevices)
      : sharedSettings_(settings), sharedBootDevices_(bootDevices) {}

  // The shared constant rows while there are any, otherwise the own ones.
  template <typename Entry>
  static std::span<const Entry> Rows(std::span<const Entry> shared, const std::vector<Entry>& own) {
    return shared.empty() ? std::span<const Entry>(own) : shared;
  }
  // A copy of `text` that lives as long as the catalog and its copies.
  std::wstring_view Keep(std::wstring text);

  std::span<const SettingEntry> sharedSettings_;
  std::vector<SettingEntry> ownSettings_;
  std::span<const BootDeviceEntry> sharedBootDevices_;
  std::vector<BootDeviceEntry> ownBootDevices_;
  // The texts of added rows; copies of the catalog share them.
  std::vector<std::shared_ptr<const std::wstring>> texts_;
};

// Fills the catalog with the variant for interface major.minor and the boot
// device table; whatever the catalog held before is dropped. Each variant's
// rows are sorted once per process, on first use.
void BuildSettingCatalog(SettingCatalog& catalog, uint32_t major, uint32_t minor);

// One row per catalog entry, in catalog order, into `rows` (replaced by
// kSettingExportRows empty rows first); an entry left out (SettingInfo::exportTreatment)
// leaves its row empty. Each row carries its value as its treatment gives it
// and where its group stands in the file. Returns 0. The rows refer to the
// catalog's texts.
int CollectExportSettings(const SettingCatalog& catalog, std::vector<SettingExportRow>& rows,
                          std::span<const uint8_t> buffer);
// What the layout's status byte says of `item`'s password: set, clear, or
// nothing where the layout has no such byte or the byte says neither (255,
// not supported).
std::optional<bool> PasswordIsSet(const SettingCatalog& catalog, PasswordItem item, std::span<const uint8_t> block);

// The settings measured at start (SettingInfo::measured) whose bytes differ
// between two blocks, by their reasons.
MeasuredReasons MeasuredSettingsChanged(const SettingCatalog& catalog, std::span<const uint8_t> before,
                                        std::span<const uint8_t> after);

// One row per boot device, ascending by code, into `rows` (replaced by
// kBootDeviceExportRows empty rows first).
void CollectExportBootDevices(const SettingCatalog& catalog, std::vector<BootDeviceExportRow>& rows);
// The export text of a setting's bytes, in the form "/set" takes, as the
// setting's treatment gives it: passwords are kept (kKeepPasswordValue), the
// TPM is not cleared ("0"), date and time keep the firmware's clock (238).
// Bytes beyond the end of `buffer` are not read (they are left out of the text).
std::wstring FormatExportValue(const SettingInfo& info, std::span<const uint8_t> buffer);

// The text of a setting's bytes as they are, in the form "/set" takes (no
// export treatment): a date as "year,month,day", a time as
// "hour:minute:second", a MAC address in hexadecimal, a tag as text. A
// password's field is its bytes: the caller never shows it.
std::wstring FormatValueAsRead(const SettingInfo& info, std::span<const uint8_t> buffer);

// The settings the self-test exercises: the current list where the version
// holds InterfaceRule::kCurrentSelfTestList, the legacy list else.
std::span<const std::wstring_view> AutotestItems(const InterfaceVersion& version);
std::span<const std::wstring_view> AutotestItemsCurrent();
std::span<const std::wstring_view> AutotestItemsLegacy();

}  // namespace vort64

#endif  // VORT64_CATALOG_CATALOG_H_
