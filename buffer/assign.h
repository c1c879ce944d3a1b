// Placing a parsed value into the firmware's option block, and checking the
// block the firmware gives back after a write. Nothing here prints: each
// function appends the lines it has to say to `said`, which the caller
// says in order.
#ifndef VORT64_BUFFER_ASSIGN_H_
#define VORT64_BUFFER_ASSIGN_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "base/interface_version.h"
#include "base/messages.h"
#include "base/parsed_request.h"

namespace vort64 {

// What became of a value: placed in the block, kept as it is (the new
// password "DoNotChange"), or refused (a password the field cannot take, with
// its message for standard error in `said`).
enum class Placement { kPlaced, kKept, kRefused };

// Places the value of the setting `request.itemName` into the setting's
// bytes [offset, end) of `block`; where the clock is kept
// (InterfaceRule::kClockKept) the date and time bytes the change does not
// concern become 238, so that writing the block back leaves the clock alone.
//
// The old password of a password item is `request.formPassword` (the form
// "current password=OLD,ITEM=VALUE"); without that form it is empty, and a
// single blank says that no password is set yet. The new password is
// `request.newPassword`. The drive password forms add their debug lines to
// `said`, a password character in them shown as '*'.
Placement AssignSettingValue(const InterfaceVersion& version, const ParsedRequest& request, std::span<uint8_t> block,
                             uint32_t offset, uint32_t end, Messages& said);

enum class Comparison { kSame, kDifferent };

// Compares the setting's bytes of the written block with the block read
// back after the write, adding a "Comparison result" line (withheld while
// quiet) to `said` when they differ or when a whole field is compared. For
// the password items only the new password's length of bytes is compared,
// at the places the firmware gives them back; a clock byte written as 238
// (a date's or time's own) is the firmware's and is not compared.
Comparison CompareWrittenSetting(const InterfaceVersion& version, const ParsedRequest& request,
                                 std::span<const uint8_t> written, std::span<const uint8_t> readBack, uint32_t offset,
                                 uint32_t end, Messages& said);

// Places the passwords typed at the self-test's prompt into the password
// field [offset, end): the long form with unused password bytes '0'; sets
// the supervisor or user flag bit (with the flag byte, and a "flag for
// setting" line in `said`) and keeps the clock (where the version keeps
// it). The caller has checked both passwords.
void PlacePromptedPasswords(const InterfaceVersion& version, std::span<uint8_t> block, uint32_t offset, uint32_t end,
                            std::string_view old, std::string_view fresh, bool supervisor, Messages& said);

}  // namespace vort64

#endif  // VORT64_BUFFER_ASSIGN_H_
