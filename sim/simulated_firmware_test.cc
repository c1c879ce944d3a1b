#include "sim/simulated_firmware.h"

#include <gtest/gtest.h>

#include <chrono>

#include <fstream>

#include "base/text.h"
#include "catalog/catalog.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "wmi/firmware_facts.h"

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
    Reconnect();
  }

  // A new run on the machine.
  void Reconnect() {
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
    call.className = config ? kConfigurationClass : kSettingClass;
    call.objectPath = config ? kConfigPath : kSettingPath;
    call.method = method;
    if (array.empty()) array = Ascii(password);
    call.in = {{kPasswordLenParam, FirmwareValue::Int16(static_cast<int16_t>(password.size()))},
               {kPasswordParam, FirmwareValue::Bytes(array)}};
    if (data) call.in.push_back({kDataParam, FirmwareValue::Bytes(*data)});
    call.outNames = {kReturnCodeParam};
    if (method.rfind(L"Get", 0) == 0) call.outNames.push_back(kDataParam);
    std::vector<FirmwareValue> out;
    Answer answer;
    answer.status = firmware_->ExecuteMethod(call, out);
    if (answer.status == kStatusOk) {
      answer.code = out.at(0).integer;
      if (out.size() > 1) answer.data = out[1].bytes;
    }
    return answer;
  }

  std::vector<uint8_t> Stored(const char* file = kOptionsFile) { return ReadFileAtMost(dir_ / file, 4096).bytes; }
  void Write(const char* file, const std::string& text) { std::ofstream(dir_ / file, std::ios::trunc) << text; }

  std::filesystem::path dir_;
  std::unique_ptr<SimulatedFirmware> firmware_;
};

TEST_F(SimulatedFirmwareTest, InstancesHaveBackslashNamesAndNeedTheEscapedPath) {
  Create();
  std::vector<std::optional<std::wstring>> names;
  ASSERT_EQ(firmware_->QueryInstanceNames(kConfigurationQuery, names), kStatusOk);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], std::wstring(kConfigurationInstance));
  ASSERT_EQ(firmware_->QueryInstanceNames(kSettingQuery, names), kStatusOk);
  EXPECT_EQ(names.at(0), std::wstring(kSettingInstance));
  EXPECT_NE(firmware_->QueryInstanceNames(L"SELECT * FROM Win32_Bios", names), kStatusOk);

  MethodCall call;
  call.className = kConfigurationClass;
  call.objectPath = L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\PNP0C14\\0_0\"";  // not escaped
  call.method = kGetBiosOptionsMethod;
  call.in = {{kPasswordLenParam, FirmwareValue::Int16(0)}, {kPasswordParam, FirmwareValue::Bytes(Ascii(""))}};
  call.outNames = {kReturnCodeParam, kDataParam};
  std::vector<FirmwareValue> out;
  EXPECT_NE(firmware_->ExecuteMethod(call, out), kStatusOk);
  call.objectPath = kConfigPath;
  EXPECT_EQ(firmware_->ExecuteMethod(call, out), kStatusOk);
}

TEST_F(SimulatedFirmwareTest, EveryCallIsLoggedWithItsPasswordArray) {
  Create();
  Call(kGetBiosOptionsMethod, "ab");
  Call(kLoadBiosDefaultMethod);
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
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "").code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "wrong").code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "secreT").code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "wrong").code, 7);
  EXPECT_EQ(Call(kLoadBiosDefaultMethod, "wrong").code, 7);
  const Answer right = Call(kGetBiosOptionsMethod, "secret");
  EXPECT_EQ(right.code, 0);
  EXPECT_EQ(right.data, Stored());
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "wrong").code, 2);
}

TEST_F(SimulatedFirmwareTest, PasswordArrayIsCheckedInTheFormOfTheInterfaceVersion) {
  MachineOptions options;
  options.supervisorPassword = "ab1";
  options.wmiMinor = 40;  // scan codes, 12 bytes
  Create(options);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "ab1", std::nullopt, Ascii("ab1", 12)).code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "ab1", std::nullopt, {0x1E, 0x30, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}).code, 0);

  options.wmiMinor = 52;  // ASCII, 12 bytes
  Create(options);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "ab1", std::nullopt, Ascii("ab1", 16)).code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "ab1", std::nullopt, Ascii("ab1", 12)).code, 0);
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
  EXPECT_EQ(Call(kSetBiosOptionsMethod, "", block).code, 0);
  const auto after = Stored();
  EXPECT_EQ(after[bootMode], newMode);
  EXPECT_EQ(after[wigig], 255);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 391, after.begin() + 394),
            std::vector<uint8_t>(before.begin() + 391, before.begin() + 394));
  EXPECT_EQ(after[394], 5);
  EXPECT_EQ(after[396], 12);
}

