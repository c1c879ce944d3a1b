#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/catalog.h"

namespace vort64 {
namespace {

std::string Narrow(std::wstring_view text) { return WideToUtf8(text); }

// The export text of the setting `name` whose bytes are [offset, end).
std::wstring FormatExportValue(std::wstring_view name, std::span<const uint8_t> buffer, uint32_t offset, uint32_t end) {
  SettingInfo info =
      MakeSettingInfo(L"Get/Set", L"", Category::kSystemFunction, end > offset ? end - offset : 0, offset);
  DescribeSetting(name, info);
  return vort64::FormatExportValue(info, buffer);
}

SettingCatalog Built(uint32_t minor) {
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, minor);
  return catalog;
}

// A buffer whose byte at position i holds i % 256, so every byte is told apart.
std::vector<uint8_t> CountingBuffer() {
  std::vector<uint8_t> buffer(2048);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i % 256);
  return buffer;
}

std::wstring Repeated(std::wstring_view item, size_t count, wchar_t separator) {
  std::wstring text;
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) text += separator;
    text += item;
  }
  return text;
}

TEST(FormatExportValueTest, ValueTextBySettingName) {
  std::vector<uint8_t> buffer(2048, 0);
  // date and time bytes that must not show up in the export
  buffer[391] = 24, buffer[392] = 5, buffer[393] = 17, buffer[394] = 13, buffer[395] = 45, buffer[396] = 9;
  const uint8_t order[] = {19, 1, 7, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 200};
  std::copy(std::begin(order), std::end(order), buffer.begin() + 312);
  const uint8_t record[] = {1, 2, 3, 4, 5};
  std::copy(std::begin(record), std::end(record), buffer.begin() + 306);
  const uint8_t mac[] = {0x00, 0x1A, 0x2B, 0xC3, 0xFF, 0x09};
  std::copy(std::begin(mac), std::end(mac), buffer.begin() + 72);
  const char tag[] = "SIM0001";
  std::copy(std::begin(tag), std::end(tag), buffer.begin() + 1201);
  const uint8_t badTag[] = {'A', '\n', 'B', 0};
  std::copy(std::begin(badTag), std::end(badTag), buffer.begin() + 1223);
  std::fill(buffer.begin() + 199, buffer.begin() + 199 + 34, uint8_t{'x'});
  std::fill(buffer.begin() + 260, buffer.begin() + 260 + 34, uint8_t{'y'});
  buffer[12] = 1;
  buffer[66] = 255;

  struct Case {
    std::wstring_view name;
    uint32_t offset, end;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"time", 394, 397, L"238:238:238"},
      {L"time", 394, 396, L"238:238"},
      {L"date", 391, 394, L"238,238,238"},
      {L"boot priority order", 312, 328, L"19,1,7,255,255,255,255,255,255,255,255,255,255,255,255,200"},
      // The year byte counts from 2000.
      {L"gpt partition record", 306, 311, L"2005,4,3,2,1"},
      {L"gpt partition recovery", 306, 311, L"1,2,3,4,5"},
      // Passwords are kept, the TPM is not cleared.
      {L"set supervisor password", 199, 233, L"DoNotChange"},
      {L"set user password", 260, 294, L"DoNotChange"},
      {L"set hdd0 password", 397, 431, L"DoNotChange"},
      {L"set hdd1 password", 431, 465, L"DoNotChange"},
      {L"set hdd2 password", 465, 499, L"DoNotChange"},
      {L"set hdd0(opal) password", 199, 233, L"DoNotChange"},
      {L"set hdd5/hdd5(opal) password", 199, 233, L"DoNotChange"},
      {L"clear tpm", 12, 13, L"0"},
      {L"clear tpm(tcm)", 12, 13, L"0"},
      {L"customized mac address", 72, 78, L"00-1A-2B-C3-FF-09"},
      {L"asset tag number", 1201, 1223, L"SIM0001"},
      {L"ownership tag number", 1223, 1273, L"65,10,66," + Repeated(L"0", 47, L',')},
      {L"ownership tag number", 1273, 1323, L""},
      {L"asf support", 12, 13, L"1"},
      {L"sata mode", 66, 67, L"255"},
      // Matching is exact: other spellings take the plain byte list.
      {L"Time", 394, 397, L"13,45,9"},
      {L"date ", 391, 394, L"24,5,17"},
      {L"Set Supervisor Password", 199, 201, L"120,120"},
      {L"clear tpm ", 12, 13, L"1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Narrow(FormatExportValue(c.name, buffer, c.offset, c.end)), Narrow(c.expected)) << Narrow(c.name);
  }
}

