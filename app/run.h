// One run of the program: from the argument vector to the exit code.
#ifndef VORT64_APP_RUN_H_
#define VORT64_APP_RUN_H_

#include <functional>
#include <istream>
#include <memory>
#include <span>
#include <string>

#include "base/console.h"
#include "base/import_results.h"
#include "wmi/firmware.h"

namespace vort64 {

// Exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 101;
inline constexpr int kExitFailed = 103;
inline constexpr int kExitUnsupported = 104;

// Makes a new, not yet opened, connection to the firmware. Each run (and
// each nested run of the custom-settings import) opens its own.
using FirmwareFactory = std::function<std::unique_ptr<Firmware>()>;

// What lives for the whole process, across nested runs.
struct Process {
  Console& console;
  std::istream& input;  // answers the interactive password prompt
  FirmwareFactory openFirmware;
  ImportResults results;
};

// Runs the program once. `args[0]` is the program name.
int RunProgram(Process& process, std::span<const std::wstring> args);

}  // namespace vort64

#endif  // VORT64_APP_RUN_H_
