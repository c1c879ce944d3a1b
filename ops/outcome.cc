#include "ops/outcome.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

constexpr std::wstring_view kPass = L"Pass";
constexpr std::wstring_view kFail = L"Fail";
constexpr std::wstring_view kNotSupport = L"Not support";
constexpr std::wstring_view kInvalidParameter = L"Invalid Parameter";
constexpr std::wstring_view kIncorrectPassword = L"Incorrect password";
constexpr std::wstring_view kRetryExceeded = L"Password retry count exceeded";

// The word of a write the firmware refused: its code's word, "Fail" for a
// code that has none and for a call that did not execute.
std::wstring_view RefusedWord(const OperationResult& r) {
  if (!r.executed) return kFail;
  switch (r.firmwareCode) {
    case kFirmwareNotSupported: return kNotSupport;
    case kFirmwareIncorrectPassword: return kIncorrectPassword;
    case kFirmwareInvalidParameter: return kInvalidParameter;
    case kFirmwareRetryExceeded: return kRetryExceeded;
    case kFirmwareIncompatibleData: return L"Incompatible Data Structure. BIOS Setup Data is unexpected";
    case kFirmwareDfciControlled: return L"Control method not support, DFCI is controlling";
    default: return kFail;
  }
}

// A failed read has a word of its own only for a password the firmware
// refused.
std::wstring_view ReadFailedWord(const OperationResult& r) {
  if (r.executed && r.firmwareCode == kFirmwareIncorrectPassword) return kIncorrectPassword;
  if (r.executed && r.firmwareCode == kFirmwareRetryExceeded) return kRetryExceeded;
  return kFail;
}

// The name of a firmware outcome whose call was not sent: why.
std::string_view WithheldName(const OperationResult& r, std::string_view sent) {
  switch (r.withheld) {
    case MethodOutcome::Withheld::kNo: break;
    case MethodOutcome::Withheld::kLockoutAvoided: return "lockout avoided";
    case MethodOutcome::Withheld::kCountUnusable: return "refusal count unusable";
  }
  return sent;
}

}  // namespace

OutcomeRule RuleFor(const OperationResult& r) {
  switch (r.kind) {
    case Kind::kDone:
      if (r.rebootRequired()) {
        return {L"Pass and reboot required to make function works", VerdictEffect::kRebootRequired, kExitSuccess,
                StepVerdict::kPassed, "reboot required"};
      }
      return {kPass, VerdictEffect::kKeeps, kExitSuccess, StepVerdict::kPassed, "done"};
    // Nothing written, and nothing wrong: a file from another model, or a
    // setting this machine lacks, still imports.
    case Kind::kUnsupported:
      return {kNotSupport, VerdictEffect::kKeeps, kExitFailed, StepVerdict::kSkipped, "not supported"};
    case Kind::kAbsent: return {kNotSupport, VerdictEffect::kKeeps, kExitFailed, StepVerdict::kSkipped, "absent"};
    case Kind::kPasswordKept:
      return {kPass, VerdictEffect::kKeeps, kExitFailed, StepVerdict::kSkipped, "password kept"};
    // Whatever fails an import's verdict is a fault of the self-test: a red line.
    case Kind::kValueRefused:
      return {kInvalidParameter, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "value refused"};
    case Kind::kValueUnlisted:
      return {kInvalidParameter, VerdictEffect::kFails, kExitUsage, StepVerdict::kFailed, "value unlisted"};
    case Kind::kReadFailed:
      return {ReadFailedWord(r), VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed,
              WithheldName(r, "read failed")};
    case Kind::kFirmwareRefused:
      return {RefusedWord(r), VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed,
              WithheldName(r, "firmware refused")};
    case Kind::kBaselineRefused:
      return {kFail, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "baseline refused"};
    case Kind::kDrift: return {kFail, VerdictEffect::kFails, kExitDrift, StepVerdict::kFailed, "drift"};
    case Kind::kNotTheSame: return {kFail, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "not the same"};
    case Kind::kFileFailed: return {kFail, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "file failed"};
    case Kind::kNothingRan: return {kFail, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "nothing ran"};
    case Kind::kNotSuspended:
      return {L"BitLocker not suspended", VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "not suspended"};
    case Kind::kNotResumed:
      return {L"BitLocker not resumed", VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "not resumed"};
    case Kind::kSettingsFailed: break;
  }
  return {kFail, VerdictEffect::kFails, kExitFailed, StepVerdict::kFailed, "settings failed"};
}

std::string FailureCause(const OperationResult& r) {
  switch (r.kind) {
    case Kind::kReadFailed:
    case Kind::kFirmwareRefused:
      if (r.withheld == MethodOutcome::Withheld::kLockoutAvoided) {
        return "no password was sent: two were refused since the notebook started, and a third would lock the "
               "firmware";
      }
      if (r.withheld == MethodOutcome::Withheld::kCountUnusable) {
        return "no password was sent: the count of refused password calls cannot be read or written";
      }
      if (!r.executed) return "the firmware's method could not be executed";
      if (r.firmwareCode == kFirmwareIncorrectPassword) return "the firmware refused the password (code 2)";
      if (r.firmwareCode == kFirmwareRetryExceeded) {
        return "the firmware's password retry count is exceeded (code 7): it takes no password now";
      }
      return std::string(r.kind == Kind::kReadFailed ? "the firmware's read failed" : "the firmware refused the call") +
             " with code " + std::to_string(r.firmwareCode);
    case Kind::kNotTheSame: return "a setting read back other than it was written";
    case Kind::kValueRefused: return "a value was refused";
    case Kind::kValueUnlisted: return "a value the firmware does not list was refused";
    case Kind::kUnsupported:
    case Kind::kAbsent: return "the setting is not supported";
    case Kind::kFileFailed: return "the file could not be used";
    case Kind::kSettingsFailed: return "a setting failed";
    case Kind::kDrift: return "a setting differs";
    case Kind::kBaselineRefused: return "the file's supervisor password is not the password file's first line";
    case Kind::kNotResumed:
      return "the system drive's BitLocker protection, suspended for a change that did not happen, could not be "
             "resumed: it stays suspended until the next restart";
    case Kind::kNotSuspended:
      return "the system drive's BitLocker protection could not be known or suspended: no setting measured at start "
             "was written";
    case Kind::kDone:
    case Kind::kPasswordKept:
    case Kind::kNothingRan: break;
  }
  return "";
}

}  // namespace vort64