TEST(FormatExportValueTest, DateAndTimeDoNotReadTheClock) {
  const std::vector<uint8_t> buffer(396, 7);
  EXPECT_EQ(FormatExportValue(L"date", buffer, 391, 394), L"238,238,238");
  EXPECT_EQ(FormatExportValue(L"time", buffer, 393, 396), L"238:238:238");
  // The range is bounded by the buffer like every other setting's.
  EXPECT_EQ(FormatExportValue(L"date", {}, 391, 394), L"");
  EXPECT_EQ(FormatExportValue(L"time", buffer, 394, 397), L"238:238");
  EXPECT_EQ(FormatExportValue(L"time", {}, 394, 397), L"");
}

TEST(FormatExportValueTest, NumbersAreFullUnsignedBytes) {
  const std::vector<uint8_t> buffer = {0, 9, 10, 99, 100, 128, 254, 255};
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 0, 8), L"0,9,10,99,100,128,254,255");
  EXPECT_EQ(FormatExportValue(L"gpt partition record", buffer, 0, 8), L"2255,254,128,100,99,10,9,0");
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 3, 4), L"99");
  // A record of zeros is "No Record", which "/set" takes as "0".
  EXPECT_EQ(FormatExportValue(L"gpt partition record", std::vector<uint8_t>(5, 0), 0, 5), L"0");
  EXPECT_EQ(FormatExportValue(L"gpt partition record", buffer, 1, 2), L"2009");
}

TEST(FormatExportValueTest, EmptyOrOutsideRangesReadNothing) {
  const std::vector<uint8_t> buffer = {1, 2, 3, 4};
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 2, 2), L"");
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 3, 1), L"");
  EXPECT_EQ(FormatExportValue(L"time", buffer, 3, 1), L"");
  // Bytes past the end of the buffer are left out rather than read.
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 2, 10), L"3,4");
  EXPECT_EQ(FormatExportValue(L"gpt partition record", buffer, 2, 10), L"2004,3");
  EXPECT_EQ(FormatExportValue(L"gpt partition record", buffer, 6, 10), L"");
  EXPECT_EQ(FormatExportValue(L"customized mac address", buffer, 2, 10), L"03-04");
  EXPECT_EQ(FormatExportValue(L"owner", buffer, 6, 10), L"");
  EXPECT_EQ(FormatExportValue(L"owner", {}, 0, 4), L"");
}

