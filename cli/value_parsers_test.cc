#include "cli/value_parsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "base/text_rules.h"
#include "catalog/value_codecs.h"
#include "cli/test_support.h"

namespace vort64 {
namespace {

using cli_test::Harness;
using cli_test::kUsage;

// What a failing parser writes to standard output: the usage, unless quiet.
std::string UsageUnlessQuiet(bool quiet) { return quiet ? "" : kUsage; }

// Reads `text` as the value of the setting `name` of kind `kind` with the
// kind's codec, says its lines on the run's console and keeps the value, as
// the command line's reader does.
bool Read(const RunContext& ctx, SettingKind kind, std::wstring_view name, std::wstring_view text,
          ParsedRequest& request) {
  SettingInfo setting;
  setting.kind = kind;
  const ValueReading reading = CodecOf(kind).read(ctx.version, setting, name, text);
  SayReadingLines(ctx.console, reading.lines);
  if (reading.read) {
    request.value = reading.value;
    request.newPasswordSlot = reading.passwordSlot;
  }
  return reading.read;
}

// The first N bytes of the value kept.
template <size_t N>
std::array<uint8_t, N> ValueBytes(const ParsedRequest& request) {
  std::array<uint8_t, N> bytes{};
  std::copy_n(request.value.bytes.begin(), N, bytes.begin());
  return bytes;
}

std::string ValueText(const ParsedRequest& request) {
  return std::string(request.value.span().begin(), request.value.span().end());
}

// ---- current password ------------------------------------------------------

struct CurrentPasswordCase {
  const char* label;
  uint32_t minor;
  std::wstring switchText;
  std::wstring password;
  bool ok;
  std::string err;  // when not quiet; quiet withholds every message
  bool usage;
  std::string stored;  // expected content of currentPassword
};

TEST(ParseCurrentPasswordTest, ChecksAndStoresByVersion) {
  const CurrentPasswordCase cases[] = {
      {"16 characters on 2.56 fill the field", 56, L"/password", L"abcdefghijklmnop", true, "", false,
       "abcdefghijklmnop"},
      {"17 characters on 2.56", 56, L"/password", L"abcdefghijklmnopq", false, "The length of password is too long.\n",
       true, ""},
      {"12 characters on 2.55", 55, L"/password", L"abcdefghijkl", true, "", false, "abcdefghijkl"},
      {"13 characters on 2.55", 55, L"/password", L"abcdefghijklm", false, "The length of password is too long.\n",
       true, ""},
      {"lower case kept upper below 2.55", 54, L"/password", L"secret1", true, "", false, "SECRET1"},
      {"lower case kept as typed on 2.55", 55, L"/password", L"secret1", true, "", false, "secret1"},
      {"lower case kept as typed on 2.56", 56, L"/password", L"secret1", true, "", false, "secret1"},
      {"switch in any case", 90, L"/PassWord", L"pw", true, "", false, "pw"},
      {"wrong switch", 90, L"/pass", L"pw", false, "Invalid argument\n\n", true, ""},
      {"switch needs its slash", 90, L"-password", L"pw", false, "Invalid argument\n\n", true, ""},
      {"empty password", 90, L"/password", L"", true, "", false, ""},
      {"blank and tilde are printable", 90, L"/password", L" a~", true, "", false, " a~"},
      {"tab", 90, L"/password", L"a\tb", false, "Password has invalid characters.\n\n", true, ""},
      {"non-ASCII", 90, L"/password", L"p\u00e4ss", false, "Password has invalid characters.\n\n", true, ""},
      {"length is checked before characters", 90, L"/password", L"\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t", false,
       "The length of password is too long.\n", true, ""},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.label) + (quiet ? " (quiet)" : ""));
      Harness run(c.minor, quiet);
      ParsedRequest request;
      EXPECT_EQ(ParseCurrentPassword(run.ctx, c.switchText, c.password, request), c.ok);
      EXPECT_EQ(run.err.str(), quiet ? "" : c.err);
      EXPECT_EQ(run.out.str(), c.usage ? UsageUnlessQuiet(quiet) : "");
      EXPECT_EQ(std::string(FixedText(request.currentPassword)), c.stored);
    }
  }
}

