// The option block the firmware reads and writes, and its fixed bytes: its
// size, the password flag byte, the clock bytes, the marks 238 (keep the
// firmware's value) and 255 (not supported), the OPAL password fields.
// Every layer that looks into a block reads these from here; which settings
// lie where is the catalog's.
#ifndef VORT64_BASE_OPTION_BLOCK_H_
#define VORT64_BASE_OPTION_BLOCK_H_

#include <cstdint>

namespace vort64 {

// Every multi-byte field is a run of separate bytes in the order given here;
// none is a little- or big-endian integer.

inline constexpr uint32_t kSettingsBufferSize = 2048;

// The password-setting flag byte: which password fields the firmware is to
// apply. Bit 0 supervisor, bit 1 user, bits 2 to 7 drives 0 to 5 (plain or
// OPAL).
inline constexpr uint32_t kPasswordFlagByte = 235;
inline constexpr uint8_t kSupervisorFlag = 1;
inline constexpr uint8_t kUserFlag = 2;
// The flag bit of drive 0 to 5.
constexpr uint8_t DriveFlag(uint32_t drive) { return static_cast<uint8_t>(4u << drive); }

// System date: day, month, year minus 2000. System time: second, minute, hour.
inline constexpr uint32_t kDateFirstByte = 391;
inline constexpr uint32_t kTimeFirstByte = 394;
inline constexpr uint32_t kDateTimeBytes = 3;
inline constexpr uint32_t kClockFirstByte = kDateFirstByte;
inline constexpr uint32_t kClockEndByte = kTimeFirstByte + kDateTimeBytes;  // one past the last

// In a date or time byte: leave the firmware's value alone.
inline constexpr uint8_t kDoNotChange = 238;
// In a one-byte or list setting: the firmware does not support it. In the
// boot priority order it ends the list.
inline constexpr uint8_t kNotSupported = 255;

// The OPAL password fields of drives 0 to 5, one after another.
inline constexpr uint32_t kOpalFieldFirstByte = 793;
inline constexpr uint32_t kOpalFieldSize = 66;

}  // namespace vort64

#endif  // VORT64_BASE_OPTION_BLOCK_H_
