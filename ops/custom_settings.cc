#include "ops/custom_settings.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "catalog/aliases.h"
#include "ops/bitlocker.h"
#include "ops/file_io.h"
#include "ops/firmware_calls.h"
#include "ops/password_items.h"
#include "ops/result_files.h"
#include "ops/run_record.h"
#include "ops/settings_plan.h"
#include "ops/xml/custom_settings_file.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

// SMBIOS text as the result file writes it: one character per byte.
std::wstring Widen(std::string_view bytes) {
  std::wstring wide;
  for (const char c : bytes) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

// The machine's lines at the head of an import's block: model and serial
// number from the system structure, the asset tag from the chassis one; each
// pair only when its structure is there.
std::wstring MachineLines(const RawSmbiosTable* smbios) {
  std::wstring lines;
  if (!smbios) return lines;
  SystemInformation system;
  if (ReadSystemInformation(*smbios, system)) {
    lines += L"Model name : " + Widen(system.productName) + L"\n";
    lines += L"Serial number : " + Widen(system.serialNumber) + L"\n";
  }
  ChassisInformation chassis;
  if (ReadChassisInformation(*smbios, chassis)) {
    lines += L"Asset tag number : " + Widen(chassis.assetTag) + L"\n\n";
  }
  return lines;
}

// The settings one by one, each a "/set" of its own on the run's connection.
std::vector<OperationResult> ApplyOneByOne(Operations& ops, std::span<const PlannedSetting> plan) {
  std::vector<OperationResult> outcomes;
  outcomes.reserve(plan.size());
  std::vector<size_t> passwordChanges;
  for (size_t i = 0; i < plan.size(); ++i) {
    const PlannedSetting& p = plan[i];
    outcomes.push_back(p.outcome);
    if (!p.request) continue;
    if (p.passwordChange) {
      passwordChanges.push_back(i);
      continue;
    }
    std::vector<uint8_t> buffer(kSettingsBufferSize, 0);
    outcomes[i] = ExecuteOperation(ops, *p.request, buffer);
  }
  // The password changes last: the run's password opened the firmware for
  // the others, and is the old password of each change.
  for (const size_t i : passwordChanges) {
    const ParsedRequest& request = *plan[i].request;
    std::vector<uint8_t> block(kSettingsBufferSize, 0);
    const MethodOutcome read = GetBiosOptions(ops, request.CurrentPassword(), block);
    if (!read.passed()) {
      outcomes[i] = OperationResult::FromRead(read);
      continue;
    }
    std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
    bool readBackDone = false;
    outcomes[i] = ChangePasswordItem(ops, request, block, readBack, readBackDone);
  }
  return outcomes;
}

// The line on standard error of an import whose verdict is "Fail": the
// cause that failed every setting (a refused password, a failed read), or
// how many settings failed and the first of them.
void SayImportFailed(Console& console, std::span<const PlannedSetting> plan, std::span<const OperationResult> outcomes,
                     std::string_view resultFile) {
  size_t failed = 0;
  std::optional<size_t> first;
  for (size_t i = 0; i < outcomes.size(); ++i) {
    if (RuleFor(outcomes[i]).verdict != VerdictEffect::kFails) continue;
    ++failed;
    if (!first) first = i;
  }
  if (!first) return;  // no Item at all: said already
  const OperationResult& cause = outcomes[*first];
  const std::string count = std::to_string(failed) + " of " + std::to_string(plan.size()) + " settings failed";
  const std::string see = "; see " + std::string(resultFile) + ".\n";
  if (cause.kind == Kind::kReadFailed || cause.kind == Kind::kFirmwareRefused) {
    console.Err("Error: " + FailureCause(cause) + "; " + count + see);
    return;
  }
  console.Err("Error: " + count + ", the first " + Printable(plan[*first].name) + " (" +
              WideToUtf8(RuleFor(cause).resultWord) + ")" + see);
}

}  // namespace

