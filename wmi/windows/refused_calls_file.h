// The program's count of refused password calls on Windows: the file
// refused-password-calls in %ProgramData%\Vort64, a folder that only SYSTEM
// and the Administrators may change (made so when it is missing; refused
// when it is there and owned by anyone else), and the start of the machine
// as the system tells it.
#ifndef VORT64_WMI_WINDOWS_REFUSED_CALLS_FILE_H_
#define VORT64_WMI_WINDOWS_REFUSED_CALLS_FILE_H_

#include <cstdint>
#include <optional>
#include <string>

namespace vort64 {

// The start of this machine now: `machine` (a digest of its SMBIOS tables),
// the boot time the system clock gives and the tick count.
std::string CurrentWindowsStart(uint64_t machine);

// The count kept for the start `now` (0 when none was, or it was kept in
// another start); nothing when the file or its folder cannot be read or
// cannot be trusted.
std::optional<int> ReadRefusedCallsFile(const std::string& now);
// Keeps `count` for the start `now`: a new file beside the old one, renamed
// over it. False when it could not be written.
bool WriteRefusedCallsFile(const std::string& now, int count);

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_REFUSED_CALLS_FILE_H_
