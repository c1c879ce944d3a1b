// Checks and converts the value texts of the command line into the typed
// fields of ParsedRequest. Each returns true on success; on failure it has
// already written its message (quiet output withholds most of them).
#ifndef VORT64_CLI_VALUE_PARSERS_H_
#define VORT64_CLI_VALUE_PARSERS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "catalog/listed_values.h"

namespace vort64 {

// A password as the echo shows it: nothing for an empty one, eight
// asterisks for any other, whatever its length.
inline constexpr std::string_view kPasswordMask = "********";
std::string MaskedPassword(std::string_view password);

// The current password as it is kept: as typed where the version keeps a
// password's case, else upper-cased (older firmware knows upper case only).
std::wstring CurrentPasswordAsKept(const RunContext& ctx, std::wstring_view passwordText);

// The switch must read "/password" in any case; the password, at most as
// long as the version allows, is stored in `currentPassword`.
bool ParseCurrentPassword(const RunContext& ctx, std::wstring_view switchText, std::wstring_view passwordText,
                          ParsedRequest& out);

// A new password for the password item `out.itemName`, into
// `out.newPassword`, for the slot the version routes that name to.
bool ParsePassword(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

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

// The value of the plain one-byte setting `out.itemName` into
// `out.byteValue`: an accepted number, or the label of a value in `listed`
// (the firmware's list for the setting), in any case. Anything else is
// refused with a message naming it and what is expected, and the usage. A
// number the list lacks is taken, marked `out.unlistedValue`.
bool ParsePlainValue(const RunContext& ctx, std::wstring_view valueText, const ListedValues& listed,
                     ParsedRequest& out);

// Hour, minute and second separated by `separator`. Tokenises `valueText` in
// place, so a second attempt with another separator sees only the text
// before the first separator this one consumed. Writes no message.
bool ParseTime(std::wstring& valueText, wchar_t separator, ParsedRequest& out);

// Year, month and day separated by "/" or ","; 238 keeps the firmware's
// year, month or day.
bool ParseDate(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

// Year, month, day, hour and minute separated by ",".
bool ParseGptRecord(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

// Up to sixteen device codes separated by ","; 255 ends the list.
bool ParseBootOrder(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

// Six hexadecimal bytes separated by "-".
bool ParseMacAddress(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

// Letters and digits only, at most 22 (asset) or 50 (ownership) characters.
bool ParseAssetTag(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);
bool ParseOwnershipTag(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out);

// Whether `day` fits `month` of year 2000 + `yearByte`; 238 (keep the
// firmware's value) passes as a day of the long months and as a month.
bool DayFitsMonth(uint32_t day, uint32_t month, uint32_t yearByte);

}  // namespace vort64

#endif  // VORT64_CLI_VALUE_PARSERS_H_
