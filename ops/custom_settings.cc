#include "ops/custom_settings.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "ops/file_io.h"
#include "ops/result_files.h"
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

std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// One setting of the file, read as the same "/set" would read it and, when
// that gives a request, executed on the run's connection.
OperationResult Apply(Operations& ops, const ImportedSetting& setting) {
  // An Item without a value, or one longer than a "/set" argument.
  if (setting.problem != ImportProblem::kNone || !ops.settings) return {Kind::kValueRefused};
  const ParsedSetting parsed = ops.settings->Parse(setting.name, setting.value);
  switch (parsed.kind) {
    case ParsedSetting::Kind::kRequest: break;
    // A setting this model does not have: a file from another model still
    // imports.
    case ParsedSetting::Kind::kUnknownName: return {Kind::kAbsent};
    case ParsedSetting::Kind::kRefused:
      // What an export writes for a setting its machine does not support.
      if (parsed.refusal == ParsedSetting::Refusal::kNotSupportedMark) return {Kind::kUnsupported};
      return {Kind::kValueRefused};
  }
  std::vector<uint8_t> buffer(kSettingsBufferSize, 0);
  return ExecuteOperation(ops, parsed.request, buffer);
}

}  // namespace

OperationResult ExportCustomSettingsFile(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const MethodOutcome read = GetBiosOptions(ops.session, OptionsPassword(ops.ctx.version, request), buffer);
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
  if (file.status != ImportStatus::kLoaded) return {Kind::kFileFailed};

  ImportLog log;
  // A file without a setting applies nothing: that is no pass.
  if (file.settings.empty()) {
    ops.ctx.console.Err("Error: " + request.xmlFileName + " holds no Item: nothing was imported.\n");
    log.Fail();
  }
  for (const ImportedSetting& setting : file.settings)
    log.Add(AsciiToLower(setting.name), RuleFor(Apply(ops, setting)));

  const std::string block = log.Block(MachineLines(ops.session.smbios));
  const std::filesystem::path resultFile = ops.workDir / kResultFile;
  const WriteOutcome written =
      AppendWholeFile(resultFile, std::span(reinterpret_cast<const uint8_t*>(block.data()), block.size()));
  if (written != WriteOutcome::kWritten) {
    ops.ctx.console.Err("Error: the results could not be written to " + Utf8Text(resultFile) + ".\n");
    return {Kind::kFileFailed};
  }
  return log.Verdict() == ImportVerdict::kFail ? OperationResult{Kind::kSettingsFailed} : OperationResult{Kind::kDone};
}

}  // namespace vort64
