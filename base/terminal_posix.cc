// The terminal over termios. Switched off, the echo keeps showing the line
// break of Enter (ECHONL), so that the next line starts on a line of its own.
#include <termios.h>
#include <unistd.h>

#include "base/terminal.h"

namespace vort64 {

SystemTerminal::SystemTerminal() : fd_(STDIN_FILENO) {}

std::optional<bool> SystemTerminal::Echo() {
  termios settings{};
  if (::tcgetattr(fd_, &settings) != 0) return std::nullopt;
  return (settings.c_lflag & ECHO) != 0;
}

bool SystemTerminal::SetEcho(bool on) {
  termios settings{};
  if (::tcgetattr(fd_, &settings) != 0) return false;
  if (on && saved_) {
    settings = *saved_;
  } else if (on) {
    settings.c_lflag |= ECHO;
  } else {
    saved_ = settings;
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    settings.c_lflag |= ECHONL;
  }
  if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return false;
  if (on) saved_.reset();
  return true;
}

}  // namespace vort64
