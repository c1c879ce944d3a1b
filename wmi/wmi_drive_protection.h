// The system drive's BitLocker protection on Windows: the class
// Win32_EncryptableVolume in namespace
// ROOT\CIMV2\Security\MicrosoftVolumeEncryption, reached through COM with
// packet privacy (the code is in wmi/windows/). Declared apart from the COM
// headers so that the entry point can include it without pulling in
// <windows.h>.
#ifndef VORT64_WMI_WMI_DRIVE_PROTECTION_H_
#define VORT64_WMI_WMI_DRIVE_PROTECTION_H_

#include <memory>

#include "wmi/drive_protection.h"

namespace vort64 {

// Connects on first use, to the volume whose DriveLetter is %SystemDrive%.
std::unique_ptr<DriveProtection> MakeWmiDriveProtection();

}  // namespace vort64

#endif  // VORT64_WMI_WMI_DRIVE_PROTECTION_H_
