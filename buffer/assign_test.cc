#include "buffer/assign.h"

#include <gtest/gtest.h>

#include <sstream>

#include "buffer/buffer_test_util.h"

namespace vort64 {
namespace {

using testing_util::BlockTest;
using testing_util::Join;
using testing_util::Repeat;

class AssignTest : public BlockTest {
 protected:
  AssignTest() { request_.function = Function::kSet; }

  // 1 when the value was placed, 0 when nothing was.
  int Assign(std::wstring name, uint32_t offset, uint32_t end) {
    request_.itemName = std::move(name);
    return Place(offset, end) == Placement::kPlaced ? 1 : 0;
  }
  // Places the request's value, saying its lines on the test's console.
  Placement Place(uint32_t offset, uint32_t end) {
    Messages said;
    const Placement placement = AssignSettingValue(ctx().version, request_, block_, offset, end, said);
    console_.Write(said);
    return placement;
  }
  std::vector<uint8_t> Clock() const { return Bytes(kDateFirstByte, 6); }
  void Fill(uint8_t value) { std::fill(block_.begin(), block_.end(), value); }
};

// ---- values other than passwords ----

TEST_F(AssignTest, TimeIsWrittenSecondFirstAndLeavesTheDateAloneFrom255) {
  const struct {
    uint32_t minor;
    std::vector<uint8_t> date;
  } cases[] = {{90, {238, 238, 238}}, {55, {238, 238, 238}}, {54, {7, 7, 7}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    SetValue({30, 20, 10});  // second, minute, hour
    EXPECT_EQ(Assign(L"time", 394, 397), 1);
    EXPECT_EQ(Bytes(391, 3), c.date);
    EXPECT_EQ(Bytes(394, 4), (std::vector<uint8_t>{30, 20, 10, 7}));
  }
  EXPECT_EQ(TakeOut(), "");
}

TEST_F(AssignTest, DateIsWrittenDayFirstAndLeavesTheTimeAlone) {
  const struct {
    uint32_t minor;
    std::vector<uint8_t> time;
  } cases[] = {{90, {238, 238, 238}}, {55, {238, 238, 238}}, {54, {7, 7, 7}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    SetValue({5, 12, 24});
    EXPECT_EQ(Assign(L"date", 391, 394), 1);
    EXPECT_EQ(Bytes(390, 4), (std::vector<uint8_t>{7, 5, 12, 24}));
    EXPECT_EQ(Bytes(394, 3), c.time);
  }
}

TEST_F(AssignTest, OneByteOptionWritesOnlyItsFirstByteAndKeepsTheClock) {
  const struct {
    uint32_t minor;
    std::vector<uint8_t> clock;
  } cases[] = {{90, Repeat(238, 6)}, {55, Repeat(238, 6)}, {54, Repeat(7, 6)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    SetValue({1});
    EXPECT_EQ(Assign(L"boot mode", 300, 301), 1);
    EXPECT_EQ(Bytes(299, 3), (std::vector<uint8_t>{7, 1, 7}));
    EXPECT_EQ(Clock(), c.clock);
    // A two-byte setting changes only its first byte.
    SetValue({9});
    EXPECT_EQ(Assign(L"revert hddx(opal) device", 243, 245), 1);
    EXPECT_EQ(Bytes(243, 2), (std::vector<uint8_t>{9, 7}));
  }
}

TEST_F(AssignTest, TagsFillTheirFieldWithZerosAndLeaveTheClock) {
  Fill(7);
  SetText("ABC123");
  EXPECT_EQ(Assign(L"asset tag number", 1201, 1223), 1);
  EXPECT_EQ(Bytes(1201, 23), Join({{'A', 'B', 'C', '1', '2', '3'}, Repeat(0, 16), {7}}));
  EXPECT_EQ(Clock(), Repeat(7, 6));

  SetText(std::string(50, 'Q'));
  EXPECT_EQ(Assign(L"ownership tag number", 1223, 1273), 1);
  EXPECT_EQ(Bytes(1223, 51), Join({Repeat('Q', 50), {7}}));

  SetText("");  // an empty tag clears the field
  EXPECT_EQ(Assign(L"asset tag number", 1201, 1223), 1);
  EXPECT_EQ(Bytes(1201, 23), Join({Repeat(0, 22), {'Q'}}));  // the ownership tag follows
  EXPECT_EQ(Clock(), Repeat(7, 6));
}

TEST_F(AssignTest, ListsAreWrittenInOrderAndCutAtTheFieldEnd) {
  std::vector<uint8_t> order;
  for (uint8_t i = 0; i < 16; ++i) order.push_back(static_cast<uint8_t>(i + 1));
  const std::vector<uint8_t> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  const std::vector<uint8_t> record = {59, 23, 31, 12, 24};
  const struct {
    const wchar_t* name;
    std::vector<uint8_t> value;
    uint32_t offset, end;
    std::vector<uint8_t> bytes;  // from offset, one past end included
  } cases[] = {
      {L"boot priority order", order, 312, 328, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 7}},
      {L"boot priority order", order, 312, 316, {1, 2, 3, 4, 7}},  // a shorter field
      {L"customized mac address", mac, 72, 78, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 7}},
      {L"customized mac address", mac, 72, 75, {0x00, 0x1A, 0x2B, 7}},
      {L"gpt partition record", record, 306, 311, {59, 23, 31, 12, 24, 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.end));
    Fill(7);
    SetValue(c.value);
    EXPECT_EQ(Assign(c.name, c.offset, c.end), 1);
    EXPECT_EQ(Bytes(c.offset, static_cast<uint32_t>(c.bytes.size())), c.bytes);
    EXPECT_EQ(Clock(), Repeat(238, 6));
  }
}

TEST_F(AssignTest, FlagSettingPresetsTheUserBitForSetOnly) {
  // Placed at a byte after the flag byte, the preset and the value both show.
  SetValue({5});
  EXPECT_EQ(Assign(L"flag for setting password", 236, 237), 1);
  EXPECT_EQ(Bytes(235, 2), (std::vector<uint8_t>{2, 5}));

  block_[235] = 0;
  request_.function = Function::kSetDefault;
  EXPECT_EQ(Assign(L"flag for setting password", 236, 237), 1);
  EXPECT_EQ(Bytes(235, 2), (std::vector<uint8_t>{0, 5}));

  request_.function = Function::kSet;
  SetValue({1});
  EXPECT_EQ(Assign(L"flag for setting password", 235, 237), 1);
  EXPECT_EQ(Bytes(235, 2), (std::vector<uint8_t>{1, 5}));
}

TEST_F(AssignTest, SettingWithoutBytesTakesNothing) {
  Fill(7);
  SetValue({1});
  EXPECT_EQ(Assign(L"no such setting", 0, 0), 0);
  EXPECT_EQ(block_, Repeat(7, 2048));
  // A field beyond the block is not written either.
  EXPECT_EQ(Assign(L"boot mode", 2048, 2049), 0);
  EXPECT_EQ(block_, Repeat(7, 2048));
}

// ---- supervisor and user passwords ----

TEST_F(AssignTest, AccountPasswordLongFormFrom273) {
  const struct {
    const wchar_t* name;
    uint32_t minor, offset;
    uint8_t flag;  // byte 235 after, from 0x80
  } cases[] = {
      {L"set supervisor password", 90, 199, 0x81},
      {L"set user password", 90, 260, 0x82},
      {L"set user password", 73, 260, 0x82},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.minor));
    Accept(c.minor);
    Fill(7);
    block_[235] = 0x80;
    request_.formPassword = L"old1";
    SetNewPassword("new123");
    EXPECT_EQ(Assign(c.name, c.offset, c.offset + 34), 1);
    EXPECT_EQ(Bytes(c.offset, 35),
              Join({{4, 'o', 'l', 'd', '1'}, Repeat(0, 12), {6, 'n', 'e', 'w', '1', '2', '3'}, Repeat(0, 10), {7}}));
    EXPECT_EQ(block_[235], c.flag);
    EXPECT_EQ(Clock(), Repeat(238, 6));
  }
  EXPECT_EQ(TakeOut(), "");
  EXPECT_EQ(TakeErr(), "");
}

// A single blank as the old password says no password is set yet: each
// form and version sends it in its own way and says so, the combined drive
// form excepted, which sends it as typed.
TEST_F(AssignTest, SingleBlankOldPasswordByFormAndVersion) {
  const struct {
    const wchar_t* name;
    uint32_t minor, offset, end;
    std::vector<uint8_t> oldPart;  // the field's first bytes
    uint32_t newAt;                // where the new password's length byte lies in the field
    std::string said;              // standard output up to the flag byte's line
  } cases[] = {
      {L"set supervisor password", 75, 199, 233, {1, ' ', 0}, 17, "Current password is empty\n"},
      {L"set supervisor password", 78, 199, 233, {1, ' ', 0}, 17, "Current password is empty\n"},
      {L"set supervisor password", 79, 199, 233, {0, ' ', 0}, 17, "Current password is empty\n"},
      {L"set user password", 90, 260, 294, {0, ' ', 0}, 17, "Current password is empty\n"},
      {L"set hdd5 password",
       79,
       567,
       601,
       {1, ' ', 0},
       17,
       "PasswordLen : 2\nCurrentPasswordLen : 1\nCurrent password is empty\n\n"},
      {L"set hdd5 password",
       80,
       567,
       601,
       {0, ' ', 0},
       17,
       "PasswordLen : 2\nCurrentPasswordLen : 1\nCurrent password is empty\n\n"},
      {L"set hdd5 password",
       90,
       567,
       601,
       {0, ' ', 0},
       17,
       "PasswordLen : 2\nCurrentPasswordLen : 1\nCurrent password is empty\n\n"},
      {L"set hdd5(opal) password",
       90,
       1123,
       1189,
       {0, 0, 0},
       33,
       "PasswordLen : 2\nCurrentPasswordLen : 1\nCurrent password is empty\n"},
      {L"set hdd1/hdd1(opal) password", 75, 431, 465, {1, ' ', 0}, 17, ""},
  };
  for (const bool quiet : {false, true}) {
    if (quiet) console_.SetQuiet();  // every one of these lines is said while quiet too
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.minor));
      Accept(c.minor);
      Fill(7);
      request_.formPassword = L" ";
      SetNewPassword("pw");
      EXPECT_EQ(Assign(c.name, c.offset, c.end), 1);
      EXPECT_EQ(Bytes(c.offset, 3), c.oldPart);
      EXPECT_EQ(Bytes(c.offset + c.newAt, 3), (std::vector<uint8_t>{2, 'p', 'w'}));
      const std::string out = TakeOut();
      EXPECT_EQ(out.substr(0, out.find("Debug")), c.said);
    }
  }
}

