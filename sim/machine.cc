#include "sim/machine.h"

#include <algorithm>
#include <numeric>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "sim/interface_rules.h"
#include "sim/machine_files.h"
#include "sim/system_drive.h"
#include "wmi/firmware_facts.h"
#include "wmi/refused_calls.h"
#include "wmi/smbios.h"

namespace vort64::sim {
namespace {

void AppendStructure(std::vector<uint8_t>& out, uint8_t type, uint16_t handle, std::vector<uint8_t> body,
                     const std::vector<std::string>& strings) {
  out.push_back(type);
  out.push_back(static_cast<uint8_t>(4 + body.size()));
  out.push_back(static_cast<uint8_t>(handle & 0xFF));
  out.push_back(static_cast<uint8_t>(handle >> 8));
  out.insert(out.end(), body.begin(), body.end());
  bool any = false;
  for (const auto& s : strings) {
    if (s.empty()) continue;
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
    any = true;
  }
  if (!any) out.push_back(0);
  out.push_back(0);
}

// String numbers for a list of strings in which empty ones are left out of the set.
std::vector<uint8_t> StringNumbers(const std::vector<std::string>& strings) {
  std::vector<uint8_t> numbers;
  uint8_t next = 1;
  for (const auto& s : strings) numbers.push_back(s.empty() ? 0 : next++);
  return numbers;
}

uint8_t Checksum(const std::vector<uint8_t>& bytes, size_t begin, size_t end) {
  unsigned sum = 0;
  for (size_t i = begin; i < end; ++i) sum += bytes[i];
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool Contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != std::wstring_view::npos; }

}  // namespace

std::vector<uint8_t> BuildSmbiosStructures(const MachineOptions& options) {
  std::vector<uint8_t> out;
  // Type 0, BIOS information: vendor, version, release date.
  const std::vector<std::string> bios = {"Vort64 Simulated Firmware", "1.00", "12/10/2026"};
  const auto biosNo = StringNumbers(bios);
  AppendStructure(out, 0, 0x0000, {biosNo[0], biosNo[1], 0x00, 0xE0, biosNo[2], 0x0F}, bios);

  // Type 1, system information: manufacturer, product, version, serial.
  const std::vector<std::string> system = {"Vort64", options.model, "1.0", options.serial};
  const auto sysNo = StringNumbers(system);
  std::vector<uint8_t> body = {sysNo[0], sysNo[1], sysNo[2], sysNo[3]};
  body.resize(body.size() + 16 + 1, 0);  // UUID, wake-up type
  AppendStructure(out, kSmbiosSystemInformation, 0x0001, body, system);

  // Type 3, chassis: manufacturer, type, version, serial, asset tag.
  const std::vector<std::string> chassis = {"Vort64", "1.0", options.serial, options.assetTag};
  const auto chNo = StringNumbers(chassis);
  AppendStructure(out, kSmbiosChassis, 0x0003, {chNo[0], 0x0A, chNo[1], chNo[2], chNo[3], 0x03, 0x03, 0x03, 0x03},
                  chassis);

  if (options.oemStructure) {
    // The OEM structure: bytes 4 and 5 carry the firmware's WMI interface version.
    AppendStructure(out, kSmbiosWmiInterface, 0x00AC, {options.wmiMajor, options.wmiMinor}, {});
  }
  AppendStructure(out, 127, 0xFFFF, {}, {});
  return out;
}

std::vector<uint8_t> BuildEntryPoint(const MachineOptions& options, size_t tableLength) {
  std::vector<uint8_t> ep;
  const auto length16 = static_cast<uint16_t>(std::min<size_t>(tableLength, 0xFFFF));
  if (options.smbiosMajor >= 3) {
    ep = {'_', 'S', 'M', '3', '_', 0, 0x18, options.smbiosMajor, options.smbiosMinor, 0, 0x01, 0};
    const auto length32 = static_cast<uint32_t>(tableLength);
    for (int i = 0; i < 4; ++i) ep.push_back(static_cast<uint8_t>(length32 >> (8 * i)));
    for (int i = 0; i < 8; ++i) ep.push_back(0);  // table address
    ep[5] = Checksum(ep, 0, ep.size());
  } else {
    ep = {'_',
          'S',
          'M',
          '_',
          0,
          0x1F,
          options.smbiosMajor,
          options.smbiosMinor,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          '_',
          'D',
          'M',
          'I',
          '_',
          0,
          static_cast<uint8_t>(length16 & 0xFF),
          static_cast<uint8_t>(length16 >> 8),
          0,
          0,
          0,
          0,
          5,
          0,
          static_cast<uint8_t>((options.smbiosMajor << 4) | (options.smbiosMinor & 0x0F))};
    ep[21] = Checksum(ep, 16, 31);
    ep[4] = Checksum(ep, 0, 31);
  }
  return ep;
}

std::optional<EntryPoint> ParseEntryPoint(const std::vector<uint8_t>& bytes) {
  auto starts = [&](std::string_view anchor) {
    return bytes.size() >= anchor.size() && std::equal(anchor.begin(), anchor.end(), bytes.begin());
  };
  // Little-endian fields: the 32-bit maximum size at 12 from 3.0 on, the
  // 16-bit table length at 22 before.
  auto le = [&](size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) value = (value << 8) | bytes[at + i];
    return value;
  };
  if (starts("_SM3_") && bytes.size() >= 16) return EntryPoint{bytes[7], bytes[8], le(12, 4)};
  if (starts("_SM_") && bytes.size() >= 24) return EntryPoint{bytes[6], bytes[7], le(22, 2)};
  return std::nullopt;
}

