#include "app/run.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "autotest/driver.h"
#include "autotest/report.h"
#include "base/run_context.h"
#include "buffer/display.h"
#include "catalog/catalog.h"
#include "cli/parser.h"
#include "cli/password_file.h"
#include "wmi/firmware_methods.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

constexpr char kUnsupportedVersionMessage[] = "Not support this BIOS WMI version \n";

// The run's connection to the firmware: opened once, with the SMBIOS tables
// read once, and closed however the run ends.
class Connection {
 public:
  explicit Connection(Firmware& firmware) : firmware_(firmware) {
    // A failed connection or SMBIOS read shows later: as a missing OEM
    // structure, or as failed firmware calls.
    firmware_.Open();
    firmware_.ReadRawSmbiosTable(smbios_);
  }
  ~Connection() { firmware_.Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const RawSmbiosTable& smbios() const { return smbios_; }

 private:
  Firmware& firmware_;
  RawSmbiosTable smbios_;
};

}  // namespace

int ExitCodeFor(const OperationResult& result) { return RuleFor(result).exitCode; }

int ExitCodeFor(AutotestVerdict verdict) { return verdict == AutotestVerdict::kNoFault ? kExitSuccess : kExitFailed; }

bool ShowVersionIfAsked(Console& console, std::span<const std::wstring> args) {
  if (!AsksForVersion(args)) return false;
  console.Out(std::string("vort64 ") + kProgramVersion + "\n");
  return true;
}

int RunProgram(Process& process, std::span<const std::wstring> args) {
  Console& console = process.console;
  const Connection connection(process.firmware);

  const auto version = ReadInterfaceVersion(connection.smbios());
  if (!version) {
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  console.Say("BIOS WMI Version = " + std::to_string(version->major) + "." + std::to_string(version->minor) + "\n");
  if (version->major != 2) {
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  const RunContext ctx{console, *version};

  SettingCatalog catalog;
  BuildSettingCatalog(catalog, version->major, version->minor);

  // "/password-file FILE" stands for "/password PASSWORD": the parse sees
  // the password once, as it would have been typed.
  const auto resolved = ResolvePasswordFile(console, args);
  if (!resolved) return kExitUsage;
  args = *resolved;
  ParsedRequest request;
  if (!ParseCommandLine(ctx, catalog, args.first(EffectiveArgumentCount(args)), request)) return kExitUsage;
  if (request.quietOutput) console.SetQuiet();

  FirmwareSession session{process.firmware, console, version, &connection.smbios()};
  Operations ops{ctx, session, catalog, process.input};
  ops.terminal = process.terminal;
  // The result files and the self-test's report go to the working directory.
  std::error_code ec;
  ops.workDir = std::filesystem::current_path(ec);
  if (ec) ops.workDir = ".";
  // A custom-settings import reads each Item as a "/set" of this run.
  const CommandLineSettings importedSettings(ctx, catalog, request);
  ops.settings = &importedSettings;
  if (request.selfTest) {
    AutotestReport report(console, ops.workDir);
    return ExitCodeFor(RunAutotest(ops, request, report, process.pauseAfterPasswordStep));
  }
  std::vector<uint8_t> settings(kSettingsBufferSize, 0);
  const OperationResult result = ExecuteOperation(ops, request, settings);
  if (result.succeeded()) ShowSettingValue(ctx, catalog, request, settings);
  return ExitCodeFor(result);
}

}  // namespace vort64
