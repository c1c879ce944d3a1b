#include "catalog/aliases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "catalog/tables.h"

namespace vort64 {
namespace {

std::string Narrow(std::wstring_view text) { return WideToUtf8(text); }

// The first minor number of every layout.
std::vector<uint32_t> LayoutMinors() {
  std::vector<uint32_t> minors = {40, kNewestVariant};
  for (const VariantDelta& delta : OlderVariantDeltas()) minors.push_back(delta.variant);
  return minors;
}

SettingCatalog Built(uint32_t minor) {
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, minor);
  return catalog;
}

// `pattern` for drive `drive` ("{N}" replaced).
std::wstring Drive(std::wstring_view pattern, int drive) {
  std::wstring text(pattern);
  for (size_t at; (at = text.find(L"{N}")) != std::wstring::npos;) text.replace(at, 3, std::to_wstring(drive));
  return text;
}

// An alias leads somewhere on every layout that has its setting under any
// of its names, and every name it leads to is a setting of some layout.
TEST(AliasesTest, EveryAliasResolvesOnEveryLayoutThatHasItsSetting) {
  for (const AliasRow& row : AliasRows()) {
    for (const std::wstring_view target : row.targets) {
      for (int drive = 0; drive < 6; ++drive) {
        EXPECT_TRUE(IsKnownSettingName(Drive(target, drive))) << "no layout has " << Narrow(Drive(target, drive));
      }
    }
    for (const uint32_t minor : LayoutMinors()) {
      const SettingCatalog catalog = Built(minor);
      for (int drive = 0; drive < 6; ++drive) {
        bool has = false;
        for (const std::wstring_view target : row.targets) has = has || catalog.HasSetting(Drive(target, drive));
        if (!has) continue;
        const std::wstring_view function = row.functionWord.empty() ? L"set" : row.functionWord;
        for (const std::wstring_view alias : row.aliases) {
          const ResolvedName resolved = ResolveSettingName(catalog, function, Drive(alias, drive), L"v");
          EXPECT_TRUE(catalog.HasSetting(resolved.name))
              << "2." << minor << ": " << Narrow(Drive(alias, drive)) << " -> " << Narrow(resolved.name);
          EXPECT_EQ(resolved.functionWord, row.setValue.empty() ? function : L"set");
          EXPECT_EQ(resolved.valueText, row.setValue.empty() ? L"v" : row.setValue);
        }
      }
    }
  }
}

TEST(AliasesTest, NamesAsTypedReachTheLayoutsOwnName) {
  struct Case {
    uint32_t minor;
    std::wstring_view function, typed, name, function2, value;
  };
  const Case kCases[] = {
      {90, L"clear", L"tpm", L"clear tpm(tcm)", L"set", L"1"},
      {56, L"clear", L"tcm", L"clear tpm", L"set", L"1"},
      {90, L"set", L"clear tpm", L"clear tpm(tcm)", L"set", L"v"},
      {56, L"set", L"clear tpm(tcm)", L"clear tpm", L"set", L"v"},
      {90, L"get", L"tpm state", L"current tpm 2.0 state", L"get", L"v"},
      {90, L"set", L"change tcm state", L"change tpm 2.0 state", L"set", L"v"},
      {90, L"set", L"hdd3(opal) password", L"set hdd3(opal) password", L"set", L"v"},
      {74, L"set", L"hdd3(opal) password", L"set hdd3/hdd3(opal) password", L"set", L"v"},
      {74, L"set", L"hdd2 password", L"set hdd2/hdd2(opal) password", L"set", L"v"},
      {74, L"set", L"set hdd2/hdd2(opal) password", L"set hdd2/hdd2(opal) password", L"set", L"v"},
      {90, L"set", L"set hdd2/hdd2(opal) password", L"set hdd2 password", L"set", L"v"},
      {40, L"set", L"hdd1 password", L"set hdd1 password", L"set", L"v"},
      {90, L"get", L"boot device", L"boot priority order", L"get", L"v"},
      {40, L"clean", L"gpt", L"clean gpt", L"set", L"1"},
      {90, L"clear", L"user password status", L"user password status", L"set", L"0"},
      {90, L"get", L"camera", L"camera", L"get", L"v"},
      {90, L"get", L"wifi", L"wifi", L"get", L"v"},  // no alias: stays as typed
  };
  for (const Case& c : kCases) {
    const ResolvedName resolved = ResolveSettingName(Built(c.minor), c.function, c.typed, L"v");
    EXPECT_EQ(Narrow(resolved.name), Narrow(c.name)) << Narrow(c.typed) << " on 2." << c.minor;
    EXPECT_EQ(Narrow(resolved.functionWord), Narrow(c.function2)) << Narrow(c.typed);
    EXPECT_EQ(Narrow(resolved.valueText), Narrow(c.value)) << Narrow(c.typed);
  }
}

TEST(AliasesTest, KnownNamesCoverEveryLayoutAndAliasButNoTypo) {
  for (const std::wstring_view name : {L"camera", L"gpt partition record", L"boot device", L"tpm", L"set hdd5 password",
                                       L"hdd4(opal) password", L"gna device"}) {
    EXPECT_TRUE(IsKnownSettingName(name)) << Narrow(name);
  }
  for (const std::wstring_view name : {L"wifi", L"secureboot", L"", L"hdd6 password"}) {
    EXPECT_FALSE(IsKnownSettingName(name)) << Narrow(name);
  }
}

}  // namespace
}  // namespace vort64
