#include "autotest/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/console.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

TEST(AutotestValueTest, TwoLowestBitsDecide) {
  const struct { uint8_t held, tested; } cases[] = {{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {254, 0}, {255, 0}, {8, 1}};
  for (const auto& c : cases) EXPECT_EQ(AutotestValue(c.held), c.tested) << int{c.held};
}

// The driver against a scripted firmware on interface 2.90.
class AutotestDriverTest : public ::testing::Test {
 protected:
  AutotestDriverTest()
      : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}}, session_{firmware_, console_, ctx_.version} {
    BuildSettingCatalog(catalog_, 2, 90);
    firmware_.block.assign(2048, 0);
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-autotest-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    request_.function = Function::kGet;
    request_.itemName = L"autotest";
    request_.selfTest = true;
  }
  ~AutotestDriverTest() override { std::filesystem::remove_all(dir_); }

  AutotestVerdict Run(std::string typed = "a b\nc d\n") {
    input_.str(std::move(typed));
    Operations ops{ctx_, session_, catalog_, input_};
    AutotestReport report(console_, dir_);
    return RunAutotest(ops, request_, report, [this] { ++pauses_; });
  }

  // The last line the run wrote on standard output.
  std::string LastLine() const {
    const std::string out = out_.str();
    const size_t start = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
    return start == std::string::npos ? out : out.substr(start + 1);
  }

  // The byte at `offset` of each block sent, in order.
  std::vector<uint8_t> SentAt(uint32_t offset) const {
    std::vector<uint8_t> sent;
    for (size_t i = 0; i < firmware_.calls.size(); ++i) {
      if (firmware_.calls[i].method == L"SetBiosOptions") sent.push_back(firmware_.In(i, L"Data").bytes.at(offset));
    }
    return sent;
  }
  uint32_t Offset(const wchar_t* name) const { return catalog_.GetSettingOffset(name); }

  std::ostringstream out_, err_;
  std::istringstream input_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  FirmwareSession session_;
  SettingCatalog catalog_;
  ParsedRequest request_;
  std::filesystem::path dir_;
  int pauses_ = 0;
};

TEST_F(AutotestDriverTest, EachSettingIsWrittenWithItsTestValueAndRestored) {
  const struct {
    const wchar_t* name;
    uint8_t held;
  } cases[] = {{L"intel vtd", 1}, {L"wake on lan", 2}, {L"boot mode", 4}, {L"clear tpm(tcm)", 0}};
  for (const auto& c : cases) firmware_.block[Offset(c.name)] = c.held;
  EXPECT_EQ(Run(), AutotestVerdict::kNoFault);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    const auto sent = SentAt(Offset(c.name));
    // Somewhere in the run: the test value, then the value held.
    const auto test = std::find(sent.begin(), sent.end(), AutotestValue(c.held));
    ASSERT_NE(test, sent.end());
    EXPECT_NE(std::find(test, sent.end(), c.held), sent.end());
    EXPECT_EQ(firmware_.block[Offset(c.name)], c.held);
  }
  EXPECT_EQ(pauses_, 2);
}