TEST(CollectExportSettingsTest, NewestLayoutRowOrderAndEmptySlots) {
  const SettingCatalog catalog = Built(90);
  const std::vector<uint8_t> buffer = CountingBuffer();
  std::vector<SettingExportRow> rows;
  EXPECT_EQ(CollectExportSettings(catalog, rows, buffer), 0);
  ASSERT_EQ(rows.size(), kSettingExportRows);

  const std::wstring_view first[] = {L"3g/lte",
                                     L"above 4g decoding",
                                     L"absolute persistence module",
                                     L"active efficient cores",
                                     L"amd-iommu",
                                     L"amd-svm",
                                     L"asf configuration",
                                     L"asf support",
                                     L"asset tag number",
                                     L"audio"};
  for (size_t i = 0; i < std::size(first); ++i) EXPECT_EQ(rows[i].name, first[i]) << i;
  const std::wstring_view last[] = {L"wi-fi", L"wigig", L"wired lan", L"world-facing led", L"xhci support"};
  for (size_t i = 0; i < std::size(last); ++i) EXPECT_EQ(rows[116 + i].name, last[i]) << i;

  EXPECT_EQ(rows[20].name, L"cnvi wlan/bt");
  EXPECT_EQ(rows[23].name, L"customized mac address");

  // The slots of the read-only settings stay empty, in place.
  const std::set<std::wstring_view> readOnly = {L"current tpm 1.2 state",
                                                L"current tpm 2.0 state",
                                                L"supervisor password is status",
                                                L"user password is status",
                                                L"flag for setting password",
                                                L"hdd0/hdd0(opal) password is status",
                                                L"hdd1/hdd1(opal) password is status",
                                                L"hdd2/hdd2(opal) password is status",
                                                L"hdd3/hdd3(opal) password is status",
                                                L"hdd4/hdd4(opal) password is status",
                                                L"hdd5/hdd5(opal) password is status",
                                                L"revert hdd0(opal) device",
                                                L"revert hdd1(opal) device",
                                                L"revert hdd2(opal) device",
                                                L"revert hdd3(opal) device",
                                                L"revert hdd4(opal) device",
                                                L"revert hdd5(opal) device"};
  size_t index = 0;
  std::set<std::wstring_view> emptied;
  for (const auto& [name, info] : catalog.settings()) {
    const SettingExportRow& row = rows[index];
    if (row.name.empty()) {
      emptied.insert(name);
      EXPECT_TRUE(row.category.empty() && row.meaning.empty() && row.value.empty()) << index;
    } else {
      EXPECT_EQ(row.name, name) << index;
      EXPECT_EQ(row.category, CategoryText(info.category)) << index;
      EXPECT_EQ(row.meaning, info.meaning) << index;
    }
    ++index;
  }
  EXPECT_EQ(emptied, readOnly);
  EXPECT_TRUE(rows[21].name.empty());
  EXPECT_TRUE(rows[22].name.empty());
  EXPECT_EQ(index, 121u);
  for (size_t i = index; i < rows.size(); ++i) {
    ASSERT_TRUE(rows[i].category.empty() && rows[i].name.empty() && rows[i].meaning.empty() && rows[i].value.empty())
        << i;
  }

  // Values come from the setting's own bytes (byte i holds i % 256).
  EXPECT_EQ(rows[7].category, L"System Function");
  EXPECT_EQ(rows[7].value, L"12");                  // asf support at 12
  EXPECT_EQ(rows[23].value, L"48-49-4A-4B-4C-4D");  // customized mac address at 72
  EXPECT_EQ(rows[25].name, L"date");
  EXPECT_EQ(rows[25].value, L"238,238,238");
  EXPECT_EQ(rows[99].name, L"time");
  EXPECT_EQ(rows[99].value, L"238:238:238");
  EXPECT_EQ(rows[14].name, L"boot priority order");
  EXPECT_EQ(rows[14].value, L"56,57,58,59,60,61,62,63,64,65,66,67,68,69,70,71");
  EXPECT_EQ(rows[90].name, L"set supervisor password");
  EXPECT_EQ(rows[90].value, L"DoNotChange");
  EXPECT_EQ(rows[91].name, L"set user password");
  EXPECT_EQ(rows[91].value, L"DoNotChange");
  EXPECT_EQ(rows[78].name, L"set hdd0 password");
  EXPECT_EQ(rows[78].value, L"DoNotChange");
  EXPECT_EQ(rows[82].name, L"set hdd2 password");
  EXPECT_EQ(rows[82].value, L"DoNotChange");
}

TEST(CollectExportSettingsTest, EveryLayoutExportsExactlyTheSettableRows) {
  const std::vector<uint8_t> buffer = CountingBuffer();
  for (const uint32_t minor :
       {0u, 56u, 61u, 65u, 68u, 71u, 72u, 73u, 74u, 77u, 78u, 79u, 82u, 85u, 86u, 87u, 89u, 90u}) {
    SCOPED_TRACE(minor);
    const SettingCatalog catalog = Built(minor);
    std::vector<SettingExportRow> rows;
    CollectExportSettings(catalog, rows, buffer);
    size_t index = 0;
    for (const auto& [name, info] : catalog.settings()) {
      const bool settable = info.description.find(L"Set") != std::wstring::npos;
      EXPECT_EQ(rows[index].name, settable ? name : L"") << Narrow(name);
      ++index;
    }
  }
  // Read-only rows named in older layouts.
  const struct {
    uint32_t minor;
    std::wstring_view name;
  } kReadOnly[] = {{82, L"Revert HDD0(OPAL) Device"}, {73, L"revert hddx(opal) device"},
                   {72, L"flag for setting"},         {72, L"opal device 0 password status"},
                   {0, L"hdd password status"},       {0, L"supervisor password status"}};
  for (const auto& item : kReadOnly) {
    const SettingCatalog catalog = Built(item.minor);
    ASSERT_TRUE(catalog.HasSetting(item.name)) << Narrow(item.name);
    std::vector<SettingExportRow> rows;
    CollectExportSettings(catalog, rows, buffer);
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(), [&](const SettingExportRow& r) { return r.name == item.name; }))
        << Narrow(item.name);
  }
}

