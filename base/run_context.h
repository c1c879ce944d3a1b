// The values one run of the program shares between its layers. The entry
// point creates a RunContext and hands it to whatever reads them; a nested
// run (the custom-settings import) gets a RunContext of its own.
#ifndef VORT64_BASE_RUN_CONTEXT_H_
#define VORT64_BASE_RUN_CONTEXT_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vort64 {

class Console;
class Firmware;
class ImportResults;

// The firmware's WMI interface version, from the OEM SMBIOS structure.
struct WmiVersion {
  uint32_t major = 0;
  uint32_t minor = 0;

  bool AtLeast(uint32_t m) const { return major == 2 && minor >= m; }
};

// The new password typed on the command line, and which of its names the
// interface version binds. All bound names refer to the one buffer.
struct NewPasswords {
  enum Ref { kSupervisor, kUser, kHdd, kOpal, kHdd0, kHdd1, kRefCount };

  std::array<char, 33> buffer{};  // NUL-terminated narrow text
  std::array<bool, kRefCount> bound{};
  // Which reference the parser wrote through, if any.
  int written = -1;

  // Binds the references the interface minor version offers.
  void BindFor(uint32_t minor);
  bool IsBound(Ref ref) const { return bound[ref]; }
};

struct RunContext {
  RunContext(Console& console_in, Firmware& firmware_in)
      : console(console_in), firmware(firmware_in) {}

  Console& console;
  Firmware& firmware;  // the open connection to the firmware
  // The custom-settings import's result files and marks; they outlive the
  // run, since each imported setting is replayed as a run of its own.
  ImportResults* results = nullptr;
  int32_t lastResult = 0;

  WmiVersion version;
  uint32_t passwordFieldLength = 12;      // password array below interface 2.56
  uint32_t passwordFieldLengthLong = 16;  // from 2.56 on
  uint32_t dataLength = 2048;             // the option block

  uint32_t passwordMaxLength = 0;      // 12 below 2.56, 16 from 2.56 on
  uint32_t opalPasswordMaxLength = 0;  // 32 from 2.79 on, 0 before
  NewPasswords newPasswords;

  std::vector<std::wstring> savedArguments;  // the argument vector of the run

  // Sets the limits and binds the new-password references for an accepted
  // interface version (major 2).
  void AcceptVersion(uint32_t minor);
};

}  // namespace vort64

#endif  // VORT64_BASE_RUN_CONTEXT_H_
