#include "wmi/drive_protection.h"

#include <cstdio>

namespace vort64 {

std::string ProtectionCodeWords(uint32_t code) {
  switch (code) {
    case kFveLockedVolume: return "the volume is locked (FVE_E_LOCKED_VOLUME)";
    case kFveNotEncrypted: return "the volume is not encrypted (FVE_E_NOT_ENCRYPTED)";
    case kFveSecureKeyRequired: return "the volume has no key protector (FVE_E_SECURE_KEY_REQUIRED)";
    case kFveNotActivated: return "BitLocker is not turned on for the volume (FVE_E_NOT_ACTIVATED)";
    case kFveProtectionDisabled:
      return "the volume's key is in the clear on the disk: its protection is suspended (FVE_E_PROTECTION_DISABLED)";
    case kAccessDenied: return "access denied: the program must run elevated, as an administrator (E_ACCESSDENIED)";
    case kInvalidArgument: return "the method refused its parameter (E_INVALIDARG)";
    case kWbemNotFound: return "the system drive has no encryptable volume (WBEM_E_NOT_FOUND)";
    case kWbemAccessDenied:
      return "access to BitLocker's WMI namespace denied: the program must run elevated, as an administrator "
             "(WBEM_E_ACCESS_DENIED)";
    case kWbemInvalidNamespace:
      return "this Windows has no BitLocker (no namespace ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption, "
             "WBEM_E_INVALID_NAMESPACE)";
    case kWbemInvalidClass:
      return "this Windows has no BitLocker (no class Win32_EncryptableVolume, WBEM_E_INVALID_CLASS)";
    case kCallFailed: return "the call could not be executed (E_FAIL)";
    default: break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "code 0x%08X", static_cast<unsigned>(code));
  return text;
}

}  // namespace vort64
