// The system drive's BitLocker protection over WMI: the instance of
// Win32_EncryptableVolume (namespace
// ROOT\CIMV2\Security\MicrosoftVolumeEncryption) whose DriveLetter is
// %SystemDrive%, reached through IWbemLocator with packet privacy, as that
// namespace demands. Every COM call goes through a ComRuntime, so tests can
// stand a fake WMI service behind it.
#ifndef VORT64_WMI_WINDOWS_WMI_DRIVE_PROTECTION_H_
#define VORT64_WMI_WINDOWS_WMI_DRIVE_PROTECTION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "wmi/drive_protection.h"
#include "wmi/windows/com.h"
#include "wmi/windows/com_ptr.h"
#include "wmi/windows/com_runtime.h"
#include "wmi/windows/com_scope.h"

namespace vort64 {

class WmiDriveProtection final : public DriveProtection {
 public:
  // `systemDrive`: "C:", as %SystemDrive% names it.
  WmiDriveProtection(std::unique_ptr<ComRuntime> com, std::string systemDrive);
  ~WmiDriveProtection() override;
  WmiDriveProtection(const WmiDriveProtection&) = delete;
  WmiDriveProtection& operator=(const WmiDriveProtection&) = delete;

  std::string Drive() override { return drive_; }
  // GetProtectionStatus: out ProtectionStatus (0 off, 1 on, 2 unknown).
  ProtectionStatus Status() override;
  // DisableKeyProtectors with DisableCount.
  ProtectionCall Suspend(uint32_t restarts) override;
  // EnableKeyProtectors.
  ProtectionCall Resume() override;

 private:
  // Connects once per object: the locator, the namespace, the proxy blanket
  // at RPC_C_AUTHN_LEVEL_PKT_PRIVACY, and the volume's path from
  // SELECT * FROM Win32_EncryptableVolume WHERE DriveLetter = 'C:'.
  HRESULT Connect();
  // One method on the volume: its ReturnValue in `returned`, and the
  // out-parameter `outName` (if any) in `value`. The HRESULT of a step
  // that failed, else S_OK.
  HRESULT Call(const wchar_t* method, std::optional<uint32_t> disableCount, const wchar_t* outName, uint32_t& returned,
               uint32_t* value);

  std::unique_ptr<ComRuntime> com_;
  std::string drive_;
  std::optional<ComScope> comScope_;
  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  std::wstring volumePath_;
  std::optional<HRESULT> connected_;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_WMI_DRIVE_PROTECTION_H_
