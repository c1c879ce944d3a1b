#include "catalog/tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/catalog.h"

namespace vort64 {
namespace {

// Every layout with the number of settings the firmware offers in it.
struct LayoutCount {
  uint32_t variant;
  size_t settings;
};
constexpr LayoutCount kLayouts[] = {
    {90, 121}, {89, 116}, {87, 114}, {86, 111}, {85, 109}, {82, 104}, {79, 100}, {78, 94}, {77, 95},
    {74, 92},  {73, 86},  {72, 82},  {71, 81},  {68, 81},  {65, 74},  {61, 76},  {56, 68}, {0, 60},
};

std::string Narrow(std::wstring_view text) { return WideToUtf8(text); }

SettingCatalog Built(uint32_t minor, uint32_t major = 2) {
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, major, minor);
  return catalog;
}

TEST(CatalogTablesTest, MinorNumberChoosesLayout) {
  struct Range {
    uint32_t first, last, variant;
  };
  constexpr Range kRanges[] = {
      {0, 55, 0},   {56, 60, 56}, {61, 64, 61}, {65, 67, 65}, {68, 70, 68}, {71, 71, 71},
      {72, 72, 72}, {73, 73, 73}, {74, 76, 74}, {77, 77, 77}, {78, 78, 78}, {79, 81, 79},
      {82, 84, 82}, {85, 85, 85}, {86, 86, 86}, {87, 88, 87}, {89, 89, 89}, {90, 255, 90},
  };
  for (const Range& range : kRanges) {
    for (uint32_t minor = range.first; minor <= range.last; ++minor) {
      EXPECT_EQ(SelectVariant(2, minor), range.variant) << "minor " << minor;
    }
  }
  EXPECT_EQ(SelectVariant(2, 100000), 90u);
  EXPECT_EQ(SelectVariant(2, 0xFFFFFFFFu), 90u);
  // Only major 2 has versioned layouts.
  EXPECT_EQ(SelectVariant(1, 90), kBaselineVariant);
  EXPECT_EQ(SelectVariant(3, 90), kBaselineVariant);
}

TEST(CatalogTablesTest, BuiltCatalogSizeFollowsMinorNumber) {
  struct Case {
    uint32_t minor;
    size_t settings;
    const wchar_t* present;  // a setting only that layout range has
    const wchar_t* absent;
  };
  const Case cases[] = {
      {0, 60, L"amd-v", L"optical drive"},
      {55, 60, L"sata port 7/hdd 7 port", L"optical drive"},
      {56, 68, L"optical drive", L"amd-v"},
      {88, 114, L"trusted execution technology", L"asset tag number"},
      {90, 121, L"gna device", L"sata port 7/hdd 7 port"},
      {255, 121, L"ufs port", L"vtx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minor);
    const SettingCatalog catalog = Built(c.minor);
    EXPECT_EQ(catalog.settings().size(), c.settings);
    EXPECT_TRUE(catalog.HasSetting(c.present));
    EXPECT_FALSE(catalog.HasSetting(c.absent));
    EXPECT_EQ(catalog.bootDevices().size(), 19u);
  }
}

TEST(CatalogTablesTest, EveryOlderLayoutFitsTheNextNewer) {
  std::vector<CatalogRow> rows(NewestVariantRows().begin(), NewestVariantRows().end());
  for (const VariantDelta& delta : OlderVariantDeltas()) {
    SCOPED_TRACE(delta.variant);
    EXPECT_TRUE(ApplyVariantDelta(delta, rows));
  }
  // Newest first, down to the oldest versioned layout.
  std::vector<uint32_t> order;
  for (const VariantDelta& delta : OlderVariantDeltas()) order.push_back(delta.variant);
  EXPECT_EQ(order, (std::vector<uint32_t>{89, 87, 86, 85, 82, 79, 78, 77, 74, 73, 72, 71, 68, 65, 61, 56}));
}

TEST(CatalogTablesTest, RowCountsAndUniqueNames) {
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    const std::vector<CatalogRow> rows = VariantRows(layout.variant);
    EXPECT_EQ(rows.size(), layout.settings);
    std::set<std::wstring_view> names;
    for (const CatalogRow& row : rows) {
      EXPECT_TRUE(names.insert(row.name).second) << "twice: " << Narrow(row.name);
    }
    // The built catalog holds every row under its own name.
    EXPECT_EQ(Built(layout.variant).settings().size(), layout.settings);
  }
}

TEST(CatalogTablesTest, RowsNeverShareABufferByte) {
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    std::array<std::wstring_view, 2048> owner{};
    for (const CatalogRow& row : VariantRows(layout.variant)) {
      ASSERT_GE(row.size, 1u) << Narrow(row.name);
      ASSERT_LE(row.offset + row.size, 2048u) << Narrow(row.name);
      for (uint32_t at = row.offset; at < row.offset + row.size; ++at) {
        EXPECT_TRUE(owner[at].empty()) << Narrow(row.name) << " and " << Narrow(owner[at]) << " share byte " << at;
        owner[at] = row.name;
      }
    }
  }
}

