#include "ops/outcome.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

constexpr Kind kEveryKind[] = {Kind::kDone,         Kind::kUnsupported,   Kind::kAbsent,     Kind::kPasswordKept,
                               Kind::kValueRefused, Kind::kValueUnlisted, Kind::kReadFailed, Kind::kFirmwareRefused,
                               Kind::kNotTheSame,   Kind::kFileFailed,    Kind::kNothingRan, Kind::kSettingsFailed,
                               Kind::kDrift};

// What every output says must agree: only work that happened passes, and
// whatever fails an import's verdict is a fault of the self-test too.
TEST(OutcomeTableTest, OnlyDoneWorkPassesAndEveryOutputAgrees) {
  for (const Kind kind : kEveryKind) {
    for (const int32_t code : {0, 1, 2, 3, 7, 8, 209, 4711}) {
      for (const bool executed : {true, false}) {
        const OperationResult r{kind, code, executed};
        const OutcomeRule rule = RuleFor(r);
        SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + " code " + std::to_string(code));
        EXPECT_FALSE(rule.resultWord.empty());
        const bool done = kind == Kind::kDone;
        EXPECT_EQ(rule.exitCode == kExitSuccess, done);
        EXPECT_EQ(rule.step == StepVerdict::kPassed, done);
        EXPECT_EQ(rule.resultWord == L"Pass" || rule.resultWord.starts_with(L"Pass and"),
                  done || kind == Kind::kPasswordKept);
        // A red self-test line is a fault: exactly what fails an import.
        EXPECT_EQ(rule.verdict == VerdictEffect::kFails, rule.step == StepVerdict::kFailed);
      }
    }
  }
}

TEST(OutcomeTableTest, FirmwareWordsFollowTheCode) {
  struct Case {
    OperationResult result;
    std::wstring_view word;
    VerdictEffect verdict;
    StepVerdict step;
  };
  const Case kCases[] = {
      {{Kind::kDone, 0}, L"Pass", VerdictEffect::kKeeps, StepVerdict::kPassed},
      {{Kind::kDone, 8},
       L"Pass and reboot required to make function works",
       VerdictEffect::kRebootRequired,
       StepVerdict::kPassed},
      {{Kind::kFirmwareRefused, 1}, L"Not support", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 2}, L"Incorrect password", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 3}, L"Invalid Parameter", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 4}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 5}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 7}, L"Password retry count exceeded", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 209},
       L"Incompatible Data Structure. BIOS Setup Data is unexpected",
       VerdictEffect::kFails,
       StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 210},
       L"Control method not support, DFCI is controlling",
       VerdictEffect::kFails,
       StepVerdict::kFailed},
      {{Kind::kFirmwareRefused, 2, false}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kReadFailed, 2}, L"Incorrect password", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kReadFailed, 7}, L"Password retry count exceeded", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kReadFailed, 3}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kReadFailed, 1, false}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kUnsupported}, L"Not support", VerdictEffect::kKeeps, StepVerdict::kSkipped},
      {{Kind::kAbsent}, L"Not support", VerdictEffect::kKeeps, StepVerdict::kSkipped},
      {{Kind::kValueRefused}, L"Invalid Parameter", VerdictEffect::kFails, StepVerdict::kFailed},
      {{Kind::kNotTheSame}, L"Fail", VerdictEffect::kFails, StepVerdict::kFailed},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.word.begin(), c.word.end()));
    const OutcomeRule rule = RuleFor(c.result);
    EXPECT_EQ(rule.resultWord, c.word);
    EXPECT_EQ(rule.verdict, c.verdict);
    EXPECT_EQ(rule.step, c.step);
  }
}

// The JSON answer names each outcome: one name per kind (and "reboot
// required" for a pass with code 8), whatever the firmware's code otherwise.
TEST(OutcomeTableTest, EachOutcomeHasANameOfItsOwn) {
  std::set<std::string_view> names;
  size_t kinds = 0;
  for (const Kind kind : kEveryKind) {
    const std::string_view name = RuleFor({kind, 0}).name;
    EXPECT_FALSE(name.empty());
    for (const int32_t code : {1, 2, 7, 209}) {
      if (kind != Kind::kDone) {
        EXPECT_EQ(RuleFor({kind, code}).name, name);
      }
    }
    names.insert(name);
    ++kinds;
  }
  names.insert(RuleFor({Kind::kDone, kFirmwareRebootRequired}).name);
  EXPECT_EQ(names.size(), kinds + 1);
  EXPECT_EQ(RuleFor({Kind::kDone, kFirmwareRebootRequired}).name, "reboot required");
}

}  // namespace
}  // namespace vort64