OperationResult ExportCustomSettingsFile(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const MethodOutcome read = GetBiosOptions(ops, request.CurrentPassword(), buffer);
  if (!read.passed()) return OperationResult::From(read);
  std::vector<SettingExportRow> rows;
  CollectExportSettings(ops.catalog, rows, buffer);
  std::vector<BootDeviceExportRow> bootRows;
  CollectExportBootDevices(ops.catalog, bootRows);
  const ExportResult saved =
      ExportCustomSettings(ops.ctx.console, PathOfFileName(request.xmlFileName), rows, bootRows, ops.ctx.version);
  return saved == ExportResult::kSaved ? OperationResult{Kind::kDone} : OperationResult{Kind::kFileFailed};
}

OperationResult ImportCustomSettingsFile(Operations& ops, const ParsedRequest& request) {
  const ImportResult file = ImportCustomSettings(ops.ctx.console, PathOfFileName(request.xmlFileName));
  if (file.status != ImportStatus::kLoaded) {
    ops.ctx.console.Err("Error: " + Printable(request.xmlFileName) + " could not be loaded: nothing was imported.\n");
    return {Kind::kFileFailed};
  }

  const std::vector<PlannedSetting> plan = PlanSettings(ops, file.settings);
  if (const PlannedSetting* stranding = StrandingSupervisorItem(ops, plan)) {
    ops.ctx.console.Err(StrandingItemMessage(ops, *stranding, request.xmlFileName, "nothing was imported"));
    return {Kind::kBaselineRefused};
  }

  // The result file (Result.txt, or where "/result-file" says) is opened
  // before anything is applied, and the block goes through that open file at
  // the end: a file the run cannot append to stops it here, with the
  // firmware untouched.
  const ResultFileTarget resultFile = ResultFileOf(request, ops.workDir);
  AppendFile result(resultFile.path);
  if (!result.open()) {
    ops.ctx.console.Out(result.openFailed()
                            ? WriteFailureMessage(PathText(resultFile.path), WriteOutcome::kOpenFailed, resultFile.path)
                            : RefusedOutputMessage(resultFile.name, result.refusal()));
    return {Kind::kFileFailed};
  }

  if (ops.record) ops.record->resultFile = resultFile.path;
  ImportLog log;
  std::vector<OperationResult> outcomes;
  if (plan.empty()) {
    // A file without a setting applies nothing, and calls nothing: that is
    // no pass.
    ops.ctx.console.Err("Error: " + Printable(request.xmlFileName) + " holds no Item: nothing was imported.\n");
    log.Fail();
  } else {
    std::optional<std::vector<OperationResult>> oneBlock = ApplyAsOneBlock(ops, request, plan);
    outcomes = oneBlock ? std::move(*oneBlock) : ApplyOneByOne(ops, plan);
    for (size_t i = 0; i < plan.size(); ++i) log.Add(plan[i].name, RuleFor(outcomes[i]));
  }
  if (ops.record) {
    for (size_t i = 0; i < plan.size(); ++i) ops.record->imported.push_back({plan[i].name, outcomes[i]});
    ops.record->verdict = log.Verdict();
  }

  const std::string block = log.Block(MachineLines(ops.session.smbios));
  if (result.Append(std::span(reinterpret_cast<const uint8_t*>(block.data()), block.size())) !=
      WriteOutcome::kWritten) {
    ops.ctx.console.Out(WriteFailureMessage(PathText(resultFile.path), WriteOutcome::kWriteFailed, resultFile.path));
    // The firmware may have changed: a script that reads standard error
    // learns why the import failed all the same.
    ops.ctx.console.Err("Error: " + Printable(resultFile.name) +
                        " could not be written after the import ran: the results of its settings are lost.\n");
    return {Kind::kFileFailed};
  }
  // The verdict as the file now has it, for a script that reads standard
  // output.
  ops.ctx.console.Out(WideToUtf8(VerdictLine(log.Verdict())) + "\n");
  if (log.Verdict() != ImportVerdict::kFail) return {Kind::kDone};
  SayImportFailed(ops.ctx.console, plan, outcomes, resultFile.name);
  return {Kind::kSettingsFailed};
}

