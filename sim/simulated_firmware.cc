#include "sim/simulated_firmware.h"

#include <algorithm>
#include <array>
#include <limits>
#include <system_error>
#include <thread>
#include <utility>

#include "base/text.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "wmi/firmware_facts.h"
#include "wmi/refused_calls.h"
#include "wmi/smbios.h"

namespace vort64::sim {
namespace {

constexpr Status kInvalidObjectPath = static_cast<Status>(0x8004103Au);  // WBEM_E_INVALID_OBJECT_PATH
constexpr Status kInvalidMethod = static_cast<Status>(0x8004102Eu);      // WBEM_E_INVALID_METHOD
constexpr Status kInvalidParameter = static_cast<Status>(0x80041008u);   // WBEM_E_INVALID_PARAMETER
constexpr Status kInvalidQuery = static_cast<Status>(0x80041017u);       // WBEM_E_INVALID_QUERY
constexpr Status kNotConnected = static_cast<Status>(0x80041003u);       // WBEM_E_ACCESS_DENIED

// The two WMI classes, the query that finds each one's instance, and its name.
struct Instance {
  const wchar_t* className;
  const wchar_t* query;
  const wchar_t* name;
};
constexpr Instance kInstances[] = {
    {kConfigurationClass, kConfigurationQuery, kConfigurationInstance},
    {kSettingClass, kSettingQuery, kSettingInstance},
};

// One method call on the machine's stored state.
struct Call {
  const std::filesystem::path& dir;
  const InterfaceRules& rules;
  const Faults& faults;
  const std::string& sessionPassword;
  bool forced;                       // the return code is forced; no password is checked
  int32_t code;                      // the forced code, or the password check's answer
  const std::vector<uint8_t>& sent;  // the Data of the Set methods
  MachineFile& optionsFile;          // options.bin, as the call read it
  MachineFile& defaultsFile;         // defaults.bin, as the call read it (the methods that use it)
  // The stored blocks as this call read them (defaults: for the methods that
  // use them). A Get method answers its block by taking it over.
  std::vector<uint8_t>& options;
  std::vector<uint8_t>& defaults;
};

// What a method answers: a return code (and the block of a Get method), or
// that it did not execute.
struct Answer {
  bool executed = true;
  int32_t code = kFirmwareSuccess;
  std::vector<uint8_t> data;
};

Answer NotExecuted() { return {false, 0, {}}; }

std::filesystem::path PasswordFile(const std::filesystem::path& dir, Account account) {
  return dir / (account == Account::kSupervisor ? kSupervisorPasswordFile : kUserPasswordFile);
}

// A password as the machine keeps it: empty when it is not set, nothing when
// the file is damaged.
std::optional<std::string> ReadPassword(const std::filesystem::path& path) {
  const FileRead read = ReadFileAtMost(path, kTextFileLimit);
  if (read.damaged()) return std::nullopt;
  return std::string(read.bytes.begin(), read.bytes.end());
}

// Checks the caller's password against the supervisor password and counts
// wrong calls in a row. The answer, or nothing when the counter is damaged.
std::optional<int32_t> CheckPassword(const std::filesystem::path& dir, const InterfaceRules& rules,
                                     const std::string& supervisor, int32_t length, const std::vector<uint8_t>& array) {
  if (supervisor.empty()) return kFirmwareSuccess;
  const auto retries = dir / kRetriesFile;
  const FileRead read = ReadFileAtMost(retries, kTextFileLimit);
  const auto count = read.damaged() ? std::nullopt : ParseCount(std::string(read.bytes.begin(), read.bytes.end()));
  if (!count) return std::nullopt;
  if (rules.Matches(length, array, supervisor)) {
    std::error_code ec;
    std::filesystem::remove(retries, ec);
    return kFirmwareSuccess;
  }
  // The count stops at the largest int32_t; a count that stays is not rewritten.
  const int32_t wrong = *count == std::numeric_limits<int32_t>::max() ? *count : *count + 1;
  if (wrong != *count) {
    const std::string text = std::to_string(wrong);
    if (!WriteFileBytes(retries, std::vector<uint8_t>(text.begin(), text.end()))) return std::nullopt;
  }
  return wrong > kWrongPasswordsBeforeLockout ? kFirmwareRetryExceeded : kFirmwareIncorrectPassword;
}

// Makes a block about to be stored say truly which passwords the machine
// holds, after a password change or when it comes from stored defaults; a
// password file that is damaged leaves its account's byte as it is. (A
// block sent without a password change is stored as sent, so that a write
// of these settings reads back.)
void KeepPasswordStatus(const Call& c, std::vector<uint8_t>& block) {
  if (!c.rules.HasPasswordStatus()) return;
  const auto isSet = [&c](Account account) -> std::optional<bool> {
    const auto password = ReadPassword(PasswordFile(c.dir, account));
    if (!password) return std::nullopt;
    return !password->empty();
  };
  c.rules.KeepPasswordStatus(block, isSet(Account::kSupervisor), isSet(Account::kUser));
}

// Applies the password changes a sent block asks for: all of them, or none
// when an old password of the long form does not match (2). Nothing when a
// password file is damaged or cannot be written. `changed` says whether it
// asked for any.
std::optional<int32_t> ApplyPasswordChanges(const Call& c, bool& changed) {
  const auto changes = c.rules.PasswordChanges(c.options, c.sent);
  changed = !changes.empty();
  for (const auto& change : changes) {
    const auto current = ReadPassword(PasswordFile(c.dir, change.account));
    if (!current) return std::nullopt;
    if (change.oldPassword && !current->empty() && *change.oldPassword != c.rules.PasswordAsKept(*current)) {
      return kFirmwareIncorrectPassword;
    }
  }
  for (const auto& change : changes) {
    const auto path = PasswordFile(c.dir, change.account);
    std::error_code ec;
    if (change.newPassword.empty()) {
      std::filesystem::remove(path, ec);
      if (ec) return std::nullopt;
    } else if (!WritePrivateFileBytes(path,
                                      std::vector<uint8_t>(change.newPassword.begin(), change.newPassword.end()))) {
      return std::nullopt;
    }
  }
  return kFirmwareSuccess;
}

// ---- One handler per method -------------------------------------------------
// The Get methods answer whatever the password; the others run only when the
// password passed or a passing code is forced.

Answer GetOptions(const Call& c) { return {true, c.code, std::move(c.options)}; }

Answer GetDefaultOptions(const Call& c) { return {true, c.code, std::move(c.defaults)}; }

Answer SetOptions(const Call& c) {
  bool passwordsChanged = false;
  // A forced passing code (8: reboot required) is a call that succeeded: the
  // block's password changes are made as on any successful call.
  if (!c.forced || Passed(c.code)) {
    const auto applied = ApplyPasswordChanges(c, passwordsChanged);
    if (!applied) return NotExecuted();
    if (*applied != kFirmwareSuccess) return {true, *applied, {}};
  }
  auto block = c.rules.Merge(c.options, c.sent);
  c.faults.KeepStuckBytes(c.options, block);
  if (passwordsChanged) KeepPasswordStatus(c, block);
  if (c.rules.SavesUserDefaults(c.options, block) && !WriteFileBytes(c.dir / kUserDefaultsFile, block)) {
    return NotExecuted();
  }
  if (!c.optionsFile.Rewrite(block)) return NotExecuted();
  return {true, c.code, {}};
}

Answer SetDefaultOptions(const Call& c) {
  auto block = c.rules.Merge(c.defaults, c.sent);
  c.faults.KeepStuckBytes(c.defaults, block);
  if (!c.defaultsFile.Rewrite(block)) return NotExecuted();
  return {true, c.code, {}};
}

Answer LoadBiosDefault(const Call& c) {
  auto block = c.rules.Merge(c.options, c.defaults);
  KeepPasswordStatus(c, block);
  if (!c.optionsFile.Rewrite(block)) return NotExecuted();
  return {true, c.code, {}};
}

Answer LoadUserDefault(const Call& c) {
  if (!c.forced && c.sessionPassword.empty()) return {true, kFirmwareNoSupervisorPassword, {}};
  const FileRead user = ReadFileOfSize(c.dir / kUserDefaultsFile, kSettingsBufferSize);
  if (user.damaged()) return NotExecuted();
  if (!c.forced && user.missing()) return {true, kFirmwareNoUserDefault, {}};
  if (user.ok()) {
    auto block = c.rules.Merge(c.options, user.bytes);
    KeepPasswordStatus(c, block);
    if (!c.optionsFile.Rewrite(block)) return NotExecuted();
  }
  return {true, c.code, {}};
}

struct Method {
  const wchar_t* name;
  const wchar_t* className;
  bool sendsData;      // takes the Data parameter
  bool returnsData;    // answers the Data parameter
  bool readsDefaults;  // works on defaults.bin
  bool changesStore;   // runs only when the password passed
  Answer (*handle)(const Call&);
};

constexpr Method kMethods[] = {
    {kGetBiosOptionsMethod, kConfigurationClass, false, true, false, false, &GetOptions},
    {kSetBiosOptionsMethod, kConfigurationClass, true, false, false, true, &SetOptions},
    {kGetBiosDefaultOptionsMethod, kConfigurationClass, false, true, true, false, &GetDefaultOptions},
    {kSetBiosDefaultOptionsMethod, kConfigurationClass, true, false, true, true, &SetDefaultOptions},
    {kLoadBiosDefaultMethod, kSettingClass, false, false, true, true, &LoadBiosDefault},
    {kLoadUserDefaultMethod, kSettingClass, false, false, false, true, &LoadUserDefault},
};

std::wstring ObjectPath(std::wstring_view className, std::wstring_view instance) {
  std::wstring path(className);
  path += L".InstanceName=\"";
  for (wchar_t c : instance) {
    path += c;
    if (c == L'\\') path += L'\\';
  }
  path += L'"';
  return path;
}

// The object path of an instance of kInstances, made once.
const std::wstring& ObjectPathOf(const Instance& instance) {
  static const auto kPaths = [] {
    std::array<std::wstring, std::size(kInstances)> paths;
    for (size_t i = 0; i < paths.size(); ++i) paths[i] = ObjectPath(kInstances[i].className, kInstances[i].name);
    return paths;
  }();
  return kPaths[static_cast<size_t>(&instance - kInstances)];
}

// The name of a method of kMethods as calls.log and the faults file write
// it, made once.
const std::string& NarrowNameOf(const Method& method) {
  static const auto kNames = [] {
    std::array<std::string, std::size(kMethods)> names;
    for (size_t i = 0; i < names.size(); ++i) names[i] = WideToUtf8(kMethods[i].name);
    return names;
  }();
  return kNames[static_cast<size_t>(&method - kMethods)];
}

const FirmwareValue* FindIn(const MethodCall& call, std::wstring_view name, FirmwareValue::Kind kind) {
  for (const auto& p : call.in) {
    if (p.name == name) return p.value.kind == kind ? &p.value : nullptr;
  }
  return nullptr;
}

// The bytes in lower-case hex, two digits each, after `out`.
void AppendHex(std::string& out, const std::vector<uint8_t>& bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
}

// The machine's start as the file "starts" counts them ("0" before the first
// restart); nothing when the file is damaged.
std::optional<std::string> CurrentStart(const std::filesystem::path& dir) {
  const auto starts = MachineStarts(dir);
  if (!starts) return std::nullopt;
  return std::to_string(*starts);
}

}  // namespace

SimulatedFirmware::SimulatedFirmware(std::filesystem::path dir, CallDelay delay)
    : dir_(std::move(dir)),
      delay_(std::move(delay)),
      optionsFile_(dir_ / kOptionsFile),
      defaultsFile_(dir_ / kDefaultsFile),
      lastSentFile_(dir_ / kLastSentFile),
      log_(dir_ / kCallsLogFile),
      runLock_(dir_ / kRunLockFile),
      callLock_(dir_ / kCallLockFile) {}

LockOutcome SimulatedFirmware::LockMachine(std::chrono::milliseconds limit) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir_, ec)) return LockOutcome::kHeld;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // Polled, first often, then every 10 ms: a run of another process takes
  // a few milliseconds.
  auto pause = std::chrono::microseconds(500);
  for (;;) {
    switch (runLock_.TryLock()) {
      case FileLock::Outcome::kHeld:
      case FileLock::Outcome::kNoPlace: return LockOutcome::kHeld;
      case FileLock::Outcome::kFailed: return LockOutcome::kFailed;
      case FileLock::Outcome::kBusy: break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return LockOutcome::kTimedOut;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
  }
}

