// What one command line asks for, as the parser leaves it: the function, the
// setting, the current password and the setting's value already converted
// into the bytes the firmware keeps. The parser writes it and nothing else;
// the executor, the assignment and the display read it.
#ifndef VORT64_BASE_PARSED_REQUEST_H_
#define VORT64_BASE_PARSED_REQUEST_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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

// The longest value a setting takes: the ownership tag's 50 characters.
inline constexpr size_t kLongestSettingValue = 50;

// A setting's value as bytes, at most kLongestSettingValue of them.
struct SettingValueBytes {
  std::array<uint8_t, kLongestSettingValue> bytes{};
  uint8_t size = 0;

  std::span<const uint8_t> span() const { return {bytes.data(), size}; }
  // Takes at most kLongestSettingValue bytes of `from`.
  void Assign(std::span<const uint8_t> from) {
    bytes.fill(0);
    size = static_cast<uint8_t>(std::min(from.size(), bytes.size()));
    std::copy_n(from.begin(), size, bytes.begin());
  }
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

  // The setting's value as the codec of its kind read it (catalog/
  // value_codecs): the bytes of its field in the order the block keeps them;
  // for a password item the new password's characters.
  SettingValueBytes value;
  // A plain one-byte setting's number is not among the values the firmware
  // lists for the setting: it is written only when the machine holds it now
  // or in its defaults.
  bool unlistedValue = false;
  // The slot a new password was read for (nothing when no new password was
  // given).
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

  // "/suspend-bitlocker": before a write that changes a setting measured at
  // start, a protected system drive's BitLocker protection is suspended for
  // one restart.
  bool suspendBitLocker = false;

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

  // A one-byte setting's value.
  uint8_t ByteValue() const { return value.bytes[0]; }
  // A password item's new password, up to its first NUL.
  std::string_view NewPasswordText() const {
    const std::string_view text(reinterpret_cast<const char*>(value.bytes.data()), value.size);
    return text.substr(0, text.find('\0'));
  }
};

}  // namespace vort64

#endif  // VORT64_BASE_PARSED_REQUEST_H_
