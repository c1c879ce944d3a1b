#include "ops/apply_settings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/option_block.h"
#include "catalog/catalog.h"
#include "catalog/setting_kind.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

// The routine on a scripted 2.90 firmware whose block is all 7s, as a
// caller that has just read it.
class ApplySettingsTest : public ::testing::Test {
 protected:
  ApplySettingsTest() : console_(out_, err_) { Use(90); }

  void Use(uint32_t minor) {
    ctx_.emplace(RunContext{console_, InterfaceVersion{2, minor}});
    session_.emplace(FirmwareSession{firmware_, InterfaceVersion{2, minor}});
    catalog_ = SettingCatalog{};
    BuildSettingCatalog(catalog_, 2, minor);
    ops_.emplace(Operations{*ctx_, *session_, catalog_, input_});
  }

  // A /set of `name` to `value` as the parser gives it.
  ParsedRequest& Add(const std::wstring& name, std::vector<uint8_t> value) {
    ParsedRequest& request = requests_.emplace_back();
    request.function = Function::kSet;
    request.itemName = name;
    request.itemText = name;
    request.value.Assign(value);
    return request;
  }

  Applied Apply(OptionBlock target = OptionBlock::kCurrent) {
    ApplyRequest what{.target = target, .password = "", .settings = {}, .sayWhy = true};
    for (const ParsedRequest& r : requests_) what.settings.push_back(&r);
    block_ = firmware_.block;
    return ApplySettings(*ops_, what, block_, readBack_);
  }

  // The clock bytes of the block sent by call `i`.
  std::vector<uint8_t> SentClock(size_t i) const {
    const std::vector<uint8_t>& sent = firmware_.In(i, L"Data").bytes;
    return {sent.begin() + kClockFirstByte, sent.begin() + kClockEndByte};
  }

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  std::optional<RunContext> ctx_;
  std::optional<FirmwareSession> session_;
  SettingCatalog catalog_;
  std::istringstream input_;
  std::optional<Operations> ops_;
  std::vector<ParsedRequest> requests_;
  std::vector<uint8_t> block_;
  std::vector<uint8_t> readBack_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
};

