// The self-test's interactive password change.
#ifndef VORT64_OPS_PASSWORD_PROMPT_H_
#define VORT64_OPS_PASSWORD_PROMPT_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "wmi/firmware_methods.h"

namespace vort64 {

struct Operations;

// Whether the block was sent, and what the firmware answered.
struct PromptOutcome {
  bool sent = false;
  MethodOutcome outcome;
};

// Asks for the current and the changed password on the console, reading one
// word each from the operations' input (with the echo of its terminal off,
// when it is one); writes them into the password field
// [offset, end) of `block` (long form, unused bytes '0'), sets the
// supervisor or user flag bit and sends the block once with SetBiosOptions
// and `password`, the run's password.
//
// A password that could not be read, is longer than the field's 16 bytes
// (or the interface's password limit) or holds a byte that is not printable
// ASCII is refused with a message on standard error: nothing is written or
// sent.
PromptOutcome PromptPasswordChange(Operations& ops, std::string_view password, std::span<uint8_t> block,
                                   uint32_t offset, uint32_t end, bool supervisor);

}  // namespace vort64

#endif  // VORT64_OPS_PASSWORD_PROMPT_H_
