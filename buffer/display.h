// Printing a setting's value from the firmware's option block.
#ifndef VORT64_BUFFER_DISPLAY_H_
#define VORT64_BUFFER_DISPLAY_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/interface_version.h"
#include "base/messages.h"
#include "base/parsed_request.h"
#include "catalog/catalog.h"
#include "catalog/value_codecs.h"

namespace vort64 {

// The lines that show the setting `request.itemName` from `block` (each
// withheld while the console is quiet): its offset, size and end, then its
// name and value (passwords are never shown). Nothing for the functions
// that show no setting (FactsOf); for "/show-settings" ListSettings of the
// block.
Messages ShowSettingValue(const InterfaceVersion& version, const SettingCatalog& catalog, const ParsedRequest& request,
                          std::span<const uint8_t> block);

// A setting's value as the display writes it after "name: ": its kind's
// codec shows it (SettingValue).
SettingValue FormatSettingValue(const SettingInfo& setting, std::span<const uint8_t> block);

// Whether the firmware marks the setting as not supported in `block`: its
// kind's codec shows it so (a byte of 255; for a MAC address all six bytes
// 255). The one rule of "not supported" for every function.
bool MarkedUnsupported(const SettingInfo& setting, std::span<const uint8_t> block);

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
