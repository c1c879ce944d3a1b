#include "ops/custom_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/console.h"
#include "ops/result_files.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

// The import on a scripted firmware: the machine lines of Result.txt come
// from the SMBIOS tables the run read, and only from the structures there.
class CustomImportTest : public ::testing::Test {
 protected:
  CustomImportTest() : console_(out_, err_), ctx_{console_, InterfaceVersion{2, 90}} {
    BuildSettingCatalog(catalog_, 2, 90);
    firmware_.block.assign(2048, 0);
    console_.SetQuiet();  // as the run makes it for an import
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-import-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "in.xml") << "<?xml version='1.0' encoding='UTF-8'?>\n<Root><Category name=\"x\">"
                                      "<Item name=\"boot mode\"><Value>1</Value></Item></Category></Root>\n";
  }
  ~CustomImportTest() override { std::filesystem::remove_all(dir_); }

  std::string Import(const RawSmbiosTable& smbios) {
    FirmwareSession session{firmware_, ctx_.version, &smbios};
    std::istringstream input;
    Operations ops{ctx_, session, catalog_, input};
    ops.workDir = dir_;
    ops.settings = &settings_;
    ParsedRequest request;
    request.function = Function::kImportCustomSettings;
    request.xmlFileName = (dir_ / "in.xml").string();
    EXPECT_TRUE(ImportCustomSettingsFile(ops, request).succeeded());
    std::ifstream in(dir_ / "Result.txt", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // Knows "boot mode=1" only.
  struct BootModeOnly final : SettingParser {
    ParsedSetting Parse(std::wstring_view name, std::wstring_view value) const override {
      ParsedSetting parsed;
      parsed.request.itemName = std::wstring(name);
      if (name != L"boot mode") {
        parsed.kind = ParsedSetting::Kind::kUnknownName;
      } else if (value == L"1") {
        parsed.kind = ParsedSetting::Kind::kRequest;
        parsed.request.function = Function::kSet;
        parsed.request.value.Assign(std::vector<uint8_t>{1});
      }
      return parsed;
    }
  } settings_;
  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  RunContext ctx_;
  SettingCatalog catalog_;
  std::filesystem::path dir_;
};

constexpr char kVerdictAndLines[] =
    "Overall result : Pass\r\n\r\n"
    "===================================Result of each settings==============================\r\n\r\n"
    "boot mode:\t\t\t\tPass\r\n";

TEST_F(CustomImportTest, MachineLinesOnlyForTheStructuresThere) {
  RawSmbiosTable none;
  none.smbiosMajor = 3;
  none.smbiosMinor = 4;
  none.data = {172, 6, 0, 0, 2, 90, 0, 0};
  EXPECT_EQ(Import(none), kVerdictAndLines);

  std::filesystem::remove(dir_ / "Result.txt");
  RawSmbiosTable both = none;
  // Type 1 with its product name (string 1) and serial number (string 2),
  // type 3 with its asset tag (string 1).
  const std::vector<uint8_t> system = {1, 8, 1, 0, 0, 1, 0, 2, 'B', 'o', 'o', 'k', 0, 'S', '1', 0, 0};
  const std::vector<uint8_t> chassis = {3, 9, 2, 0, 0, 0, 0, 0, 1, 'A', '7', 0, 0};
  both.data.insert(both.data.end(), system.begin(), system.end());
  both.data.insert(both.data.end(), chassis.begin(), chassis.end());
  EXPECT_EQ(Import(both),
            std::string("Model name : Book\r\nSerial number : S1\r\nAsset tag number : A7\r\n\r\n") + kVerdictAndLines);
}

// The verdict: a failure wins over everything after it, a reboot request
// shows only without one, and settings this machine lacks change nothing.
TEST(ImportLogTest, VerdictFollowsFailuresAndReboots) {
  using Kind = OperationResult::Kind;
  const struct {
    std::vector<OperationResult> outcomes;
    ImportVerdict verdict;
  } kCases[] = {
      {{}, ImportVerdict::kPass},
      {{{Kind::kDone, 0}, {Kind::kAbsent}, {Kind::kUnsupported}}, ImportVerdict::kPass},
      {{{Kind::kDone, 8}, {Kind::kAbsent}}, ImportVerdict::kPassRebootRequired},
      {{{Kind::kFirmwareRefused, 3}, {Kind::kDone, 8}}, ImportVerdict::kFail},
      {{{Kind::kDone, 8}, {Kind::kNotTheSame}}, ImportVerdict::kFail},
      {{{Kind::kReadFailed, 1, false}}, ImportVerdict::kFail},
      {{{Kind::kValueRefused}, {Kind::kDone, 0}}, ImportVerdict::kFail},
  };
  for (const auto& c : kCases) {
    ImportLog log;
    for (const OperationResult& r : c.outcomes) log.Add(L"x", RuleFor(r));
    EXPECT_EQ(log.Verdict(), c.verdict);
  }
  ImportLog log;
  log.Add(L"boot mode", RuleFor({Kind::kDone, 0}));
  log.Add(L"a setting with a name of 33 chars", RuleFor({Kind::kFirmwareRefused, 42}));
  EXPECT_EQ(log.Block(L"Model name : \u00e9\n"),
            "Model name : \xe9\r\n"
            "Overall result : Fail\r\n\r\n"
            "===================================Result of each settings==============================\r\n\r\n"
            "boot mode:\t\t\t\tPass\r\n"
            "a setting with a name of 33 chars:\tFail\r\n");
}

// Result.txt is opened before anything is applied: one that cannot be
// opened stops the import with the firmware untouched.
TEST_F(CustomImportTest, AResultFileThatCannotBeOpenedStopsTheImportBeforeAnyCall) {
  std::filesystem::create_directory(dir_ / "Result.txt");
  FirmwareSession session{firmware_, ctx_.version, nullptr};
  std::istringstream input;
  Operations ops{ctx_, session, catalog_, input};
  ops.workDir = dir_;
  ops.settings = &settings_;
  ParsedRequest request;
  request.function = Function::kImportCustomSettings;
  request.xmlFileName = (dir_ / "in.xml").string();
  EXPECT_EQ(ImportCustomSettingsFile(ops, request).kind, OperationResult::Kind::kFileFailed);
  EXPECT_EQ(out_.str(), "file: Result.txt is a directory, not a regular file: nothing was written. \n\n");
  EXPECT_TRUE(firmware_.calls.empty());
}

}  // namespace
}  // namespace vort64
