#include "cli/messages.h"

namespace vort64 {

void ShowUsage(Console& console) {
  console.SayWide(
      L"Usage:\n"
      L"\tVort64.exe /password \"%Password%\" /set   \"%ItemName%  = %Value1%,%Value2%,..\"\n"
      L"\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n");
}

}  // namespace vort64