// The OPAL dump follows the block's lines of ten: drive 5's field, 1123 to
// 1188, opens with 1123-1129 and closes with 1180-1188.
TEST_F(AssignTest, OpalDumpBreaksWhereTheBlockCountsTens) {
  Fill(7);
  request_.formPassword = L" ";
  SetNewPassword("x");
  EXPECT_EQ(Assign(L"set hdd5(opal) password", 1123, 1189), 1);
  EXPECT_EQ(block_[235], 7 | 128);
  const std::string out = TakeOut();
  EXPECT_NE(out.find("Debug AssignData: \n0,0,0,0,0,0,0,\n"), std::string::npos);
  EXPECT_NE(out.find("\n0,0,0,0,0,0,0,0,0,\nDebug End \n"), std::string::npos);
}

TEST_F(AssignTest, NoOldPasswordFormMeansLengthZero) {
  Fill(7);
  request_.formPassword.reset();
  SetNewPassword("");  // an empty new password clears the password
  EXPECT_EQ(Assign(L"set supervisor password", 199, 233), 1);
  EXPECT_EQ(Bytes(199, 34), Repeat(0, 34));
  EXPECT_EQ(TakeOut(), "");
}

TEST_F(AssignTest, AccountPasswordShortFormBefore273) {
  const struct {
    uint32_t minor, offset, end;
    uint8_t flag;  // byte 235 after, from 0x80
    std::vector<uint8_t> clock;
  } cases[] = {
      {72, 199, 217, 0x81, Repeat(238, 6)},
      {71, 199, 217, 0x80, Repeat(238, 6)},
      {56, 199, 217, 0x80, Repeat(238, 6)},
      {54, 199, 213, 0x80, Repeat(7, 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    block_[235] = 0x80;
    request_.formPassword = L"ignored";
    SetNewPassword("a b");  // a blank is not refused in the short form
    EXPECT_EQ(Assign(L"set supervisor password", c.offset, c.end), 1);
    EXPECT_EQ(Bytes(c.offset, c.end - c.offset + 1),
              Join({{3, 7, 'a', ' ', 'b'}, Repeat('0', c.end - c.offset - 5), {7}}));
    EXPECT_EQ(block_[235], c.flag);
    EXPECT_EQ(Clock(), c.clock);
  }
  EXPECT_EQ(TakeErr(), "");
}

TEST_F(AssignTest, ShortFormRefusesAPasswordLongerThanItsField) {
  Accept(54);
  Fill(7);
  SetNewPassword("abcdefghijklm");  // 13 characters for 12 places
  EXPECT_EQ(Assign(L"set supervisor password", 199, 213), 0);
  EXPECT_EQ(TakeErr(), "The length of password is too long.\n");
  EXPECT_EQ(block_, Repeat(7, 2048));
}

// ---- drive passwords ----

TEST_F(AssignTest, HddPasswordLongFormFrom279) {
  block_[235] = 1;
  request_.formPassword = L"old1";
  SetNewPassword("new123");
  EXPECT_EQ(Assign(L"set hdd2 password", 465, 499), 1);
  EXPECT_EQ(Bytes(465, 34),
            Join({{4, 'o', 'l', 'd', '1'}, Repeat(0, 12), {6, 'n', 'e', 'w', '1', '2', '3'}, Repeat(0, 10)}));
  EXPECT_EQ(block_[235], 1 | 16);
  EXPECT_EQ(Clock(), Repeat(238, 6));
  EXPECT_EQ(TakeOut(),
            "PasswordLen : 6\nCurrentPasswordLen : 4\nCurrent password is not empty\n\nDebug AssignData[235]: 17\n");
}

TEST_F(AssignTest, OpalPasswordOfDriveZeroReplacesTheFlagByte) {
  block_[235] = 0xFF;
  request_.formPassword.reset();
  SetNewPassword("abc");
  EXPECT_EQ(Assign(L"set hdd0(opal) password", 793, 859), 1);
  EXPECT_EQ(block_[235], 4);
  EXPECT_EQ(Bytes(793, 67), Join({Repeat(0, 33), {3, 'a', 'b', 'c'}, Repeat(0, 29), {0}}));
  EXPECT_EQ(Clock(), Repeat(238, 6));
  EXPECT_EQ(TakeOut(),
            "PasswordLen : 3\n"
            "CurrentPasswordLen : 0\n"
            "Current password is not empty\n"
            "Debug AssignData[235]: 4\n"
            "\n"
            "Debug AssignData: \n"
            "0,0,0,0,0,0,0,\n"
            "0,0,0,0,0,0,0,0,0,0,\n"
            "0,0,0,0,0,0,0,0,0,0,\n"
            "0,0,0,0,0,0,3,*,*,*,\n"  // the lengths as numbers, each character as "*"
            "0,0,0,0,0,0,0,0,0,0,\n"
            "0,0,0,0,0,0,0,0,0,0,\n"
            "0,0,0,0,0,0,0,0,0,\n"
            "Debug End \n");
}

TEST_F(AssignTest, OpalPasswordOfLaterDrivesAddsItsBit) {
  block_[235] = 1;
  request_.formPassword = L"oldpw";
  SetNewPassword(std::string(32, 'n'));  // the OPAL field takes 32 characters
  EXPECT_EQ(Assign(L"set hdd1(opal) password", 859, 925), 1);
  EXPECT_EQ(block_[235], 1 | 8);
  EXPECT_EQ(Bytes(859, 66), Join({{5, 'o', 'l', 'd', 'p', 'w'}, Repeat(0, 27), {32}, Repeat('n', 32)}));
  const std::string out = TakeOut();
  EXPECT_EQ(out.substr(0, out.find("Debug AssignData: ")),
            "PasswordLen : 32\nCurrentPasswordLen : 5\nCurrent password is not empty\nDebug AssignData[235]: 9\n\n");
  // The dump covers bytes 859 to 924: 859 alone, then lines of ten, then 920-924.
  EXPECT_NE(out.find("Debug AssignData: \n5,\n*,*,*,*,*,0,0,0,0,0,\n"), std::string::npos);
  EXPECT_NE(out.find("\n0,0,32,*,*,*,*,*,*,*,\n"), std::string::npos);  // 890-899: 892 the new length
  EXPECT_NE(out.find("\n*,*,*,*,*,\nDebug End \n"), std::string::npos);
}

TEST_F(AssignTest, DriveMessagesAreSaidWhileQuietToo) {
  const auto run = [&] {
    block_[235] = 0;
    request_.formPassword = L"a";
    SetNewPassword("b");
    EXPECT_EQ(Assign(L"set hdd0 password", 397, 431), 1);
    return TakeOut();
  };
  const std::string loud = run();
  console_.SetQuiet();
  EXPECT_EQ(run(), loud);
  EXPECT_EQ(loud,
            "PasswordLen : 1\nCurrentPasswordLen : 1\nCurrent password is not empty\n\nDebug AssignData[235]: 4\n");
}

TEST_F(AssignTest, CombinedDrivePasswordFrom273) {
  const struct {
    uint32_t minor;
    std::vector<uint8_t> clock;
  } cases[] = {{75, Repeat(238, 6)}, {73, Repeat(238, 6)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    block_[235] = 0xFF;
    request_.formPassword = L" ";  // its length is written as it is
    SetNewPassword("a b");         // a blank is not refused here
    request_.function = Function::kSetDefault;
    EXPECT_EQ(Assign(L"set hdd3/hdd3(opal) password", 499, 533), 1);
    EXPECT_EQ(Bytes(499, 35), Join({{1, ' '}, Repeat(0, 15), {3, 'a', ' ', 'b'}, Repeat(0, 13), {7}}));
    EXPECT_EQ(block_[235], 32);
    EXPECT_EQ(Clock(), c.clock);
  }
  EXPECT_EQ(TakeOut(), "");
  EXPECT_EQ(TakeErr(), "");
}

TEST_F(AssignTest, BaselineDrivePasswordsUseTheShortForm) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
    uint32_t offset;
    std::vector<uint8_t> clock;
  } cases[] = {{54, L"set hdd0 password", 227, Repeat(7, 6)}, {55, L"set hdd1 password", 241, Repeat(238, 6)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    SetNewPassword("PW");
    EXPECT_EQ(Assign(c.name, c.offset, c.offset + 14), 1);
    EXPECT_EQ(Bytes(c.offset, 15), Join({{2, 7, 'P', 'W'}, Repeat('0', 10), {7}}));
    EXPECT_EQ(Clock(), c.clock);
  }
  EXPECT_EQ(TakeOut(), "");
}

TEST_F(AssignTest, PasswordNamesWithoutARuleForTheVersionTakeTheByteValue) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
  } cases[] = {
      {78, L"set hdd2 password"},
      {78, L"set hdd0(opal) password"},
      {72, L"set hdd0/hdd0(opal) password"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minor);
    Accept(c.minor);
    Fill(7);
    SetNewPassword("pw");
    SetValue({0});
    EXPECT_EQ(Assign(c.name, 500, 534), 1);
    EXPECT_EQ(Bytes(500, 2), (std::vector<uint8_t>{0, 7}));
  }
}

