// Carries out the function the command line asked for, on the one open
// connection of the run.
#ifndef VORT64_OPS_EXECUTOR_H_
#define VORT64_OPS_EXECUTOR_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <span>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/terminal.h"
#include "catalog/catalog.h"
#include "ops/result_files.h"
#include "wmi/firmware_methods.h"

namespace vort64 {

// What the executor works with: the run's context, its open firmware
// session and catalog, the input that answers the self-test's password
// prompt, and the result files while custom settings are imported.
struct Operations {
  const RunContext& ctx;
  FirmwareSession& session;
  const SettingCatalog& catalog;
  std::istream& input;
  ImportResults* results = nullptr;
  // The terminal behind `input`, if any: the password prompt reads with its
  // echo off.
  TerminalEcho* terminal = nullptr;
  // Turns "name=value" into the request of a "/set" with the run's password,
  // as the command line would; false (messages withheld while quiet) when
  // the parser refuses it. The custom-settings import replays each setting
  // through it.
  std::function<bool(std::wstring_view setting, ParsedRequest& out)> parseSetting = nullptr;
  // Where the import's Result.txt and ResultTemp.txt go: the working
  // directory of the run.
  std::filesystem::path workDir = ".";
};

// How a function ended.
struct OperationResult {
  enum class Kind {
    kDone,            // it ran: firmware code 0, or 8 (reboot required); the setting may be shown
    kFirmwareFailed,  // a firmware method answered a failing code or did not execute
    kMismatch,        // the setting read back differs from what was written
    kNothingToShow,   // not supported, nothing placed, a file operation
    kPasswordOnly,    // the bare password check: nothing ran
    kSettingsFailed,  // an import applied its file, and a setting of it failed
  };
  Kind kind = Kind::kDone;
  int32_t firmwareCode = 0;  // kDone and kFirmwareFailed: the method's ReturnCode (1: not executed)
  bool blockSent = false;    // a block went to the firmware (it may have refused it)

  static OperationResult From(const MethodOutcome& m) {
    return {m.passed() ? Kind::kDone : Kind::kFirmwareFailed, m.code};
  }
  OperationResult Sent() const {
    OperationResult sent = *this;
    sent.blockSent = true;
    return sent;
  }
  bool succeeded() const { return kind == Kind::kDone; }
  // The result as one code: the firmware's for kDone and kFirmwareFailed,
  // 1 for a mismatch or the bare password check, 999 for nothing to show.
  int32_t Code() const {
    switch (kind) {
      case Kind::kDone:
      case Kind::kFirmwareFailed: return firmwareCode;
      case Kind::kMismatch:
      case Kind::kPasswordOnly:
      case Kind::kSettingsFailed: return 1;
      case Kind::kNothingToShow: return kNothingToShowCode;
    }
    return kNothingToShowCode;
  }
  static constexpr int32_t kNothingToShowCode = 999;
};

// Runs the request's function on `buffer` (2048 zeroed bytes).
OperationResult ExecuteOperation(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

// The password GetBiosOptions and SetBiosOptions are called with:
// `currentPassword` from interface 2.56 on, `currentPasswordShort` before.
std::string_view OptionsPassword(const InterfaceVersion& version, const ParsedRequest& request);
// The password of the other four methods: always `currentPassword`.
std::string_view DefaultsPassword(const ParsedRequest& request);

}  // namespace vort64

#endif  // VORT64_OPS_EXECUTOR_H_
