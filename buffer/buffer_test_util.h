// Test helpers for the option-block code: a fixture with a scripted
// firmware, a captured console and a 2048-byte block.
#ifndef VORT64_BUFFER_BUFFER_TEST_UTIL_H_
#define VORT64_BUFFER_BUFFER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/parsed_request.h"
#include "base/run_context.h"
#include "buffer/layout.h"
#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace testing_util {

class BlockTest : public ::testing::Test {
 protected:
  BlockTest() : console_(out_, err_) { Accept(90); }

  // Accepts interface 2.minor, for the program and for the firmware.
  void Accept(uint32_t minor) {
    ctx_.emplace(RunContext{console_, InterfaceVersion{2, minor}});
    firmware_.wmiMinor = static_cast<uint8_t>(minor);
  }
  void SetNewPassword(std::string_view text) {
    request_.value.Assign(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  // The request's value, as its kind's codec would have read it.
  void SetValue(std::vector<uint8_t> bytes) { request_.value.Assign(bytes); }
  void SetText(std::string_view text) { SetNewPassword(text); }
  const RunContext& ctx() const { return *ctx_; }
  std::string TakeOut() {
    std::string s = out_.str();
    out_.str("");
    return s;
  }
  std::string TakeErr() {
    std::string s = err_.str();
    err_.str("");
    return s;
  }
  // Bytes [first, first + count) of the block.
  std::vector<uint8_t> Bytes(uint32_t first, uint32_t count) const {
    return {block_.begin() + first, block_.begin() + first + count};
  }
  static std::vector<uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

  std::ostringstream out_, err_;
  Console console_;
  ScriptedFirmware firmware_;
  std::optional<RunContext> ctx_;
  ParsedRequest request_;
  std::vector<uint8_t> block_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
};

// Concatenates byte runs.
inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
inline std::vector<uint8_t> Repeat(uint8_t value, size_t count) { return std::vector<uint8_t>(count, value); }

}  // namespace testing_util
}  // namespace vort64

#endif  // VORT64_BUFFER_BUFFER_TEST_UTIL_H_
