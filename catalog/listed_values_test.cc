#include "catalog/listed_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/catalog.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

// The listed values as "0=Disabled 1=Enabled 0~59".
std::string Listed(std::wstring_view meaning) {
  std::string text;
  const ListedValues listed = ParseListedValues(meaning);
  for (const ListedValue& v : listed.values()) {
    if (!text.empty()) text += ' ';
    text += std::to_string(v.first);
    if (v.first == v.last) {
      text += '=';
      text += WideToUtf8(v.label);
    } else {
      text += '~';
      text += std::to_string(v.last);
    }
  }
  return text;
}

TEST(ListedValuesTest, ReadsPairsRangesAndLeavesOutMarksAndExplanations) {
  struct Case {
    std::wstring_view meaning;
    std::string listed;
  };
  const Case kCases[] = {
      {kOnOff, "0=Disabled 1=Enabled"},
      {L"0~23: hour, 255 : Not Supported. Function not support when Power On by RTC Alarm is set to Disabled", "0~23"},
      {L"1: 10%, 2: 20 %, 3 : 30 %, 255 : Not Supported, not support when Power-off USB Charge is set to Disabled",
       "1=10% 2=20 % 3=30 %"},
      {L"0 : Legacy, 1 : UEFI, , 255 : Not Supported", "0=Legacy 1=UEFI"},
      {L"0 : Do nothing, 1: Clear, 254 : Function Supported, 255 : Not Supported", "0=Do nothing 1=Clear"},
      {L"0 : iPTT, 1 : dTPM, 2 : PSP fTPM, 3 : Pluton fTPM,  255 : Not Supported. iPTT: Intel only dTPM: Discrete",
       "0=iPTT 1=dTPM 2=PSP fTPM 3=Pluton fTPM"},
      {L"0 : Disabled, 1: S3/S4/S5 Only, 16 : Enabled, 255 : Not Supported", "0=Disabled 1=S3/S4/S5 Only 16=Enabled"},
      {L"Follow the format of MAC address. 0xFFFFFFFFFFFF : Not Supported", ""},
      {kPasswordEntry, ""},
      {L"Hour (0~23) : Minute (0~59) : Second (0~59), 238 : Do not change, 255 : Not Supported", ""},
      {L"", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(Listed(c.meaning), c.listed) << WideToUtf8(c.meaning);
}

TEST(ListedValuesTest, LabelsAreTakenInAnyCaseAndWithoutBlanks) {
  const ListedValues onOff = ParseListedValues(kOnOff);
  EXPECT_EQ(onOff.ValueOfLabel(L"disabled"), 0);
  EXPECT_EQ(onOff.ValueOfLabel(L"ENABLED"), 1);
  EXPECT_EQ(onOff.ValueOfLabel(L"Enable"), std::nullopt);
  EXPECT_EQ(onOff.ValueOfLabel(L"Not Supported"), std::nullopt);  // a mark, no value
  EXPECT_EQ(onOff.ValueOfLabel(L""), std::nullopt);
  const ListedValues threshold = ParseListedValues(L"1: 10%, 2: 20 %, 3 : 30 %, 255 : Not Supported");
  EXPECT_EQ(threshold.ValueOfLabel(L"20%"), 2);
  EXPECT_EQ(threshold.ValueOfLabel(L" 30 % "), 3);
  const ListedValues minute = ParseListedValues(L"0~59: minute, 255 : Not Supported");
  EXPECT_EQ(minute.ValueOfLabel(L"minute"), std::nullopt);  // a range names no one value
  EXPECT_TRUE(minute.Lists(0));
  EXPECT_TRUE(minute.Lists(59));
  EXPECT_FALSE(minute.Lists(60));
  EXPECT_EQ(minute.LabelOf(5), std::nullopt);
  EXPECT_EQ(onOff.LabelOf(1), L"Enabled");
  EXPECT_FALSE(onOff.Lists(255));
}

TEST(ListedValuesTest, DescribesValuesWithTheirLabels) {
  EXPECT_EQ(ParseListedValues(kOnOff).Describe(), "0 (Disabled), 1 (Enabled)");
  EXPECT_EQ(ParseListedValues(L"0~59: minute, 255 : Not Supported").Describe(), "0 to 59");
}

// Every one-byte setting that the firmware takes a value for lists its
// values, on every layout; the free-form kinds list none.
TEST(ListedValuesTest, EveryWritableOneByteSettingOfEveryLayoutListsItsValues) {
  for (uint32_t variant = 0; variant <= kNewestVariant; ++variant) {
    const std::vector<CatalogRow> rows = VariantRows(variant);
    for (const CatalogRow& row : rows) {
      SettingInfo info;
      info.description = row.description;
      info.meaning = row.meaning;
      info.size = row.size;
      DescribeSetting(row.name, info);
      if (info.kind != SettingKind::kByte) {
        EXPECT_TRUE(info.listed.empty()) << variant << " " << WideToUtf8(row.name);
        continue;
      }
      if (!info.writable || row.size != 1) continue;
      EXPECT_FALSE(info.listed.empty()) << "layout " << variant << ": " << WideToUtf8(row.name)
                                        << " lists nothing in \"" << WideToUtf8(row.meaning) << "\"";
    }
  }
}

}  // namespace
}  // namespace vort64
