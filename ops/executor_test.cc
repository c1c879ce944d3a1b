#include "ops/executor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/console.h"
#include "base/import_results.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

TEST(ResultLineTest, TabsPutTheWordAtColumnForty) {
  EXPECT_EQ(ResultLineTabs(31), 1u);
  EXPECT_EQ(ResultLineTabs(10), 4u);
  EXPECT_EQ(ResultLineTabs(9), 4u);
  EXPECT_EQ(ResultLineTabs(23), 2u);
  EXPECT_EQ(ResultLineTabs(24), 2u);
  EXPECT_EQ(ResultLineTabs(32), 1u);
  EXPECT_EQ(ResultLineTabs(60), 1u);
}

// The set path while custom settings are imported: console messages give way
// to one line per setting in ResultTemp.txt, and the verdict marks follow.
class QuietSetTest : public ::testing::Test {
 protected:
  QuietSetTest() : console_(out_, err_), ctx_(console_, firmware_) {
    BuildSettingCatalog(catalog_, 2, 90);
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-executor-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    EXPECT_TRUE(results_.Open(dir_));
    ctx_.results = &results_;
    ctx_.AcceptVersion(90);
    console_.SetQuiet();
    firmware_.block.assign(2048, 0);
  }
  ~QuietSetTest() override {
    // Windows removes no file that is still open.
    results_.result().close();
    results_.temp().close();
    std::filesystem::remove_all(dir_);
  }

  int32_t Set(const std::wstring& item, uint8_t value) {
    ParsedRequest request;
    request.functionName = L"set";
    request.itemName = item;
    request.itemText = item;
    request.byteValue = value;
    std::vector<uint8_t> buffer(2048, 0);
    std::istringstream input;
    return ExecuteOperation(ctx_, catalog_, request, buffer, input);
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
  request.functionName = L"set";
  request.itemName = L"clear tpm";
  request.byteValue = 1;
  SettingCatalog catalog;
  catalog.AddSetting(L"clear tpm", SettingInfo{L"Set clear tpm", L"1 : Clear", L"Security", 1, 250});
  std::vector<uint8_t> buffer(2048, 0);
  std::istringstream input;
  firmware_.codes[L"SetBiosOptions"] = 8;
  EXPECT_EQ(ExecuteOperation(ctx_, catalog, request, buffer, input), 8);
  EXPECT_EQ(firmware_.CallsOf(L"GetBiosOptions"), 1u);
}

}  // namespace
}  // namespace vort64
