// Printing a setting's value from the firmware's option block.
#ifndef VORT64_BUFFER_DISPLAY_H_
#define VORT64_BUFFER_DISPLAY_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "catalog/catalog.h"
#include "catalog/value_codecs.h"

namespace vort64 {

// Prints the setting `request.itemName` from `block`: its offset, size and
// end, then its name and value (passwords are never shown). Nothing is
// printed while the console is quiet, nor for the file and default
// operations. For "/show-settings" it
// prints ListSettings of the block.
//
// Says whether the firmware marks the setting as not supported (a byte of
// 255; for "customized mac address" all six bytes 255).
enum class Support { kSupported, kUnsupported };
Support ShowSettingValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<const uint8_t> block);

// A setting's value as the display writes it after "name: ": its kind's
// codec shows it (SettingValue).
SettingValue FormatSettingValue(const SettingInfo& setting, std::span<const uint8_t> block);

// The value as a person reads it, on one line: the display's text without
// its line break, a listed value with its label ("1 (Enabled)"), a MAC
// address in the hexadecimal form "/set" takes, anything that is not
// printable ASCII as '.'.
std::string ReadableValue(const SettingInfo& setting, std::span<const uint8_t> block);

// ReadableValue, "(password, not shown)" for a password, " (not supported)"
// after a value so marked.
std::string OneLineValue(const SettingInfo& setting, std::span<const uint8_t> block);

// One line "name: value" per setting of the catalog, in catalog order.
std::string ListSettings(const SettingCatalog& catalog, std::span<const uint8_t> block);

}  // namespace vort64

#endif  // VORT64_BUFFER_DISPLAY_H_
