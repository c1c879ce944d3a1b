// The password field forms of the option block; the block's fixed bytes are
// in wmi/firmware_facts.h.
#ifndef VORT64_BUFFER_LAYOUT_H_
#define VORT64_BUFFER_LAYOUT_H_

#include <cstdint>

#include "base/option_block.h"

namespace vort64 {

// Password field forms, counted from the setting's offset.
// Long form: old length, 16 old bytes, new length, 16 new bytes.
inline constexpr uint32_t kLongFormSlot = 16;
// OPAL form: old length, 32 old bytes, new length, 32 new bytes.
inline constexpr uint32_t kOpalFormSlot = 32;
// Short form: new length, one byte left as read, then the new password.
inline constexpr uint32_t kShortFormPasswordStart = 2;
// Fills the unused bytes of a short-form field and of the field the
// interactive password change writes.
inline constexpr char kPasswordFiller = '0';

}  // namespace vort64

#endif  // VORT64_BUFFER_LAYOUT_H_
