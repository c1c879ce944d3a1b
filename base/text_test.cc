#include "base/text.h"

#include <gtest/gtest.h>

namespace vort64 {
namespace {

TEST(TextTest, Utf8RoundTripKeepsNonAsciiCharacters) {
  const std::string utf8 = "boot priority order\xE2\x80\xA6 \xC3\xA9";
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide, L"boot priority order\u2026 \u00e9");
  EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(Utf8ToWide("a\xFF"
                       "b"),
            L"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("a\xC3"), L"a\uFFFD");          // cut off at the end
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong
}

TEST(TextTest, CaseMappingChangesAsciiLettersOnly) {
  EXPECT_EQ(AsciiToLower(std::wstring_view(L"Boot MODE /I \u00C9")), L"boot mode /i \u00C9");
  EXPECT_EQ(AsciiToUpper(std::wstring_view(L"secret \u00e9x1")), L"SECRET \u00e9X1");
}

}  // namespace
}  // namespace vort64
