#include "sim/faults.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "base/text.h"
#include "wmi/drive_protection.h"
#include "wmi/firmware_facts.h"

namespace vort64::sim {
namespace {

// The steps an outcome can be forced on.
bool IsForcible(std::string_view what) {
  static constexpr const wchar_t* kMethods[] = {kGetBiosOptionsMethod,        kSetBiosOptionsMethod,
                                                kGetBiosDefaultOptionsMethod, kSetBiosDefaultOptionsMethod,
                                                kLoadBiosDefaultMethod,       kLoadUserDefaultMethod};
  if (what == kSessionFault || what == kSmbiosFault) return true;
  // The system drive's BitLocker methods and their namespace.
  for (const wchar_t* method : {kGetProtectionStatusMethod, kDisableKeyProtectorsMethod, kEnableKeyProtectorsMethod}) {
    if (WideToUtf8(method) == what) return true;
  }
  if (what == kVolumeEncryptionFault) return true;
  return std::any_of(std::begin(kMethods), std::end(kMethods),
                     [&](const wchar_t* method) { return WideToUtf8(method) == what; });
}

// The whole of `word` as a number of type T; nothing for anything else.
template <typename T>
std::optional<T> Number(std::string_view word) {
  T value{};
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

// The first two blank-separated words of a line.
std::pair<std::string_view, std::string_view> TwoWords(std::string_view line) {
  constexpr std::string_view kBlanks = " \t\r\v\f";
  std::string_view words[2];
  for (auto& word : words) {
    const size_t begin = std::min(line.find_first_not_of(kBlanks), line.size());
    line.remove_prefix(begin);
    const size_t end = std::min(line.find_first_of(kBlanks), line.size());
    word = line.substr(0, end);
    line.remove_prefix(end);
  }
  return {words[0], words[1]};
}

}  // namespace

Faults Faults::Parse(std::string_view text) {
  Faults faults;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const auto [what, value] = TwoWords(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (what.empty() || what.front() == '#') continue;
    if (what == kStuckFault) {
      if (const auto offset = Number<uint32_t>(value); offset && *offset < kSettingsBufferSize) {
        faults.stuck_.insert(*offset);
      }
    } else if (what == kDelayFault) {
      if (const auto ms = Number<uint32_t>(value); ms && std::chrono::milliseconds(*ms) <= kLongestDelay) {
        faults.delay_ = std::chrono::milliseconds(*ms);
      }
    } else if (IsForcible(what)) {
      if (value == "fail") {
        faults.forced_.insert_or_assign(std::string(what), ForcedOutcome{ForcedOutcome::Kind::kFail, 0});
      } else if (const auto code = Number<int32_t>(value)) {
        faults.forced_.insert_or_assign(std::string(what), ForcedOutcome{ForcedOutcome::Kind::kCode, *code});
      } else if (const auto wide = Number<uint32_t>(value)) {
        // A BitLocker code such as 2150694912 (0x80310000), kept as its bits.
        faults.forced_.insert_or_assign(std::string(what),
                                        ForcedOutcome{ForcedOutcome::Kind::kCode, static_cast<int32_t>(*wide)});
      }
    }
  }
  return faults;
}

Faults Faults::Unreadable() {
  Faults faults;
  faults.unreadable_ = true;
  return faults;
}

std::optional<ForcedOutcome> Faults::For(std::string_view what) const {
  if (unreadable_) return ForcedOutcome{};
  const auto it = forced_.find(what);
  if (it == forced_.end()) return std::nullopt;
  return it->second;
}

bool Faults::Fails(std::string_view what) const {
  const auto outcome = For(what);
  return outcome && outcome->fails();
}

void Faults::KeepStuckBytes(const std::vector<uint8_t>& stored, std::vector<uint8_t>& block) const {
  for (const uint32_t offset : stuck_) {
    if (offset < stored.size() && offset < block.size()) block[offset] = stored[offset];
  }
}

}  // namespace vort64::sim