std::vector<uint8_t> BuildOptionBlock(const SettingCatalog& catalog, const MachineOptions& options) {
  std::vector<uint8_t> block(kSettingsBufferSize, kNotSupported);
  for (const auto& [name, info] : catalog.settings()) {
    if (info.offset >= kSettingsBufferSize || info.size > kSettingsBufferSize - info.offset) continue;
    auto field = std::span(block).subspan(info.offset, info.size);
    std::fill(field.begin(), field.end(), uint8_t{0});
    const SettingKind kind = info.kind;
    if (kind == SettingKind::kDate) {
      const uint8_t date[] = {10, 12, 26};  // day, month, year - 2000
      std::copy_n(date, std::min<size_t>(3, field.size()), field.begin());
    } else if (kind == SettingKind::kTime) {
      const uint8_t time[] = {0, 30, 9};  // second, minute, hour
      std::copy_n(time, std::min<size_t>(3, field.size()), field.begin());
    } else if (kind == SettingKind::kBootOrder) {
      const uint8_t order[] = {19, 1, 7, 10};
      std::fill(field.begin(), field.end(), kNotSupported);  // 255 ends the list
      std::copy_n(order, std::min<size_t>(4, field.size()), field.begin());
    } else if (kind == SettingKind::kMacAddress) {
      const uint8_t mac[] = {0x00, 0x1B, 0x21, 0x3C, 0x4D, 0x5E};
      std::copy_n(mac, std::min<size_t>(6, field.size()), field.begin());
    } else if (kind == SettingKind::kAssetTag) {
      std::copy_n(options.assetTag.begin(), std::min(options.assetTag.size(), field.size()), field.begin());
    } else if (name == PasswordStatusName({PasswordItem::kSupervisor})) {
      field[0] = options.supervisorPassword.empty() ? 0 : 1;
    } else if (name == PasswordStatusName({PasswordItem::kUser})) {
      field[0] = options.userPassword.empty() ? 0 : 1;
    } else if (name == L"wigig") {
      field[0] = kNotSupported;  // this notebook has no WiGig radio
    } else if (info.size == 1 && Contains(info.meaning, L"1 : Enabled") && kind != SettingKind::kPassword &&
               !Contains(name, L"password")) {
      field[0] = 1;
    }
    // A one-byte setting holds a value its layout lists.
    if (info.size == 1 && !info.listed.empty() && field[0] != kNotSupported && !info.listed.Lists(field[0])) {
      field[0] = info.listed.values().front().first;
    }
  }
  return block;
}

bool CreateMachine(const std::filesystem::path& dir, const MachineOptions& options, std::string& error) {
  if (!options.optionBlock.empty() && options.optionBlock.size() != kSettingsBufferSize) {
    error = "the option block must hold " + std::to_string(kSettingsBufferSize) + " bytes, not " +
            std::to_string(options.optionBlock.size());
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  // The directory is its owner's alone (0700), as are its files (0600).
  if (!ec) std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
  if (ec) {
    error = "cannot create " + dir.string() + ": " + ec.message();
    return false;
  }
  const SettingCatalog& catalog = LayoutOf(options.wmiMajor, options.wmiMinor);
  const auto dmi = BuildSmbiosStructures(options);
  const auto defaults = BuildOptionBlock(catalog, options);
  // A given block is stored as it is, but for what it says of the passwords:
  // the machine's own are what counts.
  auto block = options.optionBlock.empty() ? defaults : options.optionBlock;
  const InterfaceRules rules(options.wmiMajor, options.wmiMinor);
  rules.KeepPasswordStatus(block, !options.supervisorPassword.empty(), !options.userPassword.empty());
  const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };

  // A fresh machine: nothing of an earlier one at the same place stays (its
  // faults, its calls, its passwords, its stored blocks).
  for (const char* name : {kUserDefaultsFile, kSupervisorPasswordFile, kUserPasswordFile, kRetriesFile, kFaultsFile,
                           kCallsLogFile, kLastSentFile, kStartsFile, kRefusedCallsFileName, kSystemDriveLogFile}) {
    std::filesystem::remove_all(dir / name, ec);
    if (ec) {
      error = "cannot remove " + (dir / name).string() + ": " + ec.message();
      return false;
    }
  }
  bool ok = WriteFileBytes(dir / kDmiFile, dmi) &&
            WriteFileBytes(dir / kEntryPointFile, BuildEntryPoint(options, dmi.size())) &&
            WriteFileBytes(dir / kOptionsFile, block) && WriteFileBytes(dir / kDefaultsFile, defaults) &&
            WriteFileBytes(dir / kRunLockFile, {}) && WriteFileBytes(dir / kCallLockFile, {});
  // The system drive, and the block it last started with.
  SystemDriveState drive;
  drive.bitlocker = options.bitlocker;
  ok = ok && WriteSystemDrive(dir, drive) && WriteFileBytes(dir / kLastStartFile, block);
  if (ok && !options.supervisorPassword.empty()) {
    ok = WritePrivateFileBytes(dir / kSupervisorPasswordFile, text(rules.PasswordAsKept(options.supervisorPassword)));
  }
  if (ok && !options.userPassword.empty()) {
    ok = WritePrivateFileBytes(dir / kUserPasswordFile, text(rules.PasswordAsKept(options.userPassword)));
  }
  if (!ok) error = "cannot write the machine files in " + dir.string();
  return ok;
}

