#include "sim/system_drive.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"
#include "catalog/catalog.h"
#include "sim/interface_rules.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "wmi/smbios.h"

namespace vort64::sim {
namespace {

constexpr size_t kSystemDriveLimit = 64 * 1024;

std::optional<int32_t> Number(std::string_view word) {
  int32_t value{};
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || value < 0) return std::nullopt;
  return value;
}

// The interface version of the machine, from its SMBIOS files as they are
// (no fault applies: this is the machine starting, not the program reading).
std::optional<InterfaceVersion> MachineVersion(const std::filesystem::path& dir) {
  const FileRead entry = ReadFileAtMost(dir / kEntryPointFile, kEntryPointLimit);
  const auto point = entry.ok() ? ParseEntryPoint(entry.bytes) : std::nullopt;
  if (!point) return std::nullopt;
  const FileRead dmi = ReadFileHead(dir / kDmiFile, std::min<size_t>(point->tableLength, kSmbiosTableLimit));
  if (!dmi.ok()) return std::nullopt;
  RawSmbiosTable table;
  table.smbiosMajor = point->major;
  table.smbiosMinor = point->minor;
  table.data = dmi.bytes;
  return ReadInterfaceVersion(table);
}

}  // namespace

std::optional<SystemDriveState> ParseSystemDrive(std::string_view text) {
  SystemDriveState state;
  bool sawBitLocker = false;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, blank);
    const std::string_view value = line.substr(blank + 1);
    if (key == "drive") {
      if (value.size() != 2 || value[1] != ':' || !std::isalpha(static_cast<unsigned char>(value[0]))) {
        return std::nullopt;
      }
      state.drive = std::string(value);
    } else if (key == "bitlocker") {
      if (value != "on" && value != "off") return std::nullopt;
      state.bitlocker = value == "on";
      sawBitLocker = true;
    } else if (key == "suspended-restarts") {
      const auto count = Number(value);
      if (!count) return std::nullopt;
      state.suspendedRestarts = *count;
    } else if (key == "recovery-key-asked") {
      const size_t after = value.find(' ');
      const auto start = Number(value.substr(0, after));
      if (!start) return std::nullopt;
      state.recoveries.push_back(
          {*start, after == std::string_view::npos ? std::string() : std::string(value.substr(after + 1))});
    } else {
      return std::nullopt;
    }
  }
  if (!sawBitLocker) return std::nullopt;
  return state;
}

std::string SystemDriveText(const SystemDriveState& state) {
  std::string text = "drive " + state.drive + "\nbitlocker " + (state.bitlocker ? "on" : "off") +
                     "\nsuspended-restarts " + std::to_string(state.suspendedRestarts) + "\n";
  for (const RecoveryAsked& asked : state.recoveries) {
    text += "recovery-key-asked " + std::to_string(asked.start) + " " + asked.reasons + "\n";
  }
  return text;
}

SystemDriveRead ReadSystemDrive(const std::filesystem::path& dir) {
  const FileRead read = ReadFileAtMost(dir / kSystemDriveFile, kSystemDriveLimit);
  if (read.missing()) return {std::nullopt, true};
  if (!read.ok()) return {};
  return {ParseSystemDrive(std::string(read.bytes.begin(), read.bytes.end())), false};
}

bool WriteSystemDrive(const std::filesystem::path& dir, const SystemDriveState& state) {
  const std::string text = SystemDriveText(state);
  return WriteFileBytes(dir / kSystemDriveFile, std::vector<uint8_t>(text.begin(), text.end()));
}

bool StartSystemDrive(const std::filesystem::path& dir, int32_t start, std::string& error) {
  const FileRead options = ReadFileOfSize(dir / kOptionsFile, kSettingsBufferSize);
  const FileRead last = ReadFileOfSize(dir / kLastStartFile, kSettingsBufferSize);
  const SystemDriveRead drive = ReadSystemDrive(dir);
  if (!drive.missing && !drive.state) {
    error = (dir / kSystemDriveFile).string() + " is damaged";
    return false;
  }
  if (drive.state && drive.state->bitlocker) {
    SystemDriveState state = *drive.state;
    if (state.suspendedRestarts > 0) {
      // This start is one the protection was suspended for: it asks nothing.
      --state.suspendedRestarts;
    } else if (options.ok() && last.ok()) {
      const auto version = MachineVersion(dir);
      const SettingCatalog catalog = version ? LayoutOf(version->major, version->minor) : SettingCatalog();
      const MeasuredReasons changed = MeasuredSettingsChanged(catalog, last.bytes, options.bytes);
      if (!changed.empty()) state.recoveries.push_back({start, changed.Text()});
    }
    if (!WriteSystemDrive(dir, state)) {
      error = "cannot write " + (dir / kSystemDriveFile).string();
      return false;
    }
  }
  if (options.ok() && !WriteFileBytes(dir / kLastStartFile, options.bytes)) {
    error = "cannot write " + (dir / kLastStartFile).string();
    return false;
  }
  return true;
}

