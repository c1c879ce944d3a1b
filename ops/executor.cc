#include "ops/executor.h"

#include <optional>
#include <vector>

#include "base/console.h"
#include "buffer/assign.h"
#include "buffer/display.h"
#include "catalog/password_settings.h"
#include "ops/custom_settings.h"
#include "ops/firmware_calls.h"
#include "ops/held_values.h"
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
  if (ops.record) ops.record->before.assign(block.begin(), block.end());
}
void RecordAfter(Operations& ops, const MethodOutcome& reread, std::span<const uint8_t> readBack) {
  if (!ops.record) return;
  if (reread.passed()) {
    ops.record->after.assign(readBack.begin(), readBack.end());
  } else {
    ops.record->after.clear();
  }
}

// Shared by the set and set-default paths: show the current value and
// refuse a setting the firmware does not support. Nothing when the path
// goes on.
std::optional<OperationResult> ShowOrSkip(Operations& ops, const ParsedRequest& request,
                                          std::span<const uint8_t> buffer) {
  if (ShowSettingValue(ops.ctx, ops.catalog, request, buffer) == Support::kSupported) return std::nullopt;
  ops.ctx.console.Say("Skip Set BIOS options because not support\n");
  return OperationResult{Kind::kUnsupported};
}

// Places the value; nothing when the path goes on.
std::optional<OperationResult> Assign(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer,
                                      Position at) {
  switch (AssignSettingValue(ops.ctx, request, buffer, at.offset, at.end)) {
    case Placement::kPlaced: return std::nullopt;
    case Placement::kKept: return OperationResult{Kind::kPasswordKept};
    case Placement::kRefused: break;
  }
  return OperationResult{Kind::kValueRefused};
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

// The end of both set paths, after the block was sent with `written`: the
// read-back `reread` into `readBack` and the comparison of the setting's
// bytes. A passed result keeps the write's code (8: reboot required).
OperationResult ReadBackAndCompare(Operations& ops, const ParsedRequest& request, std::span<const uint8_t> written,
                                   Position at, const MethodOutcome& write, const MethodOutcome& reread,
                                   std::span<const uint8_t> readBack) {
  if (!reread.passed()) return OperationResult::FromRead(reread).Sent();
  if (CompareWrittenSetting(ops.ctx, request, written, readBack, at.offset, at.end) == Comparison::kDifferent) {
    return OperationResult{Kind::kNotTheSame}.Sent();
  }
  return OperationResult::From(write).Sent();
}

// A value the firmware does not list goes on only where the machine holds
// it; nothing when the path goes on.
std::optional<OperationResult> RefuseUnlisted(Operations& ops, const ParsedRequest& request,
                                              std::span<const uint8_t> buffer, HeldValues::Other other) {
  const SettingInfo* setting = ops.catalog.FindSetting(request.itemName);
  if (!setting || HeldValues(ops, request.CurrentPassword(), other).Allows(request, *setting, buffer)) {
    return std::nullopt;
  }
  ops.ctx.console.Err(UnlistedValueMessage(request, *setting));
  return OperationResult{Kind::kValueUnlisted};
}

// The set path after the read: `block` holds what the firmware gave.
SetOutcome SetOnBlock(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block, Position at,
                      std::span<uint8_t> readBack) {
  const std::string_view password = request.CurrentPassword();
  RecordBefore(ops, block);
  if (ops.record) ops.record->after.clear();
  if (auto stop = ShowOrSkip(ops, request, block)) return {*stop, std::nullopt};
  const SettingInfo* setting = ops.catalog.FindSetting(request.itemName);
  const PasswordItem item = setting ? setting->password : PasswordItem{};
  if (request.selfTest && item.IsAccount()) {
    return {PromptedPasswordChange(ops, request, block, at, item.kind == PasswordItem::kSupervisor), std::nullopt};
  }
  if (auto stop = RefuseUnlisted(ops, request, block, HeldValues::Other::kDefaults)) return {*stop, std::nullopt};
  if (auto stop = Assign(ops, request, block, at)) return {*stop, std::nullopt};

  const MethodOutcome written = SetBiosOptions(ops, password, block);
  const bool readsBack = !setting || setting->readBack == ReadBack::kCompare;
  if (!written.passed() || !readsBack) return {OperationResult::From(written).Sent(), std::nullopt};

  const MethodOutcome reread = GetBiosOptions(ops, password, readBack);
  RecordAfter(ops, reread, readBack);
  return {ReadBackAndCompare(ops, request, block, at, written, reread, readBack), reread};
}

OperationResult SetPath(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer, Position at) {
  const MethodOutcome read = GetBiosOptions(ops, request.CurrentPassword(), buffer);
  if (!read.passed()) return OperationResult::FromRead(read);
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  return SetOnBlock(ops, request, buffer, at, readBack).result;
}

OperationResult SetDefaultPath(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer, Position at) {
  const std::string_view password = request.CurrentPassword();
  const MethodOutcome read = GetBiosDefaultOptions(ops, password, buffer);
  if (!read.passed()) return OperationResult::FromRead(read);
  RecordBefore(ops, buffer);
  if (ops.record) ops.record->after.clear();
  if (auto stop = ShowOrSkip(ops, request, buffer)) return *stop;
  if (auto stop = RefuseUnlisted(ops, request, buffer, HeldValues::Other::kCurrent)) return *stop;
  if (auto stop = Assign(ops, request, buffer, at)) return *stop;

  const MethodOutcome written = SetBiosDefaultOptions(ops, password, buffer);
  if (!written.passed()) return OperationResult::From(written).Sent();

  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  const MethodOutcome reread = GetBiosDefaultOptions(ops, password, readBack);
  RecordAfter(ops, reread, readBack);
  return ReadBackAndCompare(ops, request, buffer, at, written, reread, readBack);
}

}  // namespace

SetOutcome SetOnReadBlock(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block,
                          std::span<uint8_t> readBack) {
  const uint32_t offset = ops.catalog.GetSettingOffset(request.itemName);
  return SetOnBlock(ops, request, block, {offset, offset + ops.catalog.GetSettingSize(request.itemName)}, readBack);
}

OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const uint32_t offset = ops.catalog.GetSettingOffset(request.itemName);
  const Position at = {offset, offset + ops.catalog.GetSettingSize(request.itemName)};
  const std::string_view password = request.CurrentPassword();
  switch (request.function) {
    case Function::kGet:
    case Function::kShowSettings: return OperationResult::From(GetBiosOptions(ops, password, buffer));
    case Function::kSet: return SetPath(ops, request, buffer, at);
    case Function::kGetDefault: return OperationResult::From(GetBiosDefaultOptions(ops, password, buffer));
    case Function::kSetDefault: return SetDefaultPath(ops, request, buffer, at);
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
