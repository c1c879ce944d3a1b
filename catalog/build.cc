// Filling the catalog for one interface version: each layout's rows are
// sorted by name into a constant table once per process, on first use, and
// every catalog of that layout refers to it.
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

using SettingEntry = SettingCatalog::SettingEntry;
using BootDeviceEntry = SettingCatalog::BootDeviceEntry;

// Sorts by key and keeps, of rows with the same key, the last: adding a row
// assigns the whole row under its key.
// (The rows are sorted as pointers, and then copied once into place.)
template <typename Entry, typename Less>
std::vector<Entry> SortedByKey(const std::vector<Entry>& rows, Less less) {
  std::vector<const Entry*> order;
  order.reserve(rows.size());
  for (const Entry& row : rows) order.push_back(&row);
  std::stable_sort(order.begin(), order.end(),
                   [&less](const Entry* a, const Entry* b) { return less(a->first, b->first); });
  std::vector<Entry> sorted;
  sorted.reserve(rows.size());
  for (const Entry* row : order) {
    if (!sorted.empty() && !less(sorted.back().first, row->first)) {
      sorted.back() = *row;
    } else {
      sorted.push_back(*row);
    }
  }
  return sorted;
}

std::vector<SettingEntry> SettingEntriesOf(uint32_t variant) {
  const std::vector<CatalogRow> rows = VariantRows(variant);
  std::vector<SettingEntry> entries;
  entries.reserve(rows.size());
  for (const CatalogRow& row : rows) {
    SettingInfo info;
    info.description = row.description;
    info.meaning = row.meaning;
    info.category = row.category;
    info.size = row.size;
    info.offset = row.offset;
    DescribeSetting(row.name, info);
    entries.emplace_back(row.name, info);
  }
  return SortedByKey(entries, CodeUnitLess());
}

template <uint32_t kVariant>
std::span<const SettingEntry> SettingEntriesOfVariant() {
  static const std::vector<SettingEntry> entries = SettingEntriesOf(kVariant);
  return entries;
}

template <uint32_t... kVariants>
constexpr auto SettingEntriesTable(std::integer_sequence<uint32_t, kVariants...>) {
  return std::array<std::span<const SettingEntry> (*)(), sizeof...(kVariants)>{&SettingEntriesOfVariant<kVariants>...};
}

// The rows of layout `variant` (numbered up to the newest); none for a
// number that names no layout.
std::span<const SettingEntry> SettingEntries(uint32_t variant) {
  static constexpr auto kTable = SettingEntriesTable(std::make_integer_sequence<uint32_t, kNewestVariant + 1>());
  return variant < kTable.size() ? kTable[variant]() : std::span<const SettingEntry>();
}

std::span<const BootDeviceEntry> BootDeviceEntries() {
  static const std::vector<BootDeviceEntry> entries = [] {
    std::vector<BootDeviceEntry> rows;
    for (const BootDeviceRow& device : BootDeviceRows()) {
      rows.emplace_back(device.code, BootDevice{.category = kBootDeviceCategory, .deviceName = device.deviceName});
    }
    return SortedByKey(rows, std::less<>());
  }();
  return entries;
}

}  // namespace

void BuildSettingCatalog(SettingCatalog& catalog, uint32_t major, uint32_t minor) {
  // A catalog serves exactly one version: start from nothing so that no row
  // of another layout can remain.
  catalog = SettingCatalog(SettingEntries(SelectVariant(major, minor)), BootDeviceEntries());
}

}  // namespace vort64
