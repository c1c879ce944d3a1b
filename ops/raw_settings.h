// The raw settings file: the firmware's whole 2048-byte option block, byte
// for byte, with no header. Export saves it; import writes it back.
#ifndef VORT64_OPS_RAW_SETTINGS_H_
#define VORT64_OPS_RAW_SETTINGS_H_

#include <cstdint>
#include <span>

#include "base/parsed_request.h"
#include "ops/executor.h"

namespace vort64 {

// Reads the block into `buffer` and saves it as `request.binFileName`. A
// failed read writes no file; a file that cannot be written leaves an
// earlier file of that name as it was.
OperationResult ExportRawSettings(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

// Sends the block saved in `request.binFileName` to the firmware. Only a
// file of exactly 2048 bytes is sent, after one read of the firmware's
// block, and never with its passwords or its clock: every password field
// goes as the firmware holds it and (from interface 2.72 on) the password
// flag byte as 0; from interface 2.55 on the date and time bytes go as 238,
// before that as the firmware's current ones.
OperationResult ImportRawSettings(Operations& ops, const ParsedRequest& request);

}  // namespace vort64

#endif  // VORT64_OPS_RAW_SETTINGS_H_
