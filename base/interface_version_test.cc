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

TEST(InterfaceVersionTest, AtLeastHoldsForMajorTwoOnly) {
  EXPECT_TRUE((InterfaceVersion{2, 56}).AtLeast(56));
  EXPECT_FALSE((InterfaceVersion{2, 55}).AtLeast(56));
  EXPECT_FALSE((InterfaceVersion{3, 90}).AtLeast(56));
}

}  // namespace
}  // namespace vort64
