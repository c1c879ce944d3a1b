// Reading a fuzzer's input front to back: single bytes, little-endian
// numbers, pieces up to a separator and the rest. Past the end every read
// gives zero or nothing, so any input is a valid one.
#ifndef VORT64_FUZZ_FUZZ_INPUT_H_
#define VORT64_FUZZ_FUZZ_INPUT_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vort64::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

  bool empty() const { return bytes_.empty(); }
  size_t size() const { return bytes_.size(); }

  uint8_t Byte() {
    if (bytes_.empty()) return 0;
    const uint8_t b = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return b;
  }
  uint16_t U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  // The next `count` bytes, or all that is left when fewer remain.
  std::span<const uint8_t> Bytes(size_t count) {
    const auto taken = bytes_.first(std::min(count, bytes_.size()));
    bytes_ = bytes_.subspan(taken.size());
    return taken;
  }
  // The bytes up to the next `separator` (which is consumed), or the rest.
  std::string_view Piece(char separator) {
    const auto* begin = reinterpret_cast<const char*>(bytes_.data());
    const std::string_view left(begin, bytes_.size());
    const size_t end = std::min(left.find(separator), left.size());
    bytes_ = bytes_.subspan(std::min(end + 1, bytes_.size()));
    return left.substr(0, end);
  }
  std::span<const uint8_t> Rest() { return Bytes(bytes_.size()); }

 private:
  std::span<const uint8_t> bytes_;
};

inline std::vector<uint8_t> ToVector(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace vort64::fuzz

#endif  // VORT64_FUZZ_FUZZ_INPUT_H_
