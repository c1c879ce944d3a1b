#include <gtest/gtest.h>

#include "buffer/assign.h"
#include "buffer/buffer_test_util.h"

namespace vort64 {
namespace {

using testing_util::BlockTest;

constexpr char kSame[] = "Comparison result : The same. \n";
constexpr char kNotSame[] = "Comparison result : Not the same. \n\n";

class CompareTest : public BlockTest {
 protected:
  // 0 when the setting reads back the same, 1 when it differs.
  int Compare(std::wstring name, uint32_t offset, uint32_t end) {
    request_.itemName = std::move(name);
    Messages said;
    const Comparison result = CompareWrittenSetting(ctx().version, request_, block_, readBack_, offset, end, said);
    console_.Write(said);
    return result == Comparison::kSame ? 0 : 1;
  }
  std::vector<uint8_t> readBack_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
};

TEST_F(CompareTest, OtherSettingsCompareTheirWholeField) {
  const struct {
    uint32_t differingByte;
    int result;
    const char* out;
  } cases[] = {
      {2047, 0, kSame},    // outside the field
      {311, 0, kSame},     // just before it
      {312, 1, kNotSame},  // first byte
      {327, 1, kNotSame},  // last byte
      {328, 0, kSame},     // just after it
  };
  for (bool quiet : {false, true}) {
    if (quiet) console_.SetQuiet();
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.differingByte) + (quiet ? " quiet" : ""));
      readBack_ = block_;
      readBack_[c.differingByte] ^= 1;
      EXPECT_EQ(Compare(L"boot priority order", 312, 328), c.result);
      EXPECT_EQ(TakeOut(), quiet ? "" : c.out);
    }
  }
}

// The one byte the compare skips: a date or time byte sent as 238 in the
// clock bytes (391 to 396), which the firmware keeps as its clock. Anywhere
// else 238 is compared as any byte.
TEST_F(CompareTest, Only238InTheClockBytesIsNotCompared) {
  const struct {
    const wchar_t* name;
    uint32_t offset, end, byte;
    uint8_t written, readBack;
    int result;
  } cases[] = {
      {L"date", 391, 394, 391, 238, 10, 0},      // the day kept
      {L"date", 391, 394, 393, 238, 26, 0},      // the year kept
      {L"time", 394, 397, 396, 238, 9, 0},       // the hour kept
      {L"time", 394, 397, 396, 9, 10, 1},        // a value sent reads back otherwise
      {L"time", 680, 683, 680, 238, 207, 1},     // 238 outside the clock bytes
      {L"date", 388, 391, 390, 238, 1, 1},       // just before them
      {L"time", 397, 400, 397, 238, 1, 1},       // just after them
      {L"boot mode", 391, 392, 391, 238, 1, 1},  // a setting of another kind over them
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.byte) + " " + std::to_string(c.written));
    block_[c.byte] = c.written;
    readBack_ = block_;
    readBack_[c.byte] = c.readBack;
    EXPECT_EQ(Compare(c.name, c.offset, c.end), c.result);
    TakeOut();
  }
}

TEST_F(CompareTest, AccountPasswordsFrom273CompareTheNewLengthAtTwoPlaces) {
  const uint32_t at = 260;
  const struct {
    const wchar_t* name;
    std::vector<uint32_t> differing;  // relative to the offset
    int result;
    const char* out;
  } cases[] = {
      {L"set user password", {}, 0, ""},
      {L"set user password", {4}, 0, ""},           // past the first n bytes from offset+1
      {L"set user password", {1}, 0, kSame},        // offset+2 .. agree
      {L"set user password", {3}, 1, kNotSame},     // in both stretches
      {L"set user password", {1, 4}, 1, kNotSame},  // first byte of each stretch
      {L"set supervisor password", {}, 0, ""},
      {L"set supervisor password", {1}, 0, kSame},
      {L"set supervisor password", {2}, 1, kNotSame},
      {L"set supervisor password", {20}, 0, ""},  // the new-password place is not compared
  };
  SetNewPassword("abc");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + testing::PrintToString(c.differing));
    readBack_ = block_;
    for (uint32_t d : c.differing) readBack_[at + d] ^= 1;
    EXPECT_EQ(Compare(c.name, at, at + 34), c.result);
    EXPECT_EQ(TakeOut(), c.out);
  }
}

TEST_F(CompareTest, ShortAndDrivePasswordsCompareFromTheThirdByte) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
    uint32_t offset, size, differing;  // differing is relative to the offset
    int result;
  } cases[] = {
      {70, L"set user password", 217, 18, 1, 0},
      {70, L"set user password", 217, 18, 2, 1},
      {70, L"set user password", 217, 18, 5, 0},
      {90, L"set hdd0 password", 397, 34, 1, 0},
      {90, L"set hdd0 password", 397, 34, 4, 1},
      {54, L"set hdd1 password", 241, 14, 0, 0},
      {54, L"set hdd1 password", 241, 14, 3, 1},
      // Not among the names compared this way: the whole field counts.
      {70, L"set supervisor password", 199, 18, 1, 1},
      {90, L"set hdd2 password", 465, 34, 1, 1},
      {90, L"set hdd0(opal) password", 793, 66, 60, 1},
  };
  SetNewPassword("abc");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.minor) + " " +
                 std::to_string(c.differing));
    Accept(c.minor);
    readBack_ = block_;
    readBack_[c.offset + c.differing] ^= 1;
    EXPECT_EQ(Compare(c.name, c.offset, c.offset + c.size), c.result);
    EXPECT_EQ(TakeOut(), c.result ? kNotSame : kSame);
  }
}

TEST_F(CompareTest, EmptyNewPasswordAgreesAtOnce) {
  SetNewPassword("");
  readBack_[261] = 1;
  EXPECT_EQ(Compare(L"set user password", 260, 294), 0);
  EXPECT_EQ(TakeOut(), "");
}

TEST_F(CompareTest, ShortReadBackDoesNotAgree) {
  readBack_.resize(315);
  EXPECT_EQ(Compare(L"boot priority order", 312, 328), 1);
  EXPECT_EQ(TakeOut(), kNotSame);
  EXPECT_EQ(Compare(L"no such setting", 0, 0), 0);
  EXPECT_EQ(TakeOut(), kSame);
}

}  // namespace
}  // namespace vort64