TEST_F(AutotestDriverTest, BootOrderIsTestedByItsFirstDeviceAndComesBackWhole) {
  const uint32_t at = Offset(L"boot priority order");
  const std::vector<uint8_t> order = {1, 2, 7, 10, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  std::copy(order.begin(), order.end(), firmware_.block.begin() + at);
  EXPECT_EQ(Run(), AutotestVerdict::kNoFault);
  EXPECT_EQ(std::vector<uint8_t>(firmware_.block.begin() + at, firmware_.block.begin() + at + 16), order);
  const auto firstDevices = SentAt(at);
  EXPECT_NE(std::find(firstDevices.begin(), firstDevices.end(), 0), firstDevices.end());
}

size_t Count(const std::string& text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// G: GetBiosOptions, S: SetBiosOptions, in the order called.
std::string CallLetters(const ScriptedFirmware& firmware) {
  std::string letters;
  for (const auto& call : firmware.calls) letters += call.method == L"GetBiosOptions" ? 'G' : 'S';
  return letters;
}

std::string Repeat(std::string_view text, size_t n) {
  std::string all;
  for (size_t i = 0; i < n; ++i) all += text;
  return all;
}

// `head`, then `repeated` n times, then `tail`.
std::string Sequence(std::string_view head, std::string_view repeated, size_t n, std::string_view tail) {
  std::string all(head);
  all += Repeat(repeated, n);
  all += tail;
  return all;
}

TEST_F(AutotestDriverTest, OneReadForTheRunThenFourCallsPerItem) {
  EXPECT_EQ(Run(), AutotestVerdict::kNoFault);
  // 64 settings: the test value written and read back, the first value
  // written and read back (the next item's read). The supervisor password's
  // block is sent once and not read back, so the user password's item reads.
  EXPECT_EQ(CallLetters(firmware_), Sequence("G", "SGSG", 64, "SGS"));
  EXPECT_EQ(Count(out_.str(), "Get BIOS options success.\n"), firmware_.CallsOf(L"GetBiosOptions"));
  EXPECT_EQ(Count(out_.str(), "Set BIOS options Success.\n"), firmware_.CallsOf(L"SetBiosOptions"));
}

TEST_F(AutotestDriverTest, AReadThatFailedIsMadeAgainByTheNextStep) {
  // Every read fails: each present item makes its own read.
  firmware_.codes[L"GetBiosOptions"] = 3;
  EXPECT_EQ(Run(), AutotestVerdict::kFaultFound);
  // A password item tries once more for its change.
  EXPECT_EQ(CallLetters(firmware_), Sequence("", "G", 64, "GGGG"));
  EXPECT_EQ(firmware_.CallsOf(L"SetBiosOptions"), 0u);

  // A refused password is sent once: the firmware would lock after three.
  firmware_.calls.clear();
  firmware_.codes[L"GetBiosOptions"] = 2;
  session_.passwords = {};
  EXPECT_EQ(Run(), AutotestVerdict::kFaultFound);
  EXPECT_EQ(CallLetters(firmware_), "G");

  // The read-back of the first item's test value fails: the restore reads
  // the block again before it writes the first value back.
  firmware_.calls.clear();
  firmware_.codes.clear();
  session_.passwords = {};
  firmware_.codeOfCall[2] = 3;
  EXPECT_EQ(Run(), AutotestVerdict::kFaultFound);
  EXPECT_EQ(CallLetters(firmware_), Sequence("GSGGSG", "SGSG", 63, "SGS"));
  EXPECT_EQ(SentAt(Offset(L"intel vtd")).at(1), 0);  // the first value, written back
  EXPECT_EQ(firmware_.block[Offset(L"intel vtd")], 0);
}

TEST_F(AutotestDriverTest, FailuresOtherThanAbsentOrUnsupportedAreFaults) {
  const std::string report = (dir_ / kAutotestReportFile).string();
  firmware_.block[Offset(L"wigig")] = 255;  // not supported: a skip, no fault
  EXPECT_EQ(Run(), AutotestVerdict::kNoFault);
  EXPECT_EQ(LastLine(), "Self-test: 65 passed, 1 skipped, 0 failed; report: " + report + "\n");

  firmware_.calls.clear();
  firmware_.codes[L"SetBiosOptions"] = 3;
  EXPECT_EQ(Run(), AutotestVerdict::kFaultFound);
  EXPECT_EQ(LastLine(), "Self-test: 0 passed, 1 skipped, 65 failed; report: " + report + "\n");
  // A refused write is still followed by the restore.
  EXPECT_GT(firmware_.CallsOf(L"SetBiosOptions"), 66u);

  firmware_.codes.clear();
  EXPECT_EQ(Run(""), AutotestVerdict::kFaultFound);  // no password typed: the change did not happen
  EXPECT_EQ(LastLine(), "Self-test: 63 passed, 1 skipped, 2 failed; report: " + report + "\n");
}

}  // namespace
}  // namespace vort64
