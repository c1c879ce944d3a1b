#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

TEST(CodeUnitLessTest, OrdersByUnsignedCodeUnits) {
  const CodeUnitLess less;
  EXPECT_TRUE(less(L"a", L"b"));
  EXPECT_FALSE(less(L"b", L"a"));
  EXPECT_FALSE(less(L"a", L"a"));
  EXPECT_TRUE(less(L"boot", L"boot mode"));  // a prefix sorts first
  EXPECT_TRUE(less(L"3g/lte", L"above 4g decoding"));
  EXPECT_TRUE(less(L"Z", L"a"));               // no case folding
  EXPECT_TRUE(less(L"hdd0 port", L"hdd0/x"));  // ' ' before '/'
  EXPECT_TRUE(less(L"z", L"\u00e9"));
  EXPECT_TRUE(less(L"z", L"\uff01"));  // high code units are large, not negative
}

TEST(SettingCatalogTest, LookupsAreExact) {
  SettingCatalog catalog;
  catalog.AddSetting(L"boot mode",
                     MakeSettingInfo(L"Get/Set Boot Mode", L"0 : Legacy", Category::kPostBehaviors, 1, 311));
  EXPECT_TRUE(catalog.HasSetting(L"boot mode"));
  EXPECT_FALSE(catalog.HasSetting(L"Boot Mode"));
  EXPECT_FALSE(catalog.HasSetting(L" boot mode"));
  EXPECT_FALSE(catalog.HasSetting(L"boot mode "));
  EXPECT_FALSE(catalog.HasSetting(L"boot"));
  EXPECT_EQ(catalog.GetSettingOffset(L"boot mode"), 311u);
  EXPECT_EQ(catalog.GetSettingSize(L"boot mode"), 1u);
  EXPECT_EQ(catalog.GetSettingOffset(L"Boot Mode"), 0u);
  EXPECT_EQ(catalog.GetSettingSize(L"Boot Mode"), 0u);
  EXPECT_EQ(catalog.FindSetting(L"missing"), nullptr);
}

TEST(SettingCatalogTest, AddingAgainReplacesTheWholeRow) {
  SettingCatalog catalog;
  catalog.AddSetting(L"x", MakeSettingInfo(L"first", L"m1", Category::kIoPorts, 2, 10));
  catalog.AddSetting(L"x", MakeSettingInfo(L"second", L"", Category::kDeviceControl, 1, 20));
  ASSERT_EQ(catalog.settings().size(), 1u);
  const SettingInfo* info = catalog.FindSetting(L"x");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->description, L"second");
  EXPECT_EQ(info->meaning, L"");
  EXPECT_EQ(info->category, Category::kDeviceControl);
  EXPECT_EQ(info->size, 1u);
  EXPECT_EQ(info->offset, 20u);
}

TEST(SettingCatalogTest, BootDevicesAscendByCode) {
  SettingCatalog catalog;
  catalog.AddBootDevice(16, BootDevice{L"Boot device table", L"USB Other Devices"});
  catalog.AddBootDevice(2, BootDevice{L"Boot device table", L"CD/DVD Drive"});
  catalog.AddBootDevice(14, BootDevice{L"Boot device table", L"2nd HDD"});
  std::vector<uint32_t> codes;
  for (const auto& [code, device] : catalog.bootDevices()) codes.push_back(code);
  EXPECT_EQ(codes, (std::vector<uint32_t>{2, 14, 16}));
}

TEST(SettingCatalogTest, CopiesKeepTheAddedRowsWhenTheOriginalIsGone) {
  auto original = std::make_unique<SettingCatalog>();
  original->AddSetting(std::wstring(L"boot mode"),
                       MakeSettingInfo(L"Get/Set Boot Mode", L"0 : Legacy", Category::kPostBehaviors, 1, 311));
  original->AddBootDevice(7, BootDevice{L"Boot device table", L"Network"});
  const SettingCatalog copy = *original;
  original.reset();
  const SettingInfo* info = copy.FindSetting(L"boot mode");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->description, L"Get/Set Boot Mode");
  EXPECT_EQ(info->meaning, L"0 : Legacy");
  EXPECT_EQ(info->category, Category::kPostBehaviors);
  EXPECT_EQ(copy.settings().begin()->first, L"boot mode");
  EXPECT_EQ(copy.bootDevices().at(7).deviceName, L"Network");
}