TEST_F(AssignTest, DoNotChangeKeepsEveryPassword) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
    uint32_t offset, size;
  } cases[] = {
      {90, L"set supervisor password", 199, 34}, {90, L"set user password", 260, 34},
      {70, L"set supervisor password", 199, 18}, {90, L"set hdd0 password", 397, 34},
      {90, L"set hdd3(opal) password", 991, 66}, {75, L"set hdd1/hdd1(opal) password", 431, 34},
      {55, L"set hdd1 password", 241, 14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " " + std::to_string(c.minor));
    Accept(c.minor);
    Fill(7);
    request_.formPassword = L" ";
    SetNewPassword("DoNotChange");
    EXPECT_EQ(Assign(c.name, c.offset, c.offset + c.size), 0);
    EXPECT_EQ(block_, Repeat(7, 2048));
  }
  EXPECT_EQ(TakeOut(), "");
  EXPECT_EQ(TakeErr(), "");
  // Only the exact word keeps the password.
  SetNewPassword("donotchange");
  EXPECT_EQ(Assign(L"set user password", 260, 294), 1);
}

TEST_F(AssignTest, BlankInNewPasswordIsRefusedWhereTheFirmwareForbidsIt) {
  const struct {
    uint32_t minor;
    const wchar_t* name;
    uint32_t offset, size;
    std::string out;  // what is said before the refusal
  } cases[] = {
      {90, L"set supervisor password", 199, 34, ""},
      {90, L"set hdd1 password", 431, 34, "PasswordLen : 5\nCurrentPasswordLen : 2\nCurrent password is not empty\n"},
      {90, L"set hdd2(opal) password", 925, 66,
       "PasswordLen : 5\nCurrentPasswordLen : 2\nCurrent password is not empty\n"},
  };
  for (bool quiet : {false, true}) {
    if (quiet) console_.SetQuiet();
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + (quiet ? " quiet" : ""));
      Fill(7);
      request_.formPassword = L"pw";
      SetNewPassword("ab cd");
      EXPECT_EQ(Assign(c.name, c.offset, c.offset + c.size), 0);
      EXPECT_EQ(TakeErr(), "Invalid Character\n\n");
      EXPECT_EQ(TakeOut(), c.out);
      EXPECT_EQ(block_, Repeat(7, 2048));  // nothing placed
    }
  }
}

