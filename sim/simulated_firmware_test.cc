#include "sim/simulated_firmware.h"

#include <gtest/gtest.h>

#include <fstream>

#include "catalog/catalog.h"
#include "sim/machine.h"
#include "sim/machine_files.h"

namespace vort64::sim {
namespace {

const std::wstring kConfigPath = L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";
const std::wstring kSettingPath = L"BIOSSetting.InstanceName=\"ACPI\\\\PNP0C14\\\\1_0\"";

class SimulatedFirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-sim-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Create(MachineOptions options = {}) {
    std::string error;
    ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
    firmware_ = std::make_unique<SimulatedFirmware>(dir_);
    ASSERT_TRUE(firmware_->Open());
  }

  // The password array as an interface from 2.56 on sends it.
  static std::vector<uint8_t> Ascii(const std::string& password, size_t length = 16) {
    std::vector<uint8_t> bytes(length, 0);
    std::copy(password.begin(), password.end(), bytes.begin());
    return bytes;
  }

  struct Answer {
    Status status = kStatusFailed;
    int32_t code = -1;
    std::vector<uint8_t> data;
  };

  Answer Call(const std::wstring& method, const std::string& password = "",
              std::optional<std::vector<uint8_t>> data = std::nullopt, std::vector<uint8_t> array = {}) {
    const bool config = method.find(L"Options") != std::wstring::npos;
    MethodCall call;
    call.className = config ? L"KelmBiosConfigurationTool" : L"BIOSSetting";
    call.objectPath = config ? kConfigPath : kSettingPath;
    call.method = method;
    if (array.empty()) array = Ascii(password);
    call.in = {{L"PasswordLen", FirmwareValue::Int16(static_cast<int16_t>(password.size()))},
               {L"Password", FirmwareValue::Bytes(array)}};
    if (data) call.in.push_back({L"Data", FirmwareValue::Bytes(*data)});
    call.outNames = {L"ReturnCode"};
    if (method.rfind(L"Get", 0) == 0) call.outNames.push_back(L"Data");
    std::vector<FirmwareValue> out;
    Answer answer;
    answer.status = firmware_->ExecuteMethod(call, out);
    if (answer.status == kStatusOk) {
      answer.code = out.at(0).integer;
      if (out.size() > 1) answer.data = out[1].bytes;
    }
    return answer;
  }

  std::vector<uint8_t> Stored(const char* file = kOptionsFile) { return ReadFileAtMost(dir_ / file, kBlockSize).bytes; }
  void Write(const char* file, const std::string& text) { std::ofstream(dir_ / file, std::ios::trunc) << text; }

  std::filesystem::path dir_;
  std::unique_ptr<SimulatedFirmware> firmware_;
};

TEST_F(SimulatedFirmwareTest, InstancesHaveBackslashNamesAndNeedTheEscapedPath) {
  Create();
  std::vector<std::optional<std::wstring>> names;
  ASSERT_EQ(firmware_->QueryInstanceNames(L"SELECT * FROM KelmBiosConfigurationTool", names), kStatusOk);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], std::wstring(L"ACPI\\PNP0C14\\0_0"));
  EXPECT_NE(firmware_->QueryInstanceNames(L"SELECT * FROM Win32_Bios", names), kStatusOk);

  MethodCall call;
  call.className = L"KelmBiosConfigurationTool";
  call.objectPath = L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\PNP0C14\\0_0\"";  // not escaped
  call.method = L"GetBiosOptions";
  call.in = {{L"PasswordLen", FirmwareValue::Int16(0)}, {L"Password", FirmwareValue::Bytes(Ascii(""))}};
  call.outNames = {L"ReturnCode", L"Data"};
  std::vector<FirmwareValue> out;
  EXPECT_NE(firmware_->ExecuteMethod(call, out), kStatusOk);
  call.objectPath = kConfigPath;
  EXPECT_EQ(firmware_->ExecuteMethod(call, out), kStatusOk);
}

TEST_F(SimulatedFirmwareTest, EveryCallIsLoggedWithItsPasswordArray) {
  Create();
  Call(L"GetBiosOptions", "ab");
  Call(L"LoadBIOSDefault");
  std::ifstream log(dir_ / kCallsLogFile);
  std::string first, second;
  std::getline(log, first);
  std::getline(log, second);
  EXPECT_EQ(first, "GetBiosOptions 2 61620000000000000000000000000000");
  EXPECT_EQ(second, "LoadBIOSDefault 0 00000000000000000000000000000000");
}

TEST_F(SimulatedFirmwareTest, WrongSupervisorPasswordAnswers2ThenRetryExceededUntilARightOne) {
  MachineOptions options;
  options.supervisorPassword = "secret";
  Create(options);
  EXPECT_EQ(Call(L"GetBiosOptions", "").code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "wrong").code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "secreT").code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "wrong").code, 7);
  EXPECT_EQ(Call(L"LoadBIOSDefault", "wrong").code, 7);
  const Answer right = Call(L"GetBiosOptions", "secret");
  EXPECT_EQ(right.code, 0);
  EXPECT_EQ(right.data, Stored());
  EXPECT_EQ(Call(L"GetBiosOptions", "wrong").code, 2);
}

TEST_F(SimulatedFirmwareTest, PasswordArrayIsCheckedInTheFormOfTheInterfaceVersion) {
  MachineOptions options;
  options.supervisorPassword = "ab1";
  options.wmiMinor = 40;  // scan codes, 12 bytes
  Create(options);
  EXPECT_EQ(Call(L"GetBiosOptions", "ab1", std::nullopt, Ascii("ab1", 12)).code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "ab1", std::nullopt, {0x1E, 0x30, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}).code, 0);

  options.wmiMinor = 52;  // ASCII, 12 bytes
  Create(options);
  EXPECT_EQ(Call(L"GetBiosOptions", "ab1", std::nullopt, Ascii("ab1", 16)).code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "ab1", std::nullopt, Ascii("ab1", 12)).code, 0);
}

