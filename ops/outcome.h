// How a function or one setting of it ended, and the one table that says
// what each outcome means to every output: the word an import writes in
// Result.txt, its effect on the import's overall verdict, the exit code of
// the function run alone, and the self-test's step colour and verdict.
// Nothing else decides those.
#ifndef VORT64_OPS_OUTCOME_H_
#define VORT64_OPS_OUTCOME_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "wmi/firmware_methods.h"

namespace vort64 {

// The program's exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDrift = 1;  // a check found the machine other than its file
inline constexpr int kExitUsage = 101;
inline constexpr int kExitFailed = 103;
inline constexpr int kExitUnsupported = 104;

struct OperationResult {
  enum class Kind {
    kDone,             // it ran; a setting was written and read back the same (firmwareCode 0, or 8: reboot required)
    kUnsupported,      // the firmware marks the setting not supported (255): nothing written
    kAbsent,           // this model has no setting of that name: nothing written
    kPasswordKept,     // the new password "DoNotChange": nothing to write
    kValueRefused,     // the value cannot be placed (refused by the parser, the field or the prompt)
    kValueUnlisted,    // the firmware does not list the value, and the machine holds it neither now nor as default
    kReadFailed,       // reading the block before or after a write failed (firmwareCode, executed)
    kFirmwareRefused,  // any other firmware method answered a failing code or did not execute
    kNotTheSame,       // the setting read back differs from what was written
    kFileFailed,       // a file of the function could not be read or written
    kNothingRan,       // nothing ran: the bare password check, or no function asked for
    kSettingsFailed,   // an import applied its file, and a setting of it failed
    kDrift,            // a check found a setting that differs from its file, or one it cannot read
    kBaselineRefused,  // a file's supervisor password Item is not the password file's first line: nothing ran
    kNotSuspended,     // a setting measured at start, not written: with /suspend-bitlocker the system drive's
                       // protection could not be known or suspended
    kNotResumed,       // the function ran, but the protection it suspended and did not need could not be resumed
  };
  Kind kind = Kind::kDone;
  int32_t firmwareCode = 0;  // kDone, kReadFailed, kFirmwareRefused: the method's ReturnCode
  bool executed = true;      // kReadFailed, kFirmwareRefused: false when the call did not execute
  bool blockSent = false;    // a block went to the firmware (it may have refused it)
  // kReadFailed, kFirmwareRefused: the call was not sent, and why (the count
  // of refused password calls since the machine started).
  MethodOutcome::Withheld withheld = MethodOutcome::Withheld::kNo;

  // A firmware method's outcome as the function's: kDone or kFirmwareRefused.
  static OperationResult From(const MethodOutcome& m) {
    return {m.passed() ? Kind::kDone : Kind::kFirmwareRefused, m.code, m.executed, false, m.withheld};
  }
  // A read of the block that the set paths depend on: kDone or kReadFailed.
  static OperationResult FromRead(const MethodOutcome& m) {
    return {m.passed() ? Kind::kDone : Kind::kReadFailed, m.code, m.executed, false, m.withheld};
  }
  OperationResult Sent() const {
    OperationResult sent = *this;
    sent.blockSent = true;
    return sent;
  }
  bool succeeded() const { return kind == Kind::kDone; }
  bool rebootRequired() const { return kind == Kind::kDone && firmwareCode == kFirmwareRebootRequired; }
};

// What an outcome does to an import's overall verdict.
enum class VerdictEffect {
  kKeeps,           // the verdict stays as it is
  kRebootRequired,  // passed, and asks for a reboot
  kFails,           // the verdict is "Fail" whatever follows
};

// What a self-test step found, and so the colour of its line.
enum class StepVerdict {
  kPassed,   // blue "[Success] ..."
  kSkipped,  // orange "[Skip][Compare]": a setting this version lacks or the firmware does not support
  kFailed,   // red "[Fail] [Compare]": a fault; the item counts as failed and the self-test exits with 103
};

struct OutcomeRule {
  std::wstring_view resultWord;  // the word after "name:" in Result.txt
  VerdictEffect verdict;
  int exitCode;
  StepVerdict step;
  std::string_view name;  // the outcome's name in the JSON output: "done", "read failed", ...
};

// The rule of an outcome. For the firmware kinds the word and the colour
// follow the firmware's code.
OutcomeRule RuleFor(const OperationResult& result);

// Why an outcome failed, as a line on standard error says it: "the firmware
// refused the password (code 2)", "the firmware's read failed with code 3",
// ... Never a password. Empty for an outcome that did not fail.
std::string FailureCause(const OperationResult& result);

}  // namespace vort64

#endif  // VORT64_OPS_OUTCOME_H_
