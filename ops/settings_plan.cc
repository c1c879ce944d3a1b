#include "ops/settings_plan.h"

#include <set>

#include "base/text.h"

#include "base/option_block.h"
#include "buffer/assign.h"
#include "buffer/block_fields.h"
#include "buffer/display.h"
#include "catalog/setting_kind.h"
#include "catalog/value_codecs.h"
#include "ops/firmware_calls.h"
#include "ops/held_values.h"
#include "ops/password_items.h"

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

// The catalog's row of a request's setting (the parser found it there).
const SettingInfo& SettingOf(const SettingCatalog& catalog, const ParsedRequest& request) {
  static const SettingInfo kNone{};
  const SettingInfo* setting = catalog.FindSetting(request.itemName);
  return setting ? *setting : kNone;
}

bool IsClockByte(size_t i) { return i >= kClockFirstByte && i < kClockEndByte; }

bool Unsupported(const SettingInfo& setting, std::span<const uint8_t> block) {
  return FormatSettingValue(setting, block).kind == SettingValue::kUnsupported;
}

// A password Item that gives a new password: the firmware applies it only
// once the block with its old and new password is sent by itself.
bool ChangesAPassword(const SettingInfo& setting, const ParsedRequest& request) {
  return setting.kind == SettingKind::kPassword && request.NewPasswordText() != kKeepPasswordWord;
}

// Copies into `into` what placing a setting changed in `read`, but the
// clock bytes outside the setting that it only asked the firmware to keep.
void Merge(std::span<const uint8_t> read, std::span<const uint8_t> placed, Range own, std::span<uint8_t> into) {
  for (size_t i = 0; i < read.size() && i < placed.size() && i < into.size(); ++i) {
    if (placed[i] == read[i]) continue;
    if (!own.Holds(i) && IsClockByte(i) && placed[i] == kDoNotChange) continue;
    into[i] = placed[i];
  }
}

// After the one block was written: each placed setting's outcome, from one
// read back into `readBack` (made only when some setting is compared).
void CompareOneBlock(Operations& ops, std::span<const PlannedSetting> plan, std::span<const size_t> placed,
                     std::span<const uint8_t> sent, const MethodOutcome& written, std::span<uint8_t> readBack,
                     std::optional<MethodOutcome>& reread, std::vector<OperationResult>& outcomes) {
  for (const size_t i : placed) {
    const ParsedRequest& request = *plan[i].request;
    if (SettingOf(ops.catalog, request).readBack == ReadBack::kNone) {
      outcomes[i] = OperationResult::From(written).Sent();
      continue;
    }
    if (!reread) reread = GetBiosOptions(ops, request.CurrentPassword(), readBack);
    const Range at = RangeOf(ops.catalog, request.itemName);
    if (!reread->passed()) {
      outcomes[i] = OperationResult::FromRead(*reread).Sent();
    } else if (CompareWrittenSetting(ops.ctx, request, sent, readBack, at.offset, at.end) == Comparison::kDifferent) {
      outcomes[i] = OperationResult{Kind::kNotTheSame}.Sent();
    } else {
      outcomes[i] = OperationResult::From(written).Sent();
    }
  }
}

// The password changes, each in a block of its own, on the block the
// firmware holds: `held` where the run knows it (as read, or read back),
// read first where it does not (after a write that was not read back).
void ChangePasswords(Operations& ops, std::string_view password, std::span<const PlannedSetting> plan,
                     std::span<const size_t> changes, std::optional<std::span<const uint8_t>> held,
                     std::vector<OperationResult>& outcomes) {
  std::vector<uint8_t> block(kSettingsBufferSize, 0);
  if (held) std::copy(held->begin(), held->end(), block.begin());
  bool fresh = held.has_value();
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  for (const size_t i : changes) {
    if (!fresh) {
      const MethodOutcome read = GetBiosOptions(ops, password, block);
      if (!read.passed()) {
        outcomes[i] = OperationResult::FromRead(read);
        continue;
      }
    }
    std::vector<uint8_t> work = block;
    bool readBackDone = false;
    outcomes[i] = ChangePasswordItem(ops, *plan[i].request, work, readBack, readBackDone);
    if (readBackDone) block = readBack;
    fresh = readBackDone || !outcomes[i].blockSent;
  }
}

}  // namespace

