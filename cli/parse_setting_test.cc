// One setting read as "/set NAME=VALUE" would read it, for the import.
#include <gtest/gtest.h>

#include <string>

#include "cli/parser.h"
#include "cli/test_support.h"

namespace vort64 {
namespace {

using Kind = ParsedSetting::Kind;
using Refusal = ParsedSetting::Refusal;

TEST(ParseSettingTest, AnItemMeansWhatTheSameSetWouldMean) {
  const struct {
    const char* label;
    std::wstring name;
    std::wstring value;
    Kind kind;
    Refusal refusal;
    std::wstring itemName;  // after the aliases
  } kCases[] = {
      {"a plain setting", L"Boot Mode", L"1", Kind::kRequest, Refusal::kNone, L"boot mode"},
      {"an alias", L"boot device", L"1,2", Kind::kRequest, Refusal::kNone, L"boot priority order"},
      {"an alias with a refused value", L"boot device", L"1,2,999", Kind::kRefused, Refusal::kBadValue,
       L"boot priority order"},
      {"the supervisor alias", L"supervisor password", L"DoNotChange", Kind::kRequest, Refusal::kNone,
       L"set supervisor password"},
      {"a name no interface has", L"no such setting", L"1", Kind::kNoSuchName, Refusal::kNone, L"no such setting"},
      {"the self-test is no setting", L"autotest", L"1", Kind::kNoSuchName, Refusal::kNone, L"autotest"},
      {"a name this interface lacks", L"gna device", L"1", Kind::kUnknownName, Refusal::kNone, L"gna device"},
      {"an empty value", L"fast boot", L"", Kind::kRefused, Refusal::kBadValue, L"fast boot"},
      {"the not-supported mark", L"fast boot", L" 255 ", Kind::kRefused, Refusal::kNotSupportedMark, L"fast boot"},
      {"a date out of range", L"date", L"2024/2/30", Kind::kRefused, Refusal::kBadValue, L"date"},
      {"a record of zeros", L"gpt partition record", L"0", Kind::kRequest, Refusal::kNone, L"gpt partition record"},
      {"an argument too long", L"asset tag number", std::wstring(250, L'a'), Kind::kRefused, Refusal::kTooLong, L""},
  };
  const SettingCatalog catalog = cli_test::CurrentCatalog();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    cli_test::Harness h(90, /*quiet=*/true);
    ParsedRequest run;
    run.currentPassword = {'p', 'w'};
    const ParsedSetting parsed = ParseSetting(h.ctx, catalog, run, c.name, c.value);
    EXPECT_EQ(parsed.kind, c.kind);
    EXPECT_EQ(parsed.refusal, c.refusal);
    EXPECT_EQ(parsed.request.itemName, c.itemName);
    if (parsed.kind == Kind::kRequest) {
      EXPECT_EQ(parsed.request.function, Function::kSet);
      EXPECT_EQ(parsed.request.currentPassword, run.currentPassword);
    }
  }
}

TEST(ParseSettingTest, TheCurrentPasswordFormGivesTheOldPassword) {
  cli_test::Harness h(90, /*quiet=*/true);
  const ParsedSetting parsed = ParseSetting(h.ctx, cli_test::CurrentCatalog(), ParsedRequest{}, L"current password",
                                            L"old,set user password=new1");
  ASSERT_EQ(parsed.kind, Kind::kRequest);
  EXPECT_EQ(parsed.request.itemName, L"set user password");
  EXPECT_EQ(parsed.request.formPassword, L"old");
  EXPECT_EQ(parsed.request.NewPasswordText(), "new1");
}

}  // namespace
}  // namespace vort64
