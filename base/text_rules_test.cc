#include "base/text_rules.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace vort64 {
namespace {

std::vector<std::wstring> AllTokens(std::wstring& buffer, std::wstring_view delimiters) {
  std::vector<std::wstring> tokens;
  InPlaceTokenizer tokenizer(buffer);
  while (const auto token = tokenizer.Next(delimiters)) tokens.emplace_back(*token);
  return tokens;
}

TEST(InPlaceTokenizerTest, SkipsEmptyTokens) {
  struct Case {
    std::wstring text;
    std::wstring delimiters;
    std::vector<std::wstring> tokens;
  };
  const Case cases[] = {
      {L"3,1,2", L",", {L"3", L"1", L"2"}},
      {L",,3,,,1,", L",", {L"3", L"1"}},
      {L"", L",", {}},
      {L",,,", L",", {}},
      {L"10:20:30", L",", {L"10:20:30"}},
      {L"a=b=c", L"=", {L"a", L"b", L"c"}},
      {L" 1 , 2 ", L",", {L" 1 ", L" 2 "}},
      {L"a-b/c", L"-/", {L"a", L"b", L"c"}},
  };
  for (const auto& c : cases) {
    std::wstring buffer = c.text;
    EXPECT_EQ(AllTokens(buffer, c.delimiters), c.tokens) << std::wstring(c.text).size();
  }
}

TEST(InPlaceTokenizerTest, RestIsTheTextAfterTheFirstDelimiter) {
  std::wstring buffer = L"==boot mode==1,2";
  InPlaceTokenizer tokenizer(buffer);
  EXPECT_EQ(tokenizer.Next(L"="), std::optional<std::wstring_view>(L"boot mode"));
  EXPECT_TRUE(tokenizer.EndedByDelimiter());
  EXPECT_EQ(tokenizer.Rest(), L"=1,2");

  std::wstring plain = L"boot mode";
  InPlaceTokenizer noValue(plain);
  EXPECT_EQ(noValue.Next(L"="), std::optional<std::wstring_view>(L"boot mode"));
  EXPECT_FALSE(noValue.EndedByDelimiter());
  EXPECT_EQ(noValue.Rest(), L"");
  EXPECT_EQ(noValue.Next(L"="), std::nullopt);
}

TEST(InPlaceTokenizerTest, ConsumedDelimitersEndTheTextForALaterTokenizer) {
  // A first pass with ":" cuts the text at the first ":" it consumed; a
  // second pass over the same buffer sees only "1".
  std::wstring buffer = L"1:2,3,4";
  EXPECT_EQ(AllTokens(buffer, L":"), (std::vector<std::wstring>{L"1", L"2,3,4"}));
  EXPECT_EQ(AllTokens(buffer, L","), (std::vector<std::wstring>{L"1"}));

  // A pass that finds no delimiter leaves the buffer as it was.
  std::wstring untouched = L"10,20,30";
  EXPECT_EQ(AllTokens(untouched, L":"), (std::vector<std::wstring>{L"10,20,30"}));
  EXPECT_EQ(untouched, L"10,20,30");
}

TEST(InPlaceTokenizerTest, TextEndsAtItsFirstNul) {
  std::wstring buffer(L"a,b\0c,d", 7);
  EXPECT_EQ(AllTokens(buffer, L","), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(CText(std::wstring_view(L"ab\0cd", 5)), L"ab");
}

TEST(ReadNumberTest, ReadsLikeTheCRuntimeWithA32BitLong) {
  struct Case {
    const wchar_t* text;
    int32_t decimal;
    int32_t hex;
  };
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const Case cases[] = {
      {L"1", 1, 1},
      {L"300", 300, 0x300},
      {L"  \t42", 42, 0x42},
      {L"+7", 7, 7},
      {L"-1", -1, -1},
      {L"12abc", 12, 0x12abc},
      {L"abc", 0, 0xabc},
      {L"", 0, 0},
      {L"-", 0, 0},
      {L" - 5", 0, 0},
      {L"1 2", 1, 1},
      {L"1A", 1, 0x1A},
      {L"0x1A", 0, 0x1A},
      {L"0X1a", 0, 0x1A},
      {L"0xg", 0, 0},
      {L"2147483647", kMax, kMax},
      {L"2147483648", kMax, kMax},
      {L"99999999999999999999", kMax, kMax},
      {L"-2147483648", kMin, kMin},
      {L"-99999999999", kMin, kMin},
      {L"FFFFFFFF", 0, kMax},
      {L"\u0661", 0, 0},  // a non-ASCII digit is no digit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "text #" << (&c - cases));
    EXPECT_EQ(ReadDecimal(c.text), c.decimal);
    EXPECT_EQ(ReadHex(c.text), c.hex);
  }
}

TEST(ReadNumberTest, NegativeNumbersAreHugeWhenComparedUnsigned) {
  EXPECT_GT(AsUnsigned(ReadDecimal(L"-1")), 2255u);
  EXPECT_EQ(LowByte(ReadDecimal(L"300")), 44);
  EXPECT_EQ(LowByte(ReadDecimal(L"-1")), 255);
  EXPECT_EQ(LowByte(ReadDecimal(L"-2")), 254);
}

TEST(TextRulesTest, CharacterClasses) {
  EXPECT_TRUE(IsPrintableAscii(L' '));
  EXPECT_TRUE(IsPrintableAscii(L'~'));
  EXPECT_FALSE(IsPrintableAscii(L'\t'));
  EXPECT_FALSE(IsPrintableAscii(L'\x7f'));
  EXPECT_FALSE(IsPrintableAscii(L'\u00e9'));
  EXPECT_TRUE(IsAsciiAlphanumeric(L'z'));
  EXPECT_TRUE(IsAsciiAlphanumeric(L'0'));
  EXPECT_FALSE(IsAsciiAlphanumeric(L'-'));
  EXPECT_FALSE(IsAsciiAlphanumeric(L'\u00e9'));
}

TEST(TextRulesTest, FixedFieldsArePaddedAndMayBeFull) {
  std::array<char, 4> field{'x', 'x', 'x', 'x'};
  StoreFixedText(field, "ab");
  EXPECT_EQ(field, (std::array<char, 4>{'a', 'b', '\0', '\0'}));
  EXPECT_EQ(FixedText(field), "ab");
  StoreFixedText(field, "abcd");
  EXPECT_EQ(field, (std::array<char, 4>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(FixedText(field), "abcd");
}

}  // namespace
}  // namespace vort64