void SimulatedFirmware::UnlockMachine() { runLock_.Unlock(); }

void SimulatedFirmware::Close() {
  open_ = false;
  optionsFile_.Close();
  defaultsFile_.Close();
  lastSentFile_.Close();
  log_.Close();
}

const Faults& SimulatedFirmware::faults() {
  if (!faults_) {
    const FileRead read = ReadFileAtMost(dir_ / kFaultsFile, kFaultsFileLimit);
    faults_ = read.damaged() ? Faults::Unreadable() : Faults::Parse(std::string(read.bytes.begin(), read.bytes.end()));
  }
  return *faults_;
}

const std::optional<RawSmbiosTable>& SimulatedFirmware::smbios() {
  if (smbiosRead_) return smbios_;
  smbiosRead_ = true;
  if (faults().Fails(kSmbiosFault)) return smbios_;
  const FileRead entry = ReadFileAtMost(dir_ / kEntryPointFile, kEntryPointLimit);
  const auto point = entry.ok() ? ParseEntryPoint(entry.bytes) : std::nullopt;
  if (!point) return smbios_;
  // The table is as long as the entry point says; nothing past it is read.
  FileRead dmi = ReadFileHead(dir_ / kDmiFile, std::min<size_t>(point->tableLength, kSmbiosTableLimit));
  if (!dmi.ok()) return smbios_;
  smbios_ = RawSmbiosTable{point->major, point->minor, std::move(dmi.bytes)};
  return smbios_;
}

