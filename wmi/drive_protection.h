// The seam between the program and the system drive's BitLocker protection,
// beside the firmware seam and chosen with it: the Windows side calls the
// class Win32_EncryptableVolume (namespace
// ROOT\CIMV2\Security\MicrosoftVolumeEncryption), the simulated machine
// keeps the state in its directory. Everything above it is shared and does
// not know which side it talks to.
#ifndef VORT64_WMI_DRIVE_PROTECTION_H_
#define VORT64_WMI_DRIVE_PROTECTION_H_

#include <cstdint>
#include <optional>
#include <string>

namespace vort64 {

// ---- BitLocker's WMI vocabulary --------------------------------------------

inline constexpr wchar_t kVolumeEncryptionNamespace[] = L"ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption";
inline constexpr wchar_t kEncryptableVolumeClass[] = L"Win32_EncryptableVolume";
inline constexpr wchar_t kGetProtectionStatusMethod[] = L"GetProtectionStatus";
inline constexpr wchar_t kDisableKeyProtectorsMethod[] = L"DisableKeyProtectors";
inline constexpr wchar_t kEnableKeyProtectorsMethod[] = L"EnableKeyProtectors";
// The namespace as the simulated machine's faults file names it.
inline constexpr char kVolumeEncryptionFault[] = "MicrosoftVolumeEncryption";

// GetProtectionStatus's ProtectionStatus.
inline constexpr uint32_t kProtectionOff = 0;  // not encrypted, or the key in the clear (suspended)
inline constexpr uint32_t kProtectionOn = 1;
inline constexpr uint32_t kProtectionUnknown = 2;  // the volume is locked, say

// Return codes of the methods and of the WMI steps before them.
inline constexpr uint32_t kFveLockedVolume = 0x80310000u;        // FVE_E_LOCKED_VOLUME
inline constexpr uint32_t kFveNotEncrypted = 0x80310001u;        // FVE_E_NOT_ENCRYPTED
inline constexpr uint32_t kFveSecureKeyRequired = 0x80310007u;   // FVE_E_SECURE_KEY_REQUIRED
inline constexpr uint32_t kFveNotActivated = 0x80310008u;        // FVE_E_NOT_ACTIVATED
inline constexpr uint32_t kFveProtectionDisabled = 0x80310021u;  // FVE_E_PROTECTION_DISABLED
inline constexpr uint32_t kAccessDenied = 0x80070005u;           // E_ACCESSDENIED
inline constexpr uint32_t kInvalidArgument = 0x80070057u;        // E_INVALIDARG
inline constexpr uint32_t kWbemNotFound = 0x80041002u;           // WBEM_E_NOT_FOUND
inline constexpr uint32_t kWbemAccessDenied = 0x80041003u;       // WBEM_E_ACCESS_DENIED
inline constexpr uint32_t kWbemInvalidNamespace = 0x8004100Eu;   // WBEM_E_INVALID_NAMESPACE
inline constexpr uint32_t kWbemInvalidClass = 0x80041010u;       // WBEM_E_INVALID_CLASS
inline constexpr uint32_t kCallFailed = 0x80004005u;             // E_FAIL: the call did not execute

// The words a person reads for a code: "the volume is locked
// (FVE_E_LOCKED_VOLUME)", "access denied: the program must run elevated
// (E_ACCESSDENIED)", ...; "code 0x8031FFFF" for one it does not know.
std::string ProtectionCodeWords(uint32_t code);

// ---- The seam ----------------------------------------------------------------

// What GetProtectionStatus said of the system drive.
struct ProtectionStatus {
  std::optional<bool> on;  // nothing when it could not be known
  uint32_t code = 0;       // when not known: the code of the step that failed (0: it answered "unknown")
  std::string why;         // when not known: why, in words
};

// What DisableKeyProtectors or EnableKeyProtectors ended with.
struct ProtectionCall {
  bool done = false;  // executed and answered 0
  uint32_t code = 0;  // when not done: the method's ReturnValue, or the code of the step that failed
  std::string why;    // when not done: why, in words
};

class DriveProtection {
 public:
  virtual ~DriveProtection() = default;

  // The system drive as %SystemDrive% names it ("C:").
  virtual std::string Drive() = 0;
  // GetProtectionStatus of the system drive's volume.
  virtual ProtectionStatus Status() = 0;
  // DisableKeyProtectors with DisableCount `restarts`: the protection is
  // suspended until that many restarts have passed.
  virtual ProtectionCall Suspend(uint32_t restarts) = 0;
  // EnableKeyProtectors: the protection is on again at once.
  virtual ProtectionCall Resume() = 0;
};

}  // namespace vort64

#endif  // VORT64_WMI_DRIVE_PROTECTION_H_
