#include "ops/apply_settings.h"

#include <algorithm>
#include <array>

#include "base/console.h"
#include "base/option_block.h"
#include "buffer/assign.h"
#include "buffer/display.h"
#include "ops/bitlocker.h"
#include "ops/firmware_calls.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

struct Range {
  uint32_t offset;
  uint32_t end;
  bool Holds(size_t i) const { return i >= offset && i < end; }
};

Range RangeOf(const SettingCatalog& catalog, const std::wstring& name) {
  const uint32_t offset = catalog.GetSettingOffset(name);
  return {offset, offset + catalog.GetSettingSize(name)};
}

bool IsClockByte(size_t i) { return i >= kClockFirstByte && i < kClockEndByte; }

bool ReadsBack(OptionBlock target, const SettingInfo* setting) {
  return target == OptionBlock::kDefaults || !setting || setting->readBack == ReadBack::kCompare;
}

MethodOutcome Read(Operations& ops, OptionBlock target, std::string_view password, std::span<uint8_t> block) {
  return target == OptionBlock::kDefaults ? GetBiosDefaultOptions(ops, password, block)
                                          : GetBiosOptions(ops, password, block);
}

MethodOutcome Write(Operations& ops, OptionBlock target, std::string_view password, std::span<const uint8_t> block) {
  return target == OptionBlock::kDefaults ? SetBiosDefaultOptions(ops, password, block)
                                          : SetBiosOptions(ops, password, block);
}

// The block to send, built from the block as read and each setting placed
// into a copy of it: every byte a placing changed, but a clock byte a
// setting only asked the firmware to keep (238) outside its own bytes; that
// one is 238 unless another setting of the block places it itself.
class SentBlock {
 public:
  explicit SentBlock(std::span<const uint8_t> read) : read_(read.begin(), read.end()), sent_(read_) {}

  void Merge(std::span<const uint8_t> placed, Range own) {
    for (size_t i = 0; i < read_.size() && i < placed.size(); ++i) {
      if (IsClockByte(i) && !own.Holds(i)) {
        if (placed[i] == kDoNotChange && read_[i] != kDoNotChange) keep_[i - kClockFirstByte] = true;
        if (placed[i] == kDoNotChange) continue;
      }
      if (IsClockByte(i) && own.Holds(i)) placedClock_[i - kClockFirstByte] = true;
      if (placed[i] != read_[i]) sent_[i] = placed[i];
    }
  }

  void Finish(std::span<uint8_t> into) {
    for (size_t i = kClockFirstByte; i < kClockEndByte && i < sent_.size(); ++i) {
      if (keep_[i - kClockFirstByte] && !placedClock_[i - kClockFirstByte]) sent_[i] = kDoNotChange;
    }
    std::copy_n(sent_.begin(), std::min(sent_.size(), into.size()), into.begin());
  }

 private:
  std::vector<uint8_t> read_;
  std::vector<uint8_t> sent_;
  std::array<bool, kClockEndByte - kClockFirstByte> keep_{};
  std::array<bool, kClockEndByte - kClockFirstByte> placedClock_{};
};

}  // namespace

Placing PlaceSetting(Operations& ops, HeldValues& held, const ParsedRequest& request, std::span<const uint8_t> read,
                     std::span<uint8_t> placed, bool sayWhy) {
  static const SettingInfo kNone{};
  const SettingInfo* found = ops.catalog.FindSetting(request.itemName);
  const SettingInfo& setting = found ? *found : kNone;
  if (MarkedUnsupported(setting, read)) {
    if (sayWhy) ops.ctx.console.Say("Skip Set BIOS options because not support\n");
    return Placing::kUnsupported;
  }
  if (found && !held.Allows(request, setting, read)) {
    if (sayWhy) ops.ctx.console.Err(UnlistedValueMessage(request, setting));
    return Placing::kUnlisted;
  }
  const Range at = RangeOf(ops.catalog, request.itemName);
  Messages said;
  const Placement placement = AssignSettingValue(ops.ctx.version, request, placed, at.offset, at.end, said);
  ops.ctx.console.Write(said);
  switch (placement) {
    case Placement::kPlaced: return Placing::kPlaced;
    case Placement::kKept: return Placing::kKept;
    case Placement::kRefused: break;
  }
  return Placing::kRefused;
}

