#include "ops/firmware_calls.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "base/console.h"
#include "ops/executor.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

// The functions' firmware calls say what the method handed back on the
// run's console, at once and in order, and keep its outcome.
class FirmwareCallsTest : public ::testing::Test {
 protected:
  FirmwareCallsTest()
      : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}}, session_{firmware_, ctx_.version} {}

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  FirmwareSession session_;
  SettingCatalog catalog_;
  std::istringstream input_;
  Operations ops_{ctx_, session_, catalog_, input_};
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(2048, 0);
};

TEST_F(FirmwareCallsTest, EachCallSaysItsMessagesAndKeepsItsOutcome) {
  firmware_.codes = {{L"SetBiosOptions", 8}, {L"LoadUserDefault", 4}};
  EXPECT_TRUE(GetBiosOptions(ops_, "", buffer_).passed());
  EXPECT_EQ(buffer_, std::vector<uint8_t>(2048, 7));
  const MethodOutcome set = SetBiosOptions(ops_, "", buffer_);
  EXPECT_TRUE(set.rebootRequired());
  EXPECT_TRUE(set.said.empty());  // said once, here
  EXPECT_TRUE(GetBiosDefaultOptions(ops_, "", buffer_).passed());
  EXPECT_TRUE(SetBiosDefaultOptions(ops_, "", buffer_).passed());
  EXPECT_TRUE(LoadBIOSDefault(ops_, "").passed());
  EXPECT_EQ(LoadUserDefault(ops_, "").code, 4);
  EXPECT_EQ(firmware_.calls.size(), 6u);
  EXPECT_EQ(out_.str(),
            "Get BIOS options success.\n"
            "Set BIOS options success and reboot required to make function works.\n"
            "Get BIOS default options Success.\n"
            "Set BIOS default options success.\n"
            "Load BIOS Default Success.\n"
            "Error: No user default found.\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(FirmwareCallsTest, QuietConsoleWithholdsAllButTheDefaultsReadFailure) {
  console_.SetQuiet();
  for (int32_t code : {0, 8, 3, 42, 210}) {
    firmware_.codes = {{L"SetBiosOptions", code}, {L"GetBiosOptions", code}};
    EXPECT_EQ(SetBiosOptions(ops_, "", buffer_).code, code);
    EXPECT_EQ(GetBiosOptions(ops_, "", buffer_).code, code);
  }
  firmware_.executes = false;
  SetBiosOptions(ops_, "", buffer_);
  GetBiosDefaultOptions(ops_, "", buffer_);  // its failure shows even while quiet
  EXPECT_EQ(out_.str(), "Error: WMI method execution failed.");
  EXPECT_EQ(err_.str(), "");
}

// The password file's line goes to standard error before the method's
// message: both streams in one, the order they are said in.
TEST_F(FirmwareCallsTest, ThePasswordFilesLineIsSaidBeforeTheMethodsMessage) {
  std::ostringstream both;
  Console console(both, both);
  const RunContext ctx{console, InterfaceVersion{2, 90}};
  Operations ops{ctx, session_, catalog_, input_};
  session_.passwords.own = "New1";
  session_.passwords.earlier = {"Old2"};
  session_.passwords.file = "pw.txt";
  firmware_.codeOfCall = {{0, 2}};
  EXPECT_TRUE(GetBiosOptions(ops, "New1", buffer_).passed());
  EXPECT_EQ(both.str(), "password: line 2 of pw.txt accepted\nGet BIOS options success.\n");
  EXPECT_EQ(firmware_.calls.size(), 2u);
}

}  // namespace
}  // namespace vort64
