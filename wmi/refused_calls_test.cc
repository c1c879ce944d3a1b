#include "wmi/refused_calls.h"

#include <gtest/gtest.h>

namespace vort64 {
namespace {

TEST(RefusedCallsRecordTest, ReadsOnlyWhatItWrites) {
  const RefusedCallsRecord record{"machine=00000000000000ff boot=1700000000 uptime=5000", 2};
  const std::string text = FormatRefusedCalls(record);
  EXPECT_EQ(text, "start machine=00000000000000ff boot=1700000000 uptime=5000\nrefused 2\n");
  const auto read = ParseRefusedCalls(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->start, record.start);
  EXPECT_EQ(read->refused, 2);
  // Anything else is a count that cannot be read, never 0.
  for (const char* bad : {"", "start 3\n", "start 3\nrefused\n", "start 3\nrefused -1\n", "start 3\nrefused 1",
                          "start 3\nrefused 1\nmore\n", "refused 1\nstart 3\n", "start 3\nrefused 1x\n",
                          "start 3\nrefused 99999999999999999999\n"}) {
    EXPECT_FALSE(ParseRefusedCalls(bad)) << bad;
  }
}

TEST(WindowsStartTest, RoundTrips) {
  const WindowsStart start{0x0123456789abcdefull, 1765400000, 123456};
  const auto read = ParseWindowsStart(FormatWindowsStart(start));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->machine, start.machine);
  EXPECT_EQ(read->bootSeconds, start.bootSeconds);
  EXPECT_EQ(read->uptimeMs, start.uptimeMs);
  EXPECT_FALSE(ParseWindowsStart("machine=12 boot=1 uptime=2"));
  EXPECT_FALSE(ParseWindowsStart("3"));
}

// A start is told from a clock correction: the tick count begins again, or
// the boot time lies after the moment the count was kept.
TEST(WindowsStartTest, TellsANewStart) {
  constexpr int64_t kBoot = 1765400000;
  const std::string kept = FormatWindowsStart({7, kBoot, 600'000});  // kept ten minutes after the boot
  struct Case {
    const char* what;
    WindowsStart now;
    bool same;
  };
  const Case cases[] = {
      {"later in the same start", {7, kBoot, 900'000}, true},
      {"the clock corrected by 30 s", {7, kBoot + 30, 900'000}, true},
      {"the clock set back an hour", {7, kBoot - 3600, 900'000}, true},
      {"restarted, up for a minute", {7, kBoot + 700, 60'000}, false},
      {"restarted, up for longer than before", {7, kBoot + 3600, 1'200'000}, false},
      {"another machine (a firmware update)", {8, kBoot, 900'000}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameWindowsStart(kept, FormatWindowsStart(c.now)), c.same) << c.what;
  // Kept a few seconds after a boot: a correction under a minute is no start.
  const std::string early = FormatWindowsStart({7, kBoot, 5'000});
  EXPECT_TRUE(SameWindowsStart(early, FormatWindowsStart({7, kBoot + 20, 400'000})));
  EXPECT_FALSE(SameWindowsStart(early, FormatWindowsStart({7, kBoot + 120, 400'000})));
  // A start that cannot be read never lets a count go.
  EXPECT_TRUE(SameWindowsStart("damaged", FormatWindowsStart({8, kBoot + 9999, 1})));
}

}  // namespace
}  // namespace vort64