bool SettingHolds(const Operations& ops, const ParsedRequest& request, std::span<const uint8_t> wanted,
                  std::span<const uint8_t> held) {
  const Range at = RangeOf(ops.catalog, request.itemName);
  Messages unsaid;  // the check says its own lines
  return CompareWrittenSetting(ops.ctx.version, request, wanted, held, at.offset, at.end, unsaid) == Comparison::kSame;
}

Applied ApplySettings(Operations& ops, const ApplyRequest& what, std::span<uint8_t> block,
                      std::span<uint8_t> readBack) {
  Applied applied;
  applied.outcomes.assign(what.settings.size(), OperationResult{Kind::kDone});
  HeldValues held(ops, what.password,
                  what.target == OptionBlock::kDefaults ? HeldValues::Other::kCurrent : HeldValues::Other::kDefaults);
  SentBlock sent(block);
  std::vector<size_t> placed;
  std::vector<std::vector<uint8_t>> alone(what.settings.size());
  // The settings measured at start whose bytes the write changes.
  std::vector<bool> measured(what.settings.size(), false);
  MeasuredReasons changing;
  for (size_t i = 0; i < what.settings.size(); ++i) {
    const ParsedRequest& request = *what.settings[i];
    alone[i].assign(block.begin(), block.end());
    switch (PlaceSetting(ops, held, request, block, alone[i], what.sayWhy)) {
      case Placing::kPlaced: break;
      case Placing::kUnsupported: applied.outcomes[i] = {Kind::kUnsupported}; continue;
      case Placing::kUnlisted: applied.outcomes[i] = {Kind::kValueUnlisted}; continue;
      case Placing::kKept: applied.outcomes[i] = {Kind::kPasswordKept}; continue;
      case Placing::kRefused: applied.outcomes[i] = {Kind::kValueRefused}; continue;
    }
    const SettingInfo* setting = ops.catalog.FindSetting(request.itemName);
    const Range at = RangeOf(ops.catalog, request.itemName);
    if (setting && setting->measured != MeasuredAtStart::kNo && at.end <= block.size() &&
        !std::equal(block.begin() + at.offset, block.begin() + at.end, alone[i].begin() + at.offset)) {
      measured[i] = true;
      changing.Add(setting->measured);
    }
    placed.push_back(i);
  }
  // The start measures the current settings, not the defaults.
  BitLockerGuard* const guard = what.target == OptionBlock::kCurrent ? ops.bitlocker : nullptr;
  if (guard && !guard->MayWrite(ops.catalog, block, changing)) {
    // The drive's protection could not be known or suspended: the measured
    // settings stay as read, the others are written as usual.
    std::erase_if(placed, [&](size_t i) {
      if (measured[i]) applied.outcomes[i] = {Kind::kNotSuspended};
      return measured[i];
    });
  }
  for (const size_t i : placed) sent.Merge(alone[i], RangeOf(ops.catalog, what.settings[i]->itemName));
  if (placed.empty()) return applied;

  sent.Finish(block);
  applied.write = Write(ops, what.target, what.password, block);
  const bool readsBack = std::any_of(placed.begin(), placed.end(), [&](size_t i) {
    return ReadsBack(what.target, ops.catalog.FindSetting(what.settings[i]->itemName));
  });
  if (applied.write->passed() && readsBack) applied.readBack = Read(ops, what.target, what.password, readBack);
  if (guard) {
    // What the firmware holds now: the block read back, else (no read back,
    // or it failed) the block it took.
    if (!applied.write->passed()) {
      guard->Written(std::nullopt);
    } else {
      guard->Written(applied.readBack && applied.readBack->passed() ? std::span<const uint8_t>(readBack)
                                                                    : std::span<const uint8_t>(block));
    }
  }
  for (const size_t i : placed) {
    const ParsedRequest& request = *what.settings[i];
    OperationResult& outcome = applied.outcomes[i];
    if (!applied.write->passed() || !ReadsBack(what.target, ops.catalog.FindSetting(request.itemName))) {
      outcome = OperationResult::From(*applied.write).Sent();
    } else if (!applied.readBack->passed()) {
      outcome = OperationResult::FromRead(*applied.readBack).Sent();
    } else {
      const Range at = RangeOf(ops.catalog, request.itemName);
      Messages said;
      const bool same = CompareWrittenSetting(ops.ctx.version, request, block, readBack, at.offset, at.end, said) ==
                        Comparison::kSame;
      ops.ctx.console.Write(said);
      outcome = same ? OperationResult::From(*applied.write).Sent() : OperationResult{Kind::kNotTheSame}.Sent();
    }
  }
  return applied;
}

}  // namespace vort64
