#include "sim/machine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/text.h"
#include "catalog/catalog.h"
#include "sim/interface_rules.h"
#include "sim/machine_files.h"
#include "sim/simulated_firmware.h"
#include "wmi/firmware_facts.h"
#include "wmi/smbios.h"

namespace vort64::sim {
namespace {

class MachineDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-machine-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  RawSmbiosTable ReadTable() {
    SimulatedFirmware firmware(dir_);
    RawSmbiosTable table;
    EXPECT_TRUE(firmware.ReadRawSmbiosTable(table));
    return table;
  }

  std::filesystem::path dir_;
};

TEST_F(MachineDirTest, SmbiosTablesCarryTheMachinesIdentityAndVersion) {
  MachineOptions options;
  options.wmiMinor = 79;
  options.model = "Test Book 14";
  options.serial = "SN-42";
  options.assetTag = "ASSET-7";
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  const RawSmbiosTable table = ReadTable();
  EXPECT_EQ(table.smbiosMajor, 3);
  EXPECT_EQ(table.smbiosMinor, 4);
  SystemInformation system;
  ChassisInformation chassis;
  ASSERT_TRUE(ReadSystemInformation(table, system));
  ASSERT_TRUE(ReadChassisInformation(table, chassis));
  EXPECT_EQ(system.productName, "Test Book 14");
  EXPECT_EQ(system.serialNumber, "SN-42");
  EXPECT_EQ(chassis.assetTag, "ASSET-7");
  const auto version = ReadInterfaceVersion(table);
  ASSERT_TRUE(version);
  EXPECT_EQ(version->major, 2);
  EXPECT_EQ(version->minor, 79);
}

TEST_F(MachineDirTest, DefaultMachineHasEmptyAssetTagAndVersion290) {
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, MachineOptions(), error)) << error;
  const RawSmbiosTable table = ReadTable();
  SystemInformation system;
  ChassisInformation chassis;
  ASSERT_TRUE(ReadSystemInformation(table, system));
  ASSERT_TRUE(ReadChassisInformation(table, chassis));
  EXPECT_EQ(system.productName, "Simulated Notebook");
  EXPECT_EQ(system.serialNumber, "SIM0001");
  EXPECT_EQ(chassis.assetTag, "");
  ASSERT_TRUE(ReadInterfaceVersion(table));
  EXPECT_EQ(ReadInterfaceVersion(table)->minor, 90);
}

TEST_F(MachineDirTest, EntryPointsOfBothGenerationsRoundTrip) {
  for (auto [major, minor] : {std::pair<uint8_t, uint8_t>{2, 1}, {2, 8}, {3, 0}, {3, 4}}) {
    MachineOptions options;
    options.smbiosMajor = major;
    options.smbiosMinor = minor;
    const auto ep = BuildEntryPoint(options, 300);
    EXPECT_EQ(ep.size(), major >= 3 ? 24u : 31u);
    const auto parsed = ParseEntryPoint(ep);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->major, major);
    EXPECT_EQ(parsed->minor, minor);
    EXPECT_EQ(parsed->tableLength, 300u);
    // The checksums make the whole entry point (and, before 3.0, its DMI part) sum to 0.
    unsigned sum = 0;
    for (size_t i = 0; i < ep[major >= 3 ? 6 : 5]; ++i) sum += ep[i];
    EXPECT_EQ(sum & 0xFF, 0u);
  }
  EXPECT_FALSE(ParseEntryPoint({'_', 'S', 'M'}));
  // Cut off before the table length.
  EXPECT_FALSE(ParseEntryPoint({'_', 'S', 'M', '3', '_', 0, 0x18, 3, 4, 0, 1, 0}));
  EXPECT_FALSE(ParseEntryPoint({'_', 'X', 'M', '_', 0, 0, 2, 1}));
}

