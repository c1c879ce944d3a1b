#include "sim/block_view.h"

#include <algorithm>

#include "base/text.h"
#include "buffer/display.h"

namespace vort64::sim {
namespace {

std::span<const uint8_t> Bytes(std::span<const uint8_t> block, const SettingInfo& info) {
  const size_t first = std::min<size_t>(info.offset, block.size());
  const size_t last = std::min<size_t>(uint64_t{info.offset} + info.size, block.size());
  return block.subspan(first, last - first);
}

}  // namespace

std::string DiffBlocks(const SettingCatalog& catalog, std::span<const uint8_t> a, std::span<const uint8_t> b) {
  std::string out;
  for (const auto& [name, info] : catalog.settings()) {
    const auto left = Bytes(a, info);
    const auto right = Bytes(b, info);
    if (std::equal(left.begin(), left.end(), right.begin(), right.end())) continue;
    if (FormatSettingValue(info, a).kind == SettingValue::kHiddenPassword) {
      out += WideToUtf8(name) + ": (password changed, not shown)\n";
      continue;
    }
    out += WideToUtf8(name) + ": " + OneLineValue(info, a) + " -> " + OneLineValue(info, b) + "\n";
  }
  return out;
}

}  // namespace vort64::sim