// ---- new password ----------------------------------------------------------

struct NewPasswordCase {
  const char* label;
  uint32_t minor;
  std::wstring item;
  std::wstring value;
  bool ok;
  std::string out;                      // when not quiet
  std::string err;                      // when not quiet
  std::optional<PasswordSlot> written;  // the slot written to, nothing for none
  std::string stored;
};

TEST(ParsePasswordTest, RoutesByVersionAndItem) {
  const std::string tooLong = "The length of password is too long.\n";
  const std::string invalid = "Password has invalid characters.\n\n";
  const NewPasswordCase cases[] = {
      {"supervisor below 2.55 is upper-cased", 54, L"set supervisor password", L"new1", true,
       "g_new_supervisor_password : ********\n", "", PasswordSlot::kSupervisor, "NEW1"},
      {"user on 2.55", 55, L"set user password", L"new1", true, "g_new_user_password : ********\n", "",
       PasswordSlot::kUser, "new1"},
      {"hdd0 below 2.56", 50, L"set hdd0 password", L"disk", true, "g_new_hdd0_password : ********\n", "",
       PasswordSlot::kHdd0, "DISK"},
      {"hdd1 below 2.56", 55, L"set hdd1 password", L"disk", true, "g_new_hdd1_password : ********\n", "",
       PasswordSlot::kHdd1, "disk"},
      {"hdd2 below 2.79 has no reference", 55, L"set hdd2 password", L"disk", false, kUsage, "", std::nullopt, ""},
      {"combined hdd name on 2.74", 74, L"set hdd3/hdd3(opal) password", L"disk", true,
       "g_new_hdd_password : ********\n", "", PasswordSlot::kHdd, "disk"},
      {"combined hdd name on 2.55 is unbound", 55, L"set hdd0/hdd0(opal) password", L"disk", false, kUsage, "",
       std::nullopt, ""},
      {"hdd0 on 2.74 is unbound", 74, L"set hdd0 password", L"disk", false, kUsage, "", std::nullopt, ""},
      {"hdd5 from 2.79", 79, L"set hdd5 password", L"disk", true, "g_new_hdd_password : ********\n", "",
       PasswordSlot::kHdd, "disk"},
      {"opal from 2.79", 90, L"set hdd2(opal) password", L"opal", true, "g_new_opal_password : ********\n", "",
       PasswordSlot::kOpal, "opal"},
      {"combined hdd name from 2.79 is not routed", 79, L"set hdd0/hdd0(opal) password", L"x", false, kUsage, "",
       std::nullopt, ""},
      {"not a password item", 90, L"boot mode", L"x", false, kUsage, "", std::nullopt, ""},
      {"16 characters on 2.56", 56, L"set user password", L"abcdefghijklmnop", true, "g_new_user_password : ********\n",
       "", PasswordSlot::kUser, "abcdefghijklmnop"},
      {"17 characters on 2.56", 56, L"set user password", L"abcdefghijklmnopq", false, kUsage, tooLong, std::nullopt,
       ""},
      {"13 characters on 2.55", 55, L"set user password", L"abcdefghijklm", false, kUsage, tooLong, std::nullopt, ""},
      {"32 characters for opal", 79, L"set hdd0(opal) password", L"abcdefghijklmnopqrstuvwxyz012345", true,
       "g_new_opal_password : ********\n", "", PasswordSlot::kOpal, "abcdefghijklmnopqrstuvwxyz012345"},
      {"33 characters for opal", 79, L"set hdd0(opal) password", L"abcdefghijklmnopqrstuvwxyz0123456", false, kUsage,
       tooLong, std::nullopt, ""},
      {"17 characters for plain hdd from 2.79", 79, L"set hdd0 password", L"abcdefghijklmnopq", false, kUsage, tooLong,
       std::nullopt, ""},
      {"user password with a tab", 90, L"set user password", L"ab\tc", false, kUsage, invalid, std::nullopt, ""},
      {"empty clears", 90, L"set user password", L"", true, "g_new_user_password : \n", "", PasswordSlot::kUser, ""},
      {"the keep word below 2.55 is not upper-cased", 54, L"set supervisor password", L"DoNotChange", true,
       "g_new_supervisor_password : DoNotChange\n", "", PasswordSlot::kSupervisor, "DoNotChange"},
      {"other spellings of it are", 54, L"set hdd0 password", L"donotchange", true, "g_new_hdd0_password : ********\n",
       "", PasswordSlot::kHdd0, "DONOTCHANGE"},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.label) + (quiet ? " (quiet)" : ""));
      Harness run(c.minor, quiet);
      ParsedRequest request;
      request.value.bytes.fill('#');  // left over from nowhere: must be overwritten
      request.value.size = 40;
      EXPECT_EQ(Read(run.ctx, SettingKind::kPassword, c.item, c.value, request), c.ok);
      // The last line of a refusal shows whatever the quiet mode.
      EXPECT_EQ(run.out.str(), (quiet ? "" : c.out) + (c.ok ? "" : "ParsePassword failed\n"));
      EXPECT_EQ(run.err.str(), quiet ? "" : c.err);
      EXPECT_EQ(request.newPasswordSlot, c.written);
      if (c.ok) {
        EXPECT_EQ(ValueText(request), c.stored);
        EXPECT_EQ(request.NewPasswordText(), c.stored);
      }
    }
  }
}