// What a made-up machine holds of a one-byte setting is a value its layout
// lists (or the firmware's mark 255 for a setting it lacks), on every layout:
// the program refuses values the firmware does not list.
TEST(MadeUpBlockTest, EveryOneByteValueIsListedOnEveryLayout) {
  for (const uint32_t minor :
       {40u, 56u, 61u, 65u, 68u, 71u, 72u, 73u, 74u, 77u, 78u, 79u, 82u, 85u, 86u, 87u, 89u, 90u}) {
    SettingCatalog catalog;
    BuildSettingCatalog(catalog, 2, minor);
    MachineOptions options;
    options.supervisorPassword = "Sup1";
    for (const auto& block : {BuildOptionBlock(catalog, options), BuildOptionBlock(catalog, MachineOptions{})}) {
      for (const auto& [name, info] : catalog.settings()) {
        if (info.listed.empty() || info.size != 1) continue;
        const uint8_t value = block[info.offset];
        EXPECT_TRUE(value == kNotSupported || info.listed.Lists(value))
            << "2." << minor << " " << WideToUtf8(name) << " holds " << int{value} << ", lists "
            << info.listed.Describe();
      }
    }
  }
}

TEST_F(MachineDirTest, OptionBlockFillsCatalogSettingsAnd255Elsewhere) {
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  MachineOptions options;
  options.assetTag = "TAG";
  const auto block = BuildOptionBlock(catalog, options);
  ASSERT_EQ(block.size(), kSettingsBufferSize);
  std::vector<bool> covered(kSettingsBufferSize);
  for (const auto& [name, info] : catalog.settings()) {
    for (uint32_t i = info.offset; i < info.offset + info.size; ++i) covered[i] = true;
  }
  for (size_t i = 0; i < kSettingsBufferSize; ++i) {
    if (!covered[i]) {
      EXPECT_EQ(block[i], 255) << i;
    }
  }
  const SettingInfo* tag = catalog.FindSetting(L"asset tag number");
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(std::string(block.begin() + tag->offset, block.begin() + tag->offset + 3), "TAG");
  EXPECT_EQ(block[tag->offset + 3], 0);
  const SettingInfo* boot = catalog.FindSetting(L"boot priority order");
  ASSERT_NE(boot, nullptr);
  EXPECT_EQ(block[boot->offset], 19);
  EXPECT_EQ(block[boot->offset + boot->size - 1], 255);
}

TEST_F(MachineDirTest, OptionBlockCanBeSeededWithAnExportOfExactlyOneBlock) {
  MachineOptions options;
  options.optionBlock.resize(kSettingsBufferSize);
  for (size_t i = 0; i < options.optionBlock.size(); ++i) options.optionBlock[i] = static_cast<uint8_t>(i * 7);
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  // As it is, but for what it says of the passwords: this machine holds none.
  auto expected = options.optionBlock;
  const SettingCatalog layout = LayoutOf(2, 90);
  expected[layout.GetSettingOffset(L"supervisor password is status")] = 0;
  expected[layout.GetSettingOffset(L"user password is status")] = 0;
  EXPECT_EQ(ReadFileAtMost(dir_ / kOptionsFile, 4096).bytes, expected);
  // The factory defaults stay the ones made from the layout.
  EXPECT_EQ(ReadFileAtMost(dir_ / kDefaultsFile, 4096).bytes, BuildOptionBlock(LayoutOf(2, 90), options));
  options.supervisorPassword = "pw";
  ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  EXPECT_EQ(
      ReadFileAtMost(dir_ / kOptionsFile, 4096).bytes.at(layout.GetSettingOffset(L"supervisor password is status")), 1);
  options.supervisorPassword.clear();

  for (size_t size : {size_t{1}, size_t{kSettingsBufferSize} - 1, size_t{kSettingsBufferSize} + 1}) {
    options.optionBlock.assign(size, 0);
    EXPECT_FALSE(CreateMachine(dir_, options, error)) << size;
    EXPECT_NE(error.find("2048"), std::string::npos) << error;
  }
}

