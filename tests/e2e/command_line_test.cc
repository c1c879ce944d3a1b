// The command line as a user or a script types it: refusals exit 101 with
// the usage, and the sixth argument "/ignore_precheck" or "/i" is dropped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;

class CommandLineTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    CreateMachine();
  }
};

TEST_F(CommandLineTest, RefusedCommandLinesShowTheUsageAndExit101) {
  const struct {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{}, ""},
      {{"/?"}, ""},
      {{"/h", "x", "y"}, ""},
      {{"/PASSWORD", "pw"}, ""},
      {{"/password", "", "/get", "boot mode", "extra"}, "Too many arguments\n\n"},
      {{"/password", "", "/get", "boot mode", "/x", "y"}, "Too many arguments\n\n"},
      {{"/password", "", "/get", "boot mode=1"}, "Invalid argument\n\n"},
      {{"/password", "", "/set", "no such item=1"},
       "Invalid Item auto test\n\nno such item\nInvalid Item\n\nno such item: unknown setting\n\n"},
      {{"/password", "", "/frobnicate", "boot mode"}, "Invalid Function Name\n\n"},
      {{"/password", "", "/set", std::string(300, 'a') + "=1"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_EQ(r.out, std::string(kVersion) + kUsage);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_TRUE(Calls().empty());
}

TEST_F(CommandLineTest, SixthArgumentIgnorePrecheckIsDropped) {
  for (const char* sixth : {"/ignore_precheck", "/I", "/Ignore_PreCheck"}) {
    SCOPED_TRACE(sixth);
    const ProcessResult plain = Vort64({"/password", "", "/get", "boot mode"});
    const ProcessResult r = Vort64({"/password", "", "/get", "boot mode", sixth});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, plain.out);
  }
}

TEST_F(CommandLineTest, SwitchesAndItemsAreTakenInAnyCase) {
  const ProcessResult r = Vort64({"/PASSWORD", "", "/GET", "Boot Mode"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("FunctionName = GET\nItem = Boot Mode\n"));
  EXPECT_THAT(r.out, HasSubstr("boot mode: 0\n"));
}

}  // namespace
}  // namespace vort64::e2e
