// One codec for each kind of setting value (SettingKind): how "/set" reads a
// value of the kind from its text, how the value goes into the setting's
// bytes, how /get shows those bytes, how the export writes them, and which
// of them a read back may leave other than they were written. The rest of
// the program asks the codec of a setting's kind and does not switch on the
// kind: a new kind of setting is its SettingKind, its name in KindOfSetting
// (catalog/setting_kind.*) and its codec here.
#ifndef VORT64_CATALOG_VALUE_CODECS_H_
#define VORT64_CATALOG_VALUE_CODECS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/interface_version.h"
#include "base/messages.h"
#include "base/parsed_request.h"
#include "catalog/catalog.h"

namespace vort64 {

// A password as output shows it: nothing for an empty one, eight asterisks
// for any other, whatever its length.
inline constexpr std::string_view kPasswordMask = "********";
inline std::string MaskedPassword(std::string_view password) {
  return password.empty() ? std::string() : std::string(kPasswordMask);
}

// What reading a value's text gave.
struct ValueReading {
  bool read = false;
  SettingValueBytes value;
  // A number the firmware's list for the setting lacks (taken all the same:
  // the machine may hold it).
  bool unlisted = false;
  // The text is 255, the firmware's mark of a setting it does not support:
  // an export writes it so, and it is never a value to write.
  bool notSupportedMark = false;
  std::optional<PasswordSlot> passwordSlot;  // a password: the slot the version routes it to
  std::wstring echo;                         // the echo's "Value = " line's value
  Messages lines;                            // said in this order by the command line's reader
};

// What placing a value asks of the clock bytes where the version keeps the
// clock (InterfaceRule::kClockKept): the bytes the value does not set are
// sent as 238, "leave as it is".
enum class ClockEffect { kNone, kKeepDate, kKeepTime, kKeepClock };

// A setting's value as /get writes it after "name: ": the text (line break
// included, except for the lists that end without one when empty; a tag up
// to its first NUL byte), a password that is never shown, or a value the
// firmware marks as not supported (its text is shown all the same).
struct SettingValue {
  enum Kind { kText, kHiddenPassword, kUnsupported };
  Kind kind = kText;
  std::string text;
};

struct ValueCodec {
  // Reads `text`, the value typed for the setting `name` (whose row is
  // `setting`) on `version`.
  ValueReading (*read)(const InterfaceVersion& version, const SettingInfo& setting, std::wstring_view name,
                       std::wstring_view text);
  // Placing: the value's bytes go to the setting's first bytes; with
  // `fillsField` the rest of the field is zeroed. A password is placed by
  // the password forms instead (buffer/assign), which depend on the version.
  ClockEffect clock;
  bool fillsField;
  bool passwordForms;
  // Comparing after a write: a clock byte (391 to 396) written as 238 reads
  // back as the firmware's clock, so it is not compared.
  bool keptClockBytes;
  // The setting's bytes, as far as the block holds them, as /get shows them
  // (`setting` tells the password apart from the others).
  SettingValue (*show)(const SettingInfo& setting, std::span<const uint8_t> bytes);
  // The bytes as a person reads them on one line, from `shown` (show's text
  // without its line break); the same text where nothing is to add.
  std::string (*readable)(const SettingInfo& setting, std::span<const uint8_t> bytes, std::string shown);
  // The bytes in the form "/set" takes, as the export writes them.
  std::wstring (*exportText)(std::span<const uint8_t> bytes);
};

const ValueCodec& CodecOf(SettingKind kind);

// Why a one-byte value is refused, without a line end: "Invalid value "7"
// of camera: the firmware lists 0 (Disabled), 1 (Enabled)." (after "of
// NAME: " with `notSupportedMark` "255 marks a setting as not supported; ",
// and for a setting without a list "a decimal number from 0 to 254 is
// expected").
std::string InvalidValueText(std::wstring_view text, std::wstring_view name, const ListedValues& listed,
                             bool notSupportedMark = false);

// A plain one-byte setting takes a decimal number from 0 to 254, blanks
// around it allowed, nothing else. 255 is the firmware's mark for a setting
// it does not support: never a value to write.
inline constexpr uint32_t kHighestPlainValue = 254;
enum class PlainValue {
  kAccepted,          // `value` holds it
  kNotSupportedMark,  // 255
  kRefused,           // anything else: a sign, another character, a second value, above 255
};
PlainValue CheckPlainValue(std::wstring_view valueText, uint8_t& value);

// Whether `day` fits `month` of year 2000 + `yearByte`; 238 (keep the
// firmware's value) passes as a day of the long months and as a month.
bool DayFitsMonth(uint32_t day, uint32_t month, uint32_t yearByte);

// The setting's bytes within `block`, as far as the block holds them.
std::span<const uint8_t> SettingBytes(const SettingInfo& setting, std::span<const uint8_t> block);

}  // namespace vort64

#endif  // VORT64_CATALOG_VALUE_CODECS_H_
