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

constexpr int32_t kNothingToShow = 999;

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

// The set path while custom settings are imported: console messages give way
// to one line per setting in ResultTemp.txt, and the verdict marks follow.
class QuietSetTest : public ::testing::Test {
 protected:
  QuietSetTest()
      : console_(out_, err_),
        ctx_{console_, InterfaceVersion{2, 90}},
        session_{firmware_, console_, InterfaceVersion{2, 90}} {
    BuildSettingCatalog(catalog_, 2, 90);
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-executor-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    EXPECT_TRUE(results_.Open(dir_));
    console_.SetQuiet();
    firmware_.block.assign(2048, 0);
  }
  ~QuietSetTest() override {
    // Windows removes no file that is still open.
    results_.result().close();
    results_.temp().close();
    std::filesystem::remove_all(dir_);
  }

  OperationResult Run(const ParsedRequest& request, const SettingCatalog& catalog) {
    std::vector<uint8_t> buffer(2048, 0);
    Operations ops{ctx_, session_, catalog, input_, &results_};
    return ExecuteOperation(ops, request, buffer);
  }

  // The set's firmware code, 0 for a read-back that agrees, 999 for a set
  // that stopped with nothing to show.
  int32_t Set(const std::wstring& item, uint8_t value) {
    ParsedRequest request;
    request.function = Function::kSet;
    request.itemName = item;
    request.itemText = item;
    request.byteValue = value;
    return Run(request, catalog_).Code();
  }

  std::string Lines() {
    results_.temp().flush();
    std::ifstream in(dir_ / kResultTempFile, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  FirmwareSession session_;
  std::istringstream input_;
  SettingCatalog catalog_;
  ImportResults results_;
  std::filesystem::path dir_;
};

TEST_F(QuietSetTest, PassingSetWritesPassAndKeepsTheMarks) {
  EXPECT_EQ(Set(L"boot mode", 1), 0);
  EXPECT_EQ(Lines(), "boot mode:\t\t\t\tPass\r\n");
  EXPECT_TRUE(results_.overallPass);
  EXPECT_FALSE(results_.rebootRequired);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(QuietSetTest, RefusedReadsWriteTheirWordAndClearTheMarks) {
  firmware_.codes[L"GetBiosOptions"] = 2;
  EXPECT_EQ(Set(L"boot mode", 1), 2);
  EXPECT_FALSE(results_.overallPass);
  results_.overallPass = true;
  results_.rebootRequired = true;
  firmware_.codes[L"GetBiosOptions"] = 7;
  EXPECT_EQ(Set(L"fast boot", 1), 7);
  EXPECT_FALSE(results_.overallPass);
  EXPECT_FALSE(results_.rebootRequired);
  results_.overallPass = true;
  firmware_.codes[L"GetBiosOptions"] = 3;  // other failing reads leave no line
  EXPECT_EQ(Set(L"fast boot", 1), 3);
  EXPECT_TRUE(results_.overallPass);
  EXPECT_EQ(Lines(), "boot mode:\t\t\t\tIncorrect password\r\nfast boot:\t\t\t\tPassword retry count exceeded\r\n");
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 0u);
}

TEST_F(QuietSetTest, VerdictFollowsTheOrderOfFailuresAndReboots) {
  firmware_.codes[L"SetBiosOptions"] = 3;
  EXPECT_EQ(Set(L"boot mode", 1), 3);
  firmware_.codes[L"SetBiosOptions"] = 8;
  EXPECT_EQ(Set(L"fast boot", 1), 0);  // the read-back comparison decides
  EXPECT_FALSE(results_.overallPass);
  EXPECT_TRUE(results_.rebootRequired);
  firmware_.codes[L"SetBiosOptions"] = 209;
  EXPECT_EQ(Set(L"boot mode", 0), 209);
  EXPECT_FALSE(results_.rebootRequired);
  EXPECT_EQ(Lines(),
            "boot mode:\t\t\t\tInvalid Parameter\r\n"
            "fast boot:\t\t\t\tPass and reboot required to make function works\r\n"
            "boot mode:\t\t\t\tIncompatible Data Structure. BIOS Setup Data is unexpected\r\n");
}

TEST_F(QuietSetTest, UnsupportedSettingIsSkippedWithoutWriting) {
  firmware_.block[catalog_.GetSettingOffset(L"wi-fi")] = 255;
  EXPECT_EQ(Set(L"wi-fi", 1), kNothingToShow);
  EXPECT_EQ(Lines(), "wi-fi:\t\t\t\t\tNot support\r\n");
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 0u);
  EXPECT_TRUE(results_.overallPass);
}

TEST_F(QuietSetTest, ClearTpmIsNotReadBack) {
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"clear tpm";
  request.byteValue = 1;
  SettingCatalog catalog;
  catalog.AddSetting(L"clear tpm", SettingInfo{L"Set clear tpm", L"1 : Clear", L"Security", 1, 250});
  firmware_.codes[L"SetBiosOptions"] = 8;
  const OperationResult result = Run(request, catalog);
  EXPECT_EQ(result.kind, OperationResult::Kind::kDone);
  EXPECT_EQ(result.firmwareCode, 8);
  EXPECT_EQ(firmware_.CallsOf(L"GetBiosOptions"), 1u);
}

TEST_F(QuietSetTest, EachSetCodeLeavesItsWordOrNone) {
  const struct {
    int32_t code;
    std::string line;
  } cases[] = {
      {0, "boot mode:\t\t\t\tPass\r\n"},
      {8, "boot mode:\t\t\t\tPass and reboot required to make function works\r\n"},
      {3, "boot mode:\t\t\t\tInvalid Parameter\r\n"},
      {42, "boot mode:\t\t\t\t"},  // an unknown code leaves the line open
      {210, "boot mode:\t\t\t\tControl method not support, DFCI is controlling\r\n"},
  };
  std::string expected;
  for (const auto& c : cases) {
    firmware_.codes = {{L"SetBiosOptions", c.code}};
    Set(L"boot mode", 1);
    expected += c.line;
  }
  struct FailingSet : ScriptedFirmware {
    Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override {
      if (call.method == L"SetBiosOptions") return kStatusFailed;
      return ScriptedFirmware::ExecuteMethod(call, out);
    }
  } failing;
  failing.block.assign(2048, 0);
  FirmwareSession session{failing, console_, InterfaceVersion{2, 90}};
  ParsedRequest request;
  request.function = Function::kSet;
  request.itemName = L"boot mode";
  request.byteValue = 1;
  std::vector<uint8_t> buffer(2048, 0);
  Operations ops{ctx_, session, catalog_, input_, &results_};
  EXPECT_EQ(ExecuteOperation(ops, request, buffer).kind, OperationResult::Kind::kFirmwareFailed);
  EXPECT_EQ(Lines(), expected + "boot mode:\t\t\t\tFail\r\n");
  EXPECT_EQ(out_.str(), "");
}

// The self-test changes the supervisor and user passwords through the
// console, and sends the block once.
class SelfTestPasswordTest : public ::testing::Test {
 protected:
  SelfTestPasswordTest()
      : console_(out_, err_),
        ctx_{console_, InterfaceVersion{2, 90}},
        session_{firmware_, console_, InterfaceVersion{2, 90}} {
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
    request.byteValue = 1;
    std::copy_n("ignored", 7, request.newPassword.begin());
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
  EXPECT_EQ(result.kind, OperationResult::Kind::kFirmwareFailed);
  EXPECT_EQ(result.firmwareCode, 2);
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 1u);
}

}  // namespace
}  // namespace vort64
