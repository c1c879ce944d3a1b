// The boot device codes that make up the boot priority order (one code per
// byte, 255 ends the list). Codes 0 and 15 name no device.
#include "catalog/tables.h"

namespace vort64 {
namespace {

constexpr BootDeviceRow kBootDevices[] = {
    {1, L"1st HDD"},
    {2, L"CD/DVD Drive"},
    {3, L"SCSI"},
    {4, L"D2D recovery"},
    {5, L"(Reserved)"},
    {6, L"PCMCIA"},
    {7, L"Network"},
    {8, L"(Reserved)"},
    {9, L"1394 CD-ROM"},
    {10, L"USB HDD"},
    {11, L"USB CD-ROM"},
    {12, L"USB Floppy"},
    {13, L"USB Key"},
    {14, L"2nd HDD"},
    {16, L"USB Other Devices"},
    {17, L"USB To Go (UEFI boot)"},
    {18, L"IPV6 (UEFI boot)"},
    {19, L"Windows Boot Manager (UEFI boot)"},
    {20, L"Other Bootable Devices"},
};

}  // namespace

std::span<const BootDeviceRow> BootDeviceRows() { return kBootDevices; }

}  // namespace vort64
