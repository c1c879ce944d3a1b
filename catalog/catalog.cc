#include "catalog/catalog.h"

#include <algorithm>
#include <type_traits>

namespace vort64 {

bool CodeUnitLess::operator()(std::wstring_view a, std::wstring_view b) const {
  using Unit = std::make_unsigned_t<wchar_t>;
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
    return static_cast<Unit>(x) < static_cast<Unit>(y);
  });
}

void SettingCatalog::AddSetting(std::wstring name, SettingInfo info) {
  settings_.insert_or_assign(std::move(name), std::move(info));
}

void SettingCatalog::AddBootDevice(uint32_t code, BootDevice device) {
  boot_devices_.insert_or_assign(code, std::move(device));
}

const SettingInfo* SettingCatalog::FindSetting(std::wstring_view name) const {
  const auto it = settings_.find(name);
  return it == settings_.end() ? nullptr : &it->second;
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

}  // namespace vort64
