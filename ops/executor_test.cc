#include "ops/executor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/console.h"
#include "ops/result_files.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

TEST(ResultLineTest, TabsPutTheWordAtColumnForty) {
  // The number of tabs after "name:" for a name of `length` characters.
  const auto tabs = [](size_t length) { return ResultLineStart(std::wstring(length, L'x')).size() - length - 1; };
  EXPECT_EQ(tabs(31), 1u);
  EXPECT_EQ(tabs(10), 4u);
  EXPECT_EQ(tabs(9), 4u);
  EXPECT_EQ(tabs(23), 2u);
  EXPECT_EQ(tabs(24), 2u);
  EXPECT_EQ(tabs(32), 1u);
  EXPECT_EQ(tabs(60), 1u);
  EXPECT_EQ(ResultLineStart(L"boot mode"), L"boot mode:\t\t\t\t");
}

// What the set path answers for each way a setting can end; the outcome
// table turns it into every output.
class SetOutcomeTest : public ::testing::Test {
 protected:
  SetOutcomeTest()
      : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}}, session_{firmware_, InterfaceVersion{2, 90}} {
    BuildSettingCatalog(catalog_, 2, 90);
    firmware_.block.assign(2048, 0);
  }

  OperationResult Run(const ParsedRequest& request, const SettingCatalog& catalog) {
    std::vector<uint8_t> buffer(2048, 0);
    Operations ops{ctx_, session_, catalog, input_};
    return ExecuteOperation(ops, request, buffer);
  }

  OperationResult Set(const std::wstring& item, uint8_t value) {
    ParsedRequest request;
    request.function = Function::kSet;
    request.itemName = item;
    request.itemText = item;
    request.value.Assign(std::vector<uint8_t>{value});
    return Run(request, catalog_);
  }

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  FirmwareSession session_;
  std::istringstream input_;
  SettingCatalog catalog_;
};

TEST_F(SetOutcomeTest, EachWayASettingEndsHasItsOwnOutcome) {
  using Kind = OperationResult::Kind;
  const struct {
    const char* label;
    int32_t getCode;
    int32_t setCode;
    bool stuck;  // the firmware keeps the stored byte
    Kind kind;
    int32_t code;
    size_t sets;
  } kCases[] = {
      {"written and read back", 0, 0, false, Kind::kDone, 0, 1},
      {"reboot required", 0, 8, false, Kind::kDone, 8, 1},
      {"read refused", 2, 0, false, Kind::kReadFailed, 2, 0},
      {"read answers 3", 3, 0, false, Kind::kReadFailed, 3, 0},
      {"write refused", 0, 3, false, Kind::kFirmwareRefused, 3, 1},
      {"write answers an unknown code", 0, 42, false, Kind::kFirmwareRefused, 42, 1},
      {"not the same after writing", 0, 0, true, Kind::kNotTheSame, 0, 1},
      {"not the same after a reboot request", 0, 8, true, Kind::kNotTheSame, 0, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    firmware_.calls.clear();
    firmware_.block.assign(2048, 0);
    firmware_.codes = {{L"GetBiosOptions", c.getCode}, {L"SetBiosOptions", c.setCode}};
    firmware_.keepBlockOnSet = c.stuck;
    const OperationResult r = Set(L"boot mode", 1);
    EXPECT_EQ(r.kind, c.kind);
    if (c.kind != Kind::kNotTheSame) {
      EXPECT_EQ(r.firmwareCode, c.code);
    }
    EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), c.sets);
    EXPECT_EQ(r.blockSent, c.sets > 0);
  }
}

TEST_F(SetOutcomeTest, UnsupportedSettingIsSkippedWithoutWriting) {
  firmware_.block[catalog_.GetSettingOffset(L"wi-fi")] = 255;
  EXPECT_EQ(Set(L"wi-fi", 1).kind, OperationResult::Kind::kUnsupported);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 0u);
  EXPECT_EQ(out_.str().find("Skip Set BIOS options because not support\n") != std::string::npos, true);
}

TEST_F(SetOutcomeTest, APasswordTheFieldRefusesIsARefusedValueAndNothingIsSent) {
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"set supervisor password";
  request.itemText = request.itemName;
  request.value.Assign(std::vector<uint8_t>{'a', ' ', 'b'});
  request.newPasswordSlot = PasswordSlot::kSupervisor;
  EXPECT_EQ(Run(request, catalog_).kind, OperationResult::Kind::kValueRefused);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 0u);
}

