#include "wmi/firmware_methods.h"

#include <algorithm>
#include <array>

#include "base/console.h"
#include "base/import_results.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

constexpr size_t kMaxPath = 260;  // wide characters, terminator included

// What one operation says for each return code.
struct Operation {
  const wchar_t* className;
  const wchar_t* method;
  const wchar_t* query;
  const char* success;             // code 0
  const char* rebootRequired;      // code 8; null when the code is not known
  const char* invalidParameter;    // code 3
  const char* noUserDefault;       // code 4; null when not known
  const char* noSupervisor;        // code 5; null when not known
  bool knowsDataCodes;             // codes 209 and 210
  bool silentWhenUnknown;          // prints nothing for a code it does not know
  const char* notExecuted;         // the method could not be executed
  bool notExecutedWhenQuiet;       // printed even while quiet
};

constexpr char kGetSetInvalid[] = "Error: Invalid Parameter.\n";
constexpr char kLoadInvalid[] = "Error: Incorrect parameters.\n";

constexpr Operation kGetBiosOptions = {
    kConfigurationClass, kGetBiosOptionsMethod, kConfigurationQuery, "Get BIOS options success.\n",
    "Get BIOS options success and reboot required to make function works.\n", kGetSetInvalid, nullptr, nullptr,
    true, false, "Error: WMI method execution failed. ", false};
constexpr Operation kSetBiosOptions = {
    kConfigurationClass, kSetBiosOptionsMethod, kConfigurationQuery, "Set BIOS options Success.\n",
    "Set BIOS options success and reboot required to make function works.\n", kGetSetInvalid, nullptr, nullptr,
    true, true, "Error: WMI method execution failed.", false};
constexpr Operation kGetBiosDefaultOptions = {
    kConfigurationClass, kGetBiosDefaultOptionsMethod, kConfigurationQuery, "Get BIOS default options Success.\n",
    nullptr, kGetSetInvalid, nullptr, nullptr, false, false, "Error: WMI method execution failed.", true};
constexpr Operation kSetBiosDefaultOptions = {
    kConfigurationClass, kSetBiosDefaultOptionsMethod, kConfigurationQuery, "Set BIOS default options success.\n",
    "Set BIOS default options success and reboot required to make function works.\n", kGetSetInvalid, nullptr,
    nullptr, true, false, "Error: WMI method execution failed.\n", false};
constexpr Operation kLoadBIOSDefault = {
    kSettingClass, kLoadBiosDefaultMethod, kSettingQuery, "Load BIOS Default Success.\n",
    "Load BIOS Default success and reboot required to make function works.\n", kLoadInvalid, nullptr, nullptr,
    false, false, "Error: WMI method execution failed.\n", false};
constexpr Operation kLoadUserDefault = {
    kSettingClass, kLoadUserDefaultMethod, kSettingQuery, "Load User Default Success.\n",
    "Load User Default success and reboot required to make function works.\n", kLoadInvalid,
    "Error: No user default found.\n", "Error: No supervisor password yet.\n", false, false,
    "Error: WMI method execution failed.\n", false};

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

// The word SetBiosOptions leaves in the import's result file; null for none.
const wchar_t* ResultWord(int32_t code) {
  switch (code) {
    case kFirmwareSuccess: return L"Pass";
    case kFirmwareNotSupported: return L"Not support";
    case kFirmwareIncorrectPassword: return L"Incorrect password";
    case kFirmwareInvalidParameter: return L"Invalid Parameter";
    case kFirmwareRetryExceeded: return L"Password retry count exceeded";
    case kFirmwareRebootRequired: return L"Pass and reboot required to make function works";
    case kFirmwareIncompatibleData: return L"Incompatible Data Structure. BIOS Setup Data is unexpected";
    case kFirmwareDfciControlled: return L"Control method not support, DFCI is controlling";
    default: return nullptr;
  }
}

struct Outcome {
  bool executed = false;
  int32_t code = 1;
  std::vector<uint8_t> data;
};

// Sends the password (and the block, for the Set methods) and reads the
// return code (and the block, for the Get methods).
Outcome Execute(RunContext& ctx, const Operation& op, std::string_view password,
                std::span<const uint8_t> dataIn, bool readsData) {
  FirmwareValue passwordValue;
  const int16_t length = MakePasswordVariant(ctx, password, passwordValue, ctx.passwordFieldLength);
  std::vector<NamedValue> in = {{kPasswordLenParam, FirmwareValue::Int16(length)},
                                {kPasswordParam, std::move(passwordValue)}};
  if (!dataIn.empty()) {
    std::vector<uint8_t> data(ctx.dataLength, 0);
    std::copy_n(dataIn.begin(), std::min<size_t>(dataIn.size(), data.size()), data.begin());
    in.push_back({kDataParam, FirmwareValue::Bytes(std::move(data))});
  }
  std::vector<std::wstring> outNames = {kReturnCodeParam};
  if (readsData) outNames.emplace_back(kDataParam);

  Outcome outcome;
  std::vector<FirmwareValue> out;
  if (!CallFirmwareMethod(ctx, op.className, op.method, op.query, in, outNames, out)) return outcome;
  outcome.executed = true;
  outcome.code = out[0].integer;
  if (readsData && out[1].kind == FirmwareValue::Kind::kBytes) outcome.data = std::move(out[1].bytes);
  return outcome;
}

