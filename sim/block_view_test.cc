#include "sim/block_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace vort64::sim {
namespace {

SettingCatalog SmallCatalog() {
  SettingCatalog c;
  c.AddSetting(L"boot mode", MakeSettingInfo(L"", L"", Category::kSystemFunction, 1, 10));
  c.AddSetting(L"date", MakeSettingInfo(L"", L"", Category::kSystemFunction, 3, 391));
  c.AddSetting(L"set user password", MakeSettingInfo(L"", L"", Category::kSystemFunction, 34, 100));
  c.AddSetting(L"wigig", MakeSettingInfo(L"", L"", Category::kSystemFunction, 1, 11));
  c.AddSetting(L"asset tag number", MakeSettingInfo(L"", L"", Category::kSystemFunction, 4, 20));
  return c;
}

TEST(BlockViewTest, DiffNamesOnlyTheSettingsThatDiffer) {
  std::vector<uint8_t> a(2048, 0);
  std::vector<uint8_t> b = a;
  EXPECT_EQ(DiffBlocks(SmallCatalog(), a, b), "");
  b[10] = 2;
  b[105] = 'x';
  b[500] = 7;  // no setting's byte
  EXPECT_EQ(DiffBlocks(SmallCatalog(), a, b),
            "boot mode: 0 -> 2\n"
            "set user password: (password changed, not shown)\n");
  // A short block differs from a whole one where it ends early.
  const std::string shortDiff = DiffBlocks(SmallCatalog(), std::span<const uint8_t>(a).first(11), a);
  EXPECT_NE(shortDiff.find("wigig:  -> 0\n"), std::string::npos);
  EXPECT_EQ(shortDiff.find("boot mode"), std::string::npos);
}

}  // namespace
}  // namespace vort64::sim
