#include "ops/custom_settings.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "ops/file_io.h"
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

// One setting of the file: parsed as a "/set" of the run and executed.
void Replay(Operations& ops, const ImportedSetting& setting, ImportResults& results) {
  const auto writeLine = [&](std::wstring_view name, std::wstring_view word) {
    results.AppendTemp(ResultLineStart(name) + std::wstring(word) + L"\n");
  };
  const std::wstring name = AsciiToLower(setting.name);
  // An Item without a value, or one longer than a "/set" argument, and a
  // value the parser refuses: "Invalid Parameter", and the import fails.
  const auto invalid = [&] {
    writeLine(name, L"Invalid Parameter");
    results.MarkFailed();
  };
  if (setting.problem != ImportProblem::kNone) return invalid();
  ParsedRequest request;
  if (!ops.parseSetting || !ops.parseSetting(setting.name + L"=" + setting.value, request)) {
    // A setting this model does not have: a file from another model still
    // imports.
    if (!ops.catalog.HasSetting(name)) return writeLine(name, L"Not support");
    return invalid();
  }
  std::vector<uint8_t> buffer(kSettingsBufferSize, 0);
  ExecuteOperation(ops, request, buffer);
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
  return saved == ExportResult::kSaved ? OperationResult{Kind::kDone} : OperationResult{Kind::kNothingToShow};
}

OperationResult ImportCustomSettingsFile(Operations& ops, const ParsedRequest& request) {
  const ImportResult file = ImportCustomSettings(ops.ctx.console, PathOfFileName(request.xmlFileName));
  if (file.status != ImportStatus::kLoaded) return {Kind::kNothingToShow};

  ImportResults results;
  if (!results.Open(ops.workDir)) {
    ops.ctx.console.Out("Error: cannot open Result.txt or ResultTemp.txt.\n");
    return {Kind::kNothingToShow};
  }
  Operations replay = ops;
  replay.results = &results;
  for (const ImportedSetting& setting : file.settings) Replay(replay, setting, results);

  const ImportVerdict verdict = results.Verdict();
  results.Compose(MachineLines(ops.session.smbios), ops.ctx.console);
  return verdict == ImportVerdict::kFail ? OperationResult{Kind::kSettingsFailed} : OperationResult{Kind::kDone};
}

}  // namespace vort64
