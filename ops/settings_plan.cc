#include "ops/settings_plan.h"

#include <set>

#include "base/option_block.h"
#include "base/text.h"
#include "buffer/display.h"
#include "catalog/setting_kind.h"
#include "catalog/value_codecs.h"
#include "ops/apply_settings.h"
#include "ops/firmware_calls.h"
#include "ops/held_values.h"
#include "ops/password_items.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

// The catalog's row of a request's setting (the parser found it there).
const SettingInfo& SettingOf(const SettingCatalog& catalog, const ParsedRequest& request) {
  static const SettingInfo kNone{};
  const SettingInfo* setting = catalog.FindSetting(request.itemName);
  return setting ? *setting : kNone;
}

// A password Item that gives a new password: the firmware applies it only
// once the block with its old and new password is sent by itself.
bool ChangesAPassword(const SettingInfo& setting, const ParsedRequest& request) {
  return setting.kind == SettingKind::kPassword && request.NewPasswordText() != kKeepPasswordWord;
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

  // Every setting but the password changes in one block; each password
  // change after it, in a block of its own.
  ApplyRequest one{.target = OptionBlock::kCurrent, .password = password, .settings = {}, .sayWhy = false};
  std::vector<size_t> inBlock;
  std::vector<size_t> passwordChanges;
  for (size_t i = 0; i < plan.size(); ++i) {
    if (!plan[i].request) continue;
    if (plan[i].passwordChange) {
      passwordChanges.push_back(i);
      continue;
    }
    one.settings.push_back(&*plan[i].request);
    inBlock.push_back(i);
  }
  const std::vector<uint8_t> asRead = block;
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  const Applied applied = ApplySettings(ops, one, block, readBack);
  // The firmware refused the block as a whole: which setting it refuses is
  // found a setting at a time.
  if (applied.write && !applied.write->passed()) return std::nullopt;
  for (size_t k = 0; k < inBlock.size(); ++k) outcomes[inBlock[k]] = applied.outcomes[k];
  if (passwordChanges.empty()) return outcomes;
  std::optional<std::span<const uint8_t>> known;
  if (!applied.write) {
    known = asRead;
  } else if (applied.readBack && applied.readBack->passed()) {
    known = readBack;
  } else if (applied.readBack) {
    // The read back failed: what the firmware holds is not known.
    for (const size_t i : passwordChanges) outcomes[i] = OperationResult::FromRead(*applied.readBack);
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
    std::vector<uint8_t> wanted(block.begin(), block.end());
    switch (PlaceSetting(ops, held, request, block, wanted, false)) {
      case Placing::kUnsupported: c.state = State::kLacking; break;
      case Placing::kUnlisted:
        c.state = State::kInvalid;
        c.current = setting.listed.Describe();
        break;
      case Placing::kKept: c.state = State::kSame; break;
      case Placing::kRefused: c.state = State::kInvalid; break;
      case Placing::kPlaced:
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
        // As a write would be compared with its read back: the block the
        // firmware holds is the read back of the file's value.
        if (!SettingHolds(ops, request, wanted, block)) {
          c.state = State::kDiffers;
          c.current = ReadableValue(setting, block);
          c.wanted = ReadableValue(setting, wanted);
        }
        c.wantedBlock = std::move(wanted);
        break;
    }
    checked.push_back(std::move(c));
  }
  return checked;
}

}  // namespace vort64
