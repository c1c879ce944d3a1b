#include "base/terminal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vort64 {
namespace {

// A terminal whose echo is a flag, logging the switches asked for.
class FakeTerminal final : public TerminalEcho {
 public:
  bool isTerminal = true;
  bool echo = true;
  bool switchFails = false;
  std::vector<bool> switches;

  std::optional<bool> Echo() override {
    if (!isTerminal) return std::nullopt;
    return echo;
  }
  bool SetEcho(bool on) override {
    switches.push_back(on);
    if (!isTerminal || switchFails) return false;
    echo = on;
    return true;
  }
};

TEST(EchoOffTest, ATerminalReadsWithoutEchoAndGetsItBack) {
  FakeTerminal terminal;
  {
    const EchoOff off(&terminal);
    EXPECT_TRUE(off.active());
    EXPECT_FALSE(terminal.echo);
  }
  EXPECT_TRUE(terminal.echo);
  EXPECT_EQ(terminal.switches, (std::vector<bool>{false, true}));
}

TEST(EchoOffTest, NothingChangesWhereNothingNeedsTo) {
  struct Case {
    const char* what;
    bool isTerminal;
    bool echo;
    bool switchFails;
    std::vector<bool> switches;
  };
  const Case cases[] = {
      {"input from a file or a pipe", false, true, false, {}},
      {"echo already off", true, false, false, {}},
      {"echo cannot be switched", true, true, true, {false}},  // nothing to put back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTerminal terminal;
    terminal.isTerminal = c.isTerminal;
    terminal.echo = c.echo;
    terminal.switchFails = c.switchFails;
    {
      const EchoOff off(&terminal);
      EXPECT_FALSE(off.active());
    }
    EXPECT_EQ(terminal.echo, c.echo);
    EXPECT_EQ(terminal.switches, c.switches);
  }
  const EchoOff none(nullptr);
  EXPECT_FALSE(none.active());
}

#if !defined(_WIN32)
// A pseudo-terminal: the side a program reads its typed input from.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name) slave_ = ::open(name, O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  int slave() const { return slave_; }
  termios Settings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(slave_, &t), 0);
    return t;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

TEST(SystemTerminalTest, SwitchesTheEchoOfARealTerminalAndPutsItsSettingsBack) {
  PseudoTerminal pty;
  if (pty.slave() < 0) GTEST_SKIP() << "no pseudo-terminal on this system";
  const termios before = pty.Settings();
  ASSERT_NE(before.c_lflag & ECHO, 0u);
  SystemTerminal terminal(pty.slave());
  EXPECT_EQ(terminal.Echo(), true);
  {
    const EchoOff off(&terminal);
    EXPECT_TRUE(off.active());
    const termios during = pty.Settings();
    EXPECT_EQ(during.c_lflag & ECHO, 0u);
    EXPECT_NE(during.c_lflag & ECHONL, 0u);  // Enter still starts a new line
    EXPECT_EQ(terminal.Echo(), false);
  }
  const termios after = pty.Settings();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(terminal.Echo(), true);
}

TEST(SystemTerminalTest, APipeIsNoTerminal) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  SystemTerminal terminal(fds[0]);
  EXPECT_EQ(terminal.Echo(), std::nullopt);
  EXPECT_FALSE(terminal.SetEcho(false));
  ::close(fds[0]);
  ::close(fds[1]);
}
#else
TEST(SystemTerminalTest, AFileIsNoConsole) {
  wchar_t dir[MAX_PATH];
  wchar_t name[MAX_PATH];
  ASSERT_NE(::GetTempPathW(MAX_PATH, dir), 0u);
  ASSERT_NE(::GetTempFileNameW(dir, L"vtt", 0, name), 0u);
  const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SystemTerminal terminal(file);
  EXPECT_EQ(terminal.Echo(), std::nullopt);
  EXPECT_FALSE(terminal.SetEcho(false));
  ::CloseHandle(file);
}

TEST(SystemTerminalTest, SwitchesTheEchoOfAConsoleAndPutsItBack) {
  const HANDLE console = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD before = 0;
  if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &before) || !(before & ENABLE_ECHO_INPUT)) {
    if (console != INVALID_HANDLE_VALUE) ::CloseHandle(console);
    GTEST_SKIP() << "no console with echo to test on";
  }
  SystemTerminal terminal(console);
  {
    const EchoOff off(&terminal);
    EXPECT_TRUE(off.active());
    DWORD during = 0;
    ASSERT_TRUE(::GetConsoleMode(console, &during));
    EXPECT_EQ(during & ENABLE_ECHO_INPUT, 0u);
    EXPECT_EQ(during | ENABLE_ECHO_INPUT, before);
  }
  DWORD after = 0;
  ASSERT_TRUE(::GetConsoleMode(console, &after));
  EXPECT_EQ(after, before);
  ::CloseHandle(console);
}
#endif

}  // namespace
}  // namespace vort64
