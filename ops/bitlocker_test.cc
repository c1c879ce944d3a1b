#include "ops/bitlocker.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "catalog/catalog.h"
#include "wmi/scripted_drive_protection.h"

namespace vort64 {
namespace {

// One write of a run against a scripted drive: the guard is asked before it
// and told after it what the firmware holds, and finishes.
struct Case {
  const char* name;
  bool asked;           // /suspend-bitlocker
  bool on;              // BitLocker protects the drive
  uint32_t statusCode;  // GetProtectionStatus fails with it
  uint32_t suspendCode;
  uint32_t resumeCode;
  std::wstring_view setting;  // the setting the write changes
  bool writePasses;
  // What the guard answers and does.
  bool mayWrite;
  std::vector<std::string> calls;
  bool finishes;
  std::string said;  // a part of what it says
  bool recovery;     // the next start may ask for the recovery key
};

TEST(BitLockerGuardTest, SuspendsOnlyForAMeasuredChangeOnAProtectedDriveAndResumesWhatItDidNotNeed) {
  const std::vector<std::string> none;
  const std::vector<std::string> status = {"GetProtectionStatus"};
  const std::vector<std::string> suspend = {"GetProtectionStatus", "DisableKeyProtectors 1"};
  const std::vector<std::string> both = {"GetProtectionStatus", "DisableKeyProtectors 1", "EnableKeyProtectors"};
  const Case cases[] = {
      {"suspended", true, true, 0, 0, 0, L"secure boot", true, true, suspend, true,
       "BitLocker: protection of C: suspended for one restart (secure boot changes)\n", false},
      {"refused write resumed", true, true, 0, 0, 0, L"secure boot", false, true, both, true,
       "protection of C: resumed (the write failed)", false},
      {"not measured", true, true, 0, 0, 0, L"wi-fi", true, true, none, true,
       "no setting measured at start changes: the protection of C: was not suspended", false},
      {"not protected", true, false, 0, 0, 0, L"boot mode", true, true, status, true,
       "C: is not protected now: nothing was suspended", false},
      {"unknown", true, true, kWbemInvalidNamespace, 0, 0, L"secure boot", true, false, status, true,
       "could not be read (this Windows has no BitLocker", false},
      {"suspend refused", true, true, 0, kFveLockedVolume, 0, L"secure boot", true, false, suspend, true,
       "could not be suspended (the volume is locked (FVE_E_LOCKED_VOLUME))", false},
      {"resume refused", true, true, 0, 0, kAccessDenied, L"secure boot", false, true, both, false,
       "could not be resumed (access denied", false},
      {"warned", false, true, 0, 0, 0, L"boot priority order", true, true, status, true,
       "C: is protected and settings measured at start changed (boot order): the next start may ask for the "
       "recovery key.",
       true},
      {"silent", false, false, 0, 0, 0, L"secure boot", true, true, status, true, "", false},
  };
  SettingCatalog catalog;
  BuildSettingCatalog(catalog, 2, 90);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDriveProtection drive;
    drive.on = c.on;
    drive.statusCode = c.statusCode;
    drive.suspendCode = c.suspendCode;
    drive.resumeCode = c.resumeCode;
    std::ostringstream out, err;
    Console console(out, err);
    BitLockerGuard guard(console, &drive, c.asked);
    std::vector<uint8_t> before(kSettingsBufferSize, 1);
    std::vector<uint8_t> after = before;
    after[catalog.GetSettingOffset(c.setting)] = 0;
    EXPECT_EQ(guard.MayWrite(catalog, before, MeasuredSettingsChanged(catalog, before, after)), c.mayWrite);
    if (c.mayWrite && c.writePasses) {
      guard.Written(after);
    } else if (c.mayWrite) {
      guard.Written(std::nullopt);
    }
    EXPECT_EQ(guard.Finish(), c.finishes);
    EXPECT_EQ(drive.calls, c.calls);
    EXPECT_NE(out.str().find(c.said), std::string::npos) << out.str();
    if (std::string(c.said).empty()) {
      EXPECT_EQ(out.str(), "");
    }
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(guard.record().recoveryMayBeAsked, c.recovery);
    EXPECT_EQ(guard.record().withheld, !c.mayWrite);
    // Never more than one restart, never left suspended when nothing changed.
    EXPECT_EQ(drive.suspendedFor,
              c.name == std::string("suspended") || c.name == std::string("resume refused") ? 1u : 0u);
  }
}

TEST(BitLockerGuardTest, TheCheckSaysWhatTheRemediationWouldChangeOnAProtectedDrive) {
  ScriptedDriveProtection drive;
  std::ostringstream out, err;
  Console console(out, err);
  BitLockerGuard guard(console, &drive, false);
  guard.Remediation({});
  EXPECT_TRUE(drive.calls.empty());
  MeasuredReasons reasons;
  reasons.Add(MeasuredAtStart::kSecureBoot);
  guard.Remediation(reasons);
  EXPECT_EQ(out.str(),
            "BitLocker: C: is protected and the remediation would change settings measured at start (secure boot): "
            "without /suspend-bitlocker the next start may ask for the recovery key.\n");
  EXPECT_TRUE(guard.record().recoveryMayBeAsked);
}

}  // namespace
}  // namespace vort64
