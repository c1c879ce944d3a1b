#include "buffer/block_fields.h"

#include <algorithm>

#include "buffer/layout.h"

namespace vort64 {
FieldWriter::FieldWriter(std::span<uint8_t> block, uint32_t offset, uint32_t end) {
  const size_t first = std::min<size_t>(offset, block.size());
  const size_t last = std::clamp<size_t>(end, first, block.size());
  field_ = block.subspan(first, last - first);
  size_ = static_cast<uint32_t>(field_.size());
}

void FieldWriter::PutText(uint32_t index, uint32_t count, std::string_view text, uint8_t filler) {
  for (uint32_t i = 0; i < count; ++i) {
    Put(index + i, i < text.size() ? static_cast<uint8_t>(text[i]) : filler);
  }
}

uint8_t BlockByte(std::span<const uint8_t> block, uint32_t index) { return index < block.size() ? block[index] : 0; }

void PutBlockByte(std::span<uint8_t> block, uint32_t index, uint8_t value) {
  if (index < block.size()) block[index] = value;
}

void OrBlockByte(std::span<uint8_t> block, uint32_t index, uint8_t bits) {
  PutBlockByte(block, index, static_cast<uint8_t>(BlockByte(block, index) | bits));
}

void KeepDate(std::span<uint8_t> block) {
  for (uint32_t i = 0; i < kDateTimeBytes; ++i) PutBlockByte(block, kDateFirstByte + i, kDoNotChange);
}

void KeepTime(std::span<uint8_t> block) {
  for (uint32_t i = 0; i < kDateTimeBytes; ++i) PutBlockByte(block, kTimeFirstByte + i, kDoNotChange);
}

void KeepClock(std::span<uint8_t> block) {
  KeepDate(block);
  KeepTime(block);
}

void WritePasswordPair(FieldWriter& field, uint32_t slot, uint8_t oldLengthByte, std::string_view oldBytes,
                       std::string_view newPassword) {
  field.Put(0, oldLengthByte);
  field.PutText(1, slot, oldBytes, 0);
  field.Put(slot + 1, static_cast<uint8_t>(newPassword.size()));
  field.PutText(slot + 2, slot, newPassword, 0);
}

void WriteShortForm(FieldWriter& field, std::string_view newPassword) {
  field.Put(0, static_cast<uint8_t>(newPassword.size()));
  const uint32_t room = field.size() > kShortFormPasswordStart ? field.size() - kShortFormPasswordStart : 0;
  field.PutText(kShortFormPasswordStart, room, newPassword, kPasswordFiller);
}

}  // namespace vort64
