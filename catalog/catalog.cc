#include "catalog/catalog.h"

#include <algorithm>
#include <type_traits>

namespace vort64 {
namespace {

// Assigns `entry` under its key in rows sorted by key: the catalog's own
// rows, which start as a copy of the shared ones the first time.
template <typename Entry, typename Less>
void Assign(std::span<const Entry>& shared, std::vector<Entry>& own, Entry entry, Less less) {
  if (!shared.empty()) {
    own.assign(shared.begin(), shared.end());
    shared = {};
  }
  const auto it = std::lower_bound(own.begin(), own.end(), entry.first,
                                   [&less](const Entry& row, const auto& key) { return less(row.first, key); });
  if (it != own.end() && !less(entry.first, it->first)) {
    *it = std::move(entry);
  } else {
    own.insert(it, std::move(entry));
  }
}

}  // namespace

bool CodeUnitLess::operator()(std::wstring_view a, std::wstring_view b) const {
  using Unit = std::make_unsigned_t<wchar_t>;
  const size_t common = std::min(a.size(), b.size());
  const auto [x, y] = std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin());
  if (x == a.begin() + static_cast<std::ptrdiff_t>(common)) return a.size() < b.size();
  return static_cast<Unit>(*x) < static_cast<Unit>(*y);
}

std::wstring_view SettingCatalog::Keep(std::wstring text) {
  if (text.empty()) return {};
  texts_.push_back(std::make_shared<const std::wstring>(std::move(text)));
  return *texts_.back();
}

void SettingCatalog::AddSetting(std::wstring name, SettingInfo info) {
  const std::wstring_view kept = Keep(std::move(name));
  info.description = Keep(std::wstring(info.description));
  info.meaning = Keep(std::wstring(info.meaning));
  DescribeSetting(kept, info);
  Assign(sharedSettings_, ownSettings_, SettingEntry(kept, info), CodeUnitLess());
}

void SettingCatalog::AddBootDevice(uint32_t code, BootDevice device) {
  device.category = Keep(std::wstring(device.category));
  device.deviceName = Keep(std::wstring(device.deviceName));
  Assign(sharedBootDevices_, ownBootDevices_, BootDeviceEntry(code, device), std::less<>());
}

const SettingInfo* SettingCatalog::FindSetting(std::wstring_view name) const {
  const SettingMap rows = settings();
  const auto it = rows.find(name);
  return it == rows.end() ? nullptr : &it->second;
}

std::optional<bool> PasswordIsSet(const SettingCatalog& catalog, PasswordItem item, std::span<const uint8_t> block) {
  const SettingInfo* status = catalog.FindSetting(PasswordStatusName(item));
  if (!status || status->offset >= block.size()) return std::nullopt;
  const uint8_t value = block[status->offset];
  if (value > 1) return std::nullopt;
  return value == 1;
}

bool SettingCatalog::HasSetting(std::wstring_view name) const { return FindSetting(name) != nullptr; }

uint32_t SettingCatalog::GetSettingOffset(std::wstring_view name) const {
  const SettingInfo* info = FindSetting(name);
  return info ? info->offset : 0;
}

uint32_t SettingCatalog::GetSettingSize(std::wstring_view name) const {
  const SettingInfo* info = FindSetting(name);
  return info ? info->size : 0;
}

MeasuredReasons MeasuredSettingsChanged(const SettingCatalog& catalog, std::span<const uint8_t> before,
                                        std::span<const uint8_t> after) {
  MeasuredReasons reasons;
  for (const auto& [name, info] : catalog.settings()) {
    if (info.measured == MeasuredAtStart::kNo) continue;
    if (info.offset >= before.size() || info.offset >= after.size()) continue;
    const size_t end = std::min<size_t>({info.offset + info.size, before.size(), after.size()});
    if (!std::equal(before.begin() + info.offset, before.begin() + static_cast<std::ptrdiff_t>(end),
                    after.begin() + info.offset)) {
      reasons.Add(info.measured);
    }
  }
  return reasons;
}

}  // namespace vort64
