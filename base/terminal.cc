#include "base/terminal.h"

namespace vort64 {

EchoOff::EchoOff(TerminalEcho* terminal) : terminal_(terminal) {
  if (!terminal_) return;
  const std::optional<bool> echo = terminal_->Echo();
  if (echo && *echo) active_ = terminal_->SetEcho(false);
}

EchoOff::~EchoOff() {
  if (active_) terminal_->SetEcho(true);
}

}  // namespace vort64