const InterfaceRules& SimulatedFirmware::rules() {
  if (!rules_) {
    const auto version = smbios() ? ReadInterfaceVersion(*smbios()) : std::nullopt;
    rules_.emplace(version ? version->major : 0u, version ? version->minor : 0u);
  }
  return *rules_;
}

bool SimulatedFirmware::Open() {
  open_ = false;
  if (faults().Fails(kSessionFault)) return false;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir_, ec)) return false;
  const auto password = ReadPassword(dir_ / kSupervisorPasswordFile);
  if (!password) return false;
  sessionPassword_ = *password;
  open_ = true;
  return true;
}

bool SimulatedFirmware::ReadRawSmbiosTable(RawSmbiosTable& table) {
  table = smbios().value_or(RawSmbiosTable{});
  return smbios().has_value();
}

Status SimulatedFirmware::QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) {
  names.clear();
  if (!open_) return kNotConnected;
  const auto instance =
      std::find_if(std::begin(kInstances), std::end(kInstances), [&](const Instance& i) { return query == i.query; });
  if (instance == std::end(kInstances)) return kInvalidQuery;
  names.emplace_back(instance->name);
  return kStatusOk;
}

Status SimulatedFirmware::ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) {
  out.clear();
  if (!open_) return kNotConnected;
  const auto instance = std::find_if(std::begin(kInstances), std::end(kInstances),
                                     [&](const Instance& i) { return call.className == i.className; });
  if (instance == std::end(kInstances) || call.objectPath != ObjectPathOf(*instance)) {
    return kInvalidObjectPath;
  }
  const auto method = std::find_if(std::begin(kMethods), std::end(kMethods), [&](const Method& m) {
    return call.className == m.className && call.method == m.name;
  });
  if (method == std::end(kMethods)) return kInvalidMethod;

  const FirmwareValue* length = FindIn(call, kPasswordLenParam, FirmwareValue::Kind::kInt16);
  const FirmwareValue* password = FindIn(call, kPasswordParam, FirmwareValue::Kind::kBytes);
  const FirmwareValue* data = FindIn(call, kDataParam, FirmwareValue::Kind::kBytes);
  if (!length || !password || (method->sendsData && !data)) return kInvalidParameter;

  // One call at a time on the machine, whoever calls.
  if (callLock_.Lock() == FileLock::Outcome::kFailed) return kStatusFailed;
  struct Unlock {
    FileLock& lock;
    ~Unlock() { lock.Unlock(); }
  } const unlock{callLock_};

  const std::string& name = NarrowNameOf(*method);
  std::string line;
  line.reserve(name.size() + 8 + 2 * password->bytes.size());
  line.append(name).append(1, ' ').append(std::to_string(length->integer)).append(1, ' ');
  AppendHex(line, password->bytes);
  line += '\n';
  log_.Append(line);
  // The block as sent, before the firmware keeps or drops anything of it.
  if (method->sendsData) lastSentFile_.Write(data->bytes);

  // The call's round trip, whatever it answers.
  if (const auto delay = faults().delay(); delay.count() > 0) {
    if (delay_) {
      delay_(delay);
    } else {
      std::this_thread::sleep_for(delay);
    }
  }
  const auto forced = faults().For(name);
  if (forced && forced->fails()) return kStatusFailed;
  // The firmware's store: a damaged one fails every call that reads it. A
  // method that stores a block writes it to the file it read.
  FileRead options = optionsFile_.ReadOfSize(kSettingsBufferSize);
  if (!options.ok()) return kStatusFailed;
  FileRead defaults;
  if (method->readsDefaults) {
    defaults = defaultsFile_.ReadOfSize(kSettingsBufferSize);
    if (!defaults.ok()) return kStatusFailed;
  }
  std::optional<int32_t> code = forced ? std::optional(forced->code) : std::nullopt;
  if (!code) code = CheckPassword(dir_, rules(), sessionPassword_, length->integer, password->bytes);
  if (!code) return kStatusFailed;  // the wrong-password counter is damaged

  const std::vector<uint8_t> none;
  const Call c{.dir = dir_,
               .rules = rules(),
               .faults = faults(),
               .sessionPassword = sessionPassword_,
               .forced = forced.has_value(),
               .code = *code,
               .sent = data ? data->bytes : none,
               .optionsFile = optionsFile_,
               .defaultsFile = defaultsFile_,
               .options = options.bytes,
               .defaults = defaults.bytes};
  Answer answer{true, c.code, {}};
  if (method->sendsData && c.sent.size() != kSettingsBufferSize) {
    if (!c.forced) answer.code = kFirmwareInvalidParameter;
  } else if (!method->changesStore || Passed(c.code)) {
    answer = method->handle(c);
  }
  if (!answer.executed) return kStatusFailed;
  // A forced code is the answer; but a forced passing code does not hide a
  // change the call refused (an old password that does not match).
  if (c.forced && !(Passed(c.code) && !Passed(answer.code))) answer.code = c.code;

  for (const auto& outName : call.outNames) {
    if (outName == kReturnCodeParam) {
      out.push_back(FirmwareValue::Int32(answer.code));
    } else if (outName == kDataParam && method->returnsData) {
      out.push_back(FirmwareValue::Bytes(std::move(answer.data)));
    } else {
      return kInvalidParameter;  // no such out-parameter
    }
  }
  return kStatusOk;
}