TEST(ParsePasswordTest, BelowVersion55TheArgumentItselfIsNotChanged) {
  Harness run(54);
  ParsedRequest request;
  const std::wstring value = L"abc";
  ASSERT_TRUE(Read(run.ctx, SettingKind::kPassword, L"set user password", value, request));
  EXPECT_EQ(value, L"abc");
  EXPECT_EQ(request.NewPasswordText(), "ABC");
}

// ---- time ------------------------------------------------------------------

TEST(ParseTimeTest, HourMinuteSecond) {
  struct Case {
    std::wstring text;
    bool ok;
    std::array<uint8_t, 3> time;  // hour, minute, second
  };
  const Case cases[] = {
      {L"23:59:59", true, {23, 59, 59}},
      {L"0:0:0", true, {0, 0, 0}},
      {L"24:00:00", false, {}},
      {L"23:60:00", false, {}},
      {L"23:00:60", false, {}},
      {L"238,238,238", true, {238, 238, 238}},
      // The first attempt cuts the text at the first ":"; the retry with ","
      // then sees the hour alone.
      {L"10:20,30", false, {}},
      {L"10:20", false, {}},
      {L"-1:0:0", false, {}},
      {L"::10::20::30::", true, {10, 20, 30}},
      {L"1:2:3:4", true, {1, 2, 3}},
      // Each number is a plain decimal number, blanks around it allowed.
      {L" 1 : 2 :\t3 ", true, {1, 2, 3}},
      {L"a:b:c", false, {}},
      {L"+1:0:0", false, {}},
      {L"1x:0:0", false, {}},
      {L"1:0:0.5", false, {}},
      {L"4294967534:0:0", false, {}},  // 238 in its low 32 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    Harness run(90);
    ParsedRequest request;
    EXPECT_EQ(Read(run.ctx, SettingKind::kTime, L"time", c.text, request), c.ok);
    if (c.ok) {
      // Kept as the block keeps it: second, minute, hour.
      EXPECT_EQ(ValueBytes<3>(request), (std::array<uint8_t, 3>{c.time[2], c.time[1], c.time[0]}));
      EXPECT_EQ(run.out.str(), "hour == " + std::to_string(c.time[0]) + "\nminute == " + std::to_string(c.time[1]) +
                                   "\nsecond == " + std::to_string(c.time[2]) + "\n");
    } else {
      EXPECT_EQ(run.err.str(), "Invalid value of time\n");
    }
  }
}

