// Carries out the function the command line asked for, on the one open
// connection of the run.
#ifndef VORT64_OPS_EXECUTOR_H_
#define VORT64_OPS_EXECUTOR_H_

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/setting_parser.h"
#include "base/terminal.h"
#include "catalog/catalog.h"
#include "ops/outcome.h"
#include "wmi/firmware_methods.h"

namespace vort64 {

struct RunRecord;
class BitLockerGuard;

// What the executor works with: the run's context, its open firmware
// session and catalog, the input that answers the self-test's password
// prompt, and the command line's reading of one setting, through which the
// custom-settings import applies each Item of its file.
struct Operations {
  const RunContext& ctx;
  FirmwareSession& session;
  const SettingCatalog& catalog;
  std::istream& input;
  const SettingParser* settings = nullptr;
  // The terminal behind `input`, if any: the password prompt reads with its
  // echo off.
  TerminalEcho* terminal = nullptr;
  // Where the import's Result.txt goes: the working directory of the run.
  std::filesystem::path workDir = ".";
  // Where the functions keep what they found for the JSON answer, if the
  // run asks for one.
  RunRecord* record = nullptr;
  // What guards the system drive's BitLocker protection against the writes of
  // settings measured at start, if the run has it (every function that writes
  // settings, and the check).
  BitLockerGuard* bitlocker = nullptr;
};

// Runs the request's function on `buffer` (2048 zeroed bytes).
OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

// What a /set on a block read before did: its result, and the outcome of
// the read after the write when one was made (it filled `readBack`).
struct SetOutcome {
  OperationResult result;
  std::optional<MethodOutcome> readBack;
};

// A /set of the request's setting on `block`, which a GetBiosOptions has
// just filled: as the function /set after its read (the value shown, placed,
// the block sent once, read back once into `readBack` and compared), so a
// caller that holds a fresh block saves the read. `readBack` is 2048 bytes.
SetOutcome SetOnReadBlock(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block,
                          std::span<uint8_t> readBack);

}  // namespace vort64

#endif  // VORT64_OPS_EXECUTOR_H_
