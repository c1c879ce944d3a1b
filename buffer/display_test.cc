#include "buffer/display.h"

#include <gtest/gtest.h>

#include "buffer/buffer_test_util.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

using testing_util::BlockTest;
using testing_util::Join;
using testing_util::Repeat;

class DisplayTest : public BlockTest {
 protected:
  DisplayTest() {
    const struct {
      const wchar_t* name;
      uint32_t offset, size;
    } rows[] = {
        {L"boot mode", 300, 1},
        {L"revert hddx(opal) device", 243, 2},
        {L"customized mac address", 72, 6},
        {L"set supervisor password", 199, 34},
        {L"set hdd0 password", 397, 34},
        {L"set hdd1(opal) password", 859, 66},
        {L"set hdd2/hdd2(opal) password", 465, 34},
        {L"boot priority order", 312, 16},
        {L"gpt partition record", 306, 5},
        {L"date", 391, 3},
        {L"time", 394, 3},
        {L"asset tag number", 1201, 22},
        {L"ownership tag number", 1223, 50},
        {L"change supervisor password", 199, 34},
    };
    for (const auto& r : rows)
      catalog_.AddSetting(r.name, MakeSettingInfo(L"", L"", Category::kSystemFunction, r.size, r.offset));
    request_.function = Function::kGet;
  }

  // 1 when the firmware marks the setting as not supported, 0 otherwise.
  int Show(std::wstring name) {
    request_.itemName = std::move(name);
    console_.Write(ShowSettingValue(ctx().version, catalog_, request_, block_));
    const SettingInfo* setting = catalog_.FindSetting(request_.itemName);
    return setting && MarkedUnsupported(*setting, block_) ? 1 : 0;
  }
  void Put(uint32_t at, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), block_.begin() + at);
  }

  SettingCatalog catalog_;
};

TEST_F(DisplayTest, ValuesByKind) {
  const struct {
    const wchar_t* name;
    uint32_t at;
    std::vector<uint8_t> bytes;
    std::string out;
    int result;
  } cases[] = {
      {L"boot mode", 300, {1}, "Offset : 300\nSize : 1\nend : 301\nboot mode: 1\n", 0},
      {L"boot mode", 300, {255}, "Offset : 300\nSize : 1\nend : 301\nboot mode: 255\n", 1},
      {L"revert hddx(opal) device",
       243,
       {0, 255},
       "Offset : 243\nSize : 2\nend : 245\nrevert hddx(opal) device: 0, 255\n",
       1},
      {L"revert hddx(opal) device",
       243,
       {3, 254},
       "Offset : 243\nSize : 2\nend : 245\nrevert hddx(opal) device: 3, 254\n",
       0},
      {L"time", 394, {30, 20, 10}, "Offset : 394\nSize : 3\nend : 397\ntime: 10:20:30\n", 0},
      {L"time", 394, {5, 0, 255}, "Offset : 394\nSize : 3\nend : 397\ntime: 255:0:5\n", 0},
      {L"date", 391, {5, 12, 24}, "Offset : 391\nSize : 3\nend : 394\ndate: 12 / 5 / 24\n", 0},
      {L"date", 391, {255, 255, 255}, "Offset : 391\nSize : 3\nend : 394\ndate: 255 / 255 / 255\n", 0},
      {L"gpt partition record",
       306,
       {59, 23, 31, 12, 24},
       "Offset : 306\nSize : 5\nend : 311\ngpt partition record: Record = \"24\",\"12\",\"31\",\"23\",\"59\"\n",
       0},
      {L"boot priority order", 312, Join({{3, 1, 2}, Repeat(255, 13)}),
       "Offset : 312\nSize : 16\nend : 328\nboot priority order: 3, 1, 2, 255, 255, 255, 255, 255, 255, 255, 255, "
       "255, 255, 255, 255, 255\n",
       0},
      {L"customized mac address",
       72,
       {0, 26, 43, 60, 77, 94},
       "Offset : 72\nSize : 6\nend : 78\ncustomized mac address: 0-26-43-60-77-94\n",
       0},
      {L"customized mac address",
       72,
       {255, 255, 255, 255, 255, 0},
       "Offset : 72\nSize : 6\nend : 78\ncustomized mac address: 255-255-255-255-255-0\n",
       0},
      {L"customized mac address", 72, Repeat(255, 6),
       "Offset : 72\nSize : 6\nend : 78\ncustomized mac address: 255-255-255-255-255-255\n", 1},
      // A tag ends at its first NUL byte: no NUL reaches the output.
      {L"asset tag number", 1201, Text("ABC123"), "Offset : 1201\nSize : 22\nend : 1223\nasset tag number: ABC123\n",
       0},
      {L"asset tag number", 1201, {}, "Offset : 1201\nSize : 22\nend : 1223\nasset tag number: \n", 0},
      {L"ownership tag number", 1223, Repeat(255, 50),
       "Offset : 1223\nSize : 50\nend : 1273\nownership tag number: " + std::string(50, '\xff') + "\n", 0},
      // The combined drive names are shown like any other setting.
      {L"set hdd2/hdd2(opal) password", 465, Join({{2, 'a', 'b'}, Repeat(0, 30), {255}}),
       "Offset : 465\nSize : 34\nend : 499\nset hdd2/hdd2(opal) password: 2, 97, 98, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "
       "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255\n",
       1},
      // A name the catalog lacks: offset and size 0, nothing after the name.
      {L"no such setting", 0, {255}, "Offset : 0\nSize : 0\nend : 0\nno such setting: ", 0},
  };
  for (bool quiet : {false, true}) {
    if (quiet) console_.SetQuiet();
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + testing::PrintToString(c.bytes) +
                   (quiet ? " quiet" : ""));
      std::fill(block_.begin(), block_.end(), 0);
      Put(c.at, c.bytes);
      EXPECT_EQ(Show(c.name), c.result);
      EXPECT_EQ(TakeOut(), quiet ? "" : c.out);
    }
  }
  EXPECT_EQ(TakeErr(), "");
}