// ---- date ------------------------------------------------------------------

struct DateCase {
  std::wstring text;
  bool ok;
  std::string out;  // when not quiet
  std::string err;  // when not quiet
  bool usage;
  std::array<uint8_t, 3> date;  // day, month, year byte
};

std::string DateLines(int month, int day, int year) {
  return "month == " + std::to_string(month) + "\nday == " + std::to_string(day) + "\nyear == " + std::to_string(year) +
         "\n";
}

TEST(ParseDateTest, YearMonthDay) {
  const std::string bad = "Invalid value of date\n";
  const DateCase cases[] = {
      {L"2024/2/29", true, DateLines(2, 29, 24), "", false, {29, 2, 24}},
      {L"2024/2/30", false, DateLines(2, 30, 24), bad, false, {}},
      {L"2023/2/29", false, DateLines(2, 29, 23), bad, false, {}},
      {L"2023/2/28", true, DateLines(2, 28, 23), "", false, {28, 2, 23}},
      {L"2000/2/29", true, DateLines(2, 29, 0), "", false, {29, 2, 0}},
      {L"2000/2/30", false, DateLines(2, 30, 0), bad, false, {}},
      {L"2000/2/28", true, DateLines(2, 28, 0), "", false, {28, 2, 0}},
      {L"2099/12/31", true, DateLines(12, 31, 99), "", false, {31, 12, 99}},
      {L"2100/1/1", false, "", bad, true, {}},
      {L"2255/1/1", false, "", bad, true, {}},
      {L"2256/1/1", false, "", bad, true, {}},
      {L"238/1/1", true, DateLines(1, 1, 238), "", false, {1, 1, 238}},
      {L"238,238,238", true, DateLines(238, 238, 238), "", false, {238, 238, 238}},
      {L"239/1/1", false, "", bad, true, {}},
      {L"0/0/0", true, DateLines(0, 0, 0), "", false, {0, 0, 0}},
      {L"1999/0/0", false, "", bad, true, {}},
      {L"0/0/1", false, "", bad, true, {}},
      {L"0/0", false, "", bad, true, {}},
      {L"2024/4/31", false, DateLines(4, 31, 24), bad, false, {}},
      {L"2024/4/30", true, DateLines(4, 30, 24), "", false, {30, 4, 24}},
      {L"2024/238/238", true, DateLines(238, 238, 24), "", false, {238, 238, 24}},
      {L"2024/1/238", true, DateLines(1, 238, 24), "", false, {238, 1, 24}},
      {L"2024/2/238", false, DateLines(2, 238, 24), bad, false, {}},
      {L"2024/4/238", false, DateLines(4, 238, 24), bad, false, {}},
      {L"2024/13/1", false, "", bad, true, {}},
      {L"2024/0/1", false, "", bad, true, {}},
      {L"2024/1/0", false, "", bad, true, {}},
      {L"2024/1/32", false, "", bad, true, {}},
      {L"2024,7,4", true, DateLines(7, 4, 24), "", false, {4, 7, 24}},
      {L"2024/7", false, "", bad, true, {}},
      {L"-1/1/1", false, "", bad, true, {}},
      {L" 2024 / 7 / 4 ", true, DateLines(7, 4, 24), "", false, {4, 7, 24}},
      {L"+2024/7/4", false, "", bad, true, {}},
      {L"2024/7/4x", false, "", bad, true, {}},
      {L"2024/0x7/4", false, "", bad, true, {}},
      {L"0/0/-0", false, "", bad, true, {}},
      // The first attempt cuts the text at the first "/"; the retry with ","
      // then sees the year alone.
      {L"2024/7,4", false, "", bad, true, {}},
      {L"", false, "", bad, true, {}},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + (quiet ? " (quiet)" : ""));
      Harness run(90, quiet);
      ParsedRequest request;
      EXPECT_EQ(Read(run.ctx, SettingKind::kDate, L"date", c.text, request), c.ok);
      EXPECT_EQ(run.out.str(), quiet ? "" : c.out + (c.usage ? kUsage : ""));
      EXPECT_EQ(run.err.str(), quiet ? "" : c.err);
      if (c.ok) {
        EXPECT_EQ(ValueBytes<3>(request), c.date);
      }
    }
  }
}

