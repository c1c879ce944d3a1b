#include "sim/system_drive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "sim/interface_rules.h"
#include "sim/machine.h"
#include "sim/machine_files.h"

namespace vort64::sim {
namespace {

TEST(SystemDriveFileTest, ReadsWhatItWritesAndRefusesAnythingElse) {
  SystemDriveState state;
  state.drive = "D:";
  state.bitlocker = true;
  state.suspendedRestarts = 1;
  state.recoveries = {{2, "secure boot and boot order"}};
  EXPECT_EQ(ParseSystemDrive(SystemDriveText(state)), state);
  EXPECT_EQ(ParseSystemDrive("drive C:\r\nbitlocker off\r\n")->bitlocker, false);
  for (const char* bad :
       {"", "drive C:\n", "bitlocker maybe\n", "bitlocker on\nsuspended-restarts -1\n", "bitlocker on\ndrive CC\n",
        "bitlocker on\ncolour blue\n", "bitlocker on\nrecovery-key-asked x\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(ParseSystemDrive(bad), std::nullopt);
  }
}

class SystemDriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("vort64-drive-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Make(bool bitlocker) {
    MachineOptions options;
    options.bitlocker = bitlocker;
    std::string error;
    ASSERT_TRUE(CreateMachine(dir_, options, error)) << error;
  }
  // Sets the one-byte setting `name` in options.bin, as a write would.
  void Change(std::wstring_view name, uint8_t value) {
    const SettingCatalog catalog = LayoutOf(2, 90);
    FileRead read = ReadFileOfSize(dir_ / kOptionsFile, kSettingsBufferSize);
    ASSERT_TRUE(read.ok());
    read.bytes[catalog.GetSettingOffset(name)] = value;
    ASSERT_TRUE(WriteFileBytes(dir_ / kOptionsFile, read.bytes));
  }
  SystemDriveState State() {
    const SystemDriveRead read = ReadSystemDrive(dir_);
    EXPECT_TRUE(read.state);
    return read.state.value_or(SystemDriveState());
  }
  void Restart() {
    std::string error;
    ASSERT_TRUE(RestartMachine(dir_, error)) << error;
  }

  std::filesystem::path dir_;
};

TEST_F(SystemDriveTest, AStartAsksForTheRecoveryKeyOnlyWhenAMeasuredSettingChangedUnsuspended) {
  Make(true);
  Change(L"wi-fi", 0);  // not measured
  Restart();
  EXPECT_TRUE(State().recoveries.empty());
  Change(L"secure boot", 0);
  Restart();  // start 2
  EXPECT_EQ(State().recoveries, (std::vector<RecoveryAsked>{{2, "secure boot"}}));
  Restart();  // nothing changed since start 2
  EXPECT_EQ(State().recoveries.size(), 1u);
  EXPECT_NE(SystemDriveSummary(dir_).find("start 2 asked for the recovery key (secure boot changed)"),
            std::string::npos);
}

TEST_F(SystemDriveTest, ASuspensionForOneRestartCoversExactlyThatStart) {
  Make(true);
  SimulatedDriveProtection drive(dir_);
  EXPECT_EQ(drive.Status().on, true);
  ASSERT_TRUE(drive.Suspend(1).done);
  EXPECT_EQ(drive.Status().on, false);  // the key is in the clear until the restart
  Change(L"boot mode", 1);
  Restart();
  EXPECT_TRUE(State().recoveries.empty());
  EXPECT_EQ(State().suspendedRestarts, 0);
  EXPECT_EQ(drive.Status().on, true);
  Change(L"boot mode", 0);
  Restart();
  EXPECT_EQ(State().recoveries, (std::vector<RecoveryAsked>{{2, "boot mode"}}));
}

TEST_F(SystemDriveTest, ADriveWithoutBitLockerNeverAsks) {
  Make(false);
  SimulatedDriveProtection drive(dir_);
  EXPECT_EQ(drive.Status().on, false);
  EXPECT_EQ(drive.Suspend(1).code, kFveNotActivated);
  Change(L"secure boot", 0);
  Restart();
  EXPECT_TRUE(State().recoveries.empty());
  EXPECT_EQ(SystemDriveSummary(dir_), "");
}

TEST_F(SystemDriveTest, TheFaultsFileForcesEachCallAndTheNamespace) {
  Make(true);
  struct Case {
    const char* faults;
    uint32_t status;   // 0: known
    uint32_t suspend;  // 0: done
    uint32_t resume;
  };
  const Case cases[] = {
      {"GetProtectionStatus fail\n", kCallFailed, 0, 0},
      {"GetProtectionStatus 2150694912\n", kFveLockedVolume, 0, 0},
      {"DisableKeyProtectors 2150694912\n", 0, kFveLockedVolume, 0},
      {"EnableKeyProtectors fail\n", 0, 0, kCallFailed},
      {"MicrosoftVolumeEncryption fail\n", kWbemInvalidNamespace, kWbemInvalidNamespace, kWbemInvalidNamespace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    ASSERT_TRUE(WriteFileBytes(dir_ / kFaultsFile, std::vector<uint8_t>(c.faults, c.faults + strlen(c.faults))));
    SimulatedDriveProtection drive(dir_);
    const ProtectionStatus status = drive.Status();
    EXPECT_EQ(status.code, c.status);
    EXPECT_EQ(status.on.has_value(), c.status == 0);
    EXPECT_EQ(drive.Suspend(1).code, c.suspend);
    EXPECT_EQ(drive.Resume().code, c.resume);
    if (c.status != 0) {
      EXPECT_EQ(status.why, ProtectionCodeWords(c.status));
    }
  }
  // A machine made before the drive was kept has no BitLocker namespace.
  std::filesystem::remove(dir_ / kSystemDriveFile);
  std::filesystem::remove(dir_ / kFaultsFile);
  EXPECT_EQ(SimulatedDriveProtection(dir_).Status().code, kWbemInvalidNamespace);
}

}  // namespace
}  // namespace vort64::sim