TEST_F(AssignTest, ControlCharacterInNewPasswordIsRefused) {
  SetNewPassword("ab\tc");
  EXPECT_EQ(Assign(L"set user password", 260, 294), 0);
  EXPECT_EQ(TakeErr(), "Invalid Character\n\n");
}

TEST_F(AssignTest, OldPasswordThatCannotBeSentIsRefused) {
  const struct {
    uint32_t minor;
    std::wstring old;
    std::string err;
  } cases[] = {
      {90, std::wstring(16, L'a'), ""},
      {90, std::wstring(17, L'a'), "The length of password is too long.\n"},
      {90, L"caf\u00e9", "Invalid Character\n\n"},
      {90, L"a\tb", "Invalid Character\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.old));
    Accept(c.minor);
    Fill(7);
    request_.formPassword = c.old;
    SetNewPassword("pw");
    const int placed = Assign(L"set hdd0/hdd0(opal) password", 397, 431);
    EXPECT_EQ(TakeErr(), c.err);
    if (c.err.empty()) {
      EXPECT_EQ(placed, 1);
      EXPECT_EQ(block_[397], c.old.size());
    } else {
      EXPECT_EQ(placed, 0);
      EXPECT_EQ(block_, Repeat(7, 2048));
    }
  }
}

TEST_F(AssignTest, KeptAndRefusedPasswordsAreToldApart) {
  request_.itemName = L"set user password";
  SetNewPassword("DoNotChange");
  EXPECT_EQ(Place(260, 294), Placement::kKept);
  SetNewPassword("has blank");
  EXPECT_EQ(Place(260, 294), Placement::kRefused);
  EXPECT_EQ(block_, Repeat(0, 2048));
}

}  // namespace
}  // namespace vort64
