#include "fuzz/machine_file_checks.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "sim/faults.h"
#include "sim/machine_files.h"
#include "wmi/firmware_facts.h"

namespace vort64::fuzz {
namespace {

constexpr std::string_view kSteps[] = {"GetBiosOptions",
                                       "SetBiosOptions",
                                       "GetBiosDefaultOptions",
                                       "SetBiosDefaultOptions",
                                       "LoadBIOSDefault",
                                       "LoadUserDefault",
                                       "session",
                                       "smbios",
                                       "stuck",
                                       "delay",
                                       "bogus",
                                       ""};

bool SameFaults(const sim::Faults& a, const sim::Faults& b) {
  if (a.stuckBytes() != b.stuckBytes() || a.delay() != b.delay()) return false;
  return std::all_of(std::begin(kSteps), std::end(kSteps),
                     [&](std::string_view step) { return a.For(step) == b.For(step); });
}

std::string Replaced(std::string_view text, char from, std::string_view to) {
  std::string out;
  for (const char c : text) {
    if (c == from) {
      out += to;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void CheckFaults(std::string_view text) {
  const sim::Faults faults = sim::Faults::Parse(text);
  for (const uint32_t offset : faults.stuckBytes()) FUZZ_CHECK(offset < kSettingsBufferSize);
  for (const std::string_view step : kSteps) {
    const auto outcome = faults.For(step);
    FUZZ_CHECK(faults.Fails(step) == (outcome && outcome->fails()));
    if (outcome && outcome->fails()) FUZZ_CHECK(outcome->code == 0);
  }
  FUZZ_CHECK(!faults.For("bogus") && !faults.For("") && !faults.For("stuck") && !faults.For("delay"));
  FUZZ_CHECK(faults.delay().count() >= 0 && faults.delay() <= sim::kLongestDelay);

  // Line ends, a comment line and an empty line change nothing.
  FUZZ_CHECK(SameFaults(faults, sim::Faults::Parse(Replaced(text, '\n', "\r\n"))));
  FUZZ_CHECK(SameFaults(faults, sim::Faults::Parse("# a comment\n\n" + std::string(text))));
  FUZZ_CHECK(SameFaults(faults, sim::Faults::Parse(std::string(text) + "\n#stuck 0\n")));

  // Stuck bytes keep what was stored; no other byte changes.
  const std::vector<uint8_t> stored(text.size() % 3000, 0xA5);
  std::vector<uint8_t> block(text.size() * 7 % 3000, 0x5A);
  const std::vector<uint8_t> sent = block;
  faults.KeepStuckBytes(stored, block);
  FUZZ_CHECK(block.size() == sent.size());
  for (size_t i = 0; i < block.size(); ++i) {
    const bool stuck = faults.stuckBytes().count(static_cast<uint32_t>(i)) != 0 && i < stored.size();
    FUZZ_CHECK(block[i] == (stuck ? stored[i] : sent[i]));
  }

  const sim::Faults unreadable = sim::Faults::Unreadable();
  for (const std::string_view step : kSteps) FUZZ_CHECK(unreadable.Fails(step));
  FUZZ_CHECK(unreadable.stuckBytes().empty());
  FUZZ_CHECK(unreadable.delay().count() == 0);
}

void CheckFileReaders(const std::filesystem::path& path, std::span<const uint8_t> bytes, bool directory, size_t limit) {
  const auto same = [&](const sim::FileRead& read, size_t count) {
    return read.ok() && read.bytes.size() == count && std::equal(read.bytes.begin(), read.bytes.end(), bytes.begin());
  };
  const sim::FileRead atMost = sim::ReadFileAtMost(path, limit);
  const sim::FileRead head = sim::ReadFileHead(path, limit);
  const sim::FileRead exact = sim::ReadFileOfSize(path, limit);
  if (directory) {
    for (const auto* read : {&atMost, &head, &exact}) {
      FUZZ_CHECK(read->state == sim::FileState::kUnreadable && read->bytes.empty() && read->damaged());
    }
    return;
  }
  if (bytes.size() > limit) {
    FUZZ_CHECK(atMost.state == sim::FileState::kTooLong && atMost.bytes.empty() && atMost.damaged());
    FUZZ_CHECK(exact.state == sim::FileState::kTooLong && exact.bytes.empty());
  } else {
    FUZZ_CHECK(same(atMost, bytes.size()));
  }
  FUZZ_CHECK(same(head, std::min(limit, bytes.size())));
  if (bytes.size() < limit) FUZZ_CHECK(exact.state == sim::FileState::kTooShort && exact.bytes.empty());
  if (bytes.size() == limit) FUZZ_CHECK(same(exact, limit));

  const sim::FileRead missing = sim::ReadFileAtMost(path.string() + ".missing", limit);
  FUZZ_CHECK(missing.missing() && !missing.damaged() && missing.bytes.empty());
}

void CheckCount(std::string_view text) {
  const auto count = sim::ParseCount(text);
  std::string_view digits = text;
  while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\r')) digits.remove_suffix(1);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    FUZZ_CHECK(!count);
    return;
  }
  FUZZ_CHECK(count.has_value());
  // The value with leading zeros dropped, compared as a decimal text.
  const std::string_view value = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
  const std::string largest = std::to_string(std::numeric_limits<int32_t>::max());
  const bool saturates = value.size() > largest.size() || (value.size() == largest.size() && value > largest);
  FUZZ_CHECK(std::to_string(*count) == (saturates ? largest : value.empty() ? "0" : std::string(value)));
}

}  // namespace vort64::fuzz