std::vector<PlannedSetting> PlanSettings(const Operations& ops, std::span<const ImportedSetting> items) {
  std::vector<PlannedSetting> plan;
  plan.reserve(items.size());
  for (const ImportedSetting& item : items) {
    PlannedSetting planned{.name = AsciiToLower(item.name), .request = std::nullopt, .outcome = {Kind::kValueRefused}};
    // An Item without a value, or one longer than a "/set" argument.
    if (item.problem == ImportProblem::kNone && ops.settings) {
      ParsedSetting parsed = ops.settings->Parse(item.name, item.value);
      // The line names the setting the Item reached ("set user password" for
      // the form "current password=OLD,set user password=NEW").
      if (!parsed.request.itemName.empty()) planned.name = parsed.request.itemName;
      switch (parsed.kind) {
        case ParsedSetting::Kind::kRequest:
          planned.passwordChange = ChangesAPassword(SettingOf(ops.catalog, parsed.request), parsed.request);
          planned.request = std::move(parsed.request);
          break;
        // A setting this model does not have: a file from another model
        // still imports.
        case ParsedSetting::Kind::kUnknownName: planned.outcome = {Kind::kAbsent}; break;
        // A name no model has: a typo, which fails the import.
        case ParsedSetting::Kind::kNoSuchName: planned.noSuchName = true; break;
        case ParsedSetting::Kind::kRefused:
          // What an export writes for a setting its machine does not support.
          if (parsed.refusal == ParsedSetting::Refusal::kNotSupportedMark) planned.outcome = {Kind::kUnsupported};
          break;
      }
    }
    plan.push_back(std::move(planned));
  }
  return plan;
}

std::optional<std::vector<OperationResult>> ApplyAsOneBlock(Operations& ops, const ParsedRequest& run,
                                                            std::span<const PlannedSetting> plan) {
  std::set<std::wstring> names;
  for (const PlannedSetting& p : plan) {
    if (!p.request) continue;
    if (!names.insert(p.request->itemName).second) return std::nullopt;
  }
  // Nothing to place: the firmware is not called at all.
  if (names.empty()) {
    std::vector<OperationResult> outcomes;
    for (const PlannedSetting& p : plan) outcomes.push_back(p.outcome);
    return outcomes;
  }

  const std::string_view password = run.CurrentPassword();
  std::vector<uint8_t> block(kSettingsBufferSize, 0);
  const MethodOutcome read = GetBiosOptions(ops, password, block);
  std::vector<OperationResult> outcomes;
  outcomes.reserve(plan.size());
  for (const PlannedSetting& p : plan) outcomes.push_back(p.request ? OperationResult::FromRead(read) : p.outcome);
  if (!read.passed()) return outcomes;

  // The block sent: what was read, with every value placed and (as every
  // "/set" sends it) the clock left to the firmware.
  std::vector<uint8_t> sent = block;
  if (ops.ctx.version.Holds(InterfaceRule::kClockKept)) KeepClock(sent);
  std::vector<size_t> placed;
  std::vector<size_t> passwordChanges;  // each goes in a block of its own, after the others
  HeldValues held(ops, password, HeldValues::Other::kDefaults);
  for (size_t i = 0; i < plan.size(); ++i) {
    if (!plan[i].request) continue;
    const ParsedRequest& request = *plan[i].request;
    const SettingInfo& setting = SettingOf(ops.catalog, request);
    if (plan[i].passwordChange) {
      passwordChanges.push_back(i);
      continue;
    }
    const Range at = RangeOf(ops.catalog, request.itemName);
    if (Unsupported(setting, block)) {
      outcomes[i] = {Kind::kUnsupported};
      continue;
    }
    if (!held.Allows(request, setting, block)) {
      outcomes[i] = {Kind::kValueUnlisted};
      continue;
    }
    std::vector<uint8_t> alone = block;
    switch (AssignSettingValue(ops.ctx, request, alone, at.offset, at.end)) {
      case Placement::kPlaced: break;
      case Placement::kKept: outcomes[i] = {Kind::kPasswordKept}; continue;
      case Placement::kRefused: outcomes[i] = {Kind::kValueRefused}; continue;
    }
    Merge(block, alone, at, sent);
    placed.push_back(i);
  }
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  std::optional<MethodOutcome> reread;
  if (!placed.empty()) {
    const MethodOutcome written = SetBiosOptions(ops, password, sent);
    if (!written.passed()) return std::nullopt;
    CompareOneBlock(ops, plan, placed, sent, written, readBack, reread, outcomes);
  }
  if (passwordChanges.empty()) return outcomes;
  std::optional<std::span<const uint8_t>> known;
  if (placed.empty()) {
    known = block;
  } else if (reread && reread->passed()) {
    known = readBack;
  } else if (reread) {
    // The read back failed: what the firmware holds is not known.
    for (const size_t i : passwordChanges) outcomes[i] = OperationResult::FromRead(*reread);
    return outcomes;
  }
  ChangePasswords(ops, password, plan, passwordChanges, known, outcomes);
  return outcomes;
}

