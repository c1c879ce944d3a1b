// Whether what is typed at the terminal shows: the self-test's password
// prompts read their answers with the echo off when the input is a terminal
// (a console on Windows), and as ever from a file or a pipe.
#ifndef VORT64_BASE_TERMINAL_H_
#define VORT64_BASE_TERMINAL_H_

#include <optional>

#if !defined(_WIN32)
#include <termios.h>
#endif

namespace vort64 {

// The terminal calls, behind an interface so that tests can stand in for
// the terminal.
class TerminalEcho {
 public:
  virtual ~TerminalEcho() = default;

  // Whether typed characters show; nothing when the input is no terminal.
  virtual std::optional<bool> Echo() = 0;
  // Switches the echo; false when it could not be switched.
  virtual bool SetEcho(bool on) = 0;
};

// A terminal of the system: termios on POSIX, the console mode
// (ENABLE_ECHO_INPUT) on Windows.
class SystemTerminal final : public TerminalEcho {
 public:
  // Standard input.
  SystemTerminal();
#if defined(_WIN32)
  // The console input handle `handle` (a HANDLE).
  explicit SystemTerminal(void* handle) : handle_(handle) {}
#else
  // The terminal open as `fd`.
  explicit SystemTerminal(int fd) : fd_(fd) {}
#endif

  std::optional<bool> Echo() override;
  bool SetEcho(bool on) override;

 private:
#if defined(_WIN32)
  void* handle_;
#else
  int fd_;
  // The settings the echo was switched off from, to put back whole.
  std::optional<termios> saved_;
#endif
};

// While it lives, the echo of a terminal that shows what is typed is off; it
// is switched back on when it ends. Nothing happens without a terminal
// (null, a file, a pipe) or when the echo is off already.
class EchoOff {
 public:
  explicit EchoOff(TerminalEcho* terminal);
  ~EchoOff();
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

  // Whether the echo was switched off.
  bool active() const { return active_; }

 private:
  TerminalEcho* terminal_;
  bool active_ = false;
};

}  // namespace vort64

#endif  // VORT64_BASE_TERMINAL_H_
