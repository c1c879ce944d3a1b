// What one command line asks for, as the parser leaves it: the function, the
// setting, the current password and the setting's value already converted
// into the bytes the firmware keeps.
#ifndef VORT64_CLI_PARSED_REQUEST_H_
#define VORT64_CLI_PARSED_REQUEST_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vort64 {

struct ParsedRequest {
  // "password", "load-factory-default", "load-user-default", "get", "set",
  // "get-default", "set-default", "export-custom-settings",
  // "import-custom-settings", "export-raw-settings" or "import-raw-settings";
  // empty when nothing was parsed.
  std::wstring functionName;
  // The lower-cased, normalised setting name; for the four file operations
  // the lower-cased file name. "autotest" asks for the self-test.
  std::wstring itemName;

  // The password given after "/password", NUL-padded, no terminator when the
  // field is full: `currentPassword` from interface 2.56 on,
  // `currentPasswordShort` before.
  std::array<char, 16> currentPassword{};
  std::array<char, 12> currentPasswordShort{};

  uint8_t byteValue = 0;                // a plain one-byte setting: low 8 bits of the number
  std::array<uint8_t, 3> timeValue{};   // hour, minute, second
  std::array<uint8_t, 3> dateValue{};   // day, month, year - 2000
  std::array<uint8_t, 5> gptRecord{};   // minute, hour, day, month, year byte
  std::array<uint8_t, 16> bootOrder{};  // device codes; 255 after the last one given
  std::array<uint8_t, 6> macAddress{};  // in the order typed
  std::array<char, 51> ownershipTag{};  // NUL-terminated
  std::array<char, 23> assetTag{};      // NUL-terminated
  // The new password of a password item is not here: it goes into
  // RunContext::newPasswords.

  // The file of the raw and the custom-settings operations: the lower-cased
  // name (at most 259 characters) as UTF-8. `itemName` holds the same name
  // as wide text, which is what to open the file with.
  std::string binFileName;
  std::string xmlFileName;

  // Mirrors Console::quiet() after the parse; the console is what counts.
  bool quietOutput = false;
  // Set for "import-custom-settings": Result.txt and ResultTemp.txt are to be
  // opened for appending now (the run flow owns those streams).
  bool openResultFiles = false;

  // The item argument (fifth argument) after splitting: the item text as
  // typed and the value text after its "=".
  std::wstring itemText;
  std::wstring valueText;
  // The old password of the form "current password=OLD,ITEM=VALUE", as
  // typed; nothing when the form was not used. The settings assignment takes
  // its old password from here (a single blank says no password is set).
  std::optional<std::wstring> formPassword;
};

}  // namespace vort64

#endif  // VORT64_CLI_PARSED_REQUEST_H_
