// For tests: a system drive whose protection answers as a test scripts it,
// and which records every call.
#ifndef VORT64_WMI_SCRIPTED_DRIVE_PROTECTION_H_
#define VORT64_WMI_SCRIPTED_DRIVE_PROTECTION_H_

#include <string>
#include <vector>

#include "wmi/drive_protection.h"

namespace vort64 {

class ScriptedDriveProtection : public DriveProtection {
 public:
  std::string Drive() override { return drive; }
  ProtectionStatus Status() override {
    calls.push_back("GetProtectionStatus");
    if (statusCode != 0) return {std::nullopt, statusCode, ProtectionCodeWords(statusCode)};
    return {on && suspendedFor == 0, 0, ""};
  }
  ProtectionCall Suspend(uint32_t restarts) override {
    calls.push_back("DisableKeyProtectors " + std::to_string(restarts));
    if (suspendCode != 0) return {false, suspendCode, ProtectionCodeWords(suspendCode)};
    suspendedFor = restarts;
    return {true, 0, ""};
  }
  ProtectionCall Resume() override {
    calls.push_back("EnableKeyProtectors");
    if (resumeCode != 0) return {false, resumeCode, ProtectionCodeWords(resumeCode)};
    suspendedFor = 0;
    return {true, 0, ""};
  }

  std::string drive = "C:";
  bool on = true;             // BitLocker protects the drive
  uint32_t suspendedFor = 0;  // restarts
  uint32_t statusCode = 0;    // a failing GetProtectionStatus
  uint32_t suspendCode = 0;   // a failing DisableKeyProtectors
  uint32_t resumeCode = 0;    // a failing EnableKeyProtectors
  std::vector<std::string> calls;
};

}  // namespace vort64

#endif  // VORT64_WMI_SCRIPTED_DRIVE_PROTECTION_H_
