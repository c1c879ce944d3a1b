#include "app/run.h"

// (before the headers whose names its enums would shadow)
#include "base/functions.h"

#include "app/json_output.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "autotest/driver.h"
#include "autotest/report.h"
#include "base/run_context.h"
#include "buffer/display.h"
#include "catalog/catalog.h"
#include "cli/messages.h"
#include "cli/parser.h"
#include "cli/password_file.h"
#include "ops/bitlocker.h"
#include "ops/output_targets.h"
#include "wmi/firmware_methods.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

constexpr char kUnsupportedVersionMessage[] = "Not support this BIOS WMI version \n";

// The run's connection to the firmware: the machine taken from every other
// run first, then opened once, with the SMBIOS tables read once, and closed
// and let go however the run ends.
class Connection {
 public:
  Connection(Firmware& firmware, std::chrono::milliseconds lockLimit)
      : firmware_(firmware), lock_(firmware.LockMachine(lockLimit)) {
    if (lock_ != LockOutcome::kHeld) return;
    // A failed connection or SMBIOS read shows later: as a missing OEM
    // structure, or as failed firmware calls.
    firmware_.Open();
    firmware_.ReadRawSmbiosTable(smbios_);
  }
  ~Connection() {
    if (lock_ != LockOutcome::kHeld) return;
    firmware_.Close();
    firmware_.UnlockMachine();
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  LockOutcome lock() const { return lock_; }
  const RawSmbiosTable& smbios() const { return smbios_; }

 private:
  Firmware& firmware_;
  const LockOutcome lock_;
  RawSmbiosTable smbios_;
};

// "60 seconds", or "250 milliseconds" for a wait of no whole seconds.
std::string Duration(std::chrono::milliseconds wait) {
  if (wait.count() % 1000 == 0) return std::to_string(wait.count() / 1000) + " seconds";
  return std::to_string(wait.count()) + " milliseconds";
}

// Says why the run cannot have the machine; nothing was called.
void SayNotLocked(Console& console, LockOutcome lock, std::chrono::milliseconds limit) {
  if (lock == LockOutcome::kTimedOut) {
    console.Err("Another run of the program kept the firmware busy for " + Duration(limit) + ": nothing was done.\n");
  } else {
    console.Err("The firmware's lock against other runs could not be taken: nothing was done.\n");
  }
}

// What the self-test's report says of the notebook and the run: the
// model and serial number from the SMBIOS tables read when the run
// connected, the program's version, and when the self-test started.
ReportFacts ReportFactsOf(const RawSmbiosTable& smbios, std::chrono::system_clock::time_point started) {
  ReportFacts facts;
  SystemInformation system;
  if (ReadSystemInformation(smbios, system)) {
    facts.model = std::string(system.productName);
    facts.serial = std::string(system.serialNumber);
  }
  facts.program = std::string("vort64 ") + kProgramVersion;
  facts.started = started;
  return facts;
}

}  // namespace

int ExitCodeFor(const OperationResult& result) { return RuleFor(result).exitCode; }

int ExitCodeFor(AutotestVerdict verdict) { return verdict == AutotestVerdict::kNoFault ? kExitSuccess : kExitFailed; }