std::string SystemDriveSummary(const std::filesystem::path& dir) {
  const SystemDriveRead read = ReadSystemDrive(dir);
  if (read.missing) return "";
  if (!read.state) return "system drive: " + std::string(kSystemDriveFile) + " is damaged\n";
  const SystemDriveState& state = *read.state;
  // A drive BitLocker never protected has nothing to show.
  if (!state.bitlocker && state.recoveries.empty()) return "";
  std::string text = "system drive " + state.drive + " BitLocker protection ";
  if (!state.bitlocker) {
    text += "off\n";
  } else if (state.suspendedRestarts > 0) {
    text += "suspended for " + std::to_string(state.suspendedRestarts) +
            (state.suspendedRestarts == 1 ? " restart\n" : " restarts\n");
  } else {
    text += "on\n";
  }
  for (const RecoveryAsked& asked : state.recoveries) {
    text += "start " + std::to_string(asked.start) + " asked for the recovery key (" + asked.reasons + " changed)\n";
  }
  return text;
}

SimulatedDriveProtection::SimulatedDriveProtection(std::filesystem::path dir) : dir_(std::move(dir)) {}

const Faults& SimulatedDriveProtection::faults() {
  if (!faults_) {
    const FileRead read = ReadFileAtMost(dir_ / kFaultsFile, kFaultsFileLimit);
    faults_ = read.damaged() ? Faults::Unreadable() : Faults::Parse(std::string(read.bytes.begin(), read.bytes.end()));
  }
  return *faults_;
}

void SimulatedDriveProtection::Log(const std::string& line) {
  AppendFile log(dir_ / kSystemDriveLogFile);
  log.Append(line + "\n");
}

uint32_t SimulatedDriveProtection::Forced(std::string_view method) {
  if (faults().Fails(kVolumeEncryptionFault)) return kWbemInvalidNamespace;
  const auto forced = faults().For(method);
  if (!forced) return 0;
  return forced->fails() ? kCallFailed : static_cast<uint32_t>(forced->code);
}

std::string SimulatedDriveProtection::Drive() {
  const SystemDriveRead read = ReadSystemDrive(dir_);
  return read.state ? read.state->drive : "C:";
}

ProtectionStatus SimulatedDriveProtection::Status() {
  Log(WideToUtf8(kGetProtectionStatusMethod));
  if (const uint32_t code = Forced(WideToUtf8(kGetProtectionStatusMethod))) {
    return {std::nullopt, code, ProtectionCodeWords(code)};
  }
  const SystemDriveRead read = ReadSystemDrive(dir_);
  if (read.missing) return {std::nullopt, kWbemInvalidNamespace, ProtectionCodeWords(kWbemInvalidNamespace)};
  if (!read.state) return {std::nullopt, kCallFailed, ProtectionCodeWords(kCallFailed)};
  return {read.state->protectedNow(), 0, ""};
}

ProtectionCall SimulatedDriveProtection::Suspend(uint32_t restarts) {
  Log(WideToUtf8(kDisableKeyProtectorsMethod) + " " + std::to_string(restarts));
  uint32_t code = Forced(WideToUtf8(kDisableKeyProtectorsMethod));
  SystemDriveRead read = ReadSystemDrive(dir_);
  if (code == 0 && read.missing) code = kWbemInvalidNamespace;
  if (code == 0 && !read.state) code = kCallFailed;
  if (code == 0 && !read.state->bitlocker) code = kFveNotActivated;
  // The simulated drive takes a count of restarts; "until resumed" (0) is
  // not something the program asks for.
  if (code == 0 && (restarts == 0 || restarts > 15)) code = kInvalidArgument;
  if (code == 0) {
    read.state->suspendedRestarts = static_cast<int32_t>(restarts);
    if (!WriteSystemDrive(dir_, *read.state)) code = kCallFailed;
  }
  if (code != 0) return {false, code, ProtectionCodeWords(code)};
  return {true, 0, ""};
}

ProtectionCall SimulatedDriveProtection::Resume() {
  Log(WideToUtf8(kEnableKeyProtectorsMethod));
  uint32_t code = Forced(WideToUtf8(kEnableKeyProtectorsMethod));
  SystemDriveRead read = ReadSystemDrive(dir_);
  if (code == 0 && read.missing) code = kWbemInvalidNamespace;
  if (code == 0 && !read.state) code = kCallFailed;
  if (code == 0 && !read.state->bitlocker) code = kFveNotActivated;
  if (code == 0) {
    read.state->suspendedRestarts = 0;
    if (!WriteSystemDrive(dir_, *read.state)) code = kCallFailed;
  }
  if (code != 0) return {false, code, ProtectionCodeWords(code)};
  return {true, 0, ""};
}

}  // namespace vort64::sim
