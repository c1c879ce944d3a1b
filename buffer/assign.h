// Placing a parsed value into the firmware's option block, and checking the
// block the firmware gives back after a write.
#ifndef VORT64_BUFFER_ASSIGN_H_
#define VORT64_BUFFER_ASSIGN_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"

namespace vort64 {

// What became of a value: placed in the block, kept as it is (the new
// password "DoNotChange"), or refused (a password the field cannot take, with
// a message on standard error).
enum class Placement { kPlaced, kKept, kRefused };

// Places the value of the setting `request.itemName` into the setting's
// bytes [offset, end) of `block`; where the clock is kept
// (InterfaceRule::kClockKept) the date and time bytes the change does not
// concern become 238, so that writing the block back leaves the clock alone.
//
// The old password of a password item is `request.formPassword` (the form
// "current password=OLD,ITEM=VALUE"); without that form it is empty, and a
// single blank says that no password is set yet. The new password is
// `request.newPassword`.
Placement AssignSettingValue(const RunContext& ctx, const ParsedRequest& request, std::span<uint8_t> block,
                             uint32_t offset, uint32_t end);

enum class Comparison { kSame, kDifferent };

// Compares the setting's bytes of the written block with the block read
// back after the write, with a "Comparison result" line (withheld while
// quiet) when they differ or when a whole field is compared. For the
// password items only the new password's length of bytes is compared, at
// the places the firmware gives them back.
Comparison CompareWrittenSetting(const RunContext& ctx, const ParsedRequest& request, std::span<const uint8_t> written,
                                 std::span<const uint8_t> readBack, uint32_t offset, uint32_t end);

// Places the passwords typed at the self-test's prompt into the password
// field [offset, end): the long form with unused password bytes '0'; sets
// the supervisor or user flag bit (with the flag byte, and a "flag for
// setting" line) and keeps the clock (where the version keeps it). The
// caller has checked both passwords.
void PlacePromptedPasswords(const RunContext& ctx, std::span<uint8_t> block, uint32_t offset, uint32_t end,
                            std::string_view old, std::string_view fresh, bool supervisor);

}  // namespace vort64

#endif  // VORT64_BUFFER_ASSIGN_H_