namespace {

// Answers what needs no firmware on a console already set for JSON or not.
std::optional<int> AnswerFirst(Console& console, std::span<const std::wstring> args, RunFacts& facts) {
  if (AsksForVersion(args)) {
    facts.stage = RunFacts::Stage::kVersionShown;
    console.Out(std::string("vort64 ") + kProgramVersion + "\n");
    return kExitSuccess;
  }
  if (AsksForUsageBeforeFirmware(args)) {
    facts.stage = RunFacts::Stage::kUsageShown;
    ShowUsage(console);
    return kExitUsage;
  }
  return std::nullopt;
}

// "/json": the console sends every message to standard error, and the run's
// answer is the document of what it knows at its end.
int Answer(Console& console, const RunFacts& facts, int exitCode) {
  if (console.json()) console.Document(JsonDocument(facts, exitCode));
  return exitCode;
}

int Run(Process& process, std::span<const std::wstring> args, RunFacts& facts) {
  using Stage = RunFacts::Stage;
  Console& console = process.console;
  if (const auto answered = AnswerFirst(console, args, facts)) return *answered;
  const Connection connection(process.firmware, process.lockLimit);
  if (connection.lock() != LockOutcome::kHeld) {
    facts.stage = Stage::kMachineBusy;
    SayNotLocked(console, connection.lock(), process.lockLimit);
    return kExitFailed;
  }
  SystemInformation system;
  if (ReadSystemInformation(connection.smbios(), system)) {
    facts.model = std::string(system.productName);
    facts.serial = std::string(system.serialNumber);
  }

  const auto version = ReadInterfaceVersion(connection.smbios());
  facts.version = version;
  if (!version) {
    facts.stage = Stage::kNoInterface;
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  console.Say("BIOS WMI Version = " + std::to_string(version->major) + "." + std::to_string(version->minor) + "\n");
  if (!version->Supported()) {
    facts.stage = Stage::kNoInterface;
    console.Say(kUnsupportedVersionMessage);
    return kExitUnsupported;
  }
  const RunContext ctx{console, *version};

  SettingCatalog& catalog = facts.catalog;
  BuildSettingCatalog(catalog, version->major, version->minor);

  // "/password-file FILE" stands for "/password PASSWORD": the parse sees
  // the password once, as it would have been typed.
  // Its lines after the first are earlier passwords, tried in turn when the
  // firmware refuses the first.
  facts.stage = Stage::kCommandRefused;
  EarlierPasswords earlier;
  const auto resolved = ResolvePasswordFile(console, args, &earlier);
  if (!resolved) return kExitUsage;
  args = *resolved;
  ParsedRequest& request = facts.request.emplace();
  if (!ParseCommandLine(ctx, catalog, args.first(EffectiveArgumentCount(args)), request)) {
    if (AsksForUsage(args)) facts.stage = Stage::kUsageShown;
    return kExitUsage;
  }
  auto earlierFields = EarlierPasswordFields(ctx, earlier);
  if (!earlierFields) return kExitUsage;
  if (request.quietOutput) console.SetQuiet();

  FirmwareSession session{process.firmware, version, &connection.smbios()};
  session.passwords.own = std::string(request.CurrentPassword());
  session.passwords.earlier = std::move(*earlierFields);
  session.passwords.file = earlier.file;
  Operations ops{ctx, session, catalog, process.input};
  ops.terminal = process.terminal;
  if (console.json()) ops.record = &facts.record;
  // The result files and the self-test's report go to the working directory.
  std::error_code ec;
  ops.workDir = std::filesystem::current_path(ec);
  if (ec) ops.workDir = ".";
  // Every function that writes settings, and the check, watch the settings
  // the start measures against the system drive's BitLocker protection.
  BitLockerGuard bitlocker(console, process.drive, request.suspendBitLocker);
  const bool writes = WritesSettings(request.function) && !request.selfTest;
  if (writes || request.function == Function::kCheckCustomSettings) ops.bitlocker = &bitlocker;
  // A custom-settings import reads each Item as a "/set" of this run.
  const CommandLineSettings importedSettings(ctx, catalog, request);
  ops.settings = &importedSettings;
  if (request.selfTest) {
    if (!OutsideFirmwareState(console, process.firmware, kAutotestReportFile, ops.workDir / kAutotestReportFile)) {
      facts.stage = Stage::kOutputRefused;
      return kExitFailed;
    }
    AutotestReport report(console, ops.workDir, ReportFactsOf(connection.smbios(), process.now()));
    if (!report.usable()) {
      facts.stage = Stage::kOutputRefused;
      return kExitFailed;
    }
    facts.stage = Stage::kFunctionRan;
    const AutotestVerdict verdict = RunAutotest(ops, request, report, process.pauseAfterPasswordStep);
    facts.selfTest = verdict;
    facts.report = report.path();
    facts.reportWritten = report.written();
    // A report that did not reach its file fails the run.
    return report.written() ? ExitCodeFor(verdict) : kExitFailed;
  }
  // A file the function will write that cannot be written is refused before
  // the firmware is called.
  if (!OutputsWritable(ops, request)) {
    facts.stage = Stage::kOutputRefused;
    return kExitFailed;
  }
  facts.stage = Stage::kFunctionRan;
  std::vector<uint8_t>& settings = facts.block;
  settings.assign(kSettingsBufferSize, 0);
  OperationResult result = ExecuteOperation(ops, request, settings);
  if (writes && !bitlocker.Finish() && result.succeeded()) result = {OperationResult::Kind::kNotResumed};
  facts.bitlocker = bitlocker.record();
  facts.result = result;
  // The import and the raw import say their causes themselves.
  const bool saysOwnCause =
      request.function == Function::kImportCustomSettings || request.function == Function::kImportRawSettings;
  if ((result.kind == OperationResult::Kind::kNotSuspended && !saysOwnCause) ||
      result.kind == OperationResult::Kind::kNotResumed) {
    console.Err("Error: " + FailureCause(result) + ".\n");
  }
  if (result.succeeded()) ctx.console.Write(ShowSettingValue(ctx.version, catalog, request, settings));
  return ExitCodeFor(result);
}

}  // namespace

std::optional<int> AnswerWithoutFirmware(Console& console, std::span<const std::wstring> args) {
  const JsonSwitch json = TakeJsonSwitch(args);
  if (json.given) console.SetJson();
  RunFacts facts;
  const auto answered = AnswerFirst(console, json.args, facts);
  if (!answered) return std::nullopt;
  return Answer(console, facts, *answered);
}

int RefuseArgumentNotUtf8(Console& console, std::span<const std::wstring> args, size_t position) {
  const JsonSwitch json = TakeJsonSwitch(args);
  if (json.given) console.SetJson();
  RunFacts facts;
  facts.stage = RunFacts::Stage::kCommandRefused;
  console.Err("Argument " + std::to_string(position) + " is not valid UTF-8: nothing was done.\n");
  return Answer(console, facts, kExitUsage);
}

int RunProgram(Process& process, std::span<const std::wstring> args) {
  const JsonSwitch json = TakeJsonSwitch(args);
  if (json.given) process.console.SetJson();
  RunFacts facts;
  const int exitCode = Run(process, json.args, facts);
  return Answer(process.console, facts, exitCode);
}

}  // namespace vort64
