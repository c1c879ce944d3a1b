#include "wmi/windows/wmi_drive_protection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wmi/windows/fake_wbem.h"

namespace vort64 {
namespace {

using fake::FakeClassObject;
using fake::FakeWmi;
using Calls = std::vector<std::wstring>;

const std::wstring kVolumePath = L"Win32_EncryptableVolume.DeviceID=\"\\\\\\\\?\\\\Volume{1}\\\\\"";

// The fake WMI of a notebook whose system drive D: BitLocker protects.
class DriveProtectionTest : public ::testing::Test {
 protected:
  DriveProtectionTest()
      : volume_(wmi_.AddObject(L"volume")),
        volumes_(wmi_.AddEnum(L"volumes")),
        class_(wmi_.AddObject(L"class")),
        signature_(wmi_.AddObject(L"signature")),
        in_(wmi_.AddObject(L"inParams")),
        out_(wmi_.AddObject(L"outParams")) {
    volume_.SetText(L"__PATH", kVolumePath);
    volumes_.Add(volume_);
    wmi_.services().queryResult = &volumes_;
    wmi_.services().classObject = &class_;
    wmi_.services().outParams = &out_;
    class_.SetMethod(L"DisableKeyProtectors", &signature_);
    signature_.SetSpawn(&in_);
    out_.SetInteger(L"ReturnValue", VT_I4, 0);
    out_.SetInteger(L"ProtectionStatus", VT_I4, 1);
  }
  ~DriveProtectionTest() override { EXPECT_THAT(wmi_.Problems(), ::testing::IsEmpty()); }

  FakeWmi wmi_;
  FakeClassObject& volume_;
  fake::FakeEnum& volumes_;
  FakeClassObject& class_;
  FakeClassObject& signature_;
  FakeClassObject& in_;
  FakeClassObject& out_;
};

TEST_F(DriveProtectionTest, ConnectsWithPacketPrivacyToTheSystemDrivesVolumeAndCallsItsMethods) {
  {
    WmiDriveProtection drive(wmi_.MakeRuntime(), "D:");
    EXPECT_EQ(drive.Drive(), "D:");
    const ProtectionStatus status = drive.Status();
    EXPECT_EQ(status.on, true);
    EXPECT_TRUE(drive.Suspend(1).done);
    EXPECT_TRUE(drive.Resume().done);
  }
  EXPECT_EQ(
      wmi_.calls(),
      (Calls{L"CoInitializeEx(null, 0x0)", L"CoCreateInstance(CLSID_WbemLocator, null, 0x1, IID_IWbemLocator)",
             L"locator.ConnectServer(ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption, null, null, null, 0x0, null, "
             L"null)",
             // RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE
             L"CoSetProxyBlanket(services, 10, 0, null, 6, 3, null, 0)",
             L"services.ExecQuery(WQL, SELECT * FROM Win32_EncryptableVolume WHERE DriveLetter = 'D:', 0x30, null)",
             L"volumes.Next(0xffffffff, 1)", L"volume.Get(__PATH, 0x0)", L"release volume", L"release volumes",
             L"services.ExecMethod(" + kVolumePath + L", GetProtectionStatus, 0x0, null, null, null)",
             L"outParams.Get(ReturnValue, 0x0)", L"outParams.Get(ProtectionStatus, 0x0)", L"release outParams",
             L"services.GetObject(Win32_EncryptableVolume, 0x0, null, null)",
             L"class.GetMethod(DisableKeyProtectors, 0x0, set, null)", L"signature.SpawnInstance(0x0)",
             L"inParams.Put(DisableCount, 0x0, VT_I4 1, 0)", L"release signature", L"release class",
             L"services.ExecMethod(" + kVolumePath + L", DisableKeyProtectors, 0x0, null, inParams, null)",
             L"outParams.Get(ReturnValue, 0x0)", L"release outParams", L"release inParams",
             L"services.ExecMethod(" + kVolumePath + L", EnableKeyProtectors, 0x0, null, null, null)",
             L"outParams.Get(ReturnValue, 0x0)", L"release outParams", L"release services", L"release locator",
             L"CoUninitialize()"}));
}

TEST_F(DriveProtectionTest, EveryFailureComesBackAsWordsAPersonUnderstands) {
  out_.SetInteger(L"ReturnValue", VT_I4, static_cast<LONG>(kFveLockedVolume));
  WmiDriveProtection locked(wmi_.MakeRuntime(), "C:");
  const ProtectionCall suspend = locked.Suspend(1);
  EXPECT_FALSE(suspend.done);
  EXPECT_EQ(suspend.code, kFveLockedVolume);
  EXPECT_EQ(suspend.why, "the volume is locked (FVE_E_LOCKED_VOLUME)");

  FakeWmi other;
  other.locator().connectResult = Hr(WBEM_E_INVALID_NAMESPACE);
  WmiDriveProtection missing(other.MakeRuntime(), "C:");
  const ProtectionStatus status = missing.Status();
  EXPECT_EQ(status.on, std::nullopt);
  EXPECT_EQ(status.code, kWbemInvalidNamespace);
  EXPECT_THAT(status.why, ::testing::HasSubstr("this Windows has no BitLocker"));
  // The connection is tried once: every later call answers as it did.
  EXPECT_EQ(missing.Resume().code, kWbemInvalidNamespace);
  EXPECT_EQ(other.comDepth(), 0);
}

}  // namespace
}  // namespace vort64
