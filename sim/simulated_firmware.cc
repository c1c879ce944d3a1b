#include "sim/simulated_firmware.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "base/text.h"
#include "catalog/catalog.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "wmi/smbios.h"

namespace vort64::sim {
namespace {

constexpr Status kInvalidObjectPath = static_cast<Status>(0x8004103Au);  // WBEM_E_INVALID_OBJECT_PATH
constexpr Status kInvalidMethod = static_cast<Status>(0x8004102Eu);      // WBEM_E_INVALID_METHOD
constexpr Status kInvalidParameter = static_cast<Status>(0x80041008u);   // WBEM_E_INVALID_PARAMETER
constexpr Status kInvalidQuery = static_cast<Status>(0x80041017u);       // WBEM_E_INVALID_QUERY
constexpr Status kNotConnected = static_cast<Status>(0x80041003u);       // WBEM_E_ACCESS_DENIED

constexpr int32_t kSuccess = kFirmwareSuccess;
constexpr int32_t kIncorrectPassword = kFirmwareIncorrectPassword;
constexpr int32_t kInvalidParameterCode = kFirmwareInvalidParameter;
constexpr int32_t kNoUserDefault = kFirmwareNoUserDefault;
constexpr int32_t kNoSupervisorPassword = kFirmwareNoSupervisorPassword;
constexpr int32_t kRetryExceeded = kFirmwareRetryExceeded;
constexpr int32_t kMaxWrongCalls = kWrongPasswordsBeforeLockout;

constexpr size_t kFlagByte = kPasswordFlagByte;
constexpr size_t kClockBegin = kClockFirstByte;
constexpr size_t kClockEnd = kClockEndByte;

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

const FirmwareValue* FindIn(const MethodCall& call, std::wstring_view name) {
  for (const auto& p : call.in) {
    if (p.name == name) return &p.value;
  }
  return nullptr;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[3];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

// A small text file (a password, the wrong-password counter): empty when it
// is missing, nothing when it is damaged.
std::optional<std::string> ReadText(const std::filesystem::path& path) {
  const FileRead read = ReadFileAtMost(path, kTextFileLimit);
  if (read.damaged()) return std::nullopt;
  return std::string(read.bytes.begin(), read.bytes.end());
}

// The state of one machine while a method runs on it.
class Machine {
 public:
  Machine(const std::filesystem::path& dir, SimulatedFirmware& firmware) : dir_(dir), firmware_(firmware) {
    RawSmbiosTable table;
    if (firmware.ReadRawSmbiosTable(table)) {
      if (const auto v = ReadInterfaceVersion(table)) {
        major_ = v->major;
        minor_ = v->minor;
      }
    }
    if (major_ == 2) BuildSettingCatalog(catalog_, major_, minor_);
  }

  // The password array a caller with `password` would send to this machine.
  std::vector<uint8_t> ExpectedPasswordArray(const std::string& password) {
    const size_t length = (major_ == 2 && minor_ >= 56) ? 16 : 12;
    std::vector<uint8_t> array(length, 0);
    for (size_t i = 0; i < password.size() && i < length; ++i) {
      const bool scanCodes = major_ == 2 && minor_ < 50;
      array[i] = scanCodes ? static_cast<uint8_t>(firmware_.KeyScan(password[i]) & 0xFF)
                           : static_cast<uint8_t>(password[i]);
    }
    return array;
  }

  // Checks the caller's password against the supervisor password; counts
  // wrong calls in a row (the count stops at the largest int32_t). Returns 0
  // when the call may proceed, nothing when the counter cannot be read.
  std::optional<int32_t> CheckPassword(const std::string& supervisor, int32_t length,
                                       const std::vector<uint8_t>& array) {
    if (supervisor.empty()) return kSuccess;
    const auto text = ReadText(dir_ / kRetriesFile);
    const auto read = text ? ParseCount(*text) : std::nullopt;
    if (!read) return std::nullopt;
    const bool right = length == static_cast<int32_t>(supervisor.size()) && array == ExpectedPasswordArray(supervisor);
    if (right) {
      std::error_code ec;
      std::filesystem::remove(dir_ / kRetriesFile, ec);
      return kSuccess;
    }
    const int32_t wrong = *read == std::numeric_limits<int32_t>::max() ? *read : *read + 1;
    if (wrong != *read) {
      const std::string count = std::to_string(wrong);
      if (!WriteFileBytes(dir_ / kRetriesFile, std::vector<uint8_t>(count.begin(), count.end()))) return std::nullopt;
    }
    return wrong > kMaxWrongCalls ? kRetryExceeded : kIncorrectPassword;
  }

  // An option block file: nothing unless it holds exactly one block.
  std::optional<std::vector<uint8_t>> ReadBlock(const char* file) const {
    FileRead read = ReadFileOfSize(dir_ / file, kBlockSize);
    if (!read.ok()) return std::nullopt;
    return std::move(read.bytes);
  }

  // What the firmware keeps of a block sent to it: its own clock where the
  // block says 238, and 255 in the one-byte settings it does not support.
  std::vector<uint8_t> Merge(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& sent) const {
    std::vector<uint8_t> merged = sent;
    for (size_t i = kClockBegin; i < kClockEnd; ++i) {
      if (sent[i] == kDoNotChange) merged[i] = stored[i];
    }
    std::vector<bool> covered(kBlockSize, false);
    for (const auto& [name, info] : catalog_.settings()) {
      for (size_t i = info.offset; i < info.offset + info.size && i < kBlockSize; ++i) covered[i] = true;
      if (info.size == 1 && info.offset < kBlockSize && stored[info.offset] == kNotSupported) merged[info.offset] = kNotSupported;
    }
    // Bytes that belong to no setting are the firmware's own.
    for (size_t i = 0; i < kBlockSize; ++i) {
      if (!covered[i] && !(i >= kClockBegin && i < kClockEnd) && i != kFlagByte) merged[i] = stored[i];
    }
    return merged;
  }

  // Applies the supervisor and user password fields of a sent block: those
  // byte 235 flags from interface 2.72 on, those that changed before.
  std::optional<int32_t> ApplyPasswords(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& sent) {
    const bool flagged = major_ == 2 && minor_ >= 72;
    const struct {
      uint8_t bit;
      const wchar_t* name;
      const char* file;
    } fields[] = {{1, L"set supervisor password", kSupervisorPasswordFile},
                  {2, L"set user password", kUserPasswordFile}};
    for (const auto& f : fields) {
      const SettingInfo* info = catalog_.FindSetting(f.name);
      if (!info || info->offset + info->size > kBlockSize) continue;
      const auto field = std::span(sent).subspan(info->offset, info->size);
      const bool changed = !std::equal(field.begin(), field.end(), stored.begin() + info->offset);
      if (flagged ? !(sent[kFlagByte] & f.bit) : !changed) continue;
      const auto storedPassword = ReadText(dir_ / f.file);
      if (!storedPassword) return std::nullopt;
      const std::string& current = *storedPassword;
      std::string next;
      if (info->size >= 34) {
        // Long form: old length, 16 old bytes, new length, 16 new bytes.
        const size_t oldLength = std::min<size_t>(field[0], 16);
        const std::string old(field.begin() + 1, field.begin() + 1 + static_cast<long>(oldLength));
        if (!current.empty() && old != current) return kIncorrectPassword;
        const size_t newLength = std::min<size_t>(field[17], 16);
        next.assign(field.begin() + 18, field.begin() + 18 + static_cast<long>(newLength));
      } else {
        // Short form: new length, one byte, the new password.
        const size_t newLength = std::min<size_t>(field[0], info->size - 2);
        next.assign(field.begin() + 2, field.begin() + 2 + static_cast<long>(newLength));
      }
      std::error_code ec;
      if (next.empty()) {
        std::filesystem::remove(dir_ / f.file, ec);
      } else if (!WriteFileBytes(dir_ / f.file, std::vector<uint8_t>(next.begin(), next.end()))) {
        return std::nullopt;
      }
    }
    return kSuccess;
  }

  // Writing 1 to "save settings to user setup defaults" stores the user
  // defaults; the byte stays 1, and only a new 1 after a 0 stores them again.
  bool SaveUserDefaultsRequested(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& sent) const {
    const SettingInfo* info = catalog_.FindSetting(L"save settings to user setup defaults");
    return info && info->offset < kBlockSize && sent[info->offset] == 1 && stored[info->offset] != 1;
  }

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  SimulatedFirmware& firmware_;
  uint32_t major_ = 0;
  uint32_t minor_ = 0;
  SettingCatalog catalog_;
};

}  // namespace

SimulatedFirmware::SimulatedFirmware(std::filesystem::path dir) : dir_(std::move(dir)) {}

std::map<std::string, SimulatedFirmware::Fault> SimulatedFirmware::ReadFaults() const {
  std::map<std::string, Fault> faults;
  const FileRead read = ReadFileAtMost(dir_ / kFaultsFile, kFaultsFileLimit);
  if (read.damaged()) {
    // A faults file that cannot be read forces every outcome to fail.
    for (const char* what : {"session", "smbios"}) faults[what].fail = true;
    return faults;
  }
  std::istringstream in(std::string(read.bytes.begin(), read.bytes.end()));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string what, code;
    if (!(words >> what >> code) || what[0] == '#') continue;
    Fault fault;
    if (code == "fail") {
      fault.fail = true;
    } else {
      try {
        fault.code = static_cast<int32_t>(std::stol(code));
      } catch (...) {
        continue;
      }
    }
    faults[what] = fault;
  }
  return faults;
}

std::optional<SimulatedFirmware::Fault> SimulatedFirmware::FaultFor(const std::string& what) const {
  const auto faults = ReadFaults();
  const auto it = faults.find(what);
  if (it == faults.end()) return std::nullopt;
  return it->second;
}

bool SimulatedFirmware::Open() {
  const auto fault = FaultFor("session");
  std::error_code ec;
  const auto password = ReadText(dir_ / kSupervisorPasswordFile);
  open_ = !(fault && fault->fail) && std::filesystem::is_directory(dir_, ec) && password;
  sessionPassword_ = password.value_or("");
  return open_;
}

bool SimulatedFirmware::ReadRawSmbiosTable(RawSmbiosTable& table) {
  table = {};
  if (const auto fault = FaultFor("smbios"); fault && fault->fail) return false;
  const FileRead entry = ReadFileAtMost(dir_ / kEntryPointFile, kEntryPointLimit);
  const auto point = entry.ok() ? ParseEntryPoint(entry.bytes) : std::nullopt;
  if (!point) return false;
  // The table is as long as the entry point says; nothing past it is read.
  FileRead dmi = ReadFileHead(dir_ / kDmiFile, std::min<size_t>(point->tableLength, kSmbiosTableLimit));
  if (!dmi.ok()) return false;
  table.smbiosMajor = point->major;
  table.smbiosMinor = point->minor;
  table.data = std::move(dmi.bytes);
  return true;
}

Status SimulatedFirmware::QueryInstanceNames(std::wstring_view query,
                                             std::vector<std::optional<std::wstring>>& names) {
  names.clear();
  if (!open_) return kNotConnected;
  if (query == std::wstring(L"SELECT * FROM ") + kConfigurationClass) {
    names.emplace_back(kConfigurationInstance);
  } else if (query == std::wstring(L"SELECT * FROM ") + kSettingClass) {
    names.emplace_back(kSettingInstance);
  } else {
    return kInvalidQuery;
  }
  return kStatusOk;
}

Status SimulatedFirmware::ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) {
  out.clear();
  if (!open_) return kNotConnected;
  const bool configuration = call.className == kConfigurationClass;
  const bool setting = call.className == kSettingClass;
  if (!configuration && !setting) return kInvalidObjectPath;
  if (call.objectPath != ObjectPath(call.className, configuration ? kConfigurationInstance : kSettingInstance)) {
    return kInvalidObjectPath;
  }
  const std::wstring& m = call.method;
  const bool known = configuration ? (m == L"GetBiosOptions" || m == L"SetBiosOptions" ||
                                      m == L"GetBiosDefaultOptions" || m == L"SetBiosDefaultOptions")
                                   : (m == L"LoadBIOSDefault" || m == L"LoadUserDefault");
  if (!known) return kInvalidMethod;

  const FirmwareValue* length = FindIn(call, L"PasswordLen");
  const FirmwareValue* password = FindIn(call, L"Password");
  const bool sendsData = m == L"SetBiosOptions" || m == L"SetBiosDefaultOptions";
  const FirmwareValue* data = FindIn(call, L"Data");
  if (!length || length->kind != FirmwareValue::Kind::kInt16 || !password ||
      password->kind != FirmwareValue::Kind::kBytes || (sendsData && (!data || data->kind != FirmwareValue::Kind::kBytes))) {
    return kInvalidParameter;
  }

  const std::string method = WideToUtf8(m);
  {
    std::ofstream log(dir_ / kCallsLogFile, std::ios::app);
    log << method << ' ' << length->integer << ' ' << Hex(password->bytes) << '\n';
  }
  // The block as sent, before the firmware keeps or drops anything of it.
  if (sendsData) WriteFileBytes(dir_ / kLastSentFile, data->bytes);

  Machine machine(dir_, *this);
  const auto fault = FaultFor(method);
  if (fault && fault->fail) return kStatusFailed;

  int32_t code = kSuccess;
  std::vector<uint8_t> returned;
  const bool returnsData = m == L"GetBiosOptions" || m == L"GetBiosDefaultOptions";
  auto options = machine.ReadBlock(kOptionsFile);
  auto defaults = machine.ReadBlock(kDefaultsFile);
  if (!options || !defaults) return kStatusFailed;  // the firmware's store is unreadable

  if (!fault) {
    const auto checked = machine.CheckPassword(sessionPassword_, length->integer, password->bytes);
    if (!checked) return kStatusFailed;  // the wrong-password counter is damaged
    code = *checked;
  }
  const bool proceed = fault ? (fault->code & ~8) == 0 : code == kSuccess;
  if (m == L"GetBiosOptions") {
    returned = *options;
  } else if (m == L"GetBiosDefaultOptions") {
    returned = *defaults;
  } else if (sendsData && data->bytes.size() != kBlockSize) {
    if (!fault) code = kInvalidParameterCode;
  } else if (m == L"SetBiosOptions" && proceed) {
    if (!fault) {
      const auto applied = machine.ApplyPasswords(*options, data->bytes);
      if (!applied) return kStatusFailed;  // a password file is damaged
      code = *applied;
    }
    if (code == kSuccess || fault) {
      auto merged = machine.Merge(*options, data->bytes);
      merged[kFlagByte] = 0;  // the flagged passwords are applied; the flag is spent
      if (machine.SaveUserDefaultsRequested(*options, merged)) WriteFileBytes(dir_ / kUserDefaultsFile, merged);
      if (!WriteFileBytes(dir_ / kOptionsFile, merged)) return kStatusFailed;
    }
  } else if (m == L"SetBiosDefaultOptions" && proceed) {
    if (!WriteFileBytes(dir_ / kDefaultsFile, machine.Merge(*defaults, data->bytes))) return kStatusFailed;
  } else if (m == L"LoadBIOSDefault" && proceed) {
    if (!WriteFileBytes(dir_ / kOptionsFile, machine.Merge(*options, *defaults))) return kStatusFailed;
  } else if (m == L"LoadUserDefault" && proceed) {
    const FileRead stored = ReadFileOfSize(dir_ / kUserDefaultsFile, kBlockSize);
    if (stored.damaged()) return kStatusFailed;
    const auto user = stored.ok() ? std::optional(stored.bytes) : std::nullopt;
    if (fault) {
      if (user) WriteFileBytes(dir_ / kOptionsFile, machine.Merge(*options, *user));
    } else if (sessionPassword_.empty()) {
      code = kNoSupervisorPassword;
    } else if (!user) {
      code = kNoUserDefault;
    } else if (!WriteFileBytes(dir_ / kOptionsFile, machine.Merge(*options, *user))) {
      return kStatusFailed;
    }
  }
  if (fault) code = fault->code;

  for (const auto& name : call.outNames) {
    if (name == L"ReturnCode") {
      out.push_back(FirmwareValue::Int32(code));
    } else if (name == L"Data" && returnsData) {
      out.push_back(FirmwareValue::Bytes(returned));
    } else {
      return kInvalidParameter;  // no such out-parameter
    }
  }
  return kStatusOk;
}

uint32_t SimulatedFirmware::KeyScan(char c) { return UsKeyboardScan(c); }

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
