#include "ops/password_prompt.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <streambuf>
#include <string>

#include "base/terminal.h"
#include "buffer/buffer_test_util.h"
#include "catalog/catalog.h"
#include "ops/executor.h"

namespace vort64 {
namespace {

using testing_util::BlockTest;
using testing_util::Join;
using testing_util::Repeat;

constexpr char kPrompts[] = "Enter Current password : \nEnter Changed password : \n";

class PromptTest : public BlockTest {
 protected:
  // 0 when nothing was sent, 1 when the firmware took the block, its code
  // otherwise.
  int Prompt(std::string typed, uint32_t offset = 199, uint32_t end = 233, bool supervisor = true) {
    input_.str(std::move(typed));
    input_.clear();
    FirmwareSession session{firmware_, ctx().version};
    Operations ops{ctx(), session, catalog_, input_};
    const PromptOutcome prompted =
        PromptPasswordChange(ops, request_.CurrentPassword(), block_, offset, end, supervisor);
    if (!prompted.sent) return 0;
    return prompted.outcome.passed() ? 1 : prompted.outcome.code;
  }
  void SetCurrentPassword(std::string_view text) {
    std::copy(text.begin(), text.end(), request_.currentPassword.begin());
  }
  std::istringstream input_;
  SettingCatalog catalog_;
};

TEST_F(PromptTest, WritesTheLongFormFilledWithZeroCharactersAndSendsTheBlock) {
  block_[235] = 0x80;
  SetCurrentPassword("run-password");
  SetNewPassword("from the command line");
  EXPECT_EQ(Prompt("old1\nnew12\n"), 1);
  EXPECT_EQ(Bytes(199, 34),
            Join({{4, 'o', 'l', 'd', '1'}, Repeat('0', 12), {5, 'n', 'e', 'w', '1', '2'}, Repeat('0', 11)}));
  EXPECT_EQ(block_[233], 0);
  EXPECT_EQ(block_[235], 0x81);
  EXPECT_EQ(Bytes(391, 6), Repeat(238, 6));
  EXPECT_EQ(TakeOut(), std::string(kPrompts) + "flag for setting : 129\nSet BIOS options Success.\n");

  ASSERT_EQ(firmware_.calls.size(), 1u);
  EXPECT_EQ(firmware_.calls[0].method, L"SetBiosOptions");
  EXPECT_EQ(firmware_.In(0, L"Data").bytes, block_);
  EXPECT_EQ(firmware_.In(0, L"PasswordLen").integer, 12);
  EXPECT_EQ(firmware_.In(0, L"Password").bytes, Join({Text("run-password"), Repeat(0, 4)}));
}

TEST_F(PromptTest, FlagBitAndClockFollowTheVersion) {
  const struct {
    uint32_t minor;
    bool supervisor;
    uint8_t flag;
    std::string flagLine;
    std::vector<uint8_t> clock;
  } cases[] = {
      {90, true, 0x41, "flag for setting : 65\n", Repeat(238, 6)},
      {90, false, 0x42, "flag for setting : 66\n", Repeat(238, 6)},
      {72, false, 0x42, "flag for setting : 66\n", Repeat(238, 6)},
      {71, true, 0x40, "", Repeat(238, 6)},
      {54, true, 0x40, "", Repeat(7, 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minor) + (c.supervisor ? " supervisor" : " user"));
    Accept(c.minor);
    std::fill(block_.begin(), block_.end(), 7);
    block_[235] = 0x40;
    EXPECT_EQ(Prompt("a b", 260, 294, c.supervisor), 1);
    EXPECT_EQ(block_[235], c.flag);
    EXPECT_EQ(Bytes(391, 6), c.clock);
    EXPECT_EQ(TakeOut(), kPrompts + c.flagLine + "Set BIOS options Success.\n");
  }
}

TEST_F(PromptTest, SendsTheShortPasswordBelow256) {
  Accept(55);
  SetCurrentPassword("abcdefghijklmnop");
  EXPECT_EQ(Prompt("o n"), 1);
  EXPECT_EQ(firmware_.In(0, L"Password").bytes, Text("abcdefghijkl"));
  EXPECT_EQ(firmware_.In(0, L"PasswordLen").integer, 12);
}

TEST_F(PromptTest, QuietWithholdsOnlyTheFlagLine) {
  console_.SetQuiet();
  EXPECT_EQ(Prompt("o n"), 1);
  EXPECT_EQ(TakeOut(), kPrompts);
}

TEST_F(PromptTest, ShortFieldGetsOnlyTheTwoLengths) {
  std::fill(block_.begin(), block_.end(), 0xAA);
  EXPECT_EQ(Prompt("old new", 199, 217), 1);
  EXPECT_EQ(Bytes(199, 19), Join({{3}, Repeat(0xAA, 16), {3}, {0xAA}}));
}

TEST_F(PromptTest, FailingCodeIsTheResult) {
  const struct {
    int32_t code;
    int result;
    const char* message;
  } cases[] = {
      {0, 1, "Set BIOS options Success.\n"},
      {8, 1, "Set BIOS options success and reboot required to make function works.\n"},
      {2, 2, "Error: Incorrect password.\n"},
      {209, 209, "Incompatible Data Structure. BIOS Setup Data is unexpected.\n"},
      {4, 4, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    firmware_.codes[L"SetBiosOptions"] = c.code;
    EXPECT_EQ(Prompt("o n"), c.result);
    EXPECT_EQ(TakeOut(), kPrompts + std::string("flag for setting : 1\n") + c.message);
  }
}

TEST_F(PromptTest, PasswordsThatCannotBeWrittenAreRefusedBeforeAnythingIsSent) {
  const std::string tooLong(17, 'x');
  const struct {
    uint32_t minor;
    std::string typed;
    const char* err;
  } cases[] = {
      {90, "", "No password entered.\n"},
      {90, "   \n  only-one ", "No password entered.\n"},
      {90, tooLong + " new", "The length of password is too long.\n"},
      {90, "old " + tooLong, "The length of password is too long.\n"},
      {55, "old 1234567890123", "The length of password is too long.\n"},  // 12 below 2.56
      {90, "old ne\x01w", "Invalid Character\n\n"},
      {90, "\xc3\xa9t\xc3\xa9 new", "Invalid Character\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.typed));
    Accept(c.minor);
    std::fill(block_.begin(), block_.end(), 7);
    SetNewPassword("kept");
    EXPECT_EQ(Prompt(c.typed), 0);
    EXPECT_EQ(TakeOut(), kPrompts);
    EXPECT_EQ(TakeErr(), c.err);
    EXPECT_EQ(block_, Repeat(7, 2048));
    EXPECT_TRUE(firmware_.calls.empty());
  }
}

TEST_F(PromptTest, OverlongWordIsConsumedWhole) {
  // The rest of a long word does not become the next answer.
  EXPECT_EQ(Prompt(std::string(300, 'a') + " new1\nnext"), 0);
  EXPECT_EQ(TakeErr(), "The length of password is too long.\n");
  std::string rest;
  input_ >> rest;
  EXPECT_EQ(rest, "next");
}

// A terminal whose echo is a flag.
class FakeTerminal final : public TerminalEcho {
 public:
  bool echo = true;
  std::optional<bool> Echo() override { return echo; }
  bool SetEcho(bool on) override {
    echo = on;
    return true;
  }
};

// Typed input that notes, for each character read, whether it showed.
class TypedAtTerminal final : public std::streambuf {
 public:
  TypedAtTerminal(std::string typed, const FakeTerminal& terminal) : typed_(std::move(typed)), terminal_(terminal) {}
  std::string shown;

 protected:
  int_type underflow() override {
    if (at_ >= typed_.size()) return traits_type::eof();
    return traits_type::to_int_type(typed_[at_]);
  }
  int_type uflow() override {
    const int_type c = underflow();
    if (c != traits_type::eof()) {
      if (terminal_.echo) shown += typed_[at_];
      ++at_;
    }
    return c;
  }

 private:
  std::string typed_;
  size_t at_ = 0;
  const FakeTerminal& terminal_;
};

TEST_F(PromptTest, AnswersTypedAtATerminalDoNotShowAndTheEchoComesBack) {
  FakeTerminal terminal;
  TypedAtTerminal typed("old1\nnew12\n", terminal);
  std::istream input(&typed);
  FirmwareSession session{firmware_, ctx().version};
  Operations ops{ctx(), session, catalog_, input};
  ops.terminal = &terminal;
  const PromptOutcome prompted = PromptPasswordChange(ops, request_.CurrentPassword(), block_, 199, 233, true);
  EXPECT_TRUE(prompted.sent);
  EXPECT_EQ(typed.shown, "");
  EXPECT_TRUE(terminal.echo);
  EXPECT_EQ(Bytes(199, 6), Join({{4, 'o', 'l', 'd', '1'}, {'0'}}));
  EXPECT_EQ(TakeOut(), std::string(kPrompts) + "flag for setting : 1\nSet BIOS options Success.\n");
}

}  // namespace
}  // namespace vort64
