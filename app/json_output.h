// The answer of a run given "/json": one JSON document on standard output,
// built from what the run holds at its end (the function's result, the block
// it read, what the operations recorded), never from printed text. Every
// function's document is built here, and only here; the schema it follows is
// schema/vort64-output.schema.json.
#ifndef VORT64_APP_JSON_OUTPUT_H_
#define VORT64_APP_JSON_OUTPUT_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "autotest/driver.h"
#include "base/interface_version.h"
#include "base/parsed_request.h"
#include "catalog/catalog.h"
#include "ops/bitlocker.h"
#include "ops/outcome.h"
#include "ops/run_record.h"

namespace vort64 {

// What a run knows at its end, as far as it got.
struct RunFacts {
  // How far the run got, when it ended before a function ran.
  enum class Stage {
    kVersionShown,    // "--version" was answered
    kUsageShown,      // the usage was asked for (before the firmware, or "/?" and "/h" after the version line)
    kMachineBusy,     // another run kept the machine (or its lock failed)
    kNoInterface,     // no interface version, or not one of major 2
    kCommandRefused,  // the command line (or the password file) was refused
    kFunctionRan,     // the function (or the self-test) ran: see `result`
    kOutputRefused,   // a file the function would write cannot be written
  };
  Stage stage = Stage::kFunctionRan;
  std::optional<InterfaceVersion> version;
  std::optional<std::string> model;
  std::optional<std::string> serial;
  SettingCatalog catalog;
  std::optional<ParsedRequest> request;
  std::vector<uint8_t> block;  // what the function left in its block
  std::optional<OperationResult> result;
  // The self-test: its verdict, its report and whether the report was written.
  std::optional<AutotestVerdict> selfTest;
  std::filesystem::path report;
  bool reportWritten = false;
  RunRecord record;
  // What the run did about the system drive's BitLocker protection.
  BitLockerRecord bitlocker;
};

// The document, UTF-8, with a line break at its end.
std::string JsonDocument(const RunFacts& facts, int exitCode);

}  // namespace vort64

#endif  // VORT64_APP_JSON_OUTPUT_H_