TEST(SettingCatalogTest, AddingToABuiltCatalogLeavesOtherCatalogsAlone) {
  SettingCatalog added;
  BuildSettingCatalog(added, 2, 90);
  const size_t built = added.settings().size();
  added.AddSetting(L"zz extra", MakeSettingInfo(L"Get/Set", L"", Category::kExpansion, 1, 2000));
  added.AddSetting(L"boot mode", MakeSettingInfo(L"Get/Set", L"", Category::kPostBehaviors, 1, 5));
  EXPECT_EQ(added.settings().size(), built + 1);
  EXPECT_EQ(added.GetSettingOffset(L"zz extra"), 2000u);
  EXPECT_EQ(added.GetSettingOffset(L"boot mode"), 5u);
  EXPECT_TRUE(added.HasSetting(L"gna device"));
  EXPECT_TRUE(std::is_sorted(added.settings().begin(), added.settings().end(),
                             [](const auto& a, const auto& b) { return CodeUnitLess()(a.first, b.first); }));

  SettingCatalog fresh;
  BuildSettingCatalog(fresh, 2, 90);
  EXPECT_EQ(fresh.settings().size(), built);
  EXPECT_FALSE(fresh.HasSetting(L"zz extra"));
  EXPECT_EQ(fresh.GetSettingOffset(L"boot mode"), 311u);
}

// A built catalog refers to its layout's constant rows: catalogs of one
// layout share them, and copying one copies no row.
TEST(SettingCatalogTest, CatalogsOfALayoutShareItsRows) {
  SettingCatalog a, b, older;
  BuildSettingCatalog(a, 2, 90);
  BuildSettingCatalog(b, 2, 200);
  BuildSettingCatalog(older, 2, 89);
  const SettingCatalog copy = a;
  EXPECT_EQ(a.settings().begin(), b.settings().begin());
  EXPECT_EQ(a.settings().begin(), copy.settings().begin());
  EXPECT_NE(a.settings().begin(), older.settings().begin());
  EXPECT_EQ(a.bootDevices().begin(), older.bootDevices().begin());
  EXPECT_EQ(a.FindSetting(L"boot mode"), copy.FindSetting(L"boot mode"));
}

// Every password status byte of every layout is the one PasswordIsSet
// reads for a password item of that layout, and its values say set, clear
// or nothing.
TEST(PasswordIsSetTest, ReadsEveryLayoutsStatusBytes) {
  std::vector<uint32_t> minors = {40, kNewestVariant};
  for (const VariantDelta& delta : OlderVariantDeltas()) minors.push_back(delta.variant);
  for (const uint32_t minor : minors) {
    SCOPED_TRACE(minor);
    SettingCatalog catalog;
    BuildSettingCatalog(catalog, 2, minor);
    std::vector<std::wstring> read;
    for (const auto& [name, info] : catalog.settings()) {
      if (info.kind == SettingKind::kPassword) read.push_back(PasswordStatusName(info.password));
    }
    for (const auto& [name, info] : catalog.settings()) {
      if (!std::wstring_view(name).ends_with(L"password is status")) continue;
      SCOPED_TRACE(WideToUtf8(name));
      EXPECT_NE(std::find(read.begin(), read.end(), name), read.end());
    }
  }
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const uint32_t at = catalog.GetSettingOffset(L"hdd3/hdd3(opal) password is status");
  std::vector<uint8_t> block(kSettingsBufferSize, 0);
  const PasswordItem drive{PasswordItem::kHddOpal, 3};
  EXPECT_EQ(PasswordIsSet(catalog, drive, block), false);
  block[at] = 1;
  EXPECT_EQ(PasswordIsSet(catalog, drive, block), true);
  block[at] = 255;
  EXPECT_EQ(PasswordIsSet(catalog, drive, block), std::nullopt);
  EXPECT_EQ(PasswordIsSet(catalog, {PasswordItem::kHdd, 2}, block), false);
  SettingCatalog old;
  BuildSettingCatalog(old, 2, 54);
  EXPECT_EQ(PasswordIsSet(old, {PasswordItem::kSupervisor}, block), std::nullopt);
}

