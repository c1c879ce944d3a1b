#include "sim/faults.h"

#include <gtest/gtest.h>

namespace vort64::sim {
namespace {

constexpr ForcedOutcome Code(int32_t code) { return {ForcedOutcome::Kind::kCode, code}; }
constexpr ForcedOutcome kFail{ForcedOutcome::Kind::kFail, 0};

TEST(FaultsTest, LinesForceOutcomesAndGarbageIsIgnored) {
  const struct {
    const char* line;
    const char* what;
    std::optional<ForcedOutcome> outcome;
  } cases[] = {
      {"GetBiosOptions 8", "GetBiosOptions", Code(8)},
      {"SetBiosOptions 209        # a comment after the code", "SetBiosOptions", Code(209)},
      {"\tLoadUserDefault   fail\r", "LoadUserDefault", kFail},
      {"LoadBIOSDefault -1", "LoadBIOSDefault", Code(-1)},
      {"session fail", "session", kFail},
      {"smbios fail", "smbios", kFail},
      {"# GetBiosOptions 8", "GetBiosOptions", std::nullopt},
      {"GetBiosOptions", "GetBiosOptions", std::nullopt},
      {"GetBiosOptions 8abc", "GetBiosOptions", std::nullopt},
      {"GetBiosOptions 99999999999", "GetBiosOptions", std::nullopt},
      {"GetBiosOptions failure", "GetBiosOptions", std::nullopt},
      {"getbiosoptions 8", "GetBiosOptions", std::nullopt},
      {"GetBiosOptions\x01\xff 8", "GetBiosOptions", std::nullopt},
      {"Nonsense 8", "Nonsense", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Faults faults = Faults::Parse(c.line);
    EXPECT_EQ(faults.For(c.what), c.outcome);
    EXPECT_TRUE(faults.stuckBytes().empty());
  }
}

TEST(FaultsTest, StuckLinesCollectValidOffsets) {
  const Faults faults = Faults::Parse(
      "stuck 311\nstuck 0\nstuck 2047\nstuck 311\n"
      "stuck 2048\nstuck -1\nstuck x\nstuck\nstuck 12y\n"
      "GetBiosOptions 8\n");
  EXPECT_EQ(faults.stuckBytes(), (std::set<uint32_t>{0, 311, 2047}));
  EXPECT_EQ(faults.For("GetBiosOptions"), Code(8));

  std::vector<uint8_t> stored(2048, 1), block(2048, 9);
  stored[311] = 5;
  faults.KeepStuckBytes(stored, block);
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(block[311], 5);
  EXPECT_EQ(block[2047], 1);
  EXPECT_EQ(std::count(block.begin(), block.end(), 9), 2048 - 3);
}

TEST(FaultsTest, DelayLinesSetHowLongEachCallTakes) {
  using std::chrono::milliseconds;
  const struct {
    const char* text;
    milliseconds delay;
  } cases[] = {
      {"delay 30", milliseconds(30)},
      {"delay 0", milliseconds(0)},
      {"\tdelay   250  # a comment\r", milliseconds(250)},
      {"delay 60000", milliseconds(60000)},
      {"delay 30\ndelay 5", milliseconds(5)},   // the later line wins
      {"delay 30\ndelay x", milliseconds(30)},  // a line that fits no form is ignored
      {"delay 60001", milliseconds(0)},
      {"delay -1", milliseconds(0)},
      {"delay 3s", milliseconds(0)},
      {"delay", milliseconds(0)},
      {"Delay 30", milliseconds(0)},
      {"# delay 30", milliseconds(0)},
      {"", milliseconds(0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Faults faults = Faults::Parse(c.text);
    EXPECT_EQ(faults.delay(), c.delay);
    EXPECT_FALSE(faults.For("delay"));
  }
}

TEST(FaultsTest, LaterLinesWinAndBinaryTextIsHarmless) {
  std::string text = "GetBiosOptions 8\nGetBiosOptions fail\n";
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  text += std::string(3, '\0') + "\nsession fail";
  const Faults faults = Faults::Parse(text);
  EXPECT_TRUE(faults.Fails("GetBiosOptions"));
  EXPECT_TRUE(faults.Fails("session"));
  EXPECT_FALSE(faults.Fails("smbios"));
}

TEST(FaultsTest, AnUnreadableFaultsFileFailsEveryStep) {
  const Faults faults = Faults::Unreadable();
  for (const char* what : {"session", "smbios", "GetBiosOptions"}) EXPECT_TRUE(faults.Fails(what)) << what;
  EXPECT_FALSE(Faults().Fails("session"));
}

}  // namespace
}  // namespace vort64::sim
