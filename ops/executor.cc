#include "ops/executor.h"

#include <vector>

#include "base/console.h"
#include "buffer/assign.h"
#include "buffer/display.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "ops/custom_settings.h"
#include "ops/password_prompt.h"
#include "ops/raw_settings.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

// The word a SetBiosOptions outcome leaves in the import's result file;
// null for a code that has none.
const wchar_t* ResultWord(const MethodOutcome& outcome) {
  if (!outcome.executed) return L"Fail";
  switch (outcome.code) {
    case kFirmwareSuccess: return L"Pass";
    case kFirmwareNotSupported: return L"Not support";
    case kFirmwareIncorrectPassword: return L"Incorrect password";
    case kFirmwareInvalidParameter: return L"Invalid Parameter";
    case kFirmwareRetryExceeded: return L"Password retry count exceeded";
    case kFirmwareRebootRequired: return L"Pass and reboot required to make function works";
    case kFirmwareIncompatibleData: return L"Incompatible Data Structure. BIOS Setup Data is unexpected";
    case kFirmwareDfciControlled: return L"Control method not support, DFCI is controlling";
    default: return nullptr;
  }
}

// The import's per-setting lines in ResultTemp.txt: "name:", tabs, the word.
// The files are open only while custom settings are imported.
class ResultLines {
 public:
  ResultLines(Operations& ops, const ParsedRequest& request)
      : results_(ops.ctx.console.quiet() ? ops.results : nullptr), name_(request.itemName) {}

  void Begin() {
    if (results_) results_->AppendTemp(ResultLineStart(name_));
  }
  void Finish(std::wstring_view word) {
    if (results_) results_->AppendTemp(std::wstring(word) + L"\n");
  }
  void Write(std::wstring_view word) {
    Begin();
    Finish(word);
  }
  void ClearMarks() {
    if (results_) results_->MarkFailed();
  }
  void MarkRebootRequired() {
    if (results_) results_->rebootRequired = true;
  }

 private:
  ImportResults* results_;
  const std::wstring& name_;
};

struct Position {
  uint32_t offset;
  uint32_t end;
};

// Shared by the set and set-default paths: show the current value and
// refuse a setting the firmware does not support. Nothing when the path
// goes on.
std::optional<OperationResult> ShowOrSkip(Operations& ops, const ParsedRequest& request,
                                          std::span<const uint8_t> buffer, ResultLines& lines) {
  if (ShowSettingValue(ops.ctx, ops.catalog, request, buffer) == Support::kSupported) return std::nullopt;
  if (ops.ctx.console.quiet()) {
    lines.Write(L"Not support");
  } else {
    ops.ctx.console.Out("Skip Set BIOS options because not support\n");
  }
  return OperationResult{Kind::kNothingToShow};
}

// Places the value; nothing when the path goes on.
std::optional<OperationResult> Assign(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer,
                                      Position at, ResultLines& lines) {
  if (AssignSettingValue(ops.ctx, request, buffer, at.offset, at.end) == Placement::kPlaced) return std::nullopt;
  lines.Write(L"Pass");
  return OperationResult{Kind::kNothingToShow};
}

// The self-test changes the supervisor and user passwords interactively:
// the prompt places and sends the block itself, once.
OperationResult PromptedPasswordChange(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer,
                                       Position at, bool supervisor, ResultLines& lines) {
  const PromptOutcome prompted =
      PromptPasswordChange(ops, OptionsPassword(ops.ctx.version, request), buffer, at.offset, at.end, supervisor);
  if (!prompted.sent) {
    lines.Write(L"Pass");
    return {Kind::kNothingToShow};
  }
  if (!prompted.outcome.passed()) {
    lines.ClearMarks();
    return OperationResult::From(prompted.outcome).Sent();
  }
  return OperationResult{Kind::kDone, prompted.outcome.code}.Sent();
}

// The end of both set paths, after the block was sent: the read-back
// `reread` into `readBack` and the comparison of the setting's bytes.
OperationResult ReadBackAndCompare(Operations& ops, const ParsedRequest& request, std::span<const uint8_t> written,
                                   Position at, const MethodOutcome& reread, std::span<const uint8_t> readBack) {
  if (!reread.passed()) return OperationResult::From(reread).Sent();
  if (CompareWrittenSetting(ops.ctx, request, written, readBack, at.offset, at.end) == Comparison::kDifferent) {
    return OperationResult{Kind::kMismatch}.Sent();
  }
  return OperationResult{Kind::kDone}.Sent();
}