// Which settings the start measures is a fact of each row: the Secure Boot,
// TPM, boot mode and boot order rows of every layout are measured with their
// reason, and no password, clock, tag or device switch is.
TEST(MeasuredAtStartTest, EveryLayoutMarksTheSettingsItsStartMeasures) {
  std::vector<uint32_t> minors = {40, kNewestVariant};
  for (const VariantDelta& delta : OlderVariantDeltas()) minors.push_back(delta.variant);
  const struct {
    std::wstring_view name;
    MeasuredAtStart reason;
  } expected[] = {
      {L"secure boot", MeasuredAtStart::kSecureBoot},
      {L"secure boot mode", MeasuredAtStart::kSecureBoot},
      {L"erase all secure boot setting", MeasuredAtStart::kSecureBoot},
      {L"change tpm 2.0 state", MeasuredAtStart::kTpm},
      {L"boot mode", MeasuredAtStart::kBootMode},
      {L"boot priority order", MeasuredAtStart::kBootOrder},
      {L"wi-fi", MeasuredAtStart::kNo},
      {L"camera", MeasuredAtStart::kNo},
      {L"date", MeasuredAtStart::kNo},
      {L"set supervisor password", MeasuredAtStart::kNo},
  };
  for (const uint32_t minor : minors) {
    SCOPED_TRACE(minor);
    SettingCatalog catalog;
    BuildSettingCatalog(catalog, 2, minor);
    size_t measured = 0;
    for (const auto& [name, info] : catalog.settings()) {
      if (info.measured == MeasuredAtStart::kNo) continue;
      ++measured;
      SCOPED_TRACE(WideToUtf8(name));
      EXPECT_NE(info.kind, SettingKind::kPassword);
      EXPECT_EQ(info.category == Category::kSecurity || info.category == Category::kPostBehaviors ||
                    info.category == Category::kPowerAndEventControl || info.category == Category::kSystemFunction,
                true);
    }
    // Secure Boot, its mode, its erase and restore, the TPM, boot mode and
    // order at least.
    EXPECT_GE(measured, 7u);
    for (const auto& row : expected) {
      const SettingInfo* info = catalog.FindSetting(row.name);
      if (!info) continue;
      SCOPED_TRACE(WideToUtf8(row.name));
      EXPECT_EQ(info->measured, row.reason);
    }
    const SettingInfo* clear = catalog.FindSetting(kClearTpmSetting);
    if (!clear) clear = catalog.FindSetting(kClearTpmTcmSetting);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->measured, MeasuredAtStart::kTpm);
  }
}

TEST(MeasuredAtStartTest, ReasonsReadAsOneList) {
  MeasuredReasons reasons;
  EXPECT_TRUE(reasons.empty());
  EXPECT_EQ(reasons.Text(), "");
  reasons.Add(MeasuredAtStart::kBootOrder);
  reasons.Add(MeasuredAtStart::kNo);
  EXPECT_EQ(reasons.Text(), "boot order");
  reasons.Add(MeasuredAtStart::kSecureBoot);
  EXPECT_EQ(reasons.Text(), "secure boot and boot order");
  reasons.Add(MeasuredAtStart::kTpm);
  reasons.Add(MeasuredAtStart::kSecureBoot);
  EXPECT_EQ(reasons.Text(), "secure boot, TPM and boot order");
  EXPECT_EQ(reasons.Words().size(), 3u);
}

}  // namespace
}  // namespace vort64
