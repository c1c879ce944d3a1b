// The vort64 executable: a wide entry point on Windows (with the console
// showing the UTF-8 output), UTF-8 arguments elsewhere, and the choice of
// firmware: WMI on Windows, the simulated machine otherwise.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/run.h"
#include "base/console.h"
#include "base/terminal.h"
#include "base/text.h"

#if defined(_WIN32)
#include "app/utf8_console.h"
#endif
#if defined(VORT64_SIMULATED)
#include "sim/machine.h"
#include "sim/simulated_firmware.h"
#include "sim/system_drive.h"
#else
#include "wmi/wmi_drive_protection.h"
#include "wmi/wmi_firmware.h"
#endif

namespace {

// The firmware and the system drive's protection, from the same side of
// the seams: WMI on Windows, the simulated machine otherwise.
struct Machine {
  std::unique_ptr<vort64::Firmware> firmware;
  std::unique_ptr<vort64::DriveProtection> drive;
};

Machine MakeMachine() {
#if defined(VORT64_SIMULATED)
  const auto getenv = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
  };
  std::string error;
  const std::filesystem::path dir = vort64::sim::MachineForRun(getenv, error);
  // The run goes on: a machine that cannot be used reads as a firmware that
  // cannot be read.
  if (!error.empty()) std::cerr << error << '\n';
  return {std::make_unique<vort64::sim::SimulatedFirmware>(dir),
          std::make_unique<vort64::sim::SimulatedDriveProtection>(dir)};
#else
  return {vort64::MakeWmiFirmware(), vort64::MakeWmiDriveProtection()};
#endif
}

// `notUtf8`: the position of the first argument that is not valid UTF-8.
int Main(std::vector<std::wstring> args, std::optional<size_t> notUtf8 = std::nullopt) {
  vort64::Console console(std::cout, std::cerr);
  if (notUtf8) {
    const int code = vort64::RefuseArgumentNotUtf8(console, args, *notUtf8);
    console.Flush();
    return code;
  }
  // The version and the usage need no machine: not even the simulated one
  // is looked for.
  if (const auto answered = vort64::AnswerWithoutFirmware(console, args)) {
    console.Flush();
    return *answered;
  }
  const Machine machine = MakeMachine();
  vort64::SystemTerminal terminal;
  vort64::Process process{console,
                          std::cin,
                          *machine.firmware,
                          machine.drive.get(),
                          [] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); },
                          &terminal};
  const int code = vort64::RunProgram(process, args);
  console.Flush();
  return code;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
  vort64::SystemConsoleCodePage codePage;
  const vort64::Utf8ConsoleOutput utf8(codePage);
  return Main(std::vector<std::wstring>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  std::optional<size_t> notUtf8;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && !notUtf8 && !vort64::IsValidUtf8(argv[i])) notUtf8 = static_cast<size_t>(i);
    args.push_back(vort64::Utf8ToWide(argv[i]));
  }
  return Main(std::move(args), notUtf8);
}
#endif
