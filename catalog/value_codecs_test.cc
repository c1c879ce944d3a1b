#include "catalog/value_codecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"

namespace vort64 {
namespace {

SettingInfo Row(SettingKind kind, uint32_t size, std::wstring_view meaning = L"") {
  SettingInfo info = MakeSettingInfo(L"Get/Set", meaning, Category::kSystemFunction, size, 0);
  info.kind = kind;
  if (kind == SettingKind::kByte) info.listed = ParseListedValues(meaning);
  return info;
}

std::vector<uint8_t> Bytes(const SettingValueBytes& value) { return {value.span().begin(), value.span().end()}; }

// Every kind: a typed value reads as the bytes the block keeps, shows as
// /get shows it, exports in a form that reads back as the same bytes.
TEST(ValueCodecTest, EachKindReadsShowsAndExportsItsValue) {
  const InterfaceVersion version{2, 90};
  const struct {
    SettingKind kind;
    const wchar_t* name;
    uint32_t size;
    const wchar_t* typed;
    std::vector<uint8_t> bytes;
    std::string shown;
    std::string readable;
    const wchar_t* exported;
  } cases[] = {
      {SettingKind::kByte, L"camera", 1, L"1", {1}, "1\n", "1 (Enabled)", L"1"},
      {SettingKind::kByte, L"camera", 1, L"disabled", {0}, "0\n", "0 (Disabled)", L"0"},
      {SettingKind::kTime, L"time", 3, L"10:20:30", {30, 20, 10}, "10:20:30\n", "10:20:30", L"10:20:30"},
      {SettingKind::kDate, L"date", 3, L"2024/7/4", {4, 7, 24}, "7 / 4 / 24\n", "7 / 4 / 24", L"2024,7,4"},
      {SettingKind::kDate,
       L"date",
       3,
       L"238,238,238",
       {238, 238, 238},
       "238 / 238 / 238\n",
       "238 / 238 / 238",
       L"238,238,238"},
      {SettingKind::kDate, L"date", 3, L"0/0/0", {0, 0, 0}, "0 / 0 / 0\n", "0 / 0 / 0", L"0,0,0"},
      {SettingKind::kGptRecord,
       L"gpt partition record",
       5,
       L"2024,5,17,13,45",
       {45, 13, 17, 5, 24},
       "Record = \"24\",\"5\",\"17\",\"13\",\"45\"\n",
       "Record = \"24\",\"5\",\"17\",\"13\",\"45\"",
       L"2024,5,17,13,45"},
      {SettingKind::kGptRecord,
       L"gpt partition record",
       5,
       L"0",
       {0, 0, 0, 0, 0},
       "Record = \"0\",\"0\",\"0\",\"0\",\"0\"\n",
       "Record = \"0\",\"0\",\"0\",\"0\",\"0\"",
       L"0"},
      {SettingKind::kBootOrder,
       L"boot priority order",
       16,
       L"3,1",
       {3, 1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255},
       "3, 1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255\n",
       "3, 1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255",
       L"3,1,255,255,255,255,255,255,255,255,255,255,255,255,255,255"},
      {SettingKind::kMacAddress,
       L"customized mac address",
       6,
       L"00-1A-2B-3C-4D-5E",
       {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
       "0-26-43-60-77-94\n",
       "00-1A-2B-3C-4D-5E",
       L"00-1A-2B-3C-4D-5E"},
      {SettingKind::kAssetTag, L"asset tag number", 22, L"Tag7", {'T', 'a', 'g', '7'}, "Tag7\n", "Tag7", L"Tag7"},
      {SettingKind::kOwnershipTag, L"ownership tag number", 50, L"", {}, "\n", "", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.name) + "=" + WideToUtf8(c.typed));
    const SettingInfo row = Row(c.kind, c.size, L"0 : Disabled, 1 : Enabled");
    const ValueCodec& codec = CodecOf(c.kind);
    const ValueReading read = codec.read(version, row, c.name, c.typed);
    ASSERT_TRUE(read.read);
    EXPECT_EQ(Bytes(read.value), c.bytes);

    // The bytes as the block holds them: the value, the rest of the field
    // as placing leaves it (zeros here).
    std::vector<uint8_t> field(c.size, 0);
    std::copy(c.bytes.begin(), c.bytes.end(), field.begin());
    const SettingValue shown = codec.show(row, field);
    EXPECT_EQ(shown.text, c.shown);
    std::string oneLine = shown.text;
    if (!oneLine.empty() && oneLine.back() == '\n') oneLine.pop_back();
    EXPECT_EQ(codec.readable(row, field, oneLine), c.readable);
    EXPECT_EQ(codec.exportText(field), c.exported);

    const ValueReading again = codec.read(version, row, c.name, codec.exportText(field));
    ASSERT_TRUE(again.read);
    EXPECT_EQ(Bytes(again.value), c.bytes);
  }
}

// What a codec says when it refuses, and the marks it tells apart.
TEST(ValueCodecTest, RefusalsSayWhyAndTheNotSupportedMarkIsTold) {
  const InterfaceVersion version{2, 90};
  const SettingInfo camera = Row(SettingKind::kByte, 1, L"0 : Disabled, 1 : Enabled");
  const ValueReading mark = CodecOf(SettingKind::kByte).read(version, camera, L"camera", L"255");
  EXPECT_FALSE(mark.read);
  EXPECT_TRUE(mark.notSupportedMark);
  const ValueReading typo = CodecOf(SettingKind::kByte).read(version, camera, L"camera", L"enabeld");
  EXPECT_FALSE(typo.read);
  EXPECT_FALSE(typo.notSupportedMark);
  ASSERT_EQ(typo.lines.size(), 2u);
  EXPECT_EQ(typo.lines[0].text,
            "Invalid value \"enabeld\" of camera: the firmware lists 0 (Disabled), 1 (Enabled).\n\n");
  EXPECT_EQ(typo.lines[1].stream, Message::Stream::kUsage);
  const ValueReading unlisted = CodecOf(SettingKind::kByte).read(version, camera, L"camera", L"7");
  EXPECT_TRUE(unlisted.read && unlisted.unlisted);

  // A password never shows in what the reading says.
  const SettingInfo supervisor = Row(SettingKind::kPassword, 34);
  const ValueReading password =
      CodecOf(SettingKind::kPassword).read(version, supervisor, L"set supervisor password", L"Secret1");
  ASSERT_TRUE(password.read);
  for (const Message& line : password.lines) EXPECT_EQ(line.text.find("Secret1"), std::string::npos);
}

}  // namespace
}  // namespace vort64
