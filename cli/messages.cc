#include "cli/messages.h"

namespace vort64 {

void ShowUsage(Console& console) {
  // Every function, one line each; the first lines stay as scripts and
  // people have always read them.
  console.SayWide(
      L"Usage:\n"
      L"\tVort64.exe /password \"%Password%\" /set   \"%ItemName%=%Value1%,%Value2%,..\"\n"
      L"\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n"
      L"\tVort64.exe /password \"%Password%\" /show-settings\n"
      L"\tVort64.exe /password \"%Password%\" /set   \"current password=%Old%,%ItemName%=%New%\"\n"
      L"\tVort64.exe /password \"%Password%\" /clear \"tpm\"\n"
      L"\tVort64.exe /password \"%Password%\" /get-default \"%ItemName%\"\n"
      L"\tVort64.exe /password \"%Password%\" /set-default \"%ItemName%=%Value%\"\n"
      L"\tVort64.exe /password \"%Password%\" /load-factory-default\n"
      L"\tVort64.exe /password \"%Password%\" /load-user-default\n"
      L"\tVort64.exe /password \"%Password%\" /export-raw-settings FILE.bin\n"
      L"\tVort64.exe /password \"%Password%\" /import-raw-settings FILE.bin\n"
      L"\tVort64.exe /password \"%Password%\" /export-custom-settings FILE.xml\n"
      L"\tVort64.exe /password \"%Password%\" /import-custom-settings FILE.xml [/result-file PATH]\n"
      L"\tVort64.exe /password \"%Password%\" /check-custom-settings FILE.xml\n"
      L"\tVort64.exe /password \"%Password%\" /get autotest\n"
      L"\tVort64.exe /password \"%Password%\" /rotate-password\n"
      L"\tVort64.exe /password \"%Password%\"\n"
      L"\t/password-file FILE in place of /password \"%Password%\" takes the first line of FILE\n"
      L"\t/suspend-bitlocker at the end of a function that writes settings suspends BitLocker for one restart\n"
      L"\tVort64.exe --version\n");
}

}  // namespace vort64
