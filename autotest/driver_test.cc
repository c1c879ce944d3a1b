#include "autotest/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
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
      : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}}, session_{firmware_, ctx_.version} {
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

  AutotestVerdict Run(std::string typed = "a b\nc d\n") { return RunInto(dir_, std::move(typed)); }
  // A run whose report goes to `dir`.
  AutotestVerdict RunInto(const std::filesystem::path& dir, std::string typed = "a b\nc d\n") {
    input_.clear();  // a run before may have read to the end
    input_.str(std::move(typed));
    Operations ops{ctx_, session_, catalog_, input_};
    AutotestReport report(console_, dir);
    return RunAutotest(ops, request_, report, [this] { ++pauses_; });
  }

  // The report the last run wrote, its line ends as LF (Windows writes CR LF).
  std::string Report() const {
    std::ifstream in(dir_ / kAutotestReportFile, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
      text += raw[i];
    }
    return text;
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

// How the items of a report ended, as its colours show them: an item with
// a red line failed, one with an orange line and no red one was skipped,
// any other passed. "P S F" as the summary and the console count them.
std::string CountsByColour(const std::string& report) {
  size_t passed = 0, skipped = 0, failed = 0;
  const std::string header = "Vortmark : ";
  for (size_t at = report.find(header); at != std::string::npos;) {
    const size_t next = report.find(header, at + 1);
    const std::string item = report.substr(at, next == std::string::npos ? std::string::npos : next - at);
    if (item.find("color:red;") != std::string::npos) {
      ++failed;
    } else if (item.find("color:orange;") != std::string::npos) {
      ++skipped;
    } else {
      ++passed;
    }
    at = next;
  }
  return std::to_string(passed) + " passed, " + std::to_string(skipped) + " skipped, " + std::to_string(failed) +
         " failed";
}

// Whatever way an item fails (a refused write, a read-back that differs, a
// password change that did not happen, a first value that could not be
// written back), the report shows it in red, and the report's colours, its
// summary and the console's closing line count the same.
TEST_F(AutotestDriverTest, AFailedItemIsRedAndTheReportCountsAsTheConsole) {
  const struct {
    const char* what;
    std::function<void(ScriptedFirmware&)> arrange;
    std::string typed;
    const char* counts;
  } cases[] = {
      {"a setting not supported", [this](ScriptedFirmware& f) { f.block[Offset(L"wigig")] = 255; }, "a b\nc d\n",
       "65 passed, 1 skipped, 0 failed"},
      {"every write refused", [](ScriptedFirmware& f) { f.codes[L"SetBiosOptions"] = 3; }, "a b\nc d\n",
       "0 passed, 0 skipped, 66 failed"},
      {"no password typed", [](ScriptedFirmware&) {}, "", "64 passed, 0 skipped, 2 failed"},
      {"the first restore refused", [](ScriptedFirmware& f) { f.codeOfCall[3] = 3; }, "a b\nc d\n",
       "65 passed, 0 skipped, 1 failed"},
      {"a read-back refused", [](ScriptedFirmware& f) { f.codeOfCall[2] = 3; }, "a b\nc d\n",
       "65 passed, 0 skipped, 1 failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    firmware_ = ScriptedFirmware{};
    firmware_.block.assign(2048, 0);
    session_.passwords = {};
    c.arrange(firmware_);
    out_.str("");
    const AutotestVerdict verdict = Run(c.typed);
    const std::string report = Report();
    const bool failed = !std::string(c.counts).ends_with(" 0 failed");
    EXPECT_EQ(verdict, failed ? AutotestVerdict::kFaultFound : AutotestVerdict::kNoFault);
    EXPECT_EQ(LastLine(),
              std::string("Self-test: ") + c.counts + "; report: " + (dir_ / kAutotestReportFile).string() + "\n");
    EXPECT_EQ(CountsByColour(report), c.counts);
    EXPECT_NE(report.find(std::string("Items : ") + c.counts + "</pre>"), std::string::npos);
    EXPECT_NE(report.find(failed ? "<pre style=\"color:red;\">Overall result : Fail</pre>"
                                 : "<pre style=\"color:blue;\">Overall result : Pass</pre>"),
              std::string::npos);
  }
  // The last case: the first item's read-back refused (a set that was not
  // read back has no Set line), a red line after its passed Get.
  EXPECT_NE(
      Report().find("Vortmark : intel vtd</pre>\n---------------------------------------------------------------\n"
                    "<pre style=\"color:blue;\">[Success] [Get    ] intel vtd : 0</pre>"
                    "<pre style=\"color:red;\">[Fail] [Compare]</pre>"),
      std::string::npos);
}

TEST_F(AutotestDriverTest, TheFirstValueThatCouldNotBeWrittenBackIsARedRestoreLine) {
  firmware_.codeOfCall[3] = 3;  // G, S (test value), G (read back), S (first value): refused
  EXPECT_EQ(Run(), AutotestVerdict::kFaultFound);
  EXPECT_NE(Report().find("<pre style=\"color:blue;\">[Success] [Get    ] intel vtd : 0</pre>"
                          "<pre style=\"color:blue;\">[Success] [Set    ] intel vtd : 1</pre>"
                          "<pre style=\"color:blue;\">[Success] [Get    ] intel vtd : 1</pre>\n"
                          "<pre style=\"color:blue;\">[Success] [Compare]</pre>"
                          "<pre style=\"color:red;\">[Fail] [Restore]</pre>"),
            std::string::npos);
  EXPECT_NE(out_.str().find("Restore of intel vtd failed: it may keep its test value.\n"), std::string::npos);
}

// A report that could not be written is not named by the closing line.
// The verdict stays the items' (the program ends with 103 for the report).
TEST_F(AutotestDriverTest, AReportNotWrittenIsNotNamed) {
  EXPECT_EQ(RunInto(dir_ / "no such directory"), AutotestVerdict::kNoFault);
  EXPECT_EQ(LastLine(), "Self-test: 66 passed, 0 skipped, 0 failed; the report was not written\n");
  EXPECT_NE(out_.str().find("file: VORT_AutoTestResult.html open failed. \n\n"), std::string::npos);
  EXPECT_EQ(out_.str().find("report: "), std::string::npos);
}

}  // namespace
}  // namespace vort64
