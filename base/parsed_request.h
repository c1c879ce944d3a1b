// What one command line asks for, as the parser leaves it: the function, the
// setting, the current password and the setting's value already converted
// into the bytes the firmware keeps. The parser writes it and nothing else;
// the executor, the assignment and the display read it.
#ifndef VORT64_BASE_PARSED_REQUEST_H_
#define VORT64_BASE_PARSED_REQUEST_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/interface_version.h"

namespace vort64 {

// The longest argument the parser takes (its working copies are buffers of
// 260 characters); a replayed "name=value" of an import is held to it too.
inline constexpr size_t kMaxArgumentLength = 259;

// The function a command line asks for.
enum class Function {
  kNone,  // nothing was parsed (the bare program name)
  kPassword,
  kLoadFactoryDefault,
  kLoadUserDefault,
  kGet,
  kSet,
  kGetDefault,
  kSetDefault,
  kExportRawSettings,
  kImportRawSettings,
  kExportCustomSettings,
  kImportCustomSettings,
  kCheckCustomSettings,
  kShowSettings,    // every setting of the version with its current value
  kRotatePassword,  // the supervisor password becomes the run's own password
};

struct ParsedRequest {
  Function function = Function::kNone;
  // The lower-cased, normalised setting name; for the four file operations
  // the file name as typed. "autotest" asks for the self-test.
  std::wstring itemName;

  // The password given after "/password", NUL-padded, no terminator when the
  // field is full; at most as long as the interface version allows. The
  // firmware methods size the array it is sent in.
  std::array<char, 16> currentPassword{};
  // The whole field, padding included, as the firmware methods take it.
  std::string_view CurrentPassword() const { return {currentPassword.data(), currentPassword.size()}; }

  uint8_t byteValue = 0;  // a plain one-byte setting: low 8 bits of the number
  // `byteValue` is not among the values the firmware lists for the setting:
  // it is written only when the machine holds it now or in its defaults.
  bool unlistedValue = false;
  std::array<uint8_t, 3> timeValue{};   // hour, minute, second
  std::array<uint8_t, 3> dateValue{};   // day, month, year - 2000
  std::array<uint8_t, 5> gptRecord{};   // minute, hour, day, month, year byte
  std::array<uint8_t, 16> bootOrder{};  // device codes; 255 after the last one given
  std::array<uint8_t, 6> macAddress{};  // in the order typed
  std::array<char, 51> ownershipTag{};  // NUL-terminated
  std::array<char, 23> assetTag{};      // NUL-terminated
  // The new password of a password item, NUL-terminated narrow text, and
  // the slot it was written to (nothing when no new password was given).
  std::array<char, 33> newPassword{};
  std::optional<PasswordSlot> newPasswordSlot;

  // The file of the raw and the custom-settings operations: the name as
  // typed (at most 259 characters) as UTF-8. `itemName` holds the same name
  // as wide text, which is what to open the file with.
  std::string binFileName;
  std::string xmlFileName;
  // The custom-settings import's result file, "/result-file PATH": the path
  // as typed (at most 259 characters) as UTF-8. Empty for Result.txt in the
  // working directory.
  std::string resultFileName;

  // The custom-settings import runs with quiet output: most console
  // messages give way to per-setting lines in the result files.
  bool quietOutput = false;
  // The item "autotest": the self-test instead of one function.
  bool selfTest = false;

  // The item argument (fifth argument) after splitting: the item text as
  // typed and the value text after its "=".
  std::wstring itemText;
  std::wstring valueText;
  // The old password of the form "current password=OLD,ITEM=VALUE", as
  // typed; nothing when the form was not used. The settings assignment takes
  // its old password from here (a single blank says no password is set).
  std::optional<std::wstring> formPassword;

  // The new password up to its terminator; the last byte is the
  // terminator's place whatever the buffer holds.
  std::string_view NewPasswordText() const {
    const std::string_view text(newPassword.data(), newPassword.size() - 1);
    return text.substr(0, text.find('\0'));
  }
};

}  // namespace vort64

#endif  // VORT64_BASE_PARSED_REQUEST_H_