TEST_F(SimulatedFirmwareTest, FlaggedPasswordFieldsChangeThePasswords) {
  MachineOptions options;
  options.supervisorPassword = "old";
  Create(options);
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const uint32_t supervisor = catalog.GetSettingOffset(L"set supervisor password");
  const uint32_t user = catalog.GetSettingOffset(L"set user password");
  auto block = Stored();
  // Fills a long-form field and flags it.
  auto field = [&](uint32_t at, const std::string& oldPw, const std::string& newPw) {
    std::fill(block.begin() + at, block.begin() + at + 34, uint8_t{0});
    block[at] = static_cast<uint8_t>(oldPw.size());
    std::copy(oldPw.begin(), oldPw.end(), block.begin() + at + 1);
    block[at + 17] = static_cast<uint8_t>(newPw.size());
    std::copy(newPw.begin(), newPw.end(), block.begin() + at + 18);
    block[kPasswordFlagByte] |= at == supervisor ? kSupervisorFlag : kUserFlag;
  };
  field(supervisor, "bad", "new");
  EXPECT_EQ(Call(kSetBiosOptionsMethod, "old", block).code, 2);
  field(supervisor, "old", "new");
  EXPECT_EQ(Call(kSetBiosOptionsMethod, "old", block).code, 0);
  EXPECT_EQ(Stored()[kPasswordFlagByte], 0);
  // The connection that made the change still works with the old password;
  // the next one needs the new.
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "old").code, 0);
  ASSERT_TRUE(firmware_->Open());
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "old").code, 2);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "new").code, 0);

  // Both fields flagged and the user's old password wrong: neither changes.
  Write(kUserPasswordFile, "user");
  field(supervisor, "new", "next");
  field(user, "wrong", "other");
  EXPECT_EQ(Call(kSetBiosOptionsMethod, "new", block).code, 2);
  EXPECT_EQ(ReadFileAtMost(dir_ / kSupervisorPasswordFile, 64).bytes, std::vector<uint8_t>({'n', 'e', 'w'}));
  EXPECT_EQ(ReadFileAtMost(dir_ / kUserPasswordFile, 64).bytes, std::vector<uint8_t>({'u', 's', 'e', 'r'}));

  block[kPasswordFlagByte] = 0;
  field(supervisor, "new", "");
  EXPECT_EQ(Call(kSetBiosOptionsMethod, "new", block).code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / kSupervisorPasswordFile));
  EXPECT_TRUE(std::filesystem::exists(dir_ / kUserPasswordFile));
}

TEST_F(SimulatedFirmwareTest, PasswordStatusSaysWhichPasswordsTheMachineHolds) {
  Create();
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const uint32_t supervisorStatus = catalog.GetSettingOffset(L"supervisor password is status");
  const uint32_t userStatus = catalog.GetSettingOffset(L"user password is status");
  const uint32_t supervisor = catalog.GetSettingOffset(L"set supervisor password");
  auto block = Stored();
  ASSERT_EQ(block[supervisorStatus], 0);
  // A block that changes no password is stored as sent (a write reads back).
  block[userStatus] = 1;
  ASSERT_EQ(Call(kSetBiosOptionsMethod, "", block).code, 0);
  EXPECT_EQ(Stored()[userStatus], 1);
  // A supervisor password set by a block shows at once, and so does the
  // user password that is not there.
  block = Stored();
  block[supervisor + 17] = 3;
  std::copy_n("new", 3, block.begin() + supervisor + 18);
  block[kPasswordFlagByte] = kSupervisorFlag;
  ASSERT_EQ(Call(kSetBiosOptionsMethod, "", block).code, 0);
  EXPECT_EQ(Stored()[supervisorStatus], 1);
  // Loading the defaults (made without passwords) keeps it true.
  Reconnect();
  ASSERT_EQ(Call(kLoadBiosDefaultMethod, "new").code, 0);
  EXPECT_EQ(Stored()[supervisorStatus], 1);
  EXPECT_EQ(Stored()[userStatus], 0);
}