std::filesystem::path ResolveMachineDirectory(const std::function<std::optional<std::string>(const char*)>& getenv) {
  if (auto dir = getenv("VORT64_MACHINE"); dir && !dir->empty()) return *dir;
  if (auto state = getenv("XDG_STATE_HOME"); state && !state->empty()) {
    return std::filesystem::path(*state) / "vort64" / "machine";
  }
  std::filesystem::path home;
  if (auto h = getenv("HOME"); h && !h->empty()) {
    home = *h;
  } else if (auto profile = getenv("USERPROFILE"); profile && !profile->empty()) {
    home = *profile;
  }
  return home / ".local" / "state" / "vort64" / "machine";
}

std::filesystem::path MachineForRun(const std::function<std::optional<std::string>(const char*)>& getenv,
                                    std::string& error) {
  error.clear();
  const std::filesystem::path dir = ResolveMachineDirectory(getenv);
  // A machine named by VORT64_MACHINE is taken as it is, even when it is
  // missing; the default machine is made on first use.
  if (const auto named = getenv("VORT64_MACHINE"); named && !named->empty()) {
    // Said before anything else, so that a mistyped name is not taken for a
    // notebook without the WMI interface.
    std::error_code ec;
    const auto type = std::filesystem::status(dir, ec).type();
    if (type == std::filesystem::file_type::not_found) {
      error = "The simulated machine " + dir.string() + " (VORT64_MACHINE) does not exist.";
    } else if (!ec && type != std::filesystem::file_type::directory) {
      error = "The simulated machine " + dir.string() + " (VORT64_MACHINE) is not a directory.";
    }
    return dir;
  }
  std::error_code ec;
  const bool exists = std::filesystem::exists(dir, ec);
  if (ec) {
    error = "cannot use the simulated machine " + dir.string() + ": " + ec.message();
  } else if (!exists) {
    CreateMachine(dir, MachineOptions(), error);
  }
  return dir;
}

std::optional<int32_t> MachineStarts(const std::filesystem::path& dir) {
  const FileRead read = ReadFileAtMost(dir / kStartsFile, kTextFileLimit);
  if (read.damaged()) return std::nullopt;
  return ParseCount(std::string(read.bytes.begin(), read.bytes.end()));
}

bool RestartMachine(const std::filesystem::path& dir, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(dir / kOptionsFile, ec)) {
    error = dir.string() + " is no simulated machine (it has no " + kOptionsFile + ")";
    return false;
  }
  // Between two runs of the program, never in one.
  FileLock runs(dir / kRunLockFile);
  if (runs.Lock() != FileLock::Outcome::kHeld) {
    error = "cannot take " + (dir / kRunLockFile).string();
    return false;
  }
  const auto starts = MachineStarts(dir);
  if (!starts) {
    error = (dir / kStartsFile).string() + " is damaged";
    return false;
  }
  const int32_t start = *starts == INT32_MAX ? 0 : *starts + 1;
  const std::string next = std::to_string(start);
  if (!WriteFileBytes(dir / kStartsFile, std::vector<uint8_t>(next.begin(), next.end()))) {
    error = "cannot write " + (dir / kStartsFile).string();
    return false;
  }
  // The firmware's count of wrong passwords begins again at a start.
  std::filesystem::remove(dir / kRetriesFile, ec);
  if (ec) {
    error = "cannot remove " + (dir / kRetriesFile).string() + ": " + ec.message();
    return false;
  }
  return StartSystemDrive(dir, start, error);
}

}  // namespace vort64::sim
