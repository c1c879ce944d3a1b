// Carries out the function the command line asked for, on the one open
// connection of the run.
#ifndef VORT64_OPS_EXECUTOR_H_
#define VORT64_OPS_EXECUTOR_H_

#include <cstdint>
#include <filesystem>
#include <istream>
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
};

// Runs the request's function on `buffer` (2048 zeroed bytes).
OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

}  // namespace vort64

#endif  // VORT64_OPS_EXECUTOR_H_
