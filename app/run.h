// One run of the program: from the argument vector to the exit code.
#ifndef VORT64_APP_RUN_H_
#define VORT64_APP_RUN_H_

#include <chrono>
#include <functional>
#include <istream>
#include <span>
#include <string>

#include "autotest/driver.h"
#include "base/console.h"
#include "ops/executor.h"
#include "wmi/firmware.h"

namespace vort64 {

// Exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 101;
inline constexpr int kExitFailed = 103;
inline constexpr int kExitUnsupported = 104;

// What the process gives a run: its console, the input that answers the
// interactive password prompt, and the firmware, not yet opened.
struct Process {
  Console& console;
  std::istream& input;
  Firmware& firmware;
  // The wait after each password step of the self-test.
  std::function<void()> pauseAfterPasswordStep = [] {};
  // How long the run waits for another run on the machine to end.
  std::chrono::milliseconds lockLimit = kMachineLockLimit;
};

// The exit code of a function's result: 0 when it ran (a reboot request
// included), 103 otherwise.
int ExitCodeFor(const OperationResult& result);
// The self-test's: 0 when it found no fault, 103 otherwise.
int ExitCodeFor(AutotestVerdict verdict);

// Runs the program once. `args[0]` is the program name.
int RunProgram(Process& process, std::span<const std::wstring> args);

}  // namespace vort64

#endif  // VORT64_APP_RUN_H_
