#include "catalog/tables.h"

#include <algorithm>

namespace vort64 {

std::wstring_view CategoryText(Category category) {
  switch (category) {
    case Category::kSystemFunction: return L"System Function";
    case Category::kDeviceControl: return L"Device Control";
    case Category::kIoPorts: return L"IO Ports";
    case Category::kPowerAndEventControl: return L"Power and Event Control";
    case Category::kSecurity: return L"Security";
    case Category::kPostBehaviors: return L"Post Behaviors";
    case Category::kDateAndTime: return L"Date and Time";
    case Category::kExpansion: return L"Expansion";
    case Category::kSmbiosInformation: return L"SMBIOS information";
  }
  return {};
}

bool ApplyVariantDelta(const VariantDelta& delta, std::vector<CatalogRow>& rows) {
  bool fits = true;
  const auto named = [&rows](std::wstring_view name) {
    return std::find_if(rows.begin(), rows.end(), [name](const CatalogRow& row) { return row.name == name; });
  };
  for (const std::wstring_view name : delta.lacks) {
    const auto it = named(name);
    if (it == rows.end()) {
      fits = false;
    } else {
      rows.erase(it);
    }
  }
  for (const CatalogRow& row : delta.adds) {
    if (named(row.name) != rows.end()) fits = false;
    rows.push_back(row);
  }
  for (const RowChange& change : delta.changes) {
    const auto it = named(change.name);
    if (it == rows.end()) {
      fits = false;
      continue;
    }
    if (change.offset) it->offset = *change.offset;
    if (change.size) it->size = *change.size;
    if (change.meaning) it->meaning = *change.meaning;
    if (change.description) it->description = *change.description;
  }
  return fits;
}

uint32_t SelectVariant(uint32_t major, uint32_t minor) {
  if (major != 2) return kBaselineVariant;
  if (minor >= kNewestVariant) return kNewestVariant;
  for (const VariantDelta& delta : OlderVariantDeltas()) {
    if (minor >= delta.variant) return delta.variant;
  }
  return kBaselineVariant;
}

std::vector<CatalogRow> VariantRows(uint32_t variant) {
  std::vector<CatalogRow> rows;
  if (variant == kBaselineVariant) {
    const auto baseline = BaselineVariantRows();
    rows.assign(baseline.begin(), baseline.end());
  } else {
    const auto newest = NewestVariantRows();
    rows.assign(newest.begin(), newest.end());
    if (variant != kNewestVariant) {
      const auto deltas = OlderVariantDeltas();
      const auto last = std::find_if(deltas.begin(), deltas.end(),
                                     [variant](const VariantDelta& delta) { return delta.variant == variant; });
      if (last == deltas.end()) return {};
      for (auto it = deltas.begin(); it != last + 1; ++it) ApplyVariantDelta(*it, rows);
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [](const CatalogRow& a, const CatalogRow& b) {
    if (a.category != b.category) return a.category < b.category;
    return a.offset < b.offset;
  });
  return rows;
}

}  // namespace vort64
