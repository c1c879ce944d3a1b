// Test fixtures for the command-line tests: a console that captures both
// streams, a run context and small hand-made catalogs.
#ifndef VORT64_CLI_TEST_SUPPORT_H_
#define VORT64_CLI_TEST_SUPPORT_H_

#include <sstream>
#include <string>

#include "base/console.h"
#include "base/run_context.h"
#include "catalog/catalog.h"

namespace vort64::cli_test {

// One run's console and context for interface 2.`minor`.
struct Harness {
  explicit Harness(uint32_t minor, bool quiet = false) : console(out, err), ctx{console, InterfaceVersion{2, minor}} {
    if (quiet) console.SetQuiet();
  }

  std::ostringstream out;
  std::ostringstream err;
  Console console;
  RunContext ctx;
};

inline void Add(SettingCatalog& catalog, const wchar_t* name, uint32_t offset, uint32_t size, Category category) {
  catalog.AddSetting(name, MakeSettingInfo(L"Get/Set", L"", category, size, offset));
}

// Settings as interfaces from 2.79 on name them (offsets of 2.90).
inline SettingCatalog CurrentCatalog() {
  SettingCatalog c;
  Add(c, L"boot mode", 311, 1, Category::kPostBehaviors);
  Add(c, L"fast boot", 307, 1, Category::kPostBehaviors);
  Add(c, L"boot priority order", 312, 16, Category::kPostBehaviors);
  Add(c, L"date", 391, 3, Category::kDateAndTime);
  Add(c, L"time", 394, 3, Category::kDateAndTime);
  Add(c, L"customized mac address", 72, 6, Category::kDeviceControl);
  Add(c, L"asset tag number", 1201, 22, Category::kSmbiosInformation);
  Add(c, L"ownership tag number", 1223, 50, Category::kSmbiosInformation);
  Add(c, L"gpt partition record", 306, 5, Category::kPostBehaviors);
  Add(c, L"clean gpt", 305, 1, Category::kPostBehaviors);
  Add(c, L"clear tpm(tcm)", 195, 1, Category::kSecurity);
  Add(c, L"current tpm 2.0 state", 192, 1, Category::kSecurity);
  Add(c, L"change tpm 2.0 state", 194, 1, Category::kSecurity);
  Add(c, L"user password status", 197, 1, Category::kSecurity);
  Add(c, L"set supervisor password", 199, 34, Category::kSecurity);
  Add(c, L"set user password", 260, 34, Category::kSecurity);
  for (uint32_t n = 0; n < 6; ++n) {
    const std::wstring d = std::to_wstring(n);
    Add(c, (L"set hdd" + d + L" password").c_str(), 397 + 34 * n, 34, Category::kExpansion);
    Add(c, (L"set hdd" + d + L"(opal) password").c_str(), 793 + 66 * n, 66, Category::kExpansion);
  }
  return c;
}

// Settings as interfaces 2.73 to 2.78 name them: combined hard-disk names.
inline SettingCatalog CombinedCatalog() {
  SettingCatalog c;
  Add(c, L"boot mode", 311, 1, Category::kPostBehaviors);
  Add(c, L"set supervisor password", 199, 34, Category::kSecurity);
  Add(c, L"set user password", 260, 34, Category::kSecurity);
  for (uint32_t n = 0; n < 6; ++n) {
    const std::wstring d = std::to_wstring(n);
    Add(c, (L"set hdd" + d + L"/hdd" + d + L"(opal) password").c_str(), 397 + 34 * n, 34, Category::kExpansion);
  }
  return c;
}

// Settings of the oldest interfaces (below 2.56).
inline SettingCatalog BaselineCatalog() {
  SettingCatalog c;
  Add(c, L"boot mode", 311, 1, Category::kPostBehaviors);
  Add(c, L"set supervisor password", 199, 14, Category::kSecurity);
  Add(c, L"set user password", 213, 14, Category::kSecurity);
  Add(c, L"set hdd0 password", 227, 14, Category::kSecurity);
  Add(c, L"set hdd1 password", 241, 14, Category::kSecurity);
  return c;
}

inline constexpr const char* kUsage =
    "Usage:\n"
    "\tVort64.exe /password \"%Password%\" /set   \"%ItemName%=%Value1%,%Value2%,..\"\n"
    "\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n"
    "\tVort64.exe /password \"%Password%\" /show-settings\n"
    "\tVort64.exe /password \"%Password%\" /set   \"current password=%Old%,%ItemName%=%New%\"\n"
    "\tVort64.exe /password \"%Password%\" /clear \"tpm\"\n"
    "\tVort64.exe /password \"%Password%\" /get-default \"%ItemName%\"\n"
    "\tVort64.exe /password \"%Password%\" /set-default \"%ItemName%=%Value%\"\n"
    "\tVort64.exe /password \"%Password%\" /load-factory-default\n"
    "\tVort64.exe /password \"%Password%\" /load-user-default\n"
    "\tVort64.exe /password \"%Password%\" /export-raw-settings FILE.bin\n"
    "\tVort64.exe /password \"%Password%\" /import-raw-settings FILE.bin\n"
    "\tVort64.exe /password \"%Password%\" /export-custom-settings FILE.xml\n"
    "\tVort64.exe /password \"%Password%\" /import-custom-settings FILE.xml [/result-file PATH]\n"
    "\tVort64.exe /password \"%Password%\" /check-custom-settings FILE.xml\n"
    "\tVort64.exe /password \"%Password%\" /get autotest\n"
    "\tVort64.exe /password \"%Password%\" /rotate-password\n"
    "\tVort64.exe /password \"%Password%\"\n"
    "\t/password-file FILE in place of /password \"%Password%\" takes the first line of FILE\n"
    "\t/suspend-bitlocker at the end of a function that writes settings suspends BitLocker for one restart\n"
    "\tVort64.exe --version\n";

}  // namespace vort64::cli_test

#endif  // VORT64_CLI_TEST_SUPPORT_H_