TEST(DayFitsMonthTest, MonthLengths) {
  EXPECT_TRUE(DayFitsMonth(31, 1, 24));
  EXPECT_TRUE(DayFitsMonth(31, 12, 24));
  EXPECT_FALSE(DayFitsMonth(32, 12, 24));
  EXPECT_TRUE(DayFitsMonth(30, 6, 24));
  EXPECT_FALSE(DayFitsMonth(31, 6, 24));
  EXPECT_FALSE(DayFitsMonth(31, 0, 24));
  EXPECT_TRUE(DayFitsMonth(29, 2, 96));
  EXPECT_FALSE(DayFitsMonth(30, 2, 96));
  EXPECT_FALSE(DayFitsMonth(29, 2, 97));
  EXPECT_TRUE(DayFitsMonth(29, 2, 0));     // 2000
  EXPECT_FALSE(DayFitsMonth(29, 2, 100));  // 2100
  EXPECT_FALSE(DayFitsMonth(29, 2, 200));  // 2200
  EXPECT_TRUE(DayFitsMonth(238, 238, 24));
  EXPECT_FALSE(DayFitsMonth(238, 11, 24));
}

// ---- GPT partition record ----------------------------------------------------

std::string GptLines(int minute, int hour, int month, int day, int year) {
  return "minute == " + std::to_string(minute) + "\nhour == " + std::to_string(hour) +
         "\nmonth == " + std::to_string(month) + "\nday == " + std::to_string(day) +
         "\nyear == " + std::to_string(year) + "\n";
}

TEST(ParseGptRecordTest, YearMonthDayHourMinute) {
  struct Case {
    std::wstring text;
    bool ok;
    std::string out;
    bool failMessage;
    std::array<uint8_t, 5> record;  // minute, hour, day, month, year
  };
  const Case cases[] = {
      {L"2024,5,17,13,45", true, GptLines(45, 13, 5, 17, 24), false, {45, 13, 17, 5, 24}},
      {L"2255,1,1,0,0", true, GptLines(0, 0, 1, 1, 255), false, {0, 0, 1, 1, 255}},
      {L"2256,1,1,0,0", false, "", true, {}},
      {L"1999,1,1,0,0", true, GptLines(0, 0, 1, 1, 207), false, {0, 0, 1, 1, 207}},
      {L"1899,1,1,0,0", true, GptLines(0, 0, 1, 1, 0), false, {0, 0, 1, 1, 0}},
      {L"0,1,0,0,0", true, GptLines(0, 0, 1, 0, 0), false, {0, 0, 0, 1, 0}},
      {L"2024,1,1,24,60", true, GptLines(60, 24, 1, 1, 24), false, {60, 24, 1, 1, 24}},
      {L"2024,1,1,25,0", false, "", true, {}},
      {L"2024,1,1,0,61", false, "", true, {}},
      {L"2024,0,1,0,0", false, "", true, {}},
      {L"2024,13,1,0,0", false, "", true, {}},
      {L"2024,1,32,0,0", false, "", true, {}},
      {L"2024,1,1,0", false, "", true, {}},
      {L"", false, "", true, {}},
      {L"-5,1,1,0,0", false, "", true, {}},
      {L" 2024 , 5 , 17 , 13 , 45 ", true, GptLines(45, 13, 5, 17, 24), false, {45, 13, 17, 5, 24}},
      {L"2024,5,17,13,45min", false, "", true, {}},
      {L"1999a,1,1,0,0", false, "", true, {}},
      {L"2023,2,29,0,0", false, GptLines(0, 0, 2, 29, 23), true, {}},
      {L"2024,2,29,0,0", true, GptLines(0, 0, 2, 29, 24), false, {0, 0, 29, 2, 24}},
      {L"2000,2,29,0,0", true, GptLines(0, 0, 2, 29, 0), false, {0, 0, 29, 2, 0}},
      {L"2100,2,29,0,0", false, GptLines(0, 0, 2, 29, 100), true, {}},
      {L"2024,4,31,0,0", false, GptLines(0, 0, 4, 31, 24), true, {}},
      // "0 : No Record": the form an export writes for a record of zeros.
      {L"0", true, "", false, {0, 0, 0, 0, 0}},
      {L"0,0,0,0,0", false, "", true, {}},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + (quiet ? " (quiet)" : ""));
      Harness run(90, quiet);
      ParsedRequest request;
      EXPECT_EQ(Read(run.ctx, SettingKind::kGptRecord, L"gpt partition record", c.text, request), c.ok);
      EXPECT_EQ(run.out.str(), quiet ? "" : c.out);
      EXPECT_EQ(run.err.str(), quiet || !c.failMessage ? "" : "Invalid value of date\n");
      if (c.ok) {
        EXPECT_EQ(ValueBytes<5>(request), c.record);
      }
    }
  }
}

