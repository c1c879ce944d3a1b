#include "ops/executor.h"

#include <optional>
#include <vector>

#include "base/console.h"
#include "buffer/display.h"
#include "catalog/password_settings.h"
#include "ops/apply_settings.h"
#include "ops/bitlocker.h"
#include "ops/custom_settings.h"
#include "ops/firmware_calls.h"
#include "ops/password_prompt.h"
#include "ops/password_rotation.h"
#include "ops/raw_settings.h"
#include "ops/run_record.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

struct Position {
  uint32_t offset;
  uint32_t end;
};

// The block as read before a write, and as read back after it, for the
// JSON answer.
void RecordBefore(Operations& ops, std::span<const uint8_t> block) {
  if (!ops.record) return;
  ops.record->before.assign(block.begin(), block.end());
  ops.record->after.clear();
}
void RecordAfter(Operations& ops, const std::optional<MethodOutcome>& reread, std::span<const uint8_t> readBack) {
  if (ops.record && reread && reread->passed()) ops.record->after.assign(readBack.begin(), readBack.end());
}

// The self-test changes the supervisor and user passwords interactively:
// the prompt places and sends the block itself, once.
OperationResult PromptedPasswordChange(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer,
                                       Position at, bool supervisor) {
  const PromptOutcome prompted =
      PromptPasswordChange(ops, request.CurrentPassword(), buffer, at.offset, at.end, supervisor);
  if (!prompted.sent) return {Kind::kValueRefused};
  return OperationResult::From(prompted.outcome).Sent();
}

// Both set paths after the read: `block` holds what the firmware gave. The
// setting's value is shown, then applied (ApplySettings).
SetOutcome SetOnBlock(Operations& ops, const ParsedRequest& request, OptionBlock target, std::span<uint8_t> block,
                      Position at, std::span<uint8_t> readBack) {
  RecordBefore(ops, block);
  ops.ctx.console.Write(ShowSettingValue(ops.ctx.version, ops.catalog, request, block));
  const SettingInfo* setting = ops.catalog.FindSetting(request.itemName);
  const PasswordItem item = setting ? setting->password : PasswordItem{};
  if (request.selfTest && item.IsAccount() && target == OptionBlock::kCurrent) {
    return {PromptedPasswordChange(ops, request, block, at, item.kind == PasswordItem::kSupervisor), std::nullopt};
  }
  const Applied applied = ApplySettings(
      ops, {.target = target, .password = request.CurrentPassword(), .settings = {&request}, .sayWhy = true}, block,
      readBack);
  RecordAfter(ops, applied.readBack, readBack);
  return {applied.outcomes.front(), applied.readBack};
}

OperationResult SetPath(Operations& ops, const ParsedRequest& request, OptionBlock target, std::span<uint8_t> buffer,
                        Position at) {
  const MethodOutcome read = target == OptionBlock::kDefaults
                                 ? GetBiosDefaultOptions(ops, request.CurrentPassword(), buffer)
                                 : GetBiosOptions(ops, request.CurrentPassword(), buffer);
  if (!read.passed()) return OperationResult::FromRead(read);
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  return SetOnBlock(ops, request, target, buffer, at, readBack).result;
}

// "/load-factory-default" and "/load-user-default". Without
// "/suspend-bitlocker" the load is one call, as ever; on a protected system
// drive the run says that the next start may ask for the recovery key. With
// it, the load reads what it needs to know whether it changes a setting
// measured at start: the current block, and the factory defaults (the user
// defaults cannot be read: the block is read again after their load).
OperationResult LoadDefaults(Operations& ops, const ParsedRequest& request, bool factory) {
  const std::string_view password = request.CurrentPassword();
  const auto load = [&] { return factory ? LoadBIOSDefault(ops, password) : LoadUserDefault(ops, password); };
  BitLockerGuard* const guard = ops.bitlocker;
  if (!guard) return OperationResult::From(load());
  if (!guard->suspendAsked()) {
    guard->LoadWithoutSuspending();
    const OperationResult loaded = OperationResult::From(load());
    guard->Loaded(loaded.succeeded());
    return loaded;
  }
  std::vector<uint8_t> current(kSettingsBufferSize, 0);
  const MethodOutcome read = GetBiosOptions(ops, password, current);
  if (!read.passed()) return OperationResult::FromRead(read);
  std::vector<uint8_t> defaults(kSettingsBufferSize, 0);
  if (factory) {
    const MethodOutcome readDefaults = GetBiosDefaultOptions(ops, password, defaults);
    if (!readDefaults.passed()) return OperationResult::FromRead(readDefaults);
    if (!guard->MayWrite(ops.catalog, current, MeasuredSettingsChanged(ops.catalog, current, defaults))) {
      return {Kind::kNotSuspended};
    }
  } else if (!guard->MayWrite(ops.catalog, current, {}, /*mayChange=*/true)) {
    return {Kind::kNotSuspended};
  }
  const OperationResult loaded = OperationResult::From(load());
  if (!loaded.succeeded()) {
    guard->Written(std::nullopt);
  } else if (factory) {
    guard->Written(defaults);
  } else {
    std::vector<uint8_t> after(kSettingsBufferSize, 0);
    const MethodOutcome reread = GetBiosOptions(ops, password, after);
    // A block that cannot be read after the load may have changed: the
    // suspension stays.
    if (reread.passed()) {
      guard->Written(after);
    } else {
      guard->WrittenUnknown();
    }
  }
  return loaded;
}

}  // namespace

SetOutcome SetOnReadBlock(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block,
                          std::span<uint8_t> readBack) {
  const uint32_t offset = ops.catalog.GetSettingOffset(request.itemName);
  return SetOnBlock(ops, request, OptionBlock::kCurrent, block,
                    {offset, offset + ops.catalog.GetSettingSize(request.itemName)}, readBack);
}

OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const uint32_t offset = ops.catalog.GetSettingOffset(request.itemName);
  const Position at = {offset, offset + ops.catalog.GetSettingSize(request.itemName)};
  const std::string_view password = request.CurrentPassword();
  switch (request.function) {
    case Function::kGet:
    case Function::kShowSettings: return OperationResult::From(GetBiosOptions(ops, password, buffer));
    case Function::kSet: return SetPath(ops, request, OptionBlock::kCurrent, buffer, at);
    case Function::kGetDefault: return OperationResult::From(GetBiosDefaultOptions(ops, password, buffer));
    case Function::kSetDefault: return SetPath(ops, request, OptionBlock::kDefaults, buffer, at);
    case Function::kLoadFactoryDefault: return LoadDefaults(ops, request, /*factory=*/true);
    case Function::kLoadUserDefault: return LoadDefaults(ops, request, /*factory=*/false);
    case Function::kPassword: return {Kind::kNothingRan};
    case Function::kExportRawSettings: return ExportRawSettings(ops, request, buffer);
    case Function::kImportRawSettings: return ImportRawSettings(ops, request);
    case Function::kExportCustomSettings: return ExportCustomSettingsFile(ops, request, buffer);
    case Function::kImportCustomSettings: return ImportCustomSettingsFile(ops, request);
    case Function::kCheckCustomSettings: return CheckCustomSettingsFile(ops, request, buffer);
    case Function::kRotatePassword: return RotateSupervisorPassword(ops, request, buffer);
    case Function::kNone: break;
  }
  return {Kind::kNothingRan};
}

}  // namespace vort64