TEST(CollectExportSettingsTest, BaselineGptRecordReadsBackwards) {
  const SettingCatalog catalog = Built(55);
  std::vector<uint8_t> buffer(2048, 0);
  const uint8_t record[] = {1, 2, 3, 4, 5};
  std::copy(std::begin(record), std::end(record), buffer.begin() + 306);
  std::vector<SettingExportRow> rows;
  CollectExportSettings(catalog, rows, buffer);
  const auto it = std::find_if(rows.begin(), rows.end(),
                               [](const SettingExportRow& r) { return r.name == L"gpt partition record"; });
  ASSERT_NE(it, rows.end());
  EXPECT_EQ(it->value, L"2005,4,3,2,1");
  EXPECT_EQ(it->category, L"Post Behaviors");
  // The baseline layout's 14-byte hdd0 password is kept too.
  const auto hdd0 =
      std::find_if(rows.begin(), rows.end(), [](const SettingExportRow& r) { return r.name == L"set hdd0 password"; });
  ASSERT_NE(hdd0, rows.end());
  EXPECT_EQ(hdd0->value, L"DoNotChange");
}

TEST(CollectExportSettingsTest, StaleRowsAreCleared) {
  std::vector<SettingExportRow> rows(3000, SettingExportRow{L"c", L"n", L"m", L"v"});
  const std::vector<uint8_t> buffer(2048, 0);
  CollectExportSettings(Built(90), rows, buffer);
  ASSERT_EQ(rows.size(), kSettingExportRows);
  EXPECT_TRUE(rows[21].name.empty() && rows[21].value.empty());
  EXPECT_TRUE(rows[2047].name.empty() && rows[2047].category.empty());
}

TEST(CollectExportBootDevicesTest, NineteenDevicesThenOneEmptyRow) {
  const std::array<std::wstring_view, 19> codes = {L"1",  L"2",  L"3",  L"4",  L"5",  L"6",  L"7",  L"8",  L"9", L"10",
                                                   L"11", L"12", L"13", L"14", L"16", L"17", L"18", L"19", L"20"};
  for (const uint32_t minor : {0u, 72u, 90u}) {
    SCOPED_TRACE(minor);
    std::vector<BootDeviceExportRow> rows(25, BootDeviceExportRow{L"x", L"y", L"z"});
    CollectExportBootDevices(Built(minor), rows);
    ASSERT_EQ(rows.size(), kBootDeviceExportRows);
    for (size_t i = 0; i < codes.size(); ++i) {
      EXPECT_EQ(rows[i].category, L"Boot device table");
      EXPECT_EQ(rows[i].code, codes[i]);
    }
    EXPECT_EQ(rows[0].deviceName, L"1st HDD");
    EXPECT_EQ(rows[4].deviceName, L"(Reserved)");
    EXPECT_EQ(rows[13].deviceName, L"2nd HDD");
    EXPECT_EQ(rows[14].deviceName, L"USB Other Devices");
    EXPECT_EQ(rows[17].deviceName, L"Windows Boot Manager (UEFI boot)");
    EXPECT_EQ(rows[18].deviceName, L"Other Bootable Devices");
    EXPECT_TRUE(rows[19].category.empty() && rows[19].code.empty() && rows[19].deviceName.empty());
  }
}

}  // namespace
}  // namespace vort64