TEST_F(DisplayTest, PasswordsAreNeverShownAndTheFlagByteFollowsFrom272) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
    std::string out;
  } cases[] = {
      {90, L"set supervisor password",
       "Offset : 199\nSize : 34\nend : 233\nset supervisor password: \n"
       "Offset : 235\nSize : 2\nend : 237\nflag for setting : 5\n"},
      {90, L"set hdd0 password",
       "Offset : 397\nSize : 34\nend : 431\nset hdd0 password: \nOffset : 235\nSize : 2\nend : 237\nflag for setting : "
       "5\n"},
      {72, L"set hdd1(opal) password",
       "Offset : 859\nSize : 66\nend : 925\nset hdd1(opal) password: \n"
       "Offset : 235\nSize : 2\nend : 237\nflag for setting : 5\n"},
      {71, L"set supervisor password", "Offset : 199\nSize : 34\nend : 233\nset supervisor password: \n"},
      {70, L"set supervisor password", "Offset : 199\nSize : 34\nend : 233\nset supervisor password: \n"},
  };
  std::fill(block_.begin(), block_.end(), 255);  // a password field of 255 is not "not supported"
  block_[235] = 5;
  for (bool quiet : {false, true}) {
    if (quiet) console_.SetQuiet();
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.minor));
      Accept(c.minor);
      EXPECT_EQ(Show(c.name), 0);
      EXPECT_EQ(TakeOut(), quiet ? "" : c.out);
    }
  }
}

TEST_F(DisplayTest, FileAndDefaultOperationsShowNothing) {
  std::fill(block_.begin(), block_.end(), 255);
  for (const Function function :
       {Function::kExportCustomSettings, Function::kImportCustomSettings, Function::kExportRawSettings,
        Function::kImportRawSettings, Function::kLoadFactoryDefault, Function::kLoadUserDefault}) {
    SCOPED_TRACE(static_cast<int>(function));
    request_.function = function;
    Show(L"boot mode");
    EXPECT_EQ(TakeOut(), "");
  }
  for (const Function function : {Function::kGet, Function::kSet, Function::kGetDefault, Function::kSetDefault}) {
    request_.function = function;
    EXPECT_EQ(Show(L"boot mode"), 1);
    EXPECT_EQ(TakeOut(), "Offset : 300\nSize : 1\nend : 301\nboot mode: 255\n");
  }
}

TEST_F(DisplayTest, NameIsPrintedAsWideText) {
  catalog_.AddSetting(L"speaker & headphone \u00e9", MakeSettingInfo(L"", L"", Category::kSystemFunction, 1, 64));
  block_[64] = 1;
  EXPECT_EQ(Show(L"speaker & headphone \u00e9"), 0);
  EXPECT_EQ(TakeOut(), "Offset : 64\nSize : 1\nend : 65\nspeaker & headphone \xc3\xa9: 1\n");
}

TEST_F(DisplayTest, FieldPastTheBlockShowsWhatTheBlockHolds) {
  catalog_.AddSetting(L"edge", MakeSettingInfo(L"", L"", Category::kSystemFunction, 4, 2046));
  block_[2046] = 1;
  block_[2047] = 2;
  EXPECT_EQ(Show(L"edge"), 0);
  EXPECT_EQ(TakeOut(), "Offset : 2046\nSize : 4\nend : 2050\nedge: 1, 2\n");
}

TEST(ListSettingsTest, ShowsEverySettingOnOneLineInCatalogOrder) {
  SettingCatalog c;
  c.AddSetting(L"boot mode", MakeSettingInfo(L"", L"", Category::kSystemFunction, 1, 10));
  c.AddSetting(L"date", MakeSettingInfo(L"", L"", Category::kSystemFunction, 3, 391));
  c.AddSetting(L"set user password", MakeSettingInfo(L"", L"", Category::kSystemFunction, 34, 100));
  c.AddSetting(L"wigig", MakeSettingInfo(L"", L"", Category::kSystemFunction, 1, 11));
  c.AddSetting(L"asset tag number", MakeSettingInfo(L"", L"", Category::kSystemFunction, 4, 20));
  c.AddSetting(L"camera", MakeSettingInfo(L"Get/Set", kOnOff, Category::kDeviceControl, 1, 12));
  c.AddSetting(L"customized mac address", MakeSettingInfo(L"Get/Set", L"", Category::kDeviceControl, 6, 30));
  std::vector<uint8_t> block(2048, 0);
  block[10] = 1;
  block[11] = 255;
  block[12] = 1;
  const uint8_t mac[] = {0x00, 0x1B, 0x21, 0x3C, 0x4D, 0xAE};
  std::copy(std::begin(mac), std::end(mac), block.begin() + 30);
  block[391] = 9;  // day
  block[392] = 12;
  block[393] = 26;
  block[20] = 'A';
  block[21] = 0x07;  // not printable: shown as '.'
  block[23] = 'Z';   // after the tag's NUL byte: no part of it
  EXPECT_EQ(ListSettings(c, block),
            "asset tag number: A.\n"
            "boot mode: 1\n"
            "camera: 1 (Enabled)\n"
            "customized mac address: 00-1B-21-3C-4D-AE\n"
            "date: 12 / 9 / 26\n"
            "set user password: (password, not shown)\n"
            "wigig: 255 (not supported)\n");
}

}  // namespace
}  // namespace vort64