// ---- boot priority order -------------------------------------------------------

TEST(ParseBootOrderTest, CodesUntil255) {
  struct Case {
    std::wstring text;
    bool ok;
    std::string out;
    std::vector<uint8_t> stored;  // the rest must be 255
  };
  std::wstring sixteen;
  std::string sixteenLines;
  std::vector<uint8_t> sixteenStored;
  const char* ordinals[] = {"1st", "2nd",  "3rd",  "4th",  "5th",  "6th",  "7th",  "8th",
                            "9th", "10th", "11th", "12th", "13th", "14th", "15th", "16th"};
  for (int i = 0; i < 16; ++i) {
    sixteen += std::to_wstring(i + 10) + L",";
    sixteenLines += std::string(ordinals[i]) + " == " + std::to_string(i + 10) + "\n";
    sixteenStored.push_back(static_cast<uint8_t>(i + 10));
  }
  const Case cases[] = {
      {L"3,1,2", true, "1st == 3\n2nd == 1\n3rd == 2\n", {3, 1, 2}},
      {L"3,255,1", true, "1st == 3\n", {3}},
      {L"255,1", true, "", {}},
      {L"", true, "", {}},
      {L",,,", true, "", {}},
      {L"3,300", false, "", {3}},
      {L"511,1", false, "", {}},
      {L"-2", false, "", {}},
      {L"3,x", false, "", {3}},
      {L"3,1a", false, "", {3}},
      {L" 3 , 1 ", true, "1st == 3\n2nd == 1\n", {3, 1}},
      {L"0,0", true, "1st == 0\n2nd == 0\n", {0, 0}},
      {L"1,2,3,4,5", true, "1st == 1\n2nd == 2\n3rd == 3\n4th == 4\n5th == 5\n", {1, 2, 3, 4, 5}},
      {sixteen + L"99,300", true, sixteenLines, sixteenStored},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + (quiet ? " (quiet)" : ""));
      Harness run(90, quiet);
      ParsedRequest request;
      EXPECT_EQ(Read(run.ctx, SettingKind::kBootOrder, L"boot priority order", c.text, request), c.ok);
      const std::string failure = "Failed to capture boot priority order\n";
      EXPECT_EQ(run.out.str(), quiet ? "" : (c.ok ? c.out : std::string(kUsage)));
      EXPECT_EQ(run.err.str(), quiet || c.ok ? "" : failure);
      std::array<uint8_t, 16> expected;
      expected.fill(255);
      std::copy(c.stored.begin(), c.stored.end(), expected.begin());
      if (c.ok) {
        EXPECT_EQ(ValueBytes<16>(request), expected);
      }
    }
  }
}

