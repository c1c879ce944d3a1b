// The firmware's setting layouts, one per WMI interface version range. The
// newest layout is kept whole; each older one is kept as its differences from
// the next newer one, exactly as the firmware history went; the oldest
// (baseline) layout is kept whole again, since nearly every text differs.
#ifndef VORT64_CATALOG_TABLES_H_
#define VORT64_CATALOG_TABLES_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vort64 {

// The setting groups, in the order in which a layout lists them.
enum class Category : uint8_t {
  kSystemFunction,
  kDeviceControl,
  kIoPorts,
  kPowerAndEventControl,
  kSecurity,
  kPostBehaviors,
  kDateAndTime,
  kExpansion,
  kSmbiosInformation,
};
inline constexpr size_t kCategoryCount = 9;
std::wstring_view CategoryText(Category category);

// Allowed-value texts that many settings share.
inline constexpr std::wstring_view kOnOff = L"0 : Disabled, 1 : Enabled, 255 : Not Supported";
inline constexpr std::wstring_view kPasswordEntry = L"password, Empty : Clear password, DoNotChange : keep password";
inline constexpr std::wstring_view kOnOffAhciOnly =
    L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support when SATA Mode is NOT set to AHCI";
inline constexpr std::wstring_view kClearOrSet = L"0 : Clear, 1 : Set, 255 : Not Supported";
inline constexpr std::wstring_view kPsidEntry = L"PSID for reverting OPAL device, DoNotChange : keep password";

// One setting of a layout.
struct CatalogRow {
  std::wstring_view name;
  uint32_t offset = 0;
  uint32_t size = 0;
  Category category = Category::kSystemFunction;
  std::wstring_view meaning;
  std::wstring_view description;
};

// The fields of a setting that an older layout has with other values; the
// fields left empty are as in the newer layout.
struct RowChange {
  std::wstring_view name;
  std::optional<uint32_t> offset = std::nullopt;
  std::optional<uint32_t> size = std::nullopt;
  std::optional<std::wstring_view> meaning = std::nullopt;
  std::optional<std::wstring_view> description = std::nullopt;
};

// An older layout as its differences from the next newer one: the settings it
// lacks, those it has in addition, and those whose fields differ.
struct VariantDelta {
  uint32_t variant = 0;  // the lowest minor number that selects the layout
  std::span<const std::wstring_view> lacks = {};
  std::span<const CatalogRow> adds = {};
  std::span<const RowChange> changes = {};
};

// Layouts are named by the lowest minor number that selects them; the
// baseline layout serves every minor number below the oldest delta's.
inline constexpr uint32_t kNewestVariant = 90;
inline constexpr uint32_t kBaselineVariant = 0;

std::span<const CatalogRow> NewestVariantRows();
// Newest first: each delta applies to the layout before it in this list (the
// first one to the newest layout).
std::span<const VariantDelta> OlderVariantDeltas();
std::span<const CatalogRow> BaselineVariantRows();

// Turns `rows` (the next newer layout) into the older layout of `delta`:
// drops the lacked rows, appends the added ones, then changes fields. Returns
// false when the delta does not fit: a lacked or changed name is missing or an
// added name is already there (the rest is applied all the same).
bool ApplyVariantDelta(const VariantDelta& delta, std::vector<CatalogRow>& rows);

// The layout for interface major.minor: the first of the newest layout and the
// deltas whose minor number `minor` reaches, for major 2; otherwise, and below
// the oldest delta, the baseline layout.
uint32_t SelectVariant(uint32_t major, uint32_t minor);

// Every row of one layout, by group and ascending offset; empty for a number
// that names no layout.
std::vector<CatalogRow> VariantRows(uint32_t variant);

// The boot devices that the boot priority order is made of.
inline constexpr std::wstring_view kBootDeviceCategory = L"Boot device table";
struct BootDeviceRow {
  uint32_t code = 0;
  std::wstring_view deviceName;
};
std::span<const BootDeviceRow> BootDeviceRows();

}  // namespace vort64

#endif  // VORT64_CATALOG_TABLES_H_
