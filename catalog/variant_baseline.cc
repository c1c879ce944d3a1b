// The oldest setting layout (interface 2.0 to 2.55), whole: its descriptions
// carry no version note and its password fields are shorter. By group and
// ascending offset, one setting per line: name, offset, size, group, allowed
// values, description.
#include "catalog/tables.h"

namespace vort64 {
namespace {

using enum Category;

// clang-format off
constexpr CatalogRow kRows[] = {
    // System Function
    {L"asf support", 12, 1, kSystemFunction, kOnOff, L"Get/Set ASF"},
    {L"asf configuration", 13, 1, kSystemFunction, L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support when ASF Support is set to Disabled", L"Get/Set ASF configuration"},
    {L"vtx", 14, 1, kSystemFunction, kOnOff, L"Get/Set VTX"},
    {L"vtd", 15, 1, kSystemFunction, kOnOff, L"Get/Set VTD"},
    {L"amd-v", 16, 1, kSystemFunction, kOnOff, L"Get/Set AMD V Mode"},
    // Device Control
    {L"touchpad", 51, 1, kDeviceControl, L"0 : Basic, 1 : Advanced, 255 : Not Supported", L"Get/Set Touchpad"},
    {L"xhci support", 52, 1, kDeviceControl, kOnOff, L"Get/Set xHCI"},
    {L"wi-fi", 53, 1, kDeviceControl, kOnOff, L"Get/Set Wi-Fi Module (commercial only)"},
    {L"wigig", 54, 1, kDeviceControl, kOnOff, L"Get/Set WiGig (commercial only)"},
    {L"bluetooth", 55, 1, kDeviceControl, kOnOff, L"Get/Set Bluetooth Module (commercial only)"},
    {L"3g/lte", 56, 1, kDeviceControl, kOnOff, L"Get/Set 3G/LTE Module (commercial only)"},
    {L"card reader", 57, 1, kDeviceControl, kOnOff, L"Get/Set card reader (commercial only)"},
    {L"wired lan", 58, 1, kDeviceControl, kOnOff, L"Get/Set Wired LAN (commercial only)"},
    {L"audio", 59, 1, kDeviceControl, kOnOff, L"Get/Set Audio Controller (commercial only)"},
    {L"camera", 60, 1, kDeviceControl, kOnOff, L"Get/Set camera (commercial only)"},
    {L"fingerprint", 61, 1, kDeviceControl, kOnOff, L"Get/Set fingerprint (commercial only)"},
    // IO Ports
    {L"usb ports", 81, 1, kIoPorts, kOnOff, L"Get/Set USB Ports (commercial only)"},
    {L"type c", 82, 1, kIoPorts, kOnOff, L"Get/Set Type C Ports (commercial only)"},
    {L"sata port 0/hdd 0 port", 83, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 0/HDD 0 Port"},
    {L"sata port 1/hdd 1 port", 84, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 1/HDD 1 Port"},
    {L"sata port 2/hdd 2 port", 85, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 2/HDD 2 Port"},
    {L"sata port 3/hdd 3 port", 86, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 3/HDD 3 Port"},
    {L"sata port 4/hdd 4 port", 87, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 4/HDD 4 Port"},
    {L"sata port 5/hdd 5 port", 88, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 5/HDD 5 Port"},
    {L"sata port 6/hdd 6 port", 89, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 6/HDD 6 Port"},
    {L"sata port 7/hdd 7 port", 90, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 7/HDD 7 Port"},
    // Power and Event Control
    {L"network boot", 161, 1, kPowerAndEventControl, kOnOff, L"Get/Set network boot"},
    {L"wake on lan", 162, 1, kPowerAndEventControl, kOnOff, L"Get/Set wake on LAN"},
    {L"lid open resume", 163, 1, kPowerAndEventControl, kOnOff, L"Get/Set lid open resume"},
    {L"wake on wlan", 164, 1, kPowerAndEventControl, kOnOff, L"Get/Set wake on WLAN (commercial only)"},
    {L"power-off usb charge", 165, 1, kPowerAndEventControl, kOnOff, L"Get/Set Power off USB (commercial only)"},
    {L"battery threshold", 166, 1, kPowerAndEventControl, L"1 : 10%, 2 : 20 %, 3 : 30 %, 255 : Not Supported, not support when Power-off USB Charge is set to Disabled", L"Get/Set Battery Threshold (commercial only)"},
    {L"usb boot", 167, 1, kPowerAndEventControl, kOnOff, L"Get/Set USB Boot"},
    // Security
    {L"current tpm 1.2 state", 191, 1, kSecurity, L"0 : Disabled & Deactive, 1 : Enabled & Active, 255 : Not Supported. Function not support without supervisor password", L"Get TPM(TCM) state, TPM 1.2 only"},
    {L"current tpm 2.0 state", 192, 1, kSecurity, L"0 : Not Installed, 1 : Installed, 255 : Not Supported. Function not support without supervisor password", L"Get TPM(TCM) state, TPM 2.0 and later"},
    {L"change tpm 1.2 state", 193, 1, kSecurity, L"0 : Disabled & Deactive, 1 : Enabled & Active, 2 : No Change, 255 : Not Supported. Function not support without supervisor password", L"Set TPM (TCM) state, TPM 1.2 only"},
    {L"change tpm 2.0 state", 194, 1, kSecurity, L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support without supervisor password", L"Set TPM (TCM) state, TPM 2.0 and later"},
    {L"clear tpm", 195, 1, kSecurity, L"1 : Clear, 255 : Not Supported", L"Set Clear TPM (TCM)"},
    {L"supervisor password status", 196, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get Supervisor Password status"},
    {L"user password status", 197, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get User Password status"},
    {L"hdd password status", 198, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get hdd password status"},
    {L"set supervisor password", 199, 14, kSecurity, L"password, Empty : Clear password", L"Set Supervisor Password"},
    {L"set user password", 213, 14, kSecurity, L"password, Empty : Clear password. Function not support without supervisor password", L"Set User Password"},
    {L"set hdd0 password", 227, 14, kSecurity, L"password, Empty : Clear password", L"Set set hdd0 password"},
    {L"set hdd1 password", 241, 14, kSecurity, L"password, Empty : Clear password", L"Set set hdd1 password"},
    {L"password on boot", 255, 1, kSecurity, kOnOff, L"Get/Set Password on boot"},
    {L"secure boot mode", 256, 1, kSecurity, L"0 : Standard, 1 : Custom, 255 : Not Supported", L"Get/ Set Secure Boot Mode"},
    {L"erase all secure boot setting", 257, 1, kSecurity, L"0 : Do nothing, 1 : Enter, 255 : Not Supported", L"Set erase secure boot setting"},
    {L"restore secure boot to factory default", 258, 1, kSecurity, L"0 : Do nothing, 1 : Enter, 255 : Not Supported", L"Set restore secure boot to factory default"},
    {L"secure boot", 259, 1, kSecurity, L"0 : Disabled, 1 : Enabled, 255 : Not Supported. Function not support when Boot Mode is set to Legacy", L"Get/Set Secure Boot status"},
    // Post Behaviors
    {L"f12 boot menu", 301, 1, kPostBehaviors, kOnOff, L"Get/Set Boot Menu setting"},
    {L"function key behavior", 302, 1, kPostBehaviors, L"0: Function Key, 1: Special Key, 255 : Not Supported", L"Get/Set Function key"},
    {L"d2d recovery", 303, 1, kPostBehaviors, kOnOff, L"Get/Set D2D Recovery setting"},
    {L"gpt partition recovery", 304, 1, kPostBehaviors, L"0 : Do nothing, 1 : Save, 2 : Restore, 255 : Not Supported. Function not support MBR partition", L"Get/Set gpt partition recovery"},
    {L"clean gpt", 305, 1, kPostBehaviors, L"0 : Do nothing, 1 : Clean, 255 : Not Supported. Clean Function not support without record", L"Set clean gpt"},
    {L"gpt partition record", 306, 5, kPostBehaviors, L"Year, Month (1~12), Date (1~31), Hour (0~23), Minute (0~59). 24 hour format, 0 : No Record, 255 : Not Supported", L"Get / Set gpt partition record"},
    {L"boot mode", 311, 1, kPostBehaviors, L"0 : Legacy, 1 : UEFI, , 255 : Not Supported", L"Get/Set Boot Mode"},
    {L"boot priority order", 312, 16, kPostBehaviors, L"1st priority, 2nd priority, 3rd priority, \u2026, 16th priority. 255 : terminate. Refer to Boot device table in the end of this file", L"Get/Set Boot Priority Order"},
    // Date and Time
    {L"date", 391, 3, kDateAndTime, L"Year, Month (1~12), Date (1~31). 238 : Do not change, 255 : Not Supported. 24 hour format", L"Get/Set System Date (MM/DD/YY)"},
    {L"time", 394, 3, kDateAndTime, L"Hour (0~23) : Minute (0~59) : Second (0~59), 238 : Do not change, 255 : Not Supported. 24 hour format", L"Get / Set System Time(HH : MM : SS)"},
};
// clang-format on

}  // namespace

std::span<const CatalogRow> BaselineVariantRows() { return kRows; }

}  // namespace vort64