uint32_t SimulatedFirmware::KeyScan(char c) { return UsKeyboardScan(c); }

std::optional<int> SimulatedFirmware::RefusedPasswordCalls() {
  const auto start = CurrentStart(dir_);
  if (!start) return std::nullopt;
  const FileRead read = ReadFileAtMost(dir_ / kRefusedCallsFileName, kTextFileLimit);
  if (read.missing()) return 0;
  if (!read.ok()) return std::nullopt;
  const auto record = ParseRefusedCalls(std::string(read.bytes.begin(), read.bytes.end()));
  if (!record) return std::nullopt;
  return record->start == *start ? record->refused : 0;
}

bool SimulatedFirmware::KeepRefusedPasswordCalls(int count) {
  const auto start = CurrentStart(dir_);
  if (!start) return false;
  const std::string text = FormatRefusedCalls({*start, count});
  return WritePrivateFileBytes(dir_ / kRefusedCallsFileName, std::vector<uint8_t>(text.begin(), text.end()));
}

std::optional<MethodSignature> FindMethodSignature(std::wstring_view className, std::wstring_view method) {
  const auto found = std::find_if(std::begin(kMethods), std::end(kMethods),
                                  [&](const Method& m) { return className == m.className && method == m.name; });
  if (found == std::end(kMethods)) return std::nullopt;
  return MethodSignature{found->sendsData, found->returnsData};
}

uint32_t UsKeyboardScan(char c) {
  // Set 1 scan codes of the US layout; the shift state is not reported in
  // the low byte.
  static constexpr struct {
    const char* keys;
    const char* shifted;
    uint8_t first;
  } rows[] = {
      {"1234567890-=", "!@#$%^&*()_+", 0x02},
      {"qwertyuiop[]", "QWERTYUIOP{}", 0x10},
      {"asdfghjkl;'`", "ASDFGHJKL:\"~", 0x1E},
      {"\\zxcvbnm,./", "|ZXCVBNM<>?", 0x2B},
  };
  if (c == ' ') return 0x39;
  for (const auto& row : rows) {
    const std::string_view keys(row.keys), shifted(row.shifted);
    if (auto i = keys.find(c); i != std::string_view::npos) return row.first + static_cast<uint32_t>(i);
    if (auto i = shifted.find(c); i != std::string_view::npos) {
      return (row.first + static_cast<uint32_t>(i)) | 0x00010000u;
    }
  }
  return 0xFFFFFFFFu;
}

}  // namespace vort64::sim
