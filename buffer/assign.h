// Placing a parsed value into the firmware's option block, and checking the
// block the firmware gives back after a write.
#ifndef VORT64_BUFFER_ASSIGN_H_
#define VORT64_BUFFER_ASSIGN_H_

#include <cstdint>
#include <istream>
#include <span>

#include "base/run_context.h"
#include "cli/parsed_request.h"

namespace vort64 {

// Places the value of the setting `request.itemName` into the setting's
// bytes [offset, end) of `block`; on interface 2.55 and later the date and
// time bytes the change does not concern become 238, so that writing the
// block back leaves the clock alone.
//
// Returns 1 when bytes were placed, and 0 when nothing was placed: the new
// password "DoNotChange" (kept), or a refused password (message on standard
// error). During the self-test (`selfTest`) the supervisor and user
// passwords are changed interactively instead: the old and the new password
// are read from `input` and the result of PromptPasswordChange is returned.
//
// The old password of a password item is `request.formPassword` (the form
// "current password=OLD,ITEM=VALUE"); without that form it is empty, and a
// single blank says that no password is set yet. The new password is the
// run's new-password buffer.
int AssignSettingValue(RunContext& ctx, const ParsedRequest& request, std::span<uint8_t> block, uint32_t offset,
                       uint32_t end, bool selfTest, std::istream& input);

// Compares the setting's bytes of the written block with the block read
// back after the write. Returns 0 when they agree and 1 otherwise, with a
// "Comparison result" line (withheld while quiet). For the password items
// only the new password's length of bytes is compared, at the places the
// firmware gives them back.
int CompareWrittenSetting(RunContext& ctx, const ParsedRequest& request, std::span<const uint8_t> written,
                          std::span<const uint8_t> readBack, uint32_t offset, uint32_t end);

}  // namespace vort64

#endif  // VORT64_BUFFER_ASSIGN_H_