TEST_F(SimulatedFirmwareTest, FaultsForceCodesOrFailures) {
  Create();
  Write(kFaultsFile, "# forced outcomes\nGetBiosOptions 8\nSetBiosOptions fail\n");
  // The faults file is read once per run: the firmware that was already
  // running does not see it.
  EXPECT_EQ(Call(kGetBiosOptionsMethod).code, 0);
  Reconnect();
  const Answer get = Call(kGetBiosOptionsMethod);
  EXPECT_EQ(get.code, 8);
  EXPECT_EQ(get.data, Stored());
  EXPECT_NE(Call(kSetBiosOptionsMethod, "", Stored()).status, kStatusOk);

  Write(kFaultsFile, "session fail\n");
  SimulatedFirmware closed(dir_);
  EXPECT_FALSE(closed.Open());
}

// "delay MS": every method call takes at least that long, one that fails
// as well as one that passes, and answers as it would without.
TEST_F(SimulatedFirmwareTest, ADelayMakesEveryCallTakeThatLong) {
  Create();
  Write(kFaultsFile, "delay 40\nSetBiosOptions fail\n");
  Reconnect();
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  const Answer get = Call(kGetBiosOptionsMethod);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
  EXPECT_EQ(get.code, 0);
  EXPECT_EQ(get.data, Stored());
  start = Clock::now();
  EXPECT_NE(Call(kSetBiosOptionsMethod, "", Stored()).status, kStatusOk);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
}

TEST_F(SimulatedFirmwareTest, ACallerThatMustNotWaitIsHandedTheDelay) {
  Create();
  Write(kFaultsFile, "delay 60000\n");
  std::vector<std::chrono::milliseconds> delays;
  firmware_ = std::make_unique<SimulatedFirmware>(dir_, [&](std::chrono::milliseconds d) { delays.push_back(d); });
  ASSERT_TRUE(firmware_->Open());
  EXPECT_EQ(Call(kGetBiosOptionsMethod).code, 0);
  EXPECT_EQ(Call(kLoadBiosDefaultMethod).code, 0);
  EXPECT_EQ(delays, (std::vector<std::chrono::milliseconds>(2, std::chrono::milliseconds(60000))));
}

TEST_F(SimulatedFirmwareTest, StuckBytesKeepTheirStoredValueThroughBothSetMethods) {
  Create();
  const uint32_t bootMode = LayoutOf(2, 90).GetSettingOffset(L"boot mode");
  const uint32_t bootOrder = LayoutOf(2, 90).GetSettingOffset(L"boot priority order");
  Write(kFaultsFile, "stuck " + std::to_string(bootMode) + "\nstuck " + std::to_string(bootOrder) + "\n");
  Reconnect();
  for (const char* file : {kOptionsFile, kDefaultsFile}) {
    SCOPED_TRACE(file);
    const auto before = Stored(file);
    auto sent = before;
    sent[bootMode] = static_cast<uint8_t>(before[bootMode] ^ 1);
    sent[bootOrder] = 7;
    sent[bootOrder + 1] = 19;
    const std::wstring method =
        file == std::string(kOptionsFile) ? kSetBiosOptionsMethod : kSetBiosDefaultOptionsMethod;
    EXPECT_EQ(Call(method, "", sent).code, 0);
    const auto after = Stored(file);
    EXPECT_EQ(after[bootMode], before[bootMode]);
    EXPECT_EQ(after[bootOrder], before[bootOrder]);
    EXPECT_EQ(after[bootOrder + 1], 19);  // the byte beside a stuck one is written
  }
}

