#include "base/interface_version.h"

#include <gtest/gtest.h>

namespace vort64 {
namespace {

struct Limits {
  uint32_t minor;
  uint32_t passwordMax;
  uint32_t opalMax;
  bool hdd, opal, hdd0;
};

TEST(InterfaceVersionTest, VersionSetsPasswordLimitsAndOffersSlots) {
  const Limits cases[] = {
      {0, 12, 0, false, false, true},  {55, 12, 0, false, false, true}, {56, 16, 0, true, false, false},
      {78, 16, 0, true, false, false}, {79, 16, 32, true, true, false}, {255, 16, 32, true, true, false},
  };
  for (const auto& c : cases) {
    const InterfaceVersion v{2, c.minor};
    SCOPED_TRACE(c.minor);
    EXPECT_EQ(v.PasswordMaxLength(), c.passwordMax);
    EXPECT_EQ(v.OpalPasswordMaxLength(), c.opalMax);
    EXPECT_TRUE(v.Offers(PasswordSlot::kSupervisor));
    EXPECT_TRUE(v.Offers(PasswordSlot::kUser));
    EXPECT_EQ(v.Offers(PasswordSlot::kHdd), c.hdd);
    EXPECT_EQ(v.Offers(PasswordSlot::kOpal), c.opal);
    EXPECT_EQ(v.Offers(PasswordSlot::kHdd0), c.hdd0);
    EXPECT_EQ(v.Offers(PasswordSlot::kHdd1), c.hdd0);
  }
}

// A rule holds from its first minor on, for major 2 only; scan codes are
// the one thing before a rule that needs major 2 as well.
TEST(InterfaceVersionTest, RulesHoldFromTheirFirstMinorForMajorTwoOnly) {
  // Every rule, the last one declared included.
  for (int i = 0; i <= static_cast<int>(InterfaceRule::kEmptyOldDrivePasswordAsZero); ++i) {
    const auto rule = static_cast<InterfaceRule>(i);
    const uint32_t first = FirstMinor(rule);
    SCOPED_TRACE(i);
    EXPECT_GT(first, 0u);
    EXPECT_TRUE((InterfaceVersion{2, first}).Holds(rule));
    EXPECT_TRUE((InterfaceVersion{2, 255}).Holds(rule));
    EXPECT_FALSE((InterfaceVersion{2, first - 1}).Holds(rule));
    EXPECT_FALSE((InterfaceVersion{3, 255}).Holds(rule));
    EXPECT_FALSE((InterfaceVersion{1, 255}).Holds(rule));
  }
  EXPECT_TRUE((InterfaceVersion{2, 49}).SendsScanCodes());
  EXPECT_FALSE((InterfaceVersion{2, 50}).SendsScanCodes());
  EXPECT_FALSE((InterfaceVersion{1, 0}).SendsScanCodes());
}

}  // namespace
}  // namespace vort64