// ---- MAC address -----------------------------------------------------------

TEST(ParseMacAddressTest, SixHexBytes) {
  struct Case {
    std::wstring text;
    bool ok;
    std::array<uint8_t, 6> mac;
  };
  const Case cases[] = {
      {L"00-1A-2B-3C-4D-5E", true, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {L"0x10-ff-1-0-0-100", true, {0x10, 0xFF, 0x01, 0x00, 0x00, 0x00}},
      {L"a-b-c-d-e-f-77", true, {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}},
      {L"--01--02-03-04-05-06", true, {1, 2, 3, 4, 5, 6}},
      {L"zz-1-2-3-4-5", true, {0, 1, 2, 3, 4, 5}},
      {L"00-1A-2B", false, {}},
      {L"00:1A:2B:3C:4D:5E", false, {}},
      {L"", false, {}},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + (quiet ? " (quiet)" : ""));
      Harness run(90, quiet);
      ParsedRequest request;
      EXPECT_EQ(Read(run.ctx, SettingKind::kMacAddress, L"customized mac address", c.text, request), c.ok);
      EXPECT_EQ(run.out.str(), quiet || c.ok ? "" : kUsage);
      EXPECT_EQ(run.err.str(), quiet || c.ok ? "" : "Invalid value of MAC address\n");
      if (c.ok) {
        EXPECT_EQ(ValueBytes<6>(request), c.mac);
      }
    }
  }
}

// ---- tags ----------------------------------------------------------------------

TEST(ParseTagTest, LettersAndDigitsOnly) {
  struct Case {
    bool ownership;
    std::wstring text;
    bool ok;
    std::string echo;  // written in either mode
    std::string err;   // written in either mode
  };
  const std::wstring asset22(22, L'A');
  const std::wstring owner50(50, L'z');
  const Case cases[] = {
      {false, L"ABC123", true, "Asset Tag = ABC123\n", ""},
      {false, L"", true, "Asset Tag = \n", ""},
      {false, asset22, true, "Asset Tag = " + std::string(22, 'A') + "\n", ""},
      {false, asset22 + L"A", false, "", "The length of asset tag is too long.\n"},
      {false, L"ABC-123", false, "", "Asset tag has invalid characters, alphabet or digit only.\n"},
      {false, L"ABC 123", false, "", "Asset tag has invalid characters, alphabet or digit only.\n"},
      {false, L"\u00c4BC", false, "", "Asset tag has invalid characters, alphabet or digit only.\n"},
      {true, L"Owner01", true, "Ownership Tag = Owner01\n", ""},
      {true, owner50, true, "Ownership Tag = " + std::string(50, 'z') + "\n", ""},
      {true, owner50 + L"z", false, "", "The length of ownership tag is too long.\n"},
      {true, L"own_er", false, "", "Ownership tag has invalid characters, alphabet or digit only.\n"},
  };
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + (quiet ? " (quiet)" : ""));
      Harness run(90, quiet);
      ParsedRequest request;
      const bool ok = c.ownership ? Read(run.ctx, SettingKind::kOwnershipTag, L"ownership tag number", c.text, request)
                                  : Read(run.ctx, SettingKind::kAssetTag, L"asset tag number", c.text, request);
      EXPECT_EQ(ok, c.ok);
      EXPECT_EQ(run.out.str(), c.ok ? c.echo : UsageUnlessQuiet(quiet));
      EXPECT_EQ(run.err.str(), c.err);
      if (c.ok) {
        EXPECT_EQ(ValueText(request), std::string(c.text.begin(), c.text.end()));
      }
    }
  }
}

}  // namespace
}  // namespace vort64
