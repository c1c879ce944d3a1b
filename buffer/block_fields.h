// Writing into the option block: one setting's field, single bytes, the
// clock bytes, and the three forms a password field takes.
#ifndef VORT64_BUFFER_BLOCK_FIELDS_H_
#define VORT64_BUFFER_BLOCK_FIELDS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/option_block.h"

namespace vort64 {

// The refusals of a password, on standard error.
inline constexpr char kInvalidCharacterMessage[] = "Invalid Character\n\n";
inline constexpr char kPasswordTooLongMessage[] = "The length of password is too long.\n";

// What a password byte may be: printable ASCII without the blank.
constexpr bool IsPasswordCharacter(char c) { return c >= 0x21 && c <= 0x7E; }

// Writes into one setting's bytes [offset, end) of a block; a write at or
// past end, or past the block, is dropped.
class FieldWriter {
 public:
  FieldWriter(std::span<uint8_t> block, uint32_t offset, uint32_t end);

  uint32_t size() const { return size_; }
  bool Has(uint32_t index) const { return index < size_; }
  void Put(uint32_t index, uint8_t value) {
    if (Has(index)) field_[index] = value;
  }
  // Writes `text` from `index` and fills the rest of `count` bytes with
  // `filler`.
  void PutText(uint32_t index, uint32_t count, std::string_view text, uint8_t filler);

 private:
  std::span<uint8_t> field_;
  uint32_t size_ = 0;
};

// One byte of the block; 0 past its end.
uint8_t BlockByte(std::span<const uint8_t> block, uint32_t index);
// Sets one byte of the block, or ORs bits into it, unless it lies past the
// block.
void PutBlockByte(std::span<uint8_t> block, uint32_t index, uint8_t value);
void OrBlockByte(std::span<uint8_t> block, uint32_t index, uint8_t bits);
// 238 into the three date bytes, the three time bytes, or all six.
void KeepDate(std::span<uint8_t> block);
void KeepTime(std::span<uint8_t> block);
void KeepClock(std::span<uint8_t> block);

// The long form (slot 16) and the OPAL form (slot 32): byte 0 the old
// length byte, then `slot` bytes of old password, then the new length, then
// `slot` bytes of new password; unused password bytes are 0. The caller has
// checked that both passwords fit the slot.
void WritePasswordPair(FieldWriter& field, uint32_t slot, uint8_t oldLengthByte, std::string_view oldBytes,
                       std::string_view newPassword);

// The short form: byte 0 the new length, byte 1 left as it is, then the new
// password up to the field's end, the rest filled with '0'.
void WriteShortForm(FieldWriter& field, std::string_view newPassword);

}  // namespace vort64

#endif  // VORT64_BUFFER_BLOCK_FIELDS_H_