TEST_F(MachineDirTest, CreateMakesAFreshMachineOverAnOldOne) {
  MachineOptions options;
  options.supervisorPassword = "old";
  options.userPassword = "user";
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  for (const char* name : {kFaultsFile, kCallsLogFile, kLastSentFile, kUserDefaultsFile, kRetriesFile}) {
    std::ofstream(dir_ / name) << "left from before\n";
  }
  std::filesystem::remove(dir_ / kFaultsFile);
  std::filesystem::create_directories(dir_ / kFaultsFile / "inside");  // even a directory in its place
  ASSERT_TRUE(CreateMachine(dir_, MachineOptions(), error)) << error;
  for (const char* name : {kFaultsFile, kCallsLogFile, kLastSentFile, kUserDefaultsFile, kRetriesFile,
                           kSupervisorPasswordFile, kUserPasswordFile}) {
    EXPECT_FALSE(std::filesystem::exists(dir_ / name)) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(dir_ / kOptionsFile));
}

#if !defined(_WIN32)
TEST_F(MachineDirTest, PasswordFilesAreForTheOwnerOnly) {
  MachineOptions options;
  options.supervisorPassword = "old";
  options.userPassword = "user";
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  for (const char* name : {kSupervisorPasswordFile, kUserPasswordFile}) {
    EXPECT_EQ(std::filesystem::status(dir_ / name).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << name;
  }
  // Written again over a file anyone could read, it becomes the owner's alone.
  std::filesystem::permissions(dir_ / kUserPasswordFile, std::filesystem::perms::all);
  ASSERT_TRUE(WritePrivateFileBytes(dir_ / kUserPasswordFile, {'n', 'e', 'w'}));
  EXPECT_EQ(std::filesystem::status(dir_ / kUserPasswordFile).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(ReadFileAtMost(dir_ / kUserPasswordFile, 64).bytes, (std::vector<uint8_t>{'n', 'e', 'w'}));
}
#endif

TEST_F(MachineDirTest, SmbiosReadStopsWhereTheEntryPointSaysAndSurvivesDamage) {
  std::string error;
  ASSERT_TRUE(CreateMachine(dir_, MachineOptions(), error)) << error;
  const auto dmi = ReadFileAtMost(dir_ / kDmiFile, 4096).bytes;
  {
    std::ofstream(dir_ / kDmiFile, std::ios::app) << std::string(1000, 'x');
    EXPECT_EQ(ReadTable().data, dmi);
  }
  for (const char* file : {kDmiFile, kEntryPointFile}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(CreateMachine(dir_, MachineOptions(), error)) << error;
    std::filesystem::remove(dir_ / file);
    std::filesystem::create_directory(dir_ / file);
    SimulatedFirmware firmware(dir_);
    RawSmbiosTable table;
    EXPECT_FALSE(firmware.ReadRawSmbiosTable(table));
    EXPECT_TRUE(table.data.empty());
    std::filesystem::remove(dir_ / file);
  }
}

TEST(MachineDirectoryTest, ResolvedFromEnvironmentInOrder) {
  using Env = std::map<std::string, std::string>;
  const auto resolve = [](const Env& env) {
    return ResolveMachineDirectory([&](const char* name) -> std::optional<std::string> {
      const auto it = env.find(name);
      if (it == env.end()) return std::nullopt;
      return it->second;
    });
  };
  EXPECT_EQ(resolve({{"VORT64_MACHINE", "/m"}, {"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}}), "/m");
  EXPECT_EQ(resolve({{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}}), std::filesystem::path("/s/vort64/machine"));
  EXPECT_EQ(resolve({{"VORT64_MACHINE", ""}, {"HOME", "/h"}}), std::filesystem::path("/h/.local/state/vort64/machine"));
}

}  // namespace
}  // namespace vort64::sim
