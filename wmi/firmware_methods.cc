#include "wmi/firmware_methods.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "base/text.h"

namespace vort64 {
namespace {

constexpr size_t kMaxPath = 260;  // wide characters, terminator included

// What one operation says for each return code.
struct Operation {
  const wchar_t* className = nullptr;
  const wchar_t* method = nullptr;
  const wchar_t* query = nullptr;
  const char* success = nullptr;           // code 0
  const char* rebootRequired = nullptr;    // code 8; null when the code is not known
  const char* invalidParameter = nullptr;  // code 3
  const char* noUserDefault = nullptr;     // code 4; null when not known
  const char* noSupervisor = nullptr;      // code 5; null when not known
  bool knowsDataCodes = false;             // codes 209 and 210
  bool silentWhenUnknown = false;          // says nothing for a code it does not know
  const char* notExecuted = nullptr;       // the method could not be executed
  bool notExecutedWhenQuiet = false;       // said even while quiet
};

constexpr char kGetSetInvalid[] = "Error: Invalid Parameter.\n";
constexpr char kLoadInvalid[] = "Error: Incorrect parameters.\n";

constexpr Operation kGetBiosOptions = {
    .className = kConfigurationClass,
    .method = kGetBiosOptionsMethod,
    .query = kConfigurationQuery,
    .success = "Get BIOS options success.\n",
    .rebootRequired = "Get BIOS options success and reboot required to make function works.\n",
    .invalidParameter = kGetSetInvalid,
    .knowsDataCodes = true,
    .notExecuted = "Error: WMI method execution failed. ",
};
constexpr Operation kSetBiosOptions = {
    .className = kConfigurationClass,
    .method = kSetBiosOptionsMethod,
    .query = kConfigurationQuery,
    .success = "Set BIOS options Success.\n",
    .rebootRequired = "Set BIOS options success and reboot required to make function works.\n",
    .invalidParameter = kGetSetInvalid,
    .knowsDataCodes = true,
    .silentWhenUnknown = true,
    .notExecuted = "Error: WMI method execution failed.",
};
constexpr Operation kGetBiosDefaultOptions = {
    .className = kConfigurationClass,
    .method = kGetBiosDefaultOptionsMethod,
    .query = kConfigurationQuery,
    .success = "Get BIOS default options Success.\n",
    .invalidParameter = kGetSetInvalid,
    .notExecuted = "Error: WMI method execution failed.",
    .notExecutedWhenQuiet = true,
};
constexpr Operation kSetBiosDefaultOptions = {
    .className = kConfigurationClass,
    .method = kSetBiosDefaultOptionsMethod,
    .query = kConfigurationQuery,
    .success = "Set BIOS default options success.\n",
    .rebootRequired = "Set BIOS default options success and reboot required to make function works.\n",
    .invalidParameter = kGetSetInvalid,
    .knowsDataCodes = true,
    .notExecuted = "Error: WMI method execution failed.\n",
};
constexpr Operation kLoadBIOSDefault = {
    .className = kSettingClass,
    .method = kLoadBiosDefaultMethod,
    .query = kSettingQuery,
    .success = "Load BIOS Default Success.\n",
    .rebootRequired = "Load BIOS Default success and reboot required to make function works.\n",
    .invalidParameter = kLoadInvalid,
    .notExecuted = "Error: WMI method execution failed.\n",
};
constexpr Operation kLoadUserDefault = {
    .className = kSettingClass,
    .method = kLoadUserDefaultMethod,
    .query = kSettingQuery,
    .success = "Load User Default Success.\n",
    .rebootRequired = "Load User Default success and reboot required to make function works.\n",
    .invalidParameter = kLoadInvalid,
    .noUserDefault = "Error: No user default found.\n",
    .noSupervisor = "Error: No supervisor password yet.\n",
    .notExecuted = "Error: WMI method execution failed.\n",
};

std::string CodeMessage(const Operation& op, int32_t code) {
  const char* text = nullptr;
  switch (code) {
    case kFirmwareSuccess: text = op.success; break;
    case kFirmwareNotSupported: text = "Error: Not support.\n"; break;
    case kFirmwareIncorrectPassword: text = "Error: Incorrect password.\n"; break;
    case kFirmwareInvalidParameter: text = op.invalidParameter; break;
    case kFirmwareNoUserDefault: text = op.noUserDefault; break;
    case kFirmwareNoSupervisorPassword: text = op.noSupervisor; break;
    case kFirmwareRetryExceeded: text = "Error: Password retry count exceeded.\n"; break;
    case kFirmwareRebootRequired: text = op.rebootRequired; break;
    case kFirmwareIncompatibleData:
      if (op.knowsDataCodes) text = "Incompatible Data Structure. BIOS Setup Data is unexpected.\n";
      break;
    case kFirmwareDfciControlled:
      if (op.knowsDataCodes) text = "Control method not support, DFCI is controlling.\n";
      break;
    default: break;
  }
  if (text) return text;
  if (op.silentWhenUnknown) return {};
  return "Error: Unknown return code:" + std::to_string(code);
}

struct Outcome {
  MethodOutcome result;
  std::vector<uint8_t> data;
};

// Sends the password (and the block, for the Set methods) and reads the
// return code (and the block, for the Get methods): one call.
Outcome ExecuteOnce(FirmwareSession& session, const Operation& op, std::string_view password,
                    std::span<const uint8_t> dataIn, bool readsData) {
  FirmwareValue passwordValue;
  const int16_t length = MakePasswordVariant(session, password, passwordValue);
  std::vector<NamedValue> in = {{kPasswordLenParam, FirmwareValue::Int16(length)},
                                {kPasswordParam, std::move(passwordValue)}};
  if (!dataIn.empty()) {
    std::vector<uint8_t> data(kSettingsBufferSize, 0);
    std::copy_n(dataIn.begin(), std::min<size_t>(dataIn.size(), data.size()), data.begin());
    in.push_back({kDataParam, FirmwareValue::Bytes(std::move(data))});
  }
  std::vector<std::wstring> outNames = {kReturnCodeParam};
  if (readsData) outNames.emplace_back(kDataParam);

  Outcome outcome;
  std::vector<FirmwareValue> out;
  if (CallFirmwareMethod(session.firmware, op.className, op.method, op.query, std::move(in), std::move(outNames),
                         out) != kStatusOk) {
    return outcome;
  }
  outcome.result = {true, out[0].integer};
  if (readsData && out[1].kind == FirmwareValue::Kind::kBytes) outcome.data = std::move(out[1].bytes);
  return outcome;
}

// Which lines of the password file the firmware refused, and that the rest
// are not tried, and why.
Message RefusedLines(const RunPasswords& run) {
  const size_t tried = run.inUse + 1;
  std::string text = "password: " + (tried == 1 ? std::string("line 1") : "lines 1 to " + std::to_string(tried)) +
                     " of " + Printable(run.file) + " refused";
  if (tried <= run.earlier.size()) {
    text += "; line " + std::to_string(tried + 1) + " on not tried (";
    switch (run.stoppedBy) {
      case MethodOutcome::Withheld::kNo:
        text += "a run makes at most " + std::to_string(kMostRefusedCalls) + " refused calls";
        break;
      case MethodOutcome::Withheld::kLockoutAvoided:
        text += std::to_string(kMostRefusedCalls) + " password calls were refused since the notebook started";
        break;
      case MethodOutcome::Withheld::kCountUnusable:
        text += "the count of refused password calls cannot be read or written";
        break;
    }
    text += ", so that the firmware does not lock)";
  }
  return {Message::Stream::kErr, text + "\n"};
}

// A call that was not sent, and why.
MethodOutcome Withheld(MethodOutcome::Withheld why) {
  MethodOutcome outcome;
  outcome.withheld = why;
  return outcome;
}

// Counts a call whose password the firmware has not accepted in this run,
// before it is sent. Answers why it must not be sent, or nothing, with the
// count before it in `before`.
std::optional<MethodOutcome::Withheld> CountBeforeSending(Firmware& firmware, int& before) {
  using Why = MethodOutcome::Withheld;
  const std::optional<int> count = firmware.RefusedPasswordCalls();
  if (!count) return Why::kCountUnusable;
  if (*count >= kMostRefusedCalls) return Why::kLockoutAvoided;
  if (!firmware.KeepRefusedPasswordCalls(*count + 1)) return Why::kCountUnusable;
  before = *count;
  return std::nullopt;
}

// What the firmware's answer does to the count: an accepted password sets it
// to 0; a call that did not execute was no refusal, and takes its count back.
// (A count that cannot be set here stays higher than it is: it never lets a
// run try more.)
void CountAfterSending(Firmware& firmware, const MethodOutcome& outcome, int before) {
  if (!outcome.executed) {
    firmware.KeepRefusedPasswordCalls(before);
  } else if (!outcome.passwordRefused()) {
    firmware.KeepRefusedPasswordCalls(0);
  }
}

// One call of a password whose acceptance is not known yet, counted; a call
// not sent answers why, with its line on standard error.
Outcome ExecuteCounted(FirmwareSession& session, const Operation& op, std::string_view password,
                       std::span<const uint8_t> dataIn, bool readsData) {
  int before = 0;
  if (const auto why = CountBeforeSending(session.firmware, before)) {
    MethodOutcome withheld = Withheld(*why);
    withheld.said.push_back({Message::Stream::kErr, *why == MethodOutcome::Withheld::kLockoutAvoided
                                                        ? kLockoutAvoidedLine
                                                        : kCountUnusableLine});
    return {std::move(withheld), {}};
  }
  Outcome outcome = ExecuteOnce(session, op, password, dataIn, readsData);
  CountAfterSending(session.firmware, outcome.result, before);
  return outcome;
}

// The call with the password in use (RunPasswords): the run's own password
// is replaced by the earlier one accepted, and tried with the next earlier
// one while the firmware refuses it, no call of the run was accepted, and
// neither the run nor the runs since the machine started have made
// kMostRefusedCalls refused calls. The outcome's `said` holds the password
// file's line for what came of it.
Outcome Execute(FirmwareSession& session, const Operation& op, std::string_view password,
                std::span<const uint8_t> dataIn, bool readsData) {
  RunPasswords& run = session.passwords;
  using State = RunPasswords::State;
  // A session whose run did not name its own password takes the first sent.
  if (run.state == State::kUntried && run.own.empty()) run.own = std::string(password);
  const bool own = password == run.own;
  if (!own) return ExecuteCounted(session, op, password, dataIn, readsData);
  if (run.state == State::kRefused) return {run.refusal, {}};
  for (;;) {
    const std::string_view inUse = run.inUse == 0 ? password : std::string_view(run.earlier[run.inUse - 1]);
    if (run.state == State::kAccepted) return ExecuteOnce(session, op, inUse, dataIn, readsData);
    Outcome outcome = ExecuteCounted(session, op, inUse, dataIn, readsData);
    if (outcome.result.withheld != MethodOutcome::Withheld::kNo) {
      run.state = State::kRefused;
      if (run.refusedCalls == 0) {
        // No call of this run was sent: each later one answers as this one.
        run.refusal = outcome.result;
        run.refusal.said.clear();
        return outcome;
      }
      // An earlier line was refused in this run: the run ends with that
      // refusal, and says why the next line was not tried.
      --run.inUse;
      run.stoppedBy = outcome.result.withheld;
      Outcome refused{run.refusal, {}};
      if (!run.file.empty()) refused.result.said.push_back(RefusedLines(run));
      return refused;
    }
    if (!outcome.result.executed) return outcome;
    if (!outcome.result.passwordRefused()) {
      run.state = State::kAccepted;
      if (run.inUse > 0) {
        outcome.result.said.push_back({Message::Stream::kErr, "password: line " + std::to_string(run.inUse + 1) +
                                                                  " of " + Printable(run.file) + " accepted\n"});
      }
      return outcome;
    }
    ++run.refusedCalls;
    run.refusal = outcome.result;
    const bool again = outcome.result.code == kFirmwareIncorrectPassword && run.refusedCalls < kMostRefusedCalls &&
                       run.inUse < run.earlier.size();
    if (!again) {
      run.state = State::kRefused;
      if (!run.file.empty()) outcome.result.said.push_back(RefusedLines(run));
      return outcome;
    }
    ++run.inUse;
  }
}

// Adds the operation's message for the outcome to what the call says.
void Report(const Operation& op, MethodOutcome& outcome) {
  // A call not sent has said why (once in a run).
  if (outcome.withheld != MethodOutcome::Withheld::kNo) return;
  if (!outcome.executed) {
    outcome.said.push_back({op.notExecutedWhenQuiet ? Message::Stream::kOut : Message::Stream::kSay, op.notExecuted});
    return;
  }
  std::string text = CodeMessage(op, outcome.code);
  if (!text.empty()) outcome.said.push_back({Message::Stream::kSay, std::move(text)});
}

// Copies a returned block to the caller's buffer, never past its end.
void Fill(std::span<uint8_t> buffer, const std::vector<uint8_t>& data) {
  std::copy_n(data.begin(), std::min(data.size(), buffer.size()), buffer.begin());
}

MethodOutcome RunGet(FirmwareSession& session, const Operation& op, std::string_view password,
                     std::span<uint8_t> buffer, bool fillOnReboot) {
  Outcome outcome = Execute(session, op, password, {}, true);
  MethodOutcome& result = outcome.result;
  Report(op, result);
  if (result.executed && (result.code == kFirmwareSuccess || (fillOnReboot && result.rebootRequired()))) {
    Fill(buffer, outcome.data);
  }
  return std::move(result);
}

MethodOutcome RunWithoutData(FirmwareSession& session, const Operation& op, std::string_view password,
                             std::span<const uint8_t> dataIn) {
  MethodOutcome result = Execute(session, op, password, dataIn, false).result;
  Report(op, result);
  return result;
}

}  // namespace

Status GetInstancePath(Firmware& firmware, std::wstring_view className, std::wstring_view query, std::wstring& path) {
  path.clear();
  std::vector<std::optional<std::wstring>> names;
  const Status status = firmware.QueryInstanceNames(query, names);
  if (status != kStatusOk) return status;
  const auto found = std::find_if(names.begin(), names.end(), [](const auto& n) { return n.has_value(); });
  if (found == names.end()) return status;
  path.reserve(className.size() + 17 + 2 * (*found)->size());
  path.assign(className);
  path += L".InstanceName=\"";
  for (wchar_t c : **found) {
    path += c;
    if (c == L'\\') path += L'\\';
  }
  path += L'"';
  if (path.size() > kMaxPath - 1) path.resize(kMaxPath - 1);
  return status;
}

Status CallFirmwareMethod(Firmware& firmware, std::wstring_view className, std::wstring_view methodName,
                          std::wstring_view query, std::vector<NamedValue> in, std::vector<std::wstring> outNames,
                          std::vector<FirmwareValue>& out) {
  if (!firmware.IsOpen()) return kStatusFailed;
  MethodCall call;
  if (const Status status = GetInstancePath(firmware, className, query, call.objectPath); status != kStatusOk) {
    return status;
  }
  call.className = className;
  call.method = methodName;
  call.in = std::move(in);
  call.outNames = std::move(outNames);
  const Status status = firmware.ExecuteMethod(call, out);
  if (status != kStatusOk) return status;
  return out.size() == call.outNames.size() ? kStatusOk : kStatusFailed;
}

int16_t MakePasswordVariant(FirmwareSession& session, std::string_view password, FirmwareValue& variant) {
  std::array<uint8_t, 32> scratch{};
  const size_t terminator = password.find('\0');
  const size_t length = std::min(terminator == std::string_view::npos ? password.size() : terminator, scratch.size());
  size_t arrayLength = kPasswordArrayShort;
  bool scanCodes = false;
  if (const auto& version = session.version) {
    scanCodes = version->SendsScanCodes();
    if (version->Holds(InterfaceRule::kLongPasswords)) arrayLength = kPasswordArrayLong;
  }
  for (size_t i = 0; i < length; ++i) {
    // The character goes to the keyboard lookup sign-extended, as a char is.
    scratch[i] = scanCodes ? static_cast<uint8_t>(session.firmware.KeyScan(password[i]) & 0xFF)
                           : static_cast<uint8_t>(password[i]);
  }
  arrayLength = std::min(arrayLength, scratch.size());
  variant =
      FirmwareValue::Bytes(std::vector<uint8_t>(scratch.begin(), scratch.begin() + static_cast<long>(arrayLength)));
  return static_cast<int16_t>(std::min(length, arrayLength));
}

namespace methods {

MethodOutcome GetBiosOptions(FirmwareSession& session, std::string_view password, std::span<uint8_t> buffer) {
  return RunGet(session, kGetBiosOptions, password, buffer, true);
}

MethodOutcome GetBiosDefaultOptions(FirmwareSession& session, std::string_view password, std::span<uint8_t> buffer) {
  return RunGet(session, kGetBiosDefaultOptions, password, buffer, false);
}

MethodOutcome SetBiosOptions(FirmwareSession& session, std::string_view password, std::span<const uint8_t> buffer) {
  return RunWithoutData(session, kSetBiosOptions, password, buffer);
}

MethodOutcome SetBiosDefaultOptions(FirmwareSession& session, std::string_view password,
                                    std::span<const uint8_t> buffer) {
  return RunWithoutData(session, kSetBiosDefaultOptions, password, buffer);
}

MethodOutcome LoadBIOSDefault(FirmwareSession& session, std::string_view password) {
  return RunWithoutData(session, kLoadBIOSDefault, password, {});
}

MethodOutcome LoadUserDefault(FirmwareSession& session, std::string_view password) {
  return RunWithoutData(session, kLoadUserDefault, password, {});
}

}  // namespace methods
}  // namespace vort64
