// The Windows console shows the program's output as UTF-8: the console's
// output code page is switched to UTF-8 for the run and switched back at its
// end. Output that goes to a file or a pipe is left alone (it is UTF-8
// already). Declared without <windows.h> so that the entry point can use it.
#ifndef VORT64_APP_UTF8_CONSOLE_H_
#define VORT64_APP_UTF8_CONSOLE_H_

namespace vort64 {

// The console calls, behind an interface so that tests can stand in for the
// console. SystemConsoleCodePage passes them to Windows for standard output.
class ConsoleCodePage {
 public:
  virtual ~ConsoleCodePage() = default;

  virtual bool OutputIsConsole() = 0;
  // The output code page; 0 when it cannot be read.
  virtual unsigned Get() = 0;
  virtual bool Set(unsigned codePage) = 0;
};

class SystemConsoleCodePage final : public ConsoleCodePage {
 public:
  bool OutputIsConsole() override;
  unsigned Get() override;
  bool Set(unsigned codePage) override;
};

inline constexpr unsigned kUtf8CodePage = 65001;  // CP_UTF8

// While it lives, a console on standard output shows UTF-8; the code page it
// replaced is put back when it ends.
class Utf8ConsoleOutput {
 public:
  explicit Utf8ConsoleOutput(ConsoleCodePage& console);
  ~Utf8ConsoleOutput();
  Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
  Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

 private:
  ConsoleCodePage& console_;
  unsigned previous_ = 0;  // the code page to put back; 0 when nothing was changed
};

}  // namespace vort64

#endif  // VORT64_APP_UTF8_CONSOLE_H_
