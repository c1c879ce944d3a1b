// The older setting layouts from 2.89 down to 2.56, each as its differences
// from the next newer layout: the settings it lacks, the settings it has in
// addition (name, offset, size, group, allowed values, description) and the
// fields that differ (the older layout's own values).
#include "catalog/tables.h"

namespace vort64 {
namespace {

using enum Category;

// clang-format off
// 2.89 (minor 89, 116 settings) against 2.90.
constexpr std::wstring_view kLacks89[] = {
    L"active efficient cores", L"gna device", L"emmc port", L"ufs port", L"tpm device selection",
};
constexpr RowChange kChanges89[] = {
    {.name = L"display mode", .meaning = L"1 : Auto Select, 2 : Optimus, 3 : nVidia GPU only, 255 : Not Supported"},
};

// 2.87 (minor 87 and 88, 114 settings) against 2.89.
constexpr std::wstring_view kLacks87[] = {
    L"asset tag number", L"ownership tag number",
};

// 2.86 (minor 86, 111 settings) against 2.87.
constexpr std::wstring_view kLacks86[] = {
    L"trusted execution technology", L"tpm detection selection", L"authorized signatures",
};

// 2.85 (minor 85, 109 settings) against 2.86.
constexpr std::wstring_view kLacks85[] = {
    L"vmd controller", L"display mode",
};

// 2.82 (minor 82 to 84, 104 settings) against 2.85.
constexpr std::wstring_view kLacks82[] = {
    L"above 4g decoding", L"re-size bar support", L"customized mac address", L"privacy screen",
    L"nvme raid mode", L"revert hdd0(opal) device", L"revert hdd1(opal) device", L"revert hdd2(opal) device",
    L"revert hdd3(opal) device", L"revert hdd4(opal) device", L"revert hdd5(opal) device",
};
constexpr CatalogRow kAdds82[] = {
    {L"Revert HDD0(OPAL) Device", 601, 32, kExpansion, L"PSID for reverting OPAL device", L"Revert HDD0(OPAL) Device, if WMI version >= 2.74"},
    {L"Revert HDD1(OPAL) Device", 633, 32, kExpansion, kPsidEntry, L"Revert HDD1(OPAL) Device, if WMI version >= 2.74"},
    {L"Revert HDD2(OPAL) Device", 665, 32, kExpansion, kPsidEntry, L"Revert HDD2(OPAL) Device, if WMI version >= 2.74"},
    {L"Revert HDD3(OPAL) Device", 697, 32, kExpansion, kPsidEntry, L"Revert HDD3(OPAL) Device, if WMI version >= 2.74"},
    {L"Revert HDD4(OPAL) Device", 729, 32, kExpansion, kPsidEntry, L"Revert HDD4(OPAL) Device, if WMI version >= 2.74"},
    {L"Revert HDD5(OPAL) Device", 761, 32, kExpansion, kPsidEntry, L"Revert HDD5(OPAL) Device, if WMI version >= 2.74"},
};
constexpr RowChange kChanges82[] = {
    {.name = L"mac address pass through", .meaning = kOnOff},
};

// 2.79 (minor 79 to 81, 100 settings) against 2.82.
constexpr std::wstring_view kLacks79[] = {
    L"usb device filter", L"mac address pass through", L"thunderbolt controller", L"world-facing led",
    L"wake on lan from dock",
};
constexpr CatalogRow kAdds79[] = {
    {L"usb filter", 67, 1, kDeviceControl, L"0 : All Allowed, 1 : Keyboard/Mouse Only, 2: USB Storage Read-Only, 255 : Not Supported", L"Get/Set USB Filter, if WMI version >= 2.77"},
};

// 2.78 (minor 78, 94 settings) against 2.79.
constexpr std::wstring_view kLacks78[] = {
    L"set hdd0 password", L"set hdd1 password", L"set hdd2 password", L"set hdd3 password",
    L"set hdd4 password", L"set hdd5 password", L"set hdd0(opal) password", L"set hdd1(opal) password",
    L"set hdd2(opal) password", L"set hdd3(opal) password", L"set hdd4(opal) password",
    L"set hdd5(opal) password",
};
constexpr CatalogRow kAdds78[] = {
    {L"set hdd0/hdd0(opal) password", 397, 34, kExpansion, kPasswordEntry, L"SetHDD0/HDD0(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {L"set hdd1/hdd1(opal) password", 431, 34, kExpansion, kPasswordEntry, L"SetHDD1/HDD1(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {L"set hdd2/hdd2(opal) password", 465, 34, kExpansion, kPasswordEntry, L"SetHDD2/HDD2(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {L"set hdd3/hdd3(opal) password", 499, 34, kExpansion, kPasswordEntry, L"SetHDD3/HDD3(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {L"set hdd4/hdd4(opal) password", 533, 34, kExpansion, kPasswordEntry, L"SetHDD4/HDD4(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
    {L"set hdd5/hdd5(opal) password", 567, 34, kExpansion, kPasswordEntry, L"SetHDD5/HDD5(OPAL) Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.73"},
};

// 2.77 (minor 77, 95 settings) against 2.78.
constexpr CatalogRow kAdds77[] = {
    {L"real time clock reset", 169, 1, kPowerAndEventControl, kOnOff, L"Get/Set Real Time Clock reset, if WMI version >= 2.73"},
};

// 2.74 (minor 74 to 76, 92 settings) against 2.77.
constexpr std::wstring_view kLacks74[] = {
    L"usb filter", L"absolute persistence module", L"save settings to user setup defaults",
};

// 2.73 (minor 73, 86 settings) against 2.74.
constexpr std::wstring_view kLacks73[] = {
    L"touchpad", L"Revert HDD0(OPAL) Device", L"Revert HDD1(OPAL) Device", L"Revert HDD2(OPAL) Device",
    L"Revert HDD3(OPAL) Device", L"Revert HDD4(OPAL) Device", L"Revert HDD5(OPAL) Device",
};
constexpr CatalogRow kAdds73[] = {
    {L"revert hddx(opal) device", 243, 2, kSecurity, L"0 : Do nothing, 1 : HDD0, 2 : HDD1, 4: HDD2, 8: HDD3, 16: HDD4, 32: HDD5", L"Flag for setting password, if WMI version >= 2.73"},
};
constexpr RowChange kChanges73[] = {
    {.name = L"sata mode", .meaning = L"0 : AHCI, 1 : RST with Optane, 2 : RST Premium with Optane, 3 : RAID, 255 : Not Supported"},
};

// 2.72 (minor 72, 82 settings) against 2.73.
constexpr std::wstring_view kLacks72[] = {
    L"intel vtx", L"intel vtd", L"cnvi wlan/bt", L"hdd0 port/hdd0(opal) port", L"hdd1 port/hdd1(opal) port",
    L"hdd2 port/hdd2(opal) port", L"hdd3 port/hdd3(opal) port", L"hdd4 port/hdd4(opal) port",
    L"hdd5 port/hdd5(opal) port", L"real time clock reset", L"power on by rtc alarm", L"hour", L"minute",
    L"second", L"clear tpm(tcm)", L"supervisor password is status", L"user password is status",
    L"flag for setting password", L"hdd0/hdd0(opal) password is status", L"hdd1/hdd1(opal) password is status",
    L"hdd2/hdd2(opal) password is status", L"hdd3/hdd3(opal) password is status",
    L"hdd4/hdd4(opal) password is status", L"hdd5/hdd5(opal) password is status", L"revert hddx(opal) device",
    L"display language", L"keyboard backlight timeout", L"internal kb numpad", L"fast boot",
    L"lock bios version", L"rollback old bios version", L"sound", L"set hdd0/hdd0(opal) password",
    L"set hdd1/hdd1(opal) password", L"set hdd2/hdd2(opal) password", L"set hdd3/hdd3(opal) password",
    L"set hdd4/hdd4(opal) password", L"set hdd5/hdd5(opal) password",
};
constexpr CatalogRow kAdds72[] = {
    {L"vtx", 14, 1, kSystemFunction, kOnOff, L"Get/Set VTX, if WMI version >= 2.56"},
    {L"vtd", 15, 1, kSystemFunction, kOnOff, L"Get/Set VTD, if WMI version >= 2.56"},
    {L"sata port 0/hdd 0 port", 83, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 0 / HDD 0 Port, if WMI version >= 2.61"},
    {L"sata port 1/hdd 1 port", 84, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 1/HDD 1 Port, if WMI version >= 2.61"},
    {L"sata port 2/hdd 2 port", 85, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 2/HDD 2 Port, if WMI version >= 2.61"},
    {L"sata port 3/hdd 3 port", 86, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 3/HDD 3 Port, if WMI version >= 2.61"},
    {L"sata port 4/hdd 4 port", 87, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 4/HDD 4 Port, if WMI version >= 2.61"},
    {L"sata port 5/hdd 5 port", 88, 1, kIoPorts, kOnOffAhciOnly, L"Get/Set SATA Port 5/HDD 5 Port, if WMI version >= 2.61"},
    {L"opal device 0 port", 91, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 0 Port, if WMI version >= 2.62"},
    {L"opal device 1 port", 92, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 1 Port, if WMI version >= 2.62"},
    {L"opal device 2 port", 93, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 2 Port, if WMI version >= 2.62"},
    {L"opal device 3 port", 94, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 3 Port, if WMI version >= 2.62"},
    {L"opal device 4 port", 95, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 4 Port, if WMI version >= 2.62"},
    {L"opal device 5 port", 96, 1, kIoPorts, kOnOff, L"Get/Set OPAL Device 5 Port, if WMI version >= 2.62"},
    {L"wake up system on time", 171, 1, kPowerAndEventControl, kOnOff, L"Get/Set Wake Up System on time, if WMI version >= 2.56"},
    {L"wake up hour", 172, 1, kPowerAndEventControl, L"0~23: hour, 255 : Not Supported. Function not support when Wake Up System on time is set to isabled", L"Get/Set Wake Up hour, if WMI version >= 2.56"},
    {L"wake up minute", 173, 1, kPowerAndEventControl, L"0~59: minute, 255 : Not Supported. Function not support when Wake Up System on time is set to isabled", L"Get/Set Wake Up minute, if WMI version >= 2.56"},
    {L"wake up second", 174, 1, kPowerAndEventControl, L"0~59: second, 255 : Not Supported. Function not support when Wake Up System on time is set to isabled", L"Get/Set Wake Up second, if WMI version >= 2.56"},
    {L"clear tpm", 195, 1, kSecurity, L"0 : Do nothing, 1: Clear, 254 : Function Supported, 255 : Not Supported", L"Set Clear TPM (TCM), if WMI version >= 2.56 ; Get Clear TPM(TCM) , if WMI version >= 2.72"},
    {L"supervisor password status", 196, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get Supervisor Password status, if WMI version >= 2.56"},
    {L"user password status", 197, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get User Password status, if WMI version >= 2.56"},
    {L"flag for setting", 235, 1, kSecurity, L"0 : Do nothing, 1 : Set Supervisor, 2 : Set User Password", L"Flag for setting, if WMI version >= 2.72"},
    {L"opal device 0 password status", 260, 1, kSecurity, kOnOff, L"Get OPAL Device 0 Password (Status), if WMI version >= 2.56"},
    {L"opal device 1 password status", 261, 1, kSecurity, kOnOff, L"Get OPAL Device 1 Password (Status), if WMI version >= 2.68"},
    {L"opal device 2 password status", 262, 1, kSecurity, kOnOff, L"Get OPAL Device 2 Password (Status), if WMI version >= 2.68"},
    {L"opal device 3 password status", 263, 1, kSecurity, kOnOff, L"Get OPAL Device 3 Password (Status), if WMI version >= 2.68"},
    {L"opal device 4 password status", 264, 1, kSecurity, kOnOff, L"Get OPAL Device 4 Password (Status), if WMI version >= 2.68"},
    {L"opal device 5 password status", 265, 1, kSecurity, kOnOff, L"Get OPAL Device 5 Password (Status), if WMI version >= 2.68"},
    {L"hdd 0 password status", 266, 1, kSecurity, kOnOff, L"Get HDD 0 Password (Status), if WMI version >= 2.68"},
    {L"hdd 1 password status", 267, 1, kSecurity, kOnOff, L"Get HDD 1 Password (Status), if WMI version >= 2.68"},
    {L"hdd 2 password status", 268, 1, kSecurity, kOnOff, L"Get HDD 2 Password (Status), if WMI version >= 2.68"},
    {L"hdd 3 password status", 269, 1, kSecurity, kOnOff, L"Get HDD 3 Password (Status), if WMI version >= 2.68"},
    {L"hdd 4 password status", 270, 1, kSecurity, kOnOff, L"Get HDD 4 Password (Status), if WMI version >= 2.68"},
    {L"hdd 5 password status", 271, 1, kSecurity, kOnOff, L"Get HDD 5 Password (Status), if WMI version >= 2.68"},
};
constexpr RowChange kChanges72[] = {
    {.name = L"set supervisor password", .size = 18, .description = L"Set Supervisor Password, if WMI version >= 2.56 ; Clear password, if WMI version >= 2.71"},
    {.name = L"set user password", .offset = 217, .size = 18},
};

// 2.71 (minor 71, 81 settings) against 2.72.
constexpr std::wstring_view kLacks71[] = {
    L"flag for setting",
};
constexpr RowChange kChanges71[] = {
    {.name = L"clear tpm", .meaning = L"1: Clear, 255 : Not Supported", .description = L"Set Clear TPM (TCM), if WMI version >= 2.56"},
};

// 2.68 (minor 68 to 70, 81 settings) against 2.71.
constexpr RowChange kChanges68[] = {
    {.name = L"set supervisor password", .meaning = L"password, Empty : Clear password", .description = L"Set Supervisor Password, if WMI version >= 2.56"},
    {.name = L"set user password", .meaning = L"password, Empty : Clear password. Function not support without supervisor password", .description = L"Set User Password, if WMI version >= 2.56"},
};

// 2.65 (minor 65 to 67, 74 settings) against 2.68.
constexpr std::wstring_view kLacks65[] = {
    L"opal device 1 password status", L"opal device 2 password status", L"opal device 3 password status",
    L"opal device 4 password status", L"opal device 5 password status", L"hdd 0 password status",
    L"hdd 1 password status", L"hdd 2 password status", L"hdd 3 password status", L"hdd 4 password status",
    L"hdd 5 password status",
};
constexpr CatalogRow kAdds65[] = {
    {L"hdd password status", 198, 1, kSecurity, L"0: Clear, 255 : Not Supported", L"Get HDD Password status, if WMI version >= 2.56"},
    {L"secure boot mode", 256, 1, kSecurity, L"0: Standard, 1 : Custom, 255 : Not Supported", L"Get Secure Boot Mode, if WMI version >= 2.56"},
    {L"erase all secure boot setting", 257, 1, kSecurity, L"0 : Do nothing, 1 : Enter, 255 : Not Supported", L"Set erase all secure boot setting, if WMI version >= 2.56"},
    {L"restore secure boot to factory default", 258, 1, kSecurity, L"0 : Do nothing, 1 : Enter, 255 : Not Supported", L"Set restore secure boot to factory default, if WMI version >= 2.56"},
};
constexpr RowChange kChanges65[] = {
    {.name = L"speaker & headphone", .description = L"Get/Set speaker & headphone, if WMI version >= 2.56"},
    {.name = L"sata port 0/hdd 0 port", .description = L"Get/Set SATA Port 0/HDD 0 Port, if WMI version >= 2.61"},
    {.name = L"battery threshold", .meaning = L"1 : 10%, 2 : 20 %, 3 : 30 %, 255 : Not Supported, not support when Power-off USB Charge is set to Disabled"},
    {.name = L"current tpm 1.2 state", .meaning = L"0 : Disabled & Deactive, 1 : Enabled & Active, 255 : Not Supported. Function not support without supervisor password", .description = L"Get TPM (TCM) state, TPM 1.2 only, if WMI version >= 2.56"},
    {.name = L"current tpm 2.0 state", .meaning = L"0 : Not Installed, 1 : Installed, 255 : Not Supported. Function not support without supervisor password"},
    {.name = L"change tpm 1.2 state", .meaning = L"0 : Disabled & Deactive, 1 : Enabled & Active, 2 : No Change, 255 : Not Supported. Function not support without supervisor password"},
    {.name = L"clear tpm", .meaning = L"1 : Clear, 255 : Not Supported"},
};

// 2.61 (minor 61 to 64, 76 settings) against 2.65.
constexpr CatalogRow kAdds61[] = {
    {L"tbt wake supported power state", 169, 1, kPowerAndEventControl, L"3: S3, 4: S4, 255 : Not Supported", L"Get/Set TBT Wake Supported Power State, if WMI version >= 2.56"},
    {L"usb wake supported power state", 175, 1, kPowerAndEventControl, L"3: S3, 4: S4, 255 : Not Supported", L"Get/Set USB Wake Supported Power State, if WMI version >= 2.56"},
};
constexpr RowChange kChanges61[] = {
    {.name = L"secure boot mode", .meaning = L"0 : Standard, 1 : Custom, 255 : Not Supported"},
};

// 2.56 (minor 56 to 60, 68 settings) against 2.61.
constexpr std::wstring_view kLacks56[] = {
    L"opal device 0 port", L"opal device 1 port", L"opal device 2 port", L"opal device 3 port",
    L"opal device 4 port", L"opal device 5 port", L"tbt wake from s4 support", L"usb wake from s4 support",
};

constexpr VariantDelta kDeltas[] = {
    {89, kLacks89, {}, kChanges89},
    {87, kLacks87, {}, {}},
    {86, kLacks86, {}, {}},
    {85, kLacks85, {}, {}},
    {82, kLacks82, kAdds82, kChanges82},
    {79, kLacks79, kAdds79, {}},
    {78, kLacks78, kAdds78, {}},
    {77, {}, kAdds77, {}},
    {74, kLacks74, {}, {}},
    {73, kLacks73, kAdds73, kChanges73},
    {72, kLacks72, kAdds72, kChanges72},
    {71, kLacks71, {}, kChanges71},
    {68, {}, {}, kChanges68},
    {65, kLacks65, kAdds65, kChanges65},
    {61, {}, kAdds61, kChanges61},
    {56, kLacks56, {}, {}},
};
// clang-format on

}  // namespace

std::span<const VariantDelta> OlderVariantDeltas() { return kDeltas; }

}  // namespace vort64
