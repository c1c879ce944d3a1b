#include "cli/messages.h"

namespace vort64 {

void ShowUsage(Console& console) {
  console.SayWide(
      L"Usage:\n"
      L"\tVort64.exe /password \"%Password%\" /set   \"%ItemName%  = %Value1%,%Value2%,..\"\n"
      L"\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n");
}

void ErrUnlessQuiet(Console& console, std::string_view text) {
  if (!console.quiet()) console.Err(text);
}

}  // namespace vort64