// A damaged store fails the calls that read it and changes nothing; the
// defaults are read only by the methods that work on them.
TEST_F(SimulatedFirmwareTest, DamagedStoreFailsTheCallsThatReadIt) {
  const struct {
    const char* what;
    const char* file;
    std::string content;
    std::vector<std::wstring> failing;
    std::vector<std::wstring> working;
  } cases[] = {
      {"short options",
       kOptionsFile,
       "short",
       {kGetBiosOptionsMethod, kGetBiosDefaultOptionsMethod, kLoadBiosDefaultMethod},
       {}},
      {"long options", kOptionsFile, std::string(2049, '\0'), {kGetBiosOptionsMethod, kLoadUserDefaultMethod}, {}},
      {"long defaults",
       kDefaultsFile,
       std::string(2049, '\0'),
       {kGetBiosDefaultOptionsMethod, kLoadBiosDefaultMethod},
       {kGetBiosOptionsMethod}},
      {"short user defaults", kUserDefaultsFile, "short", {kLoadUserDefaultMethod}, {kGetBiosOptionsMethod}},
      {"garbage counter", kRetriesFile, "many", {kGetBiosOptionsMethod}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MachineOptions options;
    options.supervisorPassword = "pw";
    Create(options);
    Write(c.file, c.content);
    const auto before = Stored();
    for (const auto& method : c.failing) EXPECT_EQ(Call(method, "pw").status, kStatusFailed);
    for (const auto& method : c.working) EXPECT_EQ(Call(method, "pw").code, 0);
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(ReadFileAtMost(dir_ / c.file, 4096).bytes, std::vector<uint8_t>(c.content.begin(), c.content.end()));
  }
}

TEST_F(SimulatedFirmwareTest, WrongPasswordCountStopsAtTheLargestInt32) {
  MachineOptions options;
  options.supervisorPassword = "pw";
  Create(options);
  Write(kRetriesFile, "2147483647");
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "wrong").code, 7);
  EXPECT_EQ(ReadFileAtMost(dir_ / kRetriesFile, 64).bytes,
            std::vector<uint8_t>({'2', '1', '4', '7', '4', '8', '3', '6', '4', '7'}));
  Write(kRetriesFile, "2147483646");
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "wrong").code, 7);
  EXPECT_EQ(ReadFileAtMost(dir_ / kRetriesFile, 64).bytes.size(), 10u);
  EXPECT_EQ(Call(kGetBiosOptionsMethod, "pw").code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / kRetriesFile));
}

TEST_F(SimulatedFirmwareTest, LoadUserDefaultNeedsSupervisorPasswordAndStoredDefaults) {
  Create();
  EXPECT_EQ(Call(kLoadUserDefaultMethod).code, 5);
  MachineOptions options;
  options.supervisorPassword = "pw";
  Create(options);
  EXPECT_EQ(Call(kLoadUserDefaultMethod, "pw").code, 4);

  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  const SettingInfo* save = catalog.FindSetting(L"save settings to user setup defaults");
  ASSERT_NE(save, nullptr);
  auto block = Stored();
  block[save->offset] = 1;
  ASSERT_EQ(Call(kSetBiosOptionsMethod, "pw", block).code, 0);
  ASSERT_TRUE(std::filesystem::exists(dir_ / kUserDefaultsFile));
  EXPECT_EQ(Call(kLoadUserDefaultMethod, "pw").code, 0);
}

TEST(MethodSignatureTest, SaysWhichMethodsTakeAndAnswerABlockOnTheirOwnClassOnly) {
  struct Case {
    const wchar_t* className;
    const wchar_t* method;
    bool takesData;
    bool returnsData;
  };
  const Case methods[] = {
      {kConfigurationClass, kGetBiosOptionsMethod, false, true},
      {kConfigurationClass, kSetBiosOptionsMethod, true, false},
      {kConfigurationClass, kGetBiosDefaultOptionsMethod, false, true},
      {kConfigurationClass, kSetBiosDefaultOptionsMethod, true, false},
      {kSettingClass, kLoadBiosDefaultMethod, false, false},
      {kSettingClass, kLoadUserDefaultMethod, false, false},
  };
  for (const Case& m : methods) {
    SCOPED_TRACE(WideToUtf8(m.method));
    const auto signature = FindMethodSignature(m.className, m.method);
    ASSERT_TRUE(signature.has_value());
    EXPECT_EQ(signature->takesData, m.takesData);
    EXPECT_EQ(signature->returnsData, m.returnsData);
    // The other class has no such method.
    EXPECT_FALSE(FindMethodSignature(m.className == kSettingClass ? kConfigurationClass : kSettingClass, m.method));
  }
  EXPECT_FALSE(FindMethodSignature(kConfigurationClass, L"Reboot"));
  EXPECT_FALSE(FindMethodSignature(kRawSmbiosClass, kGetBiosOptionsMethod));
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