TEST(CatalogTablesTest, EveryGroupKeepsToItsByteBand) {
  struct Band {
    std::wstring_view category;
    uint32_t first, last;
  };
  constexpr Band kBands[] = {
      {L"System Function", 12, 23},           {L"Device Control", 51, 80}, {L"IO Ports", 81, 96},
      {L"Power and Event Control", 161, 178}, {L"Security", 191, 296},     {L"Post Behaviors", 301, 330},
      {L"Date and Time", 391, 396},           {L"Expansion", 397, 1188},   {L"SMBIOS information", 1201, 1272},
  };
  std::map<std::wstring_view, std::pair<uint32_t, uint32_t>> used;  // first and last byte over all layouts
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    const SettingCatalog catalog = Built(layout.variant);
    for (const auto& [name, info] : catalog.settings()) {
      const std::wstring_view category = CategoryText(info.category);
      const auto band =
          std::find_if(std::begin(kBands), std::end(kBands), [&](const Band& b) { return b.category == category; });
      ASSERT_NE(band, std::end(kBands)) << Narrow(name) << ": " << Narrow(category);
      const uint32_t last = info.offset + info.size - 1;
      EXPECT_GE(info.offset, band->first) << Narrow(name);
      EXPECT_LE(last, band->last) << Narrow(name);
      const auto it = used.try_emplace(band->category, info.offset, last).first;
      it->second.first = std::min(it->second.first, info.offset);
      it->second.second = std::max(it->second.second, last);
    }
    // The expansion group starts with 2.73, the SMBIOS group with 2.89.
    const auto has = [&](std::wstring_view category) {
      return std::any_of(catalog.settings().begin(), catalog.settings().end(),
                         [&](const auto& entry) { return CategoryText(entry.second.category) == category; });
    };
    EXPECT_EQ(has(L"Expansion"), layout.variant >= 73);
    EXPECT_EQ(has(L"SMBIOS information"), layout.variant >= 89);
  }
  // The bands are the exact extent of what the layouts use.
  for (const Band& band : kBands) {
    EXPECT_EQ(used[band.category], std::make_pair(band.first, band.last)) << Narrow(band.category);
  }
}

TEST(CatalogTablesTest, RowsAreInGroupAndOffsetOrder) {
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    const std::vector<CatalogRow> rows = VariantRows(layout.variant);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const CatalogRow& a, const CatalogRow& b) {
      return a.category != b.category ? a.category < b.category : a.offset < b.offset;
    }));
  }
}

// Rows checked field by field, picked where the layouts differ. The minor
// number is one that selects the layout (often the top of its range).
struct ExpectedRow {
  uint32_t minor;
  std::wstring_view name;
  uint32_t offset, size;
  std::wstring_view category, meaning, description;
};

constexpr std::wstring_view kEnabled = L"0 : Disabled, 1 : Enabled, 255 : Not Supported";
constexpr std::wstring_view kPassword = L"password, Empty : Clear password, DoNotChange : keep password";
constexpr std::wstring_view kPsid = L"PSID for reverting OPAL device, DoNotChange : keep password";
constexpr std::wstring_view kSataPort =
    L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support when SATA Mode is NOT set to AHCI";