TEST_F(SetOutcomeTest, ADateSentAs238IsTheFirmwaresClockAndReadsBackTheSame) {
  firmware_.keepClockOn238 = true;
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"date";
  request.itemText = L"date";
  request.value.Assign(std::vector<uint8_t>{238, 238, 238});
  EXPECT_EQ(Run(request, catalog_).kind, OperationResult::Kind::kDone);
}

TEST_F(SetOutcomeTest, ClearTpmIsNotReadBack) {
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"clear tpm";
  request.value.Assign(std::vector<uint8_t>{1});
  SettingCatalog catalog;
  catalog.AddSetting(L"clear tpm", MakeSettingInfo(L"Set clear tpm", L"1 : Clear", Category::kSecurity, 1, 250));
  firmware_.codes[L"SetBiosOptions"] = 8;
  const OperationResult result = Run(request, catalog);
  EXPECT_EQ(result.kind, OperationResult::Kind::kDone);
  EXPECT_EQ(result.firmwareCode, 8);
  EXPECT_EQ(firmware_.CallsOf(L"GetBiosOptions"), 1u);
}

TEST_F(SetOutcomeTest, ASetThatDoesNotExecuteIsRefusedAsNotExecuted) {
  struct FailingSet : ScriptedFirmware {
    Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override {
      if (call.method == L"SetBiosOptions") return kStatusFailed;
      return ScriptedFirmware::ExecuteMethod(call, out);
    }
  } failing;
  failing.block.assign(2048, 0);
  FirmwareSession session{failing, InterfaceVersion{2, 90}};
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"boot mode";
  request.value.Assign(std::vector<uint8_t>{1});
  std::vector<uint8_t> buffer(2048, 0);
  Operations ops{ctx_, session, catalog_, input_};
  const OperationResult r = ExecuteOperation(ops, request, buffer);
  EXPECT_EQ(r.kind, OperationResult::Kind::kFirmwareRefused);
  EXPECT_FALSE(r.executed);
}

// The self-test changes the supervisor and user passwords through the
// console, and sends the block once.
class SelfTestPasswordTest : public ::testing::Test {
 protected:
  SelfTestPasswordTest()
      : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}}, session_{firmware_, InterfaceVersion{2, 90}} {
    BuildSettingCatalog(catalog_, 2, 90);
    firmware_.block.assign(2048, 0);
  }

  OperationResult Set(const std::wstring& item, std::string typed) {
    input_.str(std::move(typed));
    input_.clear();
    ParsedRequest request;
    request.function = Function::kSet;
    request.itemName = item;
    request.selfTest = true;
    request.formPassword = L"ignored";
    request.value.Assign(std::vector<uint8_t>{1});  // a password setting's prompt takes no value
    Operations ops{ctx_, session_, catalog_, input_};
    return ExecuteOperation(ops, request, buffer_);
  }

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  FirmwareSession session_;
  std::istringstream input_;
  SettingCatalog catalog_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(2048, 0);
};

TEST_F(SelfTestPasswordTest, AccountPasswordsAreAskedForAndSentOnce) {
  const uint32_t at = catalog_.GetSettingOffset(L"set user password");
  const OperationResult result = Set(L"set user password", "old new\n");
  EXPECT_EQ(result.kind, OperationResult::Kind::kDone);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 1u);
  EXPECT_EQ(firmware_.CallsOf(L"GetBiosOptions"), 1u);
  EXPECT_EQ(std::vector<uint8_t>(buffer_.begin() + at, buffer_.begin() + at + 5),
            (std::vector<uint8_t>{3, 'o', 'l', 'd', '0'}));
  EXPECT_EQ(buffer_[235], 2);
  EXPECT_NE(out_.str().find("Enter Current password : \nEnter Changed password : \nflag for setting : 2\n"
                            "Set BIOS options Success.\n"),
            std::string::npos);

  // Other settings are placed as usual during the self-test.
  firmware_.calls.clear();
  EXPECT_EQ(Set(L"boot mode", "").kind, OperationResult::Kind::kDone);
  EXPECT_EQ(buffer_[catalog_.GetSettingOffset(L"boot mode")], 1);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 1u);
}

TEST_F(SelfTestPasswordTest, FirmwareRefusalOfThePasswordChangeIsTheResult) {
  firmware_.codes[L"SetBiosOptions"] = 2;
  const OperationResult result = Set(L"set supervisor password", "old new\n");
  EXPECT_EQ(result.kind, OperationResult::Kind::kFirmwareRefused);
  EXPECT_EQ(result.firmwareCode, 2);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 1u);
}

}  // namespace
}  // namespace vort64
