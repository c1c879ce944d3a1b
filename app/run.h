// One run of the program: from the argument vector to the exit code.
#ifndef VORT64_APP_RUN_H_
#define VORT64_APP_RUN_H_

#include <chrono>
#include <functional>
#include <istream>
#include <optional>
#include <span>
#include <string>

#include "autotest/driver.h"
#include "base/console.h"
#include "base/terminal.h"
#include "ops/executor.h"
#include "ops/outcome.h"
#include "wmi/drive_protection.h"
#include "wmi/firmware.h"

namespace vort64 {

// What the process gives a run: its console, the input that answers the
// interactive password prompt, and the firmware, not yet opened.
struct Process {
  Console& console;
  std::istream& input;
  Firmware& firmware;
  // The system drive's BitLocker protection, chosen with the firmware; null
  // where the run has none to reach (it reads as unknown).
  DriveProtection* drive = nullptr;
  // The wait after each password step of the self-test.
  std::function<void()> pauseAfterPasswordStep = [] {};
  // The terminal behind `input`, if any: the password prompt switches its
  // echo off.
  TerminalEcho* terminal = nullptr;
  // How long the run waits for another run on the machine to end.
  std::chrono::milliseconds lockLimit = kMachineLockLimit;
  // The time now: the self-test's report says when it started.
  std::function<std::chrono::system_clock::time_point()> now = [] { return std::chrono::system_clock::now(); };
};

// The exit code of a function's result, as the outcome table gives it.
int ExitCodeFor(const OperationResult& result);
// The self-test's: 0 when it found no fault, 103 otherwise.
int ExitCodeFor(AutotestVerdict verdict);

// The program's version, the CMake project's.
inline constexpr char kProgramVersion[] = VORT64_VERSION;

// Answers what needs no firmware, before the machine is locked or anything
// reaches the firmware: "--version" and "/version" ("vort64 VERSION" on
// standard output, exit code 0) and the usage words "-h", "--help", "/help"
// and "-?" (the usage, exit code 101). Nothing when the command line asks
// for neither.
std::optional<int> AnswerWithoutFirmware(Console& console, std::span<const std::wstring> args);

// Refuses a command line whose argument at `position` (from 1, after the
// program name) is not valid UTF-8, before anything else is done: standard
// error names the argument, "/json" (as the first argument) still gets its
// document, and the exit code is 101. The argument is never taken as another
// name (a file name changed into U+FFFD would name another file).
int RefuseArgumentNotUtf8(Console& console, std::span<const std::wstring> args, size_t position);

// Runs the program once. `args[0]` is the program name.
int RunProgram(Process& process, std::span<const std::wstring> args);

}  // namespace vort64

#endif  // VORT64_APP_RUN_H_