OperationResult CheckCustomSettingsFile(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const ImportResult file = ImportCustomSettings(ops.ctx.console, PathOfFileName(request.xmlFileName));
  if (file.status != ImportStatus::kLoaded) {
    ops.ctx.console.Err("Error: " + Printable(request.xmlFileName) + " could not be loaded: nothing was checked.\n");
    return {Kind::kFileFailed};
  }
  // A file without a setting is no configuration to hold a machine to.
  if (file.settings.empty()) {
    ops.ctx.console.Err("Error: " + Printable(request.xmlFileName) + " holds no Item: nothing was checked.\n");
    return {Kind::kFileFailed};
  }
  const std::vector<PlannedSetting> plan = PlanSettings(ops, file.settings);
  if (const PlannedSetting* stranding = StrandingSupervisorItem(ops, plan)) {
    ops.ctx.console.Err(StrandingItemMessage(ops, *stranding, request.xmlFileName, "nothing was checked"));
    return {Kind::kBaselineRefused};
  }
  const MethodOutcome read = GetBiosOptions(ops, request.CurrentPassword(), buffer);
  if (!read.passed()) {
    const OperationResult failed = OperationResult::FromRead(read);
    ops.ctx.console.Err("Error: " + FailureCause(failed) + ": nothing was checked.\n");
    return failed;
  }

  const std::vector<CheckedSetting> checked = CheckSettings(ops, request.CurrentPassword(), plan, buffer);
  size_t same = 0, differ = 0, unsupported = 0, invalid = 0;
  std::string lines;
  for (size_t i = 0; i < plan.size(); ++i) {
    lines += Printable(plan[i].name) + ": ";
    switch (checked[i].state) {
      case CheckedSetting::State::kSame:
        lines += "same";
        if (!checked[i].note.empty()) lines += " (" + checked[i].note + ")";
        ++same;
        break;
      case CheckedSetting::State::kDiffers:
        lines += checked[i].current + " -> " + checked[i].wanted;
        ++differ;
        break;
      case CheckedSetting::State::kLacking:
        lines += "Not support";
        ++unsupported;
        break;
      case CheckedSetting::State::kUnknown:
        lines += UnknownSettingText(plan[i].name);  // a typo: no interface has the name
        ++invalid;
        break;
      case CheckedSetting::State::kInvalid:
        lines += "Invalid Parameter";
        if (!checked[i].current.empty()) lines += " (the firmware lists " + checked[i].current + ")";
        ++invalid;
        break;
    }
    lines += "\n";
  }
  lines += std::to_string(plan.size()) + " settings: " + std::to_string(same) + " same, " + std::to_string(differ) +
           " differ, " + std::to_string(unsupported) + " not supported, " + std::to_string(invalid) + " invalid\n";
  ops.ctx.console.Out(lines);
  if (ops.bitlocker) {
    // What the remediation would change that the start measures.
    MeasuredReasons wouldChange;
    for (size_t i = 0; i < plan.size(); ++i) {
      if (checked[i].state != CheckedSetting::State::kDiffers || !plan[i].request) continue;
      if (const SettingInfo* info = ops.catalog.FindSetting(plan[i].request->itemName)) wouldChange.Add(info->measured);
    }
    ops.bitlocker->Remediation(wouldChange);
  }
  if (ops.record) {
    for (size_t i = 0; i < plan.size(); ++i) ops.record->checked.push_back({plan[i].name, checked[i]});
  }
  return differ == 0 && invalid == 0 ? OperationResult{Kind::kDone} : OperationResult{Kind::kDrift};
}

}  // namespace vort64