std::vector<CheckedSetting> CheckSettings(Operations& ops, std::string_view password,
                                          std::span<const PlannedSetting> plan, std::span<const uint8_t> block) {
  using State = CheckedSetting::State;
  std::vector<CheckedSetting> checked;
  checked.reserve(plan.size());
  HeldValues held(ops, password, HeldValues::Other::kDefaults);
  for (const PlannedSetting& p : plan) {
    CheckedSetting c;
    if (!p.request) {
      const bool lacking = p.outcome.kind == Kind::kAbsent || p.outcome.kind == Kind::kUnsupported;
      c.state = p.noSuchName ? State::kUnknown : lacking ? State::kLacking : State::kInvalid;
      checked.push_back(std::move(c));
      continue;
    }
    const ParsedRequest& request = *p.request;
    const SettingInfo& setting = SettingOf(ops.catalog, request);
    const Range at = RangeOf(ops.catalog, request.itemName);
    std::vector<uint8_t> wanted(block.begin(), block.end());
    if (Unsupported(setting, block)) {
      c.state = State::kLacking;
    } else if (!held.Allows(request, setting, block)) {
      c.state = State::kInvalid;
      c.current = setting.listed.Describe();
    } else {
      switch (AssignSettingValue(ops.ctx, request, wanted, at.offset, at.end)) {
        case Placement::kKept: c.state = State::kSame; break;
        case Placement::kRefused: c.state = State::kInvalid; break;
        case Placement::kPlaced:
          if (ChangesAPassword(setting, request)) {
            // A password is never read back, nor shown.
            const PasswordStanding standing = CheckPasswordItem(ops, setting, request, block);
            if (standing.state == PasswordStanding::State::kSame) {
              c = {State::kSame, "", "", standing.note, {}};
            } else {
              c = {State::kDiffers, standing.current, std::string(kPasswordMask), "", {}};
            }
            break;
          }
          for (size_t i = at.offset; i < at.end && i < block.size(); ++i) {
            // A clock byte given as 238 is the firmware's own value.
            if (IsClockByte(i) && wanted[i] == kDoNotChange) continue;
            if (wanted[i] != block[i]) c.state = State::kDiffers;
          }
          if (c.state == State::kDiffers) {
            c.current = ReadableValue(setting, block);
            c.wanted = ReadableValue(setting, wanted);
          }
          c.wantedBlock = std::move(wanted);
          break;
      }
    }
    checked.push_back(std::move(c));
  }
  return checked;
}

}  // namespace vort64
