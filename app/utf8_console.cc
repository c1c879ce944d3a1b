#include "app/utf8_console.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vort64 {

static_assert(kUtf8CodePage == CP_UTF8);

bool SystemConsoleCodePage::OutputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

unsigned SystemConsoleCodePage::Get() { return GetConsoleOutputCP(); }

bool SystemConsoleCodePage::Set(unsigned codePage) { return SetConsoleOutputCP(codePage) != 0; }

Utf8ConsoleOutput::Utf8ConsoleOutput(ConsoleCodePage& console) : console_(console) {
  if (!console_.OutputIsConsole()) return;
  const unsigned current = console_.Get();
  if (current == 0 || current == kUtf8CodePage) return;
  if (console_.Set(kUtf8CodePage)) previous_ = current;
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
  if (previous_ != 0) console_.Set(previous_);
}

}  // namespace vort64
