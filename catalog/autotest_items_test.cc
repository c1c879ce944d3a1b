#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/catalog.h"

namespace vort64 {
namespace {

std::vector<std::wstring_view> AsVector(std::span<const std::wstring_view> items) {
  return {items.begin(), items.end()};
}

TEST(AutotestItemsTest, ListsHaveTheirLengthAndEnds) {
  const auto current = AutotestItemsCurrent();
  const auto legacy = AutotestItemsLegacy();
  ASSERT_EQ(current.size(), 66u);
  ASSERT_EQ(legacy.size(), 26u);
  EXPECT_EQ(current.front(), L"intel vtd");
  EXPECT_EQ(current[8], L"usb device filter");
  EXPECT_EQ(current[22], L"clear tpm(tcm)");
  EXPECT_EQ(current[34], L"boot priority order");
  EXPECT_EQ(current[64], L"set user password");
  EXPECT_EQ(current.back(), L"set supervisor password");
  EXPECT_EQ(legacy.front(), L"asf support");
  EXPECT_EQ(legacy.back(), L"rollback old bios version");
  // The legacy list is entries 39 to 64 (counting from 1) of the current one.
  EXPECT_EQ(AsVector(legacy), AsVector(current.subspan(38, 26)));
}

TEST(AutotestItemsTest, VersionChoosesTheList) {
  const auto current = AsVector(AutotestItemsCurrent());
  const auto legacy = AsVector(AutotestItemsLegacy());
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{2, 0})), legacy);
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{2, 75})), legacy);
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{2, 76})), current);
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{2, 90})), current);
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{2, 255})), current);
  EXPECT_EQ(AsVector(AutotestItems(InterfaceVersion{3, 90})), legacy);
}

TEST(AutotestItemsTest, NamesAreCatalogNames) {
  // Every name of the current list is a setting from 2.82 on; every legacy
  // name from 2.77 on (older layouts lack some, which the self-test skips).
  for (const uint32_t minor : {82u, 85u, 86u, 87u, 89u, 90u}) {
    SettingCatalog catalog;
    BuildSettingCatalog(catalog, 2, minor);
    for (const std::wstring_view name : AutotestItemsCurrent()) {
      EXPECT_TRUE(catalog.HasSetting(name)) << minor << " " << WideToUtf8(name);
    }
  }
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 77);
  for (const std::wstring_view name : AutotestItemsLegacy()) {
    EXPECT_TRUE(catalog.HasSetting(name)) << WideToUtf8(name);
  }
  EXPECT_FALSE(catalog.HasSetting(L"usb device filter"));
}

}  // namespace
}  // namespace vort64
