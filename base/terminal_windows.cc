// The terminal over the Windows console: its input mode's ENABLE_ECHO_INPUT.
#include <windows.h>

#include "base/terminal.h"

namespace vort64 {

SystemTerminal::SystemTerminal() : handle_(::GetStdHandle(STD_INPUT_HANDLE)) {}

std::optional<bool> SystemTerminal::Echo() {
  DWORD mode = 0;
  if (!::GetConsoleMode(handle_, &mode)) return std::nullopt;
  return (mode & ENABLE_ECHO_INPUT) != 0;
}

bool SystemTerminal::SetEcho(bool on) {
  DWORD mode = 0;
  if (!::GetConsoleMode(handle_, &mode)) return false;
  mode = on ? (mode | ENABLE_ECHO_INPUT) : (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  return ::SetConsoleMode(handle_, mode) != 0;
}

}  // namespace vort64
