#include "ops/executor.h"

#include <optional>
#include <vector>

#include "base/console.h"
#include "buffer/display.h"
#include "catalog/password_settings.h"
#include "ops/apply_settings.h"
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
    case Function::kLoadFactoryDefault: return OperationResult::From(LoadBIOSDefault(ops, password));
    case Function::kLoadUserDefault: return OperationResult::From(LoadUserDefault(ops, password));
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
