// Printing a setting's value from the firmware's option block.
#ifndef VORT64_BUFFER_DISPLAY_H_
#define VORT64_BUFFER_DISPLAY_H_

#include <cstdint>
#include <span>

#include "base/run_context.h"
#include "catalog/catalog.h"
#include "base/parsed_request.h"

namespace vort64 {

// Prints the setting `request.itemName` from `block`: its offset, size and
// end, then its name and value (passwords are never shown). Nothing is
// printed while the console is quiet, nor for the file and default
// operations and "change supervisor password".
//
// Says whether the firmware marks the setting as not supported (a byte of
// 255; for "customized mac address" all six bytes 255).
enum class Support { kSupported, kUnsupported };
Support ShowSettingValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<const uint8_t> block);

}  // namespace vort64

#endif  // VORT64_BUFFER_DISPLAY_H_
