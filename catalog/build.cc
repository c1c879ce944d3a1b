// Filling the catalog for one interface version.
#include <string>

#include "catalog/catalog.h"
#include "catalog/tables.h"

namespace vort64 {

void BuildSettingCatalog(SettingCatalog& catalog, uint32_t major, uint32_t minor) {
  // A catalog serves exactly one version: start from nothing so that no row
  // of another layout can remain.
  catalog = SettingCatalog{};
  for (const CatalogRow& row : VariantRows(SelectVariant(major, minor))) {
    catalog.AddSetting(std::wstring(row.name),
                       SettingInfo{.description = std::wstring(row.description),
                                   .meaning = std::wstring(row.meaning),
                                   .category = std::wstring(CategoryText(row.category)),
                                   .size = row.size,
                                   .offset = row.offset});
  }
  for (const BootDeviceRow& device : BootDeviceRows()) {
    catalog.AddBootDevice(device.code, BootDevice{.category = std::wstring(kBootDeviceCategory),
                                                  .deviceName = std::wstring(device.deviceName)});
  }
}

}  // namespace vort64
