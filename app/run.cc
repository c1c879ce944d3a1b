#include "app/run.h"

#include <filesystem>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "catalog/catalog.h"
#include "cli/parser.h"
#include "buffer/display.h"
#include "ops/executor.h"
#include "wmi/firmware_methods.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

constexpr char kUnsupportedVersionMessage[] = "Not support this BIOS WMI version \n";

// Closes the firmware connection however the run ends.
class OpenConnection {
 public:
  explicit OpenConnection(Firmware& firmware) : firmware_(firmware) { firmware_.Open(); }
  ~OpenConnection() { firmware_.Close(); }
  OpenConnection(const OpenConnection&) = delete;
  OpenConnection& operator=(const OpenConnection&) = delete;

 private:
  Firmware& firmware_;
};

}  // namespace

int RunProgram(Process& process, std::span<const std::wstring> args) {
  Console& console = process.console;
  const std::unique_ptr<Firmware> firmware = process.openFirmware();
  RunContext ctx(console, *firmware);
  ctx.results = &process.results;
  ctx.savedArguments.assign(args.begin(), args.end());

  // A failed connection or SMBIOS read shows later: as a missing OEM
  // structure here, or as failed firmware calls.
  const OpenConnection connection(*firmware);
  RawSmbiosTable smbios;
  firmware->ReadRawSmbiosTable(smbios);

  const auto version = ReadInterfaceVersion(smbios);
  if (!version) {
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  console.Say("BIOS WMI Version = " + std::to_string(version->major) + "." + std::to_string(version->minor) +
              "\n");
  if (version->major != 2) {
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  ctx.AcceptVersion(version->minor);

  SettingCatalog catalog;
  BuildSettingCatalog(catalog, ctx.version.major, ctx.version.minor);

  ParsedRequest request;
  if (!ParseCommandLine(ctx, catalog, args.first(EffectiveArgumentCount(args)), request)) return kExitUsage;
  if (request.openResultFiles && !process.results.IsOpen()) {
    process.results.Open(std::filesystem::current_path());
  }

  std::vector<uint8_t> settings(kSettingsBufferSize, 0);
  if (request.itemName == L"autotest") {
    console.Err("This build cannot run the self-test yet.\n");
    return kExitFailed;
  }
  const int32_t result = ExecuteOperation(ctx, catalog, request, settings, process.input);
  if (!Passed(result)) return kExitFailed;
  ShowSettingValue(ctx, catalog, request, settings);
  return kExitSuccess;
}

}  // namespace vort64
