// The self-test's interactive password change.
#ifndef VORT64_BUFFER_PROMPT_H_
#define VORT64_BUFFER_PROMPT_H_

#include <cstdint>
#include <istream>
#include <span>

#include "base/run_context.h"
#include "cli/parsed_request.h"

namespace vort64 {

// Asks for the current and the changed password on the console, reading one
// word each from `input`; writes them into the password field [offset, end)
// of `block` (long form, unused bytes '0'), sets the supervisor or user flag
// bit and sends the block with SetBiosOptions and the run's password. The
// changed password becomes the run's new supervisor password for the time of
// the call and is cleared afterwards.
//
// Returns 1 when the firmware took the block (code 0 or 8). A failing code
// clears the import's overall-pass and reboot-required marks and is
// returned. A password that could not be read, is longer than the field's
// 16 bytes (or the interface's password limit) or holds a byte that is not
// printable ASCII is refused with a message on standard error: nothing is
// written or sent, and the result is 0.
int PromptPasswordChange(RunContext& ctx, const ParsedRequest& request, std::span<uint8_t> block,
                         uint32_t offset, uint32_t end, bool supervisor, std::istream& input);

}  // namespace vort64

#endif  // VORT64_BUFFER_PROMPT_H_
