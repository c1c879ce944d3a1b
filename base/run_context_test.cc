#include "base/run_context.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/console.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

struct Limits {
  uint32_t minor;
  uint32_t passwordMax;
  uint32_t opalMax;
  bool hdd, opal, hdd0;
};

TEST(RunContextTest, VersionSetsPasswordLimitsAndBindsReferences) {
  const Limits cases[] = {
      {0, 12, 0, false, false, true},  {55, 12, 0, false, false, true},
      {56, 16, 0, true, false, false}, {78, 16, 0, true, false, false},
      {79, 16, 32, true, true, false}, {255, 16, 32, true, true, false},
  };
  for (const auto& c : cases) {
    std::ostringstream out, err;
    Console console(out, err);
    ScriptedFirmware firmware;
    RunContext ctx(console, firmware);
    ctx.AcceptVersion(c.minor);
    SCOPED_TRACE(c.minor);
    EXPECT_EQ(ctx.version.major, 2u);
    EXPECT_EQ(ctx.version.minor, c.minor);
    EXPECT_EQ(ctx.passwordMaxLength, c.passwordMax);
    EXPECT_EQ(ctx.opalPasswordMaxLength, c.opalMax);
    const auto& p = ctx.newPasswords;
    EXPECT_TRUE(p.IsBound(NewPasswords::kSupervisor));
    EXPECT_TRUE(p.IsBound(NewPasswords::kUser));
    EXPECT_EQ(p.IsBound(NewPasswords::kHdd), c.hdd);
    EXPECT_EQ(p.IsBound(NewPasswords::kOpal), c.opal);
    EXPECT_EQ(p.IsBound(NewPasswords::kHdd0), c.hdd0);
    EXPECT_EQ(p.IsBound(NewPasswords::kHdd1), c.hdd0);
  }
}

}  // namespace
}  // namespace vort64
