// The count of refused password calls that the program keeps across its
// runs on one machine (Firmware::RefusedPasswordCalls), as both sides of the
// seam store it: the start of the machine it was counted in, and the count.
// The file holds nothing else: no password, no hash of one.
#ifndef VORT64_WMI_REFUSED_CALLS_H_
#define VORT64_WMI_REFUSED_CALLS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vort64 {

// The file's name, beside the simulated machine's files and under the
// program's folder of %ProgramData% on Windows.
inline constexpr char kRefusedCallsFileName[] = "refused-password-calls";

struct RefusedCallsRecord {
  std::string start;  // the start of the machine it was counted in: one line, no line break
  int refused = 0;    // refused calls in a row since the last accepted one
};

// "start START\nrefused N\n".
std::string FormatRefusedCalls(const RefusedCallsRecord& record);
// The record of that form; nothing for any other text (a record that cannot
// be read is never a reason to try more passwords).
std::optional<RefusedCallsRecord> ParseRefusedCalls(std::string_view text);

// A start of a Windows machine: the machine (a digest of its SMBIOS tables,
// which a firmware update changes), the system's boot time and how long it
// had been up when the record was kept.
struct WindowsStart {
  uint64_t machine = 0;
  int64_t bootSeconds = 0;  // seconds since 1970, as the system clock put the boot
  uint64_t uptimeMs = 0;    // milliseconds since the boot, as the tick count says
};
std::string FormatWindowsStart(const WindowsStart& start);
std::optional<WindowsStart> ParseWindowsStart(std::string_view text);
// Whether `now` is the start `kept` was counted in. A new start: another
// machine, an uptime below the kept one (the tick count begins again at each
// start), or a boot time at or after the moment the record was kept (at least
// a minute after the kept boot time, so that a correction of the clock within
// one start is not taken for one). A text that does not read as a start is
// the same start: it never lets a count go.
bool SameWindowsStart(std::string_view kept, std::string_view now);

// A 64-bit FNV-1a digest of bytes.
uint64_t Fnv1a64(std::string_view bytes);

}  // namespace vort64

#endif  // VORT64_WMI_REFUSED_CALLS_H_
