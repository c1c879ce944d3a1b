// The firmware of the Windows build: the firmware's WMI provider in namespace
// ROOT\WMI, reached through COM (the code is in wmi/windows/). Declared apart
// from the COM headers so that the entry point can include it without
// pulling in <windows.h>.
#ifndef VORT64_WMI_WMI_FIRMWARE_H_
#define VORT64_WMI_WMI_FIRMWARE_H_

#include <memory>

#include "wmi/firmware.h"

namespace vort64 {

// A closed connection; Open() connects it.
std::unique_ptr<Firmware> MakeWmiFirmware();

}  // namespace vort64

#endif  // VORT64_WMI_WMI_FIRMWARE_H_