OperationResult SetPath(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer, Position at) {
  ResultLines lines(ops, request);
  const std::string_view password = OptionsPassword(ops.ctx.version, request);
  const MethodOutcome read = GetBiosOptions(ops.session, password, buffer);
  if (!read.passed()) {
    if (read.executed && ops.ctx.console.quiet()) {
      if (read.code == kFirmwareIncorrectPassword) {
        lines.Write(L"Incorrect password");
        lines.ClearMarks();
      } else if (read.code == kFirmwareRetryExceeded) {
        lines.Write(L"Password retry count exceeded");
        lines.ClearMarks();
      }
    }
    return OperationResult::From(read);
  }
  if (auto stop = ShowOrSkip(ops, request, buffer, lines)) return *stop;
  const PasswordItem item = ClassifyPasswordItem(request.itemName);
  if (request.selfTest && item.IsAccount()) {
    return PromptedPasswordChange(ops, request, buffer, at, item.kind == PasswordItem::kSupervisor, lines);
  }
  if (auto stop = Assign(ops, request, buffer, at, lines)) return *stop;

  lines.Begin();
  const MethodOutcome written = SetBiosOptions(ops.session, password, buffer);
  if (const wchar_t* word = ResultWord(written)) lines.Finish(word);
  if (!written.passed()) {
    lines.ClearMarks();
    return OperationResult::From(written).Sent();
  }
  if (written.rebootRequired()) lines.MarkRebootRequired();
  if (request.itemName == kClearTpmSetting) return OperationResult::From(written).Sent();

  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  return ReadBackAndCompare(ops, request, buffer, at, GetBiosOptions(ops.session, password, readBack), readBack);
}

OperationResult SetDefaultPath(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer, Position at) {
  ResultLines lines(ops, request);
  const std::string_view password = DefaultsPassword(request);
  const MethodOutcome read = GetBiosDefaultOptions(ops.session, password, buffer);
  if (!read.passed()) return OperationResult::From(read);
  if (auto stop = ShowOrSkip(ops, request, buffer, lines)) return *stop;
  if (auto stop = Assign(ops, request, buffer, at, lines)) return *stop;

  lines.Begin();  // no result word follows: the line stays open
  const MethodOutcome written = SetBiosDefaultOptions(ops.session, password, buffer);
  if (!written.passed()) return OperationResult::From(written).Sent();

  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  return ReadBackAndCompare(ops, request, buffer, at, GetBiosDefaultOptions(ops.session, password, readBack), readBack);
}

std::string_view Field(const auto& field) { return std::string_view(field.data(), field.size()); }

}  // namespace

std::string_view OptionsPassword(const InterfaceVersion& version, const ParsedRequest& request) {
  return version.AtLeast(kLongPasswordArrayFromMinor) ? Field(request.currentPassword)
                                                      : Field(request.currentPasswordShort);
}

std::string_view DefaultsPassword(const ParsedRequest& request) { return Field(request.currentPassword); }

OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const uint32_t offset = ops.catalog.GetSettingOffset(request.itemName);
  const Position at = {offset, offset + ops.catalog.GetSettingSize(request.itemName)};
  const std::string_view optionsPassword = OptionsPassword(ops.ctx.version, request);
  switch (request.function) {
    case Function::kGet:
    case Function::kShowSettings: return OperationResult::From(GetBiosOptions(ops.session, optionsPassword, buffer));
    case Function::kSet: return SetPath(ops, request, buffer, at);
    case Function::kGetDefault:
      return OperationResult::From(GetBiosDefaultOptions(ops.session, DefaultsPassword(request), buffer));
    case Function::kSetDefault: return SetDefaultPath(ops, request, buffer, at);
    case Function::kLoadFactoryDefault:
      return OperationResult::From(LoadBIOSDefault(ops.session, DefaultsPassword(request)));
    case Function::kLoadUserDefault:
      return OperationResult::From(LoadUserDefault(ops.session, DefaultsPassword(request)));
    case Function::kPassword: return {Kind::kPasswordOnly};
    case Function::kExportRawSettings: return ExportRawSettings(ops, request, buffer);
    case Function::kImportRawSettings: return ImportRawSettings(ops, request);
    case Function::kExportCustomSettings: return ExportCustomSettingsFile(ops, request, buffer);
    case Function::kImportCustomSettings: return ImportCustomSettingsFile(ops, request);
    case Function::kNone: break;
  }
  return {Kind::kNothingToShow};
}

}  // namespace vort64
