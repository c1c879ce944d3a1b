#include "ops/executor.h"

#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "base/import_results.h"
#include "buffer/assign.h"
#include "buffer/display.h"
#include "wmi/firmware_methods.h"

namespace vort64 {
namespace {


// The import's per-setting line in ResultTemp.txt: "name:", tabs, the word.
// The file is open only while custom settings are imported.
void BeginResultLine(RunContext& ctx, const ParsedRequest& request) {
  if (!ctx.console.quiet() || !ctx.results) return;
  ctx.results->AppendTemp(request.itemName + L":" + std::wstring(ResultLineTabs(request.itemName.size()), L'\t'));
}

void WriteResultLine(RunContext& ctx, const ParsedRequest& request, std::wstring_view word) {
  if (!ctx.console.quiet() || !ctx.results) return;
  BeginResultLine(ctx, request);
  ctx.results->AppendTemp(std::wstring(word) + L"\n");
}

void ClearMarks(RunContext& ctx) {
  if (!ctx.results) return;
  ctx.results->overallPass = false;
  ctx.results->rebootRequired = false;
}

struct Position {
  uint32_t offset;
  uint32_t end;
};

// Shared by the set and set-default paths: show the current value, refuse a
// setting the firmware does not support, place the value. Returns
// kNothingToShow when the path ends here, 0 to go on.
int32_t ShowAndAssign(RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                      std::span<uint8_t> buffer, Position at, std::istream& input) {
  if (ShowSettingValue(ctx, catalog, request, buffer) == 1) {
    if (ctx.console.quiet()) {
      WriteResultLine(ctx, request, L"Not support");
    } else {
      ctx.console.Out("Skip Set BIOS options because not support\n");
    }
    return kNothingToShow;
  }
  // The self-test replays its password steps with "autotest" as the item text.
  const bool selfTest = !request.formPassword && request.itemText == L"autotest";
  if (AssignSettingValue(ctx, request, buffer, at.offset, at.end, selfTest, input) == 0) {
    WriteResultLine(ctx, request, L"Pass");
    return kNothingToShow;
  }
  return 0;
}

int32_t SetPath(RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                std::span<uint8_t> buffer, Position at, std::istream& input) {
  const std::string_view password = OptionsPassword(ctx, request);
  const int32_t read = GetBiosOptions(ctx, password, buffer);
  if (!Passed(read)) {
    if (read == kFirmwareIncorrectPassword || read == kFirmwareRetryExceeded) {
      if (ctx.console.quiet()) {
        WriteResultLine(ctx, request,
                        read == kFirmwareIncorrectPassword ? L"Incorrect password" : L"Password retry count exceeded");
        ClearMarks(ctx);
      }
    }
    return read;
  }
  if (const int32_t stop = ShowAndAssign(ctx, catalog, request, buffer, at, input)) return stop;

  BeginResultLine(ctx, request);  // SetBiosOptions completes it with its word
  const int32_t written = SetBiosOptions(ctx, password, buffer);
  if (!Passed(written)) {
    ClearMarks(ctx);
    return written;
  }
  if (written == kFirmwareRebootRequired && ctx.console.quiet() && ctx.results) ctx.results->rebootRequired = true;
  if (request.itemName == L"clear tpm") return written;

  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  const int32_t reread = GetBiosOptions(ctx, password, readBack);
  if (!Passed(reread)) return reread;
  return CompareWrittenSetting(ctx, request, buffer, readBack, at.offset, at.end);
}

int32_t SetDefaultPath(RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                       std::span<uint8_t> buffer, Position at, std::istream& input) {
  const std::string_view password = DefaultsPassword(request);
  const int32_t read = GetBiosDefaultOptions(ctx, password, buffer);
  if (!Passed(read)) return read;
  if (const int32_t stop = ShowAndAssign(ctx, catalog, request, buffer, at, input)) return stop;

  BeginResultLine(ctx, request);  // no result word follows: the line stays open
  const int32_t written = SetBiosDefaultOptions(ctx, password, buffer);
  if (!Passed(written)) return written;

  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  const int32_t reread = GetBiosDefaultOptions(ctx, password, readBack);
  if (!Passed(reread)) return reread;
  return CompareWrittenSetting(ctx, request, buffer, readBack, at.offset, at.end);
}

std::string_view Field(const auto& field) {
  return std::string_view(field.data(), field.size());
}

}  // namespace

std::string_view OptionsPassword(const RunContext& ctx, const ParsedRequest& request) {
  return ctx.version.AtLeast(56) ? Field(request.currentPassword) : Field(request.currentPasswordShort);
}

std::string_view DefaultsPassword(const ParsedRequest& request) { return Field(request.currentPassword); }

size_t ResultLineTabs(size_t nameLength) {
  if (nameLength > 31) return 1;  // 40 - L < 9
  return (31 - nameLength + 7) / 8 + 1;
}

int32_t ExecuteOperation(RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<uint8_t> buffer, std::istream& input) {
  const uint32_t offset = catalog.GetSettingOffset(request.itemName);
  const Position at = {offset, offset + catalog.GetSettingSize(request.itemName)};
  const std::wstring& function = request.functionName;
  if (function == L"get") return GetBiosOptions(ctx, OptionsPassword(ctx, request), buffer);
  if (function == L"set") return SetPath(ctx, catalog, request, buffer, at, input);
  if (function == L"get-default") return GetBiosDefaultOptions(ctx, DefaultsPassword(request), buffer);
  if (function == L"set-default") return SetDefaultPath(ctx, catalog, request, buffer, at, input);
  if (function == L"load-factory-default") return LoadBIOSDefault(ctx, DefaultsPassword(request));
  if (function == L"load-user-default") return LoadUserDefault(ctx, DefaultsPassword(request));
  if (function == L"password") return 1;
  if (function == L"export-raw-settings" || function == L"import-raw-settings" ||
      function == L"export-custom-settings" || function == L"import-custom-settings") {
    ctx.console.Err("This build cannot " + WideToUtf8(function) + " yet.\n");
    return kNothingToShow;
  }
  return kNothingToShow;
}

}  // namespace vort64