TEST_F(SimulatedFirmwareTest, SetKeepsItsClockWhereTheBlockSays238AndKeepsUnsupportedSettings) {
  Create();
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const uint32_t wigig = catalog.GetSettingOffset(L"wigig");
  const uint32_t bootMode = catalog.GetSettingOffset(L"boot mode");
  auto block = Stored();
  ASSERT_EQ(block[wigig], 255);
  block[wigig] = 1;
  block[bootMode] = static_cast<uint8_t>(block[bootMode] == 0 ? 1 : 0);
  const uint8_t newMode = block[bootMode];
  for (size_t i = 391; i <= 393; ++i) block[i] = 238;  // date left alone
  block[394] = 5;                                      // new time: 12:34:05
  block[395] = 34;
  block[396] = 12;
  const auto before = Stored();
  EXPECT_EQ(Call(L"SetBiosOptions", "", block).code, 0);
  const auto after = Stored();
  EXPECT_EQ(after[bootMode], newMode);
  EXPECT_EQ(after[wigig], 255);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 391, after.begin() + 394),
            std::vector<uint8_t>(before.begin() + 391, before.begin() + 394));
  EXPECT_EQ(after[394], 5);
  EXPECT_EQ(after[396], 12);
}

TEST_F(SimulatedFirmwareTest, FlaggedPasswordFieldsChangeTheSupervisorPassword) {
  MachineOptions options;
  options.supervisorPassword = "old";
  Create(options);
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const uint32_t at = catalog.GetSettingOffset(L"set supervisor password");
  auto block = Stored();
  auto field = [&](const std::string& oldPw, const std::string& newPw) {
    std::fill(block.begin() + at, block.begin() + at + 34, uint8_t{0});
    block[at] = static_cast<uint8_t>(oldPw.size());
    std::copy(oldPw.begin(), oldPw.end(), block.begin() + at + 1);
    block[at + 17] = static_cast<uint8_t>(newPw.size());
    std::copy(newPw.begin(), newPw.end(), block.begin() + at + 18);
    block[235] = 1;
  };
  field("bad", "new");
  EXPECT_EQ(Call(L"SetBiosOptions", "old", block).code, 2);
  field("old", "new");
  EXPECT_EQ(Call(L"SetBiosOptions", "old", block).code, 0);
  EXPECT_EQ(Stored()[235], 0);
  // The connection that made the change still works with the old password;
  // the next one needs the new.
  EXPECT_EQ(Call(L"GetBiosOptions", "old").code, 0);
  ASSERT_TRUE(firmware_->Open());
  EXPECT_EQ(Call(L"GetBiosOptions", "old").code, 2);
  EXPECT_EQ(Call(L"GetBiosOptions", "new").code, 0);
  field("new", "");
  EXPECT_EQ(Call(L"SetBiosOptions", "new", block).code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / kSupervisorPasswordFile));
}

TEST_F(SimulatedFirmwareTest, FaultsForceCodesOrFailures) {
  Create();
  Write(kFaultsFile, "# forced outcomes\nGetBiosOptions 8\nSetBiosOptions fail\n");
  const Answer get = Call(L"GetBiosOptions");
  EXPECT_EQ(get.code, 8);
  EXPECT_EQ(get.data, Stored());
  EXPECT_NE(Call(L"SetBiosOptions", "", Stored()).status, kStatusOk);

  Write(kFaultsFile, "session fail\n");
  SimulatedFirmware closed(dir_);
  EXPECT_FALSE(closed.Open());
}

TEST_F(SimulatedFirmwareTest, LoadUserDefaultNeedsSupervisorPasswordAndStoredDefaults) {
  Create();
  EXPECT_EQ(Call(L"LoadUserDefault").code, 5);
  MachineOptions options;
  options.supervisorPassword = "pw";
  Create(options);
  EXPECT_EQ(Call(L"LoadUserDefault", "pw").code, 4);

  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const SettingInfo* save = catalog.FindSetting(L"save settings to user setup defaults");
  ASSERT_NE(save, nullptr);
  auto block = Stored();
  block[save->offset] = 1;
  ASSERT_EQ(Call(L"SetBiosOptions", "pw", block).code, 0);
  ASSERT_TRUE(std::filesystem::exists(dir_ / kUserDefaultsFile));
  EXPECT_EQ(Call(L"LoadUserDefault", "pw").code, 0);
}

TEST_F(SimulatedFirmwareTest, ShortOptionFileFailsTheCall) {
  Create();
  Write(kOptionsFile, "short");
  EXPECT_NE(Call(L"GetBiosOptions").status, kStatusOk);
  EXPECT_EQ(Call(L"SetBiosOptions", "", std::vector<uint8_t>(100, 0)).status, kStatusFailed);
}

TEST_F(SimulatedFirmwareTest, ScanCodesFollowTheUsLayout) {
  EXPECT_EQ(UsKeyboardScan('a') & 0xFF, 0x1Eu);
  EXPECT_EQ(UsKeyboardScan('A') & 0xFF, 0x1Eu);
  EXPECT_EQ(UsKeyboardScan('1') & 0xFF, 0x02u);
  EXPECT_EQ(UsKeyboardScan('!') & 0xFF, 0x02u);
  EXPECT_EQ(UsKeyboardScan('z') & 0xFF, 0x2Cu);
  EXPECT_EQ(UsKeyboardScan('\x01'), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vort64::sim
