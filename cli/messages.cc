#include "cli/messages.h"

namespace vort64 {

void ShowUsage(Console& console) {
  console.SayWide(
      L"Usage:\n"
      L"\tVort64.exe /password \"%Password%\" /set   \"%ItemName%=%Value1%,%Value2%,..\"\n"
      L"\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n"
      L"\tVort64.exe /password \"%Password%\" /show-settings\n"
      L"\t/password-file FILE in place of /password \"%Password%\" takes the first line of FILE\n"
      L"\tVort64.exe --version\n");
}

}  // namespace vort64