// One rule for the clock bytes, however many settings share the block: each
// kind asks the firmware to keep the ones it does not place (238), a tag
// asks nothing of the clock, and a clock byte a setting places is sent as
// placed.
TEST_F(ApplySettingsTest, TheClockBytesFollowEachKindInOneBlock) {
  constexpr uint8_t K = kDoNotChange;
  const struct {
    const char* label;
    uint32_t minor;
    std::vector<std::wstring> names;
    std::vector<uint8_t> clock;
  } kCases[] = {
      {"a tag alone", 90, {L"asset tag number"}, {7, 7, 7, 7, 7, 7}},
      {"a listed byte", 90, {L"boot mode"}, {K, K, K, K, K, K}},
      {"a tag and a byte", 90, {L"asset tag number", L"boot mode"}, {K, K, K, K, K, K}},
      {"the date", 90, {L"date"}, {1, 2, 3, K, K, K}},
      {"the time", 90, {L"time"}, {K, K, K, 4, 5, 6}},
      {"the date and the time", 90, {L"time", L"date"}, {1, 2, 3, 4, 5, 6}},
      {"a byte and the date", 90, {L"boot mode", L"date"}, {1, 2, 3, K, K, K}},
      {"a byte before the clock is kept", 54, {L"boot mode"}, {7, 7, 7, 7, 7, 7}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    Use(c.minor);
    firmware_.calls.clear();
    firmware_.block.assign(kSettingsBufferSize, 7);
    requests_.clear();
    for (const std::wstring& name : c.names) {
      if (name == L"date") {
        Add(name, {1, 2, 3});
      } else if (name == L"time") {
        Add(name, {4, 5, 6});
      } else if (name == L"boot mode") {
        Add(name, {1});
      } else {
        Add(name, {'A', 'B'});
      }
    }
    const Applied applied = Apply();
    ASSERT_EQ(firmware_.calls.size(), 2u);  // the write and its read back
    EXPECT_EQ(firmware_.calls[0].method, kSetBiosOptionsMethod);
    EXPECT_EQ(SentClock(0), c.clock);
    for (const OperationResult& outcome : applied.outcomes) {
      EXPECT_EQ(outcome.kind, Kind::kDone);
      EXPECT_TRUE(outcome.blockSent);
    }
  }
}

// One rule for the read back: a write of the current settings is read back
// unless every setting written is one whose write is not (clearing the
// TPM); a write of the defaults always is.
TEST_F(ApplySettingsTest, OneReadBackServesTheBlockWhereAnySettingNeedsIt) {
  Add(L"clear tpm(tcm)", {1});
  Applied applied = Apply();
  ASSERT_EQ(firmware_.calls.size(), 1u);
  EXPECT_FALSE(applied.readBack);
  EXPECT_EQ(applied.outcomes[0].kind, Kind::kDone);

  firmware_.calls.clear();
  Add(L"boot mode", {1});
  firmware_.codes[kSetBiosOptionsMethod] = kFirmwareRebootRequired;
  applied = Apply();
  ASSERT_EQ(firmware_.calls.size(), 2u);
  EXPECT_EQ(firmware_.calls[1].method, kGetBiosOptionsMethod);
  for (const OperationResult& outcome : applied.outcomes) EXPECT_TRUE(outcome.rebootRequired());

  firmware_.calls.clear();
  firmware_.codes.clear();
  requests_.erase(requests_.begin() + 1);
  applied = Apply(OptionBlock::kDefaults);
  ASSERT_EQ(firmware_.calls.size(), 2u);
  EXPECT_EQ(firmware_.calls[0].method, kSetBiosDefaultOptionsMethod);
  EXPECT_EQ(firmware_.calls[1].method, kGetBiosDefaultOptionsMethod);
}

// A setting the firmware marks not supported, a value it does not list and
// a password left as it is are not placed; the rest of the block is still
// written, and each setting ends as its own outcome says.
TEST_F(ApplySettingsTest, EachSettingEndsAsItsOwnOutcomeSays) {
  firmware_.block[catalog_.GetSettingOffset(L"wake on lan")] = kNotSupported;
  Add(L"wake on lan", {1});
  Add(L"boot mode", {9}).unlistedValue = true;
  ParsedRequest& kept = Add(L"set user password", {});
  kept.value.Assign(std::span(reinterpret_cast<const uint8_t*>(kKeepPasswordWord.data()), kKeepPasswordWord.size()));
  Add(L"asset tag number", {'A'});
  firmware_.codes[kGetBiosDefaultOptionsMethod] = kFirmwareSuccess;

  const Applied applied = Apply();
  ASSERT_EQ(applied.outcomes.size(), 4u);
  EXPECT_EQ(applied.outcomes[0].kind, Kind::kUnsupported);
  EXPECT_EQ(applied.outcomes[1].kind, Kind::kValueUnlisted);
  EXPECT_EQ(applied.outcomes[2].kind, Kind::kPasswordKept);
  EXPECT_EQ(applied.outcomes[3].kind, Kind::kDone);
  EXPECT_FALSE(applied.outcomes[0].blockSent);
  // Each line in the order the steps ran: why one is skipped, the read of the
  // defaults, the write, its read back, the comparison of the one written.
  EXPECT_EQ(out_.str(),
            "Skip Set BIOS options because not support\nGet BIOS default options Success.\nSet BIOS options Success.\n"
            "Get BIOS options success.\nComparison result : The same. \n");
  EXPECT_NE(err_.str().find("boot mode"), std::string::npos);
  // The defaults were read once to see whether the machine holds 9.
  EXPECT_EQ(firmware_.CallsOf(kGetBiosDefaultOptionsMethod), 1u);
  EXPECT_EQ(firmware_.CallsOf(kSetBiosOptionsMethod), 1u);
}

// Nothing placed: nothing is sent.
TEST_F(ApplySettingsTest, NothingPlacedSendsNothing) {
  firmware_.block[catalog_.GetSettingOffset(L"boot mode")] = kNotSupported;
  Add(L"boot mode", {1});
  const Applied applied = Apply();
  EXPECT_TRUE(firmware_.calls.empty());
  EXPECT_FALSE(applied.write);
  EXPECT_EQ(block_, firmware_.block);
}

// A firmware that keeps its block: every setting written reads back other
// than sent, and the check's comparison of a block with a value placed says
// the same as the write's.
TEST_F(ApplySettingsTest, TheCheckAndTheWriteCompareByOneRule) {
  firmware_.keepBlockOnSet = true;
  Add(L"boot mode", {1});
  Add(L"date", {1, 2, 3});
  const Applied applied = Apply();
  EXPECT_EQ(applied.outcomes[0].kind, Kind::kNotTheSame);
  EXPECT_EQ(applied.outcomes[1].kind, Kind::kNotTheSame);
  EXPECT_FALSE(SettingHolds(*ops_, requests_[0], block_, firmware_.block));
  EXPECT_FALSE(SettingHolds(*ops_, requests_[1], block_, firmware_.block));
  EXPECT_TRUE(SettingHolds(*ops_, requests_[0], block_, block_));

  // A time sent with the date kept as 238: the firmware's date is its own.
  requests_.clear();
  Add(L"time", {4, 5, 6});
  std::vector<uint8_t> wanted = firmware_.block;
  const uint32_t time = catalog_.GetSettingOffset(L"time");
  wanted[time] = 4;
  wanted[time + 1] = 5;
  wanted[time + 2] = 6;
  std::vector<uint8_t> held = wanted;
  for (size_t i = kClockFirstByte; i < time; ++i) wanted[i] = kDoNotChange;
  EXPECT_TRUE(SettingHolds(*ops_, requests_[0], wanted, held));
  held[time + 1] = 0;
  EXPECT_FALSE(SettingHolds(*ops_, requests_[0], wanted, held));
}

}  // namespace
}  // namespace vort64