void Report(RunContext& ctx, const Operation& op, const Outcome& outcome) {
  if (!outcome.executed) {
    if (op.notExecutedWhenQuiet) {
      ctx.console.Out(op.notExecuted);
    } else {
      ctx.console.Say(op.notExecuted);
    }
    return;
  }
  ctx.console.Say(CodeMessage(op, outcome.code));
}

// Copies a returned block to the caller's buffer, never past its end.
void Fill(std::span<uint8_t> buffer, const std::vector<uint8_t>& data) {
  std::copy_n(data.begin(), std::min(data.size(), buffer.size()), buffer.begin());
}

int32_t RunGet(RunContext& ctx, const Operation& op, std::string_view password, std::span<uint8_t> buffer,
               bool fillOnReboot) {
  const Outcome outcome = Execute(ctx, op, password, {}, true);
  Report(ctx, op, outcome);
  if (outcome.executed &&
      (outcome.code == kFirmwareSuccess || (fillOnReboot && outcome.code == kFirmwareRebootRequired))) {
    Fill(buffer, outcome.data);
  }
  return outcome.code;
}

}  // namespace

Status GetInstancePath(RunContext& ctx, std::wstring_view className, std::wstring_view query, std::wstring& path) {
  path.clear();
  std::vector<std::optional<std::wstring>> names;
  const Status status = ctx.firmware.QueryInstanceNames(query, names);
  if (status != kStatusOk) {
    ctx.lastResult = status;
    return status;
  }
  const auto found = std::find_if(names.begin(), names.end(), [](const auto& n) { return n.has_value(); });
  if (found == names.end()) return status;
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

bool CallFirmwareMethod(RunContext& ctx, std::wstring_view className, std::wstring_view methodName,
                        std::wstring_view query, const std::vector<NamedValue>& in,
                        const std::vector<std::wstring>& outNames, std::vector<FirmwareValue>& out) {
  ctx.lastResult = kStatusOk;
  if (!ctx.firmware.IsOpen()) return false;
  MethodCall call;
  if (GetInstancePath(ctx, className, query, call.objectPath) != kStatusOk) return false;
  call.className = className;
  call.method = methodName;
  call.in = in;
  call.outNames = outNames;
  ctx.lastResult = ctx.firmware.ExecuteMethod(call, out);
  return ctx.lastResult == kStatusOk && out.size() == outNames.size();
}

int16_t MakePasswordVariant(RunContext& ctx, std::string_view password, FirmwareValue& variant,
                            uint32_t defaultLength) {
  std::array<uint8_t, 32> scratch{};
  const size_t terminator = password.find('\0');
  const size_t length =
      std::min(terminator == std::string_view::npos ? password.size() : terminator, scratch.size());
  size_t arrayLength = defaultLength;
  bool scanCodes = false;
  RawSmbiosTable table;
  ctx.firmware.ReadRawSmbiosTable(table);
  if (const auto version = ReadInterfaceVersion(table); version && version->major == 2) {
    if (version->minor < 50) {
      scanCodes = true;
    } else if (version->minor >= 56) {
      arrayLength = ctx.passwordFieldLengthLong;
    }
  }
  for (size_t i = 0; i < length; ++i) {
    // The character goes to the keyboard lookup sign-extended, as a char is.
    scratch[i] = scanCodes ? static_cast<uint8_t>(ctx.firmware.KeyScan(password[i]) & 0xFF)
                           : static_cast<uint8_t>(password[i]);
  }
  arrayLength = std::min(arrayLength, scratch.size());
  variant = FirmwareValue::Bytes(std::vector<uint8_t>(scratch.begin(), scratch.begin() + static_cast<long>(arrayLength)));
  return static_cast<int16_t>(length);
}

int32_t GetBiosOptions(RunContext& ctx, std::string_view password, std::span<uint8_t> buffer) {
  return RunGet(ctx, kGetBiosOptions, password, buffer, true);
}

int32_t GetBiosDefaultOptions(RunContext& ctx, std::string_view password, std::span<uint8_t> buffer) {
  return RunGet(ctx, kGetBiosDefaultOptions, password, buffer, false);
}

int32_t SetBiosOptions(RunContext& ctx, std::string_view password, std::span<const uint8_t> buffer) {
  const Outcome outcome = Execute(ctx, kSetBiosOptions, password, buffer, false);
  if (ctx.console.quiet()) {
    // While importing, the result word completes the setting's line in the
    // result file instead of a console message.
    const wchar_t* word = outcome.executed ? ResultWord(outcome.code) : L"Fail";
    if (word && ctx.results) ctx.results->AppendTemp(std::wstring(word) + L"\n");
  } else {
    Report(ctx, kSetBiosOptions, outcome);
  }
  return outcome.code;
}

int32_t SetBiosDefaultOptions(RunContext& ctx, std::string_view password, std::span<const uint8_t> buffer) {
  const Outcome outcome = Execute(ctx, kSetBiosDefaultOptions, password, buffer, false);
  Report(ctx, kSetBiosDefaultOptions, outcome);
  return outcome.code;
}

int32_t LoadBIOSDefault(RunContext& ctx, std::string_view password) {
  const Outcome outcome = Execute(ctx, kLoadBIOSDefault, password, {}, false);
  Report(ctx, kLoadBIOSDefault, outcome);
  return outcome.code;
}

int32_t LoadUserDefault(RunContext& ctx, std::string_view password) {
  const Outcome outcome = Execute(ctx, kLoadUserDefault, password, {}, false);
  Report(ctx, kLoadUserDefault, outcome);
  return outcome.code;
}

}  // namespace vort64
