#include "buffer/block_fields.h"

#include <gtest/gtest.h>

#include "buffer/buffer_test_util.h"

namespace vort64 {
namespace {

using testing_util::BlockTest;
using testing_util::Join;
using testing_util::Repeat;

class BlockFieldsTest : public BlockTest {};

TEST_F(BlockFieldsTest, NewPasswordStopsAtTheTerminatorOrTheValueEnd) {
  SetNewPassword("abc");
  EXPECT_EQ(request_.NewPasswordText(), "abc");
  SetNewPassword("");
  EXPECT_EQ(request_.NewPasswordText(), "");
  SetNewPassword(std::string("ab\0cd", 5));
  EXPECT_EQ(request_.NewPasswordText(), "ab");
  SetNewPassword(std::string(32, 'x'));  // no terminator at all
  EXPECT_EQ(request_.NewPasswordText(), std::string(32, 'x'));
}

TEST_F(BlockFieldsTest, WriterKeepsToTheFieldAndTheBlock) {
  std::fill(block_.begin(), block_.end(), 0xAA);
  FieldWriter field(block_, 10, 13);
  EXPECT_EQ(field.size(), 3u);
  field.PutText(0, 5, "abcde", 0);
  EXPECT_EQ(Bytes(9, 5), (std::vector<uint8_t>{0xAA, 'a', 'b', 'c', 0xAA}));

  FieldWriter tail(block_, 2046, 2050);  // reaches past the block
  EXPECT_EQ(tail.size(), 2u);
  tail.PutText(0, 4, "", 7);
  EXPECT_EQ(Bytes(2046, 2), (std::vector<uint8_t>{7, 7}));

  FieldWriter outside(block_, 3000, 3010);
  EXPECT_EQ(outside.size(), 0u);
  outside.Put(0, 1);
  FieldWriter backwards(block_, 20, 10);
  EXPECT_EQ(backwards.size(), 0u);
  backwards.Put(0, 1);
  EXPECT_EQ(Bytes(20, 1), Repeat(0xAA, 1));

  PutBlockByte(block_, 2048, 1);
  EXPECT_EQ(BlockByte(block_, 2048), 0);
  OrBlockByte(block_, 5, 0x05);
  EXPECT_EQ(BlockByte(block_, 5), 0xAF);
}

TEST_F(BlockFieldsTest, PairFormsPlaceLengthsAndZeroFilledSlots) {
  FieldWriter longForm(block_, 100, 134);
  WritePasswordPair(longForm, kLongFormSlot, 3, "old", "newpw");
  EXPECT_EQ(Bytes(100, 34), Join({{3, 'o', 'l', 'd'}, Repeat(0, 13), {5, 'n', 'e', 'w', 'p', 'w'}, Repeat(0, 11)}));

  std::fill(block_.begin(), block_.end(), 0xAA);
  FieldWriter opal(block_, 200, 266);
  WritePasswordPair(opal, kOpalFormSlot, 0, "", std::string(32, 'z'));
  EXPECT_EQ(Bytes(200, 67), Join({Repeat(0, 33), {32}, Repeat('z', 32), {0xAA}}));
}

TEST_F(BlockFieldsTest, ShortFormKeepsByteOneAndFillsWithZeroCharacters) {
  std::fill(block_.begin(), block_.end(), 0xAA);
  FieldWriter field(block_, 199, 213);
  WriteShortForm(field, "abc");
  EXPECT_EQ(Bytes(199, 15), Join({{3, 0xAA, 'a', 'b', 'c'}, Repeat('0', 9), {0xAA}}));
}

TEST_F(BlockFieldsTest, ClockBytesBecomeDoNotChange) {
  KeepDate(block_);
  EXPECT_EQ(Bytes(390, 8), (std::vector<uint8_t>{0, 238, 238, 238, 0, 0, 0, 0}));
  KeepTime(block_);
  EXPECT_EQ(Bytes(390, 8), (std::vector<uint8_t>{0, 238, 238, 238, 238, 238, 238, 0}));
  std::vector<uint8_t> small(392, 0);
  KeepClock(small);  // only what the block holds
  EXPECT_EQ(small[391], 238);
}

}  // namespace
}  // namespace vort64