// clang-format off
constexpr ExpectedRow kExpectedRows[] = {
    // The newest layout is its table itself: only a minor above it is checked.
    {255, L"tpm device selection", 296, 1, L"Security", L"0 : iPTT, 1 : dTPM, 2 : PSP fTPM, 3 : Pluton fTPM,  255 : Not Supported. iPTT: Intel only dTPM: Discrete TPM onlynPSP fTPM : AMD only Pluton fTPM : Support Microsoft Pluton only", L"Get/Set TPM Device Selection, if WMI version >= 2.90"},
    // 2.89
    {89, L"display mode", 80, 1, L"Device Control", L"1 : Auto Select, 2 : Optimus, 3 : nVidia GPU only, 255 : Not Supported", L"Get/Set Display mode, if WMI version >= 2.86"},
    {89, L"ownership tag number", 1223, 50, L"SMBIOS information", L"Up to 50 characters, alphabet or digit only. Must be the same as SMBIOS type 11 string 02h.", L"Get/Set Ownership Tag Number, if WMI version >= 2.89"},
    // 2.87
    {88, L"trusted execution technology", 16, 1, L"System Function", kEnabled, L"Get/Set Trusted Execution Technology, if WMI version >= 2.87"},
    {87, L"tpm detection selection", 294, 1, L"Security", L"1 : dTPM, 2 : fTPM/PTT, 255 : Not Supported", L"Get/Set Tpm Detection Selection, if WMI version >= 2.87"},
    // 2.86
    {86, L"vmd controller", 21, 1, L"System Function", kEnabled, L"Get/Set VMD Controller Support, if WMI version >= 2.86"},
    {86, L"display mode", 80, 1, L"Device Control", L"1 : Auto Select, 2 : Optimus, 3 : nVidia GPU only, 255 : Not Supported", L"Get/Set Display mode, if WMI version >= 2.86"},
    // 2.85
    {85, L"above 4g decoding", 19, 1, L"System Function", kEnabled, L"Get/Set Above 4G decoding, if WMI version >= 2.85"},
    {85, L"revert hdd3(opal) device", 697, 32, L"Expansion", kPsid, L"Revert HDD3(OPAL) Device, if WMI version >= 2.74"},
    {85, L"mac address pass through", 69, 1, L"Device Control", L"0 : Disabled, 1 : System MAC address, 2 : Customized MAC address, 255 : Not Supported", L"Get/Set MAC Address Passthrough, if WMI version >= 2.82"},
    // 2.82
    {84, L"mac address pass through", 69, 1, L"Device Control", kEnabled, L"Get/Set MAC Address Passthrough, if WMI version >= 2.82"},
    {84, L"Revert HDD0(OPAL) Device", 601, 32, L"Expansion", L"PSID for reverting OPAL device", L"Revert HDD0(OPAL) Device, if WMI version >= 2.74"},
    {82, L"Revert HDD5(OPAL) Device", 761, 32, L"Expansion", kPsid, L"Revert HDD5(OPAL) Device, if WMI version >= 2.74"},
    {82, L"usb device filter", 67, 1, L"Device Control", L"0 : All Allowed, 1 : Keyboard/Mouse Only, 2: USB Storage Read-Only, 255 : Not Supported", L"Get/Set USB Filter, if WMI version >= 2.77"},
    {82, L"wake on lan from dock", 178, 1, L"Power and Event Control", kEnabled, L"Get/Set Wake on LAN from Dock, if WMI version >= 2.82"},
    // 2.79
    {81, L"usb filter", 67, 1, L"Device Control", L"0 : All Allowed, 1 : Keyboard/Mouse Only, 2: USB Storage Read-Only, 255 : Not Supported", L"Get/Set USB Filter, if WMI version >= 2.77"},
    {79, L"set hdd0 password", 397, 34, L"Expansion", kPassword, L"Set HDD0 Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {79, L"set hdd0(opal) password", 793, 66, L"Expansion", kPassword, L"Set HDD0(OPAL) Password, if WMI version >= 2.79 ; Clear password, if WMI version >= 2.79"},
    {79, L"Revert HDD2(OPAL) Device", 665, 32, L"Expansion", kPsid, L"Revert HDD2(OPAL) Device, if WMI version >= 2.74"},
    // 2.78
    {78, L"set hdd0/hdd0(opal) password", 397, 34, L"Expansion", kPassword, L"SetHDD0/HDD0(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {78, L"set hdd5/hdd5(opal) password", 567, 34, L"Expansion", kPassword, L"SetHDD5/HDD5(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {78, L"absolute persistence module", 198, 1, L"Security", L"0: Disabled, 1: Enabled, 2: Permanently Disabled, 255 : Not Supported", L"Get/Set Absolute Persistence Module, if WMI version >= 2.77"},
    // 2.77
    {77, L"real time clock reset", 169, 1, L"Power and Event Control", kEnabled, L"Get/Set Real Time Clock reset, if WMI version >= 2.73"},
    {77, L"save settings to user setup defaults", 330, 1, L"Post Behaviors", L"0 : Do Nothing, 1 : Save, 255 : Not Supported", L"Set Save Settings to User Setup Defaults, if WMI version >= 2.77"},
    // 2.74
    {76, L"touchpad", 51, 1, L"Device Control", L"0: I2C, 1 : PS/2, 255 : Not Supported", L"Get/Set Touchpad"},
    {74, L"Revert HDD1(OPAL) Device", 633, 32, L"Expansion", kPsid, L"Revert HDD1(OPAL) Device, if WMI version >= 2.74"},
    {74, L"real time clock reset", 169, 1, L"Power and Event Control", kEnabled, L"Get/Set Real Time Clock reset, if WMI version >= 2.73"},
    // 2.73
    {73, L"revert hddx(opal) device", 243, 2, L"Security", L"0 : Do nothing, 1 : HDD0, 2 : HDD1, 4: HDD2, 8: HDD3, 16: HDD4, 32: HDD5", L"Flag for setting password, if WMI version >= 2.73"},
    {73, L"sata mode", 66, 1, L"Device Control", L"0 : AHCI, 1 : RST with Optane, 2 : RST Premium with Optane, 3 : RAID, 255 : Not Supported", L"Get/Set SATA Mode, if WMI version >= 2.56"},
    {73, L"intel vtx", 14, 1, L"System Function", kEnabled, L"Get/Set VTX, if WMI version >= 2.56"},
    {73, L"set supervisor password", 199, 34, L"Security", kPassword, L"Set Supervisor Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    // 2.72
    {72, L"vtx", 14, 1, L"System Function", kEnabled, L"Get/Set VTX, if WMI version >= 2.56"},
    {72, L"set supervisor password", 199, 18, L"Security", kPassword, L"Set Supervisor Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.71"},
    {72, L"set user password", 217, 18, L"Security", L"password, Empty : Clear password, DoNotChange : keep password. Function not support without supervisor password", L"Set User Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.71"},
    {72, L"wake up hour", 172, 1, L"Power and Event Control", L"0~23: hour, 255 : Not Supported. Function not support when Wake Up System on time is set to isabled", L"Get/Set Wake Up hour, if WMI version >= 2.56"},
    {72, L"flag for setting", 235, 1, L"Security", L"0 : Do nothing, 1 : Set Supervisor, 2 : Set User Password", L"Flag for setting, if WMI version >= 2.72"},
    {72, L"clear tpm", 195, 1, L"Security", L"0 : Do nothing, 1: Clear, 254 : Function Supported, 255 : Not Supported", L"Set Clear TPM (TCM), if WMI version >= 2.56 ; Get Clear TPM(TCM) , if WMI version >= 2.72"},
    {72, L"sata port 0/hdd 0 port", 83, 1, L"IO Ports", kSataPort, L"Get/Set SATA Port 0 / HDD 0 Port, if WMI version >= 2.61"},
    {72, L"opal device 0 port", 91, 1, L"IO Ports", kEnabled, L"Get/Set OPAL Device 0 Port, if WMI version >= 2.62"},
    // 2.71
    {71, L"clear tpm", 195, 1, L"Security", L"1: Clear, 255 : Not Supported", L"Set Clear TPM (TCM), if WMI version >= 2.56"},
    {71, L"set supervisor password", 199, 18, L"Security", kPassword, L"Set Supervisor Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.71"},
    // 2.68
    {70, L"set supervisor password", 199, 18, L"Security", L"password, Empty : Clear password", L"Set Supervisor Password, if WMI version >= 2.56"},
    {68, L"set user password", 217, 18, L"Security", L"password, Empty : Clear password. Function not support without supervisor password", L"Set User Password, if WMI version >= 2.56"},
    {68, L"hdd 5 password status", 271, 1, L"Security", kEnabled, L"Get HDD 5 Password (Status), if WMI version >= 2.68"},
    {68, L"opal device 1 password status", 261, 1, L"Security", kEnabled, L"Get OPAL Device 1 Password (Status), if WMI version >= 2.68"},
    // 2.65
    {67, L"hdd password status", 198, 1, L"Security", L"0: Clear, 255 : Not Supported", L"Get HDD Password status, if WMI version >= 2.56"},
    {65, L"secure boot mode", 256, 1, L"Security", L"0: Standard, 1 : Custom, 255 : Not Supported", L"Get Secure Boot Mode, if WMI version >= 2.56"},
    {65, L"speaker & headphone", 64, 1, L"Device Control", kEnabled, L"Get/Set speaker & headphone, if WMI version >= 2.56"},
    {65, L"sata port 0/hdd 0 port", 83, 1, L"IO Ports", kSataPort, L"Get/Set SATA Port 0/HDD 0 Port, if WMI version >= 2.61"},
    {65, L"battery threshold", 166, 1, L"Power and Event Control", L"1 : 10%, 2 : 20 %, 3 : 30 %, 255 : Not Supported, not support when Power-off USB Charge is set to Disabled", L"Get/Set Battery Threshold (commercial only), if WMI version >= 2.56"},
    {65, L"current tpm 1.2 state", 191, 1, L"Security", L"0 : Disabled & Deactive, 1 : Enabled & Active, 255 : Not Supported. Function not support without supervisor password", L"Get TPM (TCM) state, TPM 1.2 only, if WMI version >= 2.56"},
    {65, L"current tpm 2.0 state", 192, 1, L"Security", L"0 : Not Installed, 1 : Installed, 255 : Not Supported. Function not support without supervisor password", L"Get TPM (TCM) state, TPM 2.0 and later, if WMI version >= 2.56"},
    {65, L"clear tpm", 195, 1, L"Security", L"1 : Clear, 255 : Not Supported", L"Set Clear TPM (TCM), if WMI version >= 2.56"},
    {65, L"opal device 0 password status", 260, 1, L"Security", kEnabled, L"Get OPAL Device 0 Password (Status), if WMI version >= 2.56"},
    // 2.61
    {64, L"tbt wake supported power state", 169, 1, L"Power and Event Control", L"3: S3, 4: S4, 255 : Not Supported", L"Get/Set TBT Wake Supported Power State, if WMI version >= 2.56"},
    {61, L"usb wake supported power state", 175, 1, L"Power and Event Control", L"3: S3, 4: S4, 255 : Not Supported", L"Get/Set USB Wake Supported Power State, if WMI version >= 2.56"},
    {61, L"secure boot mode", 256, 1, L"Security", L"0 : Standard, 1 : Custom, 255 : Not Supported", L"Get Secure Boot Mode, if WMI version >= 2.56"},
    {61, L"opal device 5 port", 96, 1, L"IO Ports", kEnabled, L"Get/Set OPAL Device 5 Port, if WMI version >= 2.62"},
    {61, L"tbt wake from s4 support", 176, 1, L"Power and Event Control", L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support when TBT Wake is set to Disabled", L"Get/Set TBT Wake from S4 Support, if WMI version >= 2.61"},
    // 2.56
    {60, L"usb wake supported power state", 175, 1, L"Power and Event Control", L"3: S3, 4: S4, 255 : Not Supported", L"Get/Set USB Wake Supported Power State, if WMI version >= 2.56"},
    {56, L"sata port 5/hdd 5 port", 88, 1, L"IO Ports", kSataPort, L"Get/Set SATA Port 5/HDD 5 Port, if WMI version >= 2.61"},
    {56, L"erase all secure boot setting", 257, 1, L"Security", L"0 : Do nothing, 1 : Enter, 255 : Not Supported", L"Set erase all secure boot setting, if WMI version >= 2.56"},
    {56, L"set user password", 217, 18, L"Security", L"password, Empty : Clear password. Function not support without supervisor password", L"Set User Password, if WMI version >= 2.56"},
    // baseline
    {55, L"amd-v", 16, 1, L"System Function", kEnabled, L"Get/Set AMD V Mode"},
    {55, L"touchpad", 51, 1, L"Device Control", L"0 : Basic, 1 : Advanced, 255 : Not Supported", L"Get/Set Touchpad"},
    {55, L"sata port 7/hdd 7 port", 90, 1, L"IO Ports", kSataPort, L"Get/Set SATA Port 7/HDD 7 Port"},
    {0, L"set supervisor password", 199, 14, L"Security", L"password, Empty : Clear password", L"Set Supervisor Password"},
    {0, L"set user password", 213, 14, L"Security", L"password, Empty : Clear password. Function not support without supervisor password", L"Set User Password"},
    {0, L"set hdd1 password", 241, 14, L"Security", L"password, Empty : Clear password", L"Set set hdd1 password"},
    {0, L"secure boot mode", 256, 1, L"Security", L"0 : Standard, 1 : Custom, 255 : Not Supported", L"Get/ Set Secure Boot Mode"},
    {0, L"function key behavior", 302, 1, L"Post Behaviors", L"0: Function Key, 1: Special Key, 255 : Not Supported", L"Get/Set Function key"},
    {0, L"gpt partition record", 306, 5, L"Post Behaviors", L"Year, Month (1~12), Date (1~31), Hour (0~23), Minute (0~59). 24 hour format, 0 : No Record, 255 : Not Supported", L"Get / Set gpt partition record"},
    {0, L"clean gpt", 305, 1, L"Post Behaviors", L"0 : Do nothing, 1 : Clean, 255 : Not Supported. Clean Function not support without record", L"Set clean gpt"},
    {0, L"boot priority order", 312, 16, L"Post Behaviors", L"1st priority, 2nd priority, 3rd priority, \u2026, 16th priority. 255 : terminate. Refer to Boot device table in the end of this file", L"Get/Set Boot Priority Order"},
    {0, L"time", 394, 3, L"Date and Time", L"Hour (0~23) : Minute (0~59) : Second (0~59), 238 : Do not change, 255 : Not Supported. 24 hour format", L"Get / Set System Time(HH : MM : SS)"},
    {0, L"current tpm 1.2 state", 191, 1, L"Security", L"0 : Disabled & Deactive, 1 : Enabled & Active, 255 : Not Supported. Function not support without supervisor password", L"Get TPM(TCM) state, TPM 1.2 only"},
};
// clang-format on

TEST(CatalogTablesTest, ChosenRowsMatchFieldByField) {
  for (const ExpectedRow& expected : kExpectedRows) {
    SCOPED_TRACE(testing::Message() << "minor " << expected.minor << ", " << Narrow(expected.name));
    const SettingCatalog catalog = Built(expected.minor);
    const SettingInfo* info = catalog.FindSetting(expected.name);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->offset, expected.offset);
    EXPECT_EQ(info->size, expected.size);
    EXPECT_EQ(catalog.GetSettingOffset(expected.name), expected.offset);
    EXPECT_EQ(catalog.GetSettingSize(expected.name), expected.size);
    EXPECT_EQ(Narrow(CategoryText(info->category)), Narrow(expected.category));
    EXPECT_EQ(Narrow(info->meaning), Narrow(expected.meaning));
    EXPECT_EQ(Narrow(info->description), Narrow(expected.description));
  }
}

TEST(CatalogTablesTest, SettingsALayoutDoesNotHave) {
  struct Missing {
    uint32_t minor;
    std::wstring_view name;
  };
  constexpr Missing kMissing[] = {
      {89, L"active efficient cores"},
      {89, L"gna device"},
      {89, L"emmc port"},
      {89, L"ufs port"},
      {89, L"tpm device selection"},
      {88, L"asset tag number"},
      {88, L"ownership tag number"},
      {86, L"trusted execution technology"},
      {86, L"authorized signatures"},
      {85, L"vmd controller"},
      {85, L"display mode"},
      {84, L"above 4g decoding"},
      {84, L"privacy screen"},
      {84, L"revert hdd0(opal) device"},
      {85, L"Revert HDD0(OPAL) Device"},
      {81, L"usb device filter"},
      {81, L"world-facing led"},
      {82, L"usb filter"},
      {78, L"set hdd0 password"},
      {78, L"set hdd0(opal) password"},
      {78, L"real time clock reset"},
      {79, L"set hdd0/hdd0(opal) password"},
      {76, L"usb filter"},
      {76, L"absolute persistence module"},
      {76, L"save settings to user setup defaults"},
      {73, L"touchpad"},
      {73, L"Revert HDD0(OPAL) Device"},
      {74, L"revert hddx(opal) device"},
      {72, L"intel vtx"},
      {72, L"cnvi wlan/bt"},
      {72, L"hour"},
      {72, L"display language"},
      {72, L"set hdd0/hdd0(opal) password"},
      {73, L"vtx"},
      {73, L"wake up hour"},
      {73, L"opal device 0 port"},
      {71, L"flag for setting"},
      {70, L"flag for setting"},
      {67, L"opal device 1 password status"},
      {67, L"hdd 0 password status"},
      {68, L"hdd password status"},
      {68, L"secure boot mode"},
      {67, L"tbt wake supported power state"},
      {60, L"opal device 0 port"},
      {60, L"tbt wake from s4 support"},
      {60, L"usb wake from s4 support"},
      {55, L"optical drive"},
      {55, L"tbt wake"},
      {55, L"opal device 0 password status"},
      {56, L"amd-v"},
      {56, L"sata port 6/hdd 6 port"},
      {56, L"gpt partition record"},
      {56, L"touchpad"},
      {90, L"gpt partition recovery"},
  };
  for (const Missing& missing : kMissing) {
    EXPECT_FALSE(Built(missing.minor).HasSetting(missing.name))
        << "minor " << missing.minor << ", " << Narrow(missing.name);
  }
}

TEST(CatalogTablesTest, NameKeepsItsBytesExceptFourPasswordFields) {
  std::map<std::wstring_view, std::set<std::pair<uint32_t, uint32_t>>> places;
  for (const LayoutCount& layout : kLayouts) {
    for (const CatalogRow& row : VariantRows(layout.variant)) places[row.name].insert({row.offset, row.size});
  }
  using Places = std::set<std::pair<uint32_t, uint32_t>>;
  EXPECT_EQ(places[L"set supervisor password"], (Places{{199, 14}, {199, 18}, {199, 34}}));
  EXPECT_EQ(places[L"set user password"], (Places{{213, 14}, {217, 18}, {260, 34}}));
  EXPECT_EQ(places[L"set hdd0 password"], (Places{{227, 14}, {397, 34}}));
  EXPECT_EQ(places[L"set hdd1 password"], (Places{{241, 14}, {431, 34}}));
  for (const auto& [name, where] : places) {
    if (name == L"set supervisor password" || name == L"set user password" || name == L"set hdd0 password" ||
        name == L"set hdd1 password") {
      continue;
    }
    EXPECT_EQ(where.size(), 1u) << Narrow(name);
  }
}

TEST(CatalogTablesTest, NamesAreLowerCaseExceptTheOldRevertRows) {
  const std::set<std::wstring_view> mixed = {L"Revert HDD0(OPAL) Device", L"Revert HDD1(OPAL) Device",
                                             L"Revert HDD2(OPAL) Device", L"Revert HDD3(OPAL) Device",
                                             L"Revert HDD4(OPAL) Device", L"Revert HDD5(OPAL) Device"};
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    size_t mixedRows = 0;
    for (const CatalogRow& row : VariantRows(layout.variant)) {
      if (mixed.contains(row.name)) {
        ++mixedRows;
        continue;
      }
      EXPECT_EQ(AsciiToLower(row.name), std::wstring(row.name));
    }
    const bool oldRevert = layout.variant >= 74 && layout.variant <= 82;
    EXPECT_EQ(mixedRows, oldRevert ? 6u : 0u);
  }
  // Lookups are exact: a lower-cased name does not reach the mixed-case row.
  const SettingCatalog catalog = Built(82);
  EXPECT_TRUE(catalog.HasSetting(L"Revert HDD4(OPAL) Device"));
  EXPECT_FALSE(catalog.HasSetting(L"revert hdd4(opal) device"));
}

TEST(CatalogTablesTest, EllipsisIsOneCharacter) {
  for (const uint32_t minor : {0u, 72u, 90u}) {
    const SettingCatalog catalog = Built(minor);
    const std::wstring_view meaning = catalog.FindSetting(L"boot priority order")->meaning;
    EXPECT_EQ(std::count(meaning.begin(), meaning.end(), L'\u2026'), 1);
    EXPECT_EQ(meaning.find(L"..."), std::wstring::npos);
    EXPECT_EQ(meaning.size(), 127u);
  }
}

TEST(CatalogTablesTest, BootDeviceTableIsTheSameEverywhere) {
  const SettingCatalog newest = Built(90);
  const auto& table = newest.bootDevices();
  // Codes 1 to 20 without 15, two of them reserved.
  ASSERT_EQ(table.size(), 19u);
  EXPECT_FALSE(table.contains(15));
  EXPECT_EQ(table.begin()->first, 1u);
  EXPECT_EQ(table.rbegin()->first, 20u);
  EXPECT_EQ(table.at(5).deviceName, L"(Reserved)");
  EXPECT_EQ(table.at(8).deviceName, L"(Reserved)");
  for (const LayoutCount& layout : kLayouts) {
    SCOPED_TRACE(layout.variant);
    const SettingCatalog catalog = Built(layout.variant);
    ASSERT_EQ(catalog.bootDevices().size(), table.size());
    for (const auto& [code, device] : catalog.bootDevices()) {
      ASSERT_TRUE(table.contains(code)) << code;
      EXPECT_EQ(device.deviceName, table.at(code).deviceName);
      EXPECT_EQ(device.category, L"Boot device table");
    }
  }
}

TEST(CatalogTablesTest, RebuildingReplacesTheWholeCatalog) {
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  catalog.AddSetting(L"left over", SettingInfo{});
  BuildSettingCatalog(catalog, 2, 55);
  EXPECT_EQ(catalog.settings().size(), 60u);
  EXPECT_FALSE(catalog.HasSetting(L"left over"));
  EXPECT_FALSE(catalog.HasSetting(L"gna device"));
  EXPECT_EQ(catalog.GetSettingSize(L"set supervisor password"), 14u);
}

TEST(CatalogTablesTest, UnknownLayoutNumberHasNoRows) {
  EXPECT_TRUE(VariantRows(57).empty());
  EXPECT_TRUE(VariantRows(91).empty());
}

TEST(CatalogTablesTest, DeltaThatDoesNotFitIsReported) {
  const CatalogRow base[] = {{L"a", 1, 1, Category::kSystemFunction, L"m", L"d"},
                             {L"b", 2, 1, Category::kSystemFunction, L"m", L"d"}};
  const std::wstring_view lacksMissing[] = {L"zz"};
  const CatalogRow addsExisting[] = {{L"b", 3, 1, Category::kSystemFunction, L"m", L"d"}};
  const RowChange changesMissing[] = {{.name = L"zz", .size = 2}};
  const std::wstring_view lacksA[] = {L"a"};
  const CatalogRow addsC[] = {{L"c", 3, 1, Category::kIoPorts, L"m", L"d"}};
  const RowChange changesB[] = {{.name = L"b", .offset = 7, .description = L"older"}};

  std::vector<CatalogRow> rows(std::begin(base), std::end(base));
  EXPECT_FALSE(ApplyVariantDelta(VariantDelta{.variant = 1, .lacks = lacksMissing}, rows));
  EXPECT_FALSE(ApplyVariantDelta(VariantDelta{.variant = 1, .adds = addsExisting}, rows));
  EXPECT_FALSE(ApplyVariantDelta(VariantDelta{.variant = 1, .changes = changesMissing}, rows));

  rows.assign(std::begin(base), std::end(base));
  ASSERT_TRUE(ApplyVariantDelta(VariantDelta{.variant = 1, .lacks = lacksA, .adds = addsC, .changes = changesB}, rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, L"b");
  EXPECT_EQ(rows[0].offset, 7u);
  EXPECT_EQ(rows[0].size, 1u);
  EXPECT_EQ(rows[0].meaning, L"m");
  EXPECT_EQ(rows[0].description, L"older");
  EXPECT_EQ(rows[1].name, L"c");
}

}  // namespace
}  // namespace vort64
