// vort-sim: makes simulated machines for vort64, and shows what an option
// block holds.
//
//   vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]
//                       [--asset-tag TEXT] [--no-oem-structure]
//                       [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]
//                       [--bitlocker on|off]
//   vort-sim restart DIR
//   vort-sim show DIR [--defaults | --file BLOCK.bin]
//   vort-sim diff A.bin B.bin --wmi M.N
//   vort-sim rehearse BASELINE.xml [--program PATH] [--wmi M.N,...] [--options FILE.bin]
//                                  [--password-file FILE] [--keep DIR] [--json]
//                                  [--bitlocker on|off] [--suspend-bitlocker]
//   vort-sim --help
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "buffer/display.h"
#include "catalog/catalog.h"
#include "sim/block_view.h"
#include "sim/child_process.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/rehearsal.h"
#include "sim/rehearsal_json.h"
#include "sim/simulated_firmware.h"
#include "sim/system_drive.h"
#include "wmi/firmware_facts.h"
#include "wmi/smbios.h"

namespace {

constexpr char kUsage[] =
    "usage: vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]\n"
    "                           [--asset-tag TEXT] [--no-oem-structure]\n"
    "                           [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]\n"
    "                           [--bitlocker on|off]\n"
    "       vort-sim restart DIR\n"
    "       vort-sim show DIR [--defaults | --file BLOCK.bin]\n"
    "       vort-sim diff A.bin B.bin --wmi M.N\n"
    "       vort-sim rehearse BASELINE.xml [--program PATH] [--wmi M.N,...] [--options FILE.bin]\n"
    "                                      [--password-file FILE] [--keep DIR] [--json]\n"
    "                                      [--bitlocker on|off] [--suspend-bitlocker]\n"
    "       vort-sim --help\n";

bool ParseByte(std::string_view text, uint8_t& out) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > 255) return false;
  out = static_cast<uint8_t>(value);
  return true;
}

bool ParseVersion(std::string_view text, uint8_t& major, uint8_t& minor) {
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  return ParseByte(text.substr(0, dot), major) && ParseByte(text.substr(dot + 1), minor);
}

int Fail(const std::string& message) {
  std::cerr << "vort-sim: " << message << '\n' << kUsage;
  return 2;
}

// A raw option block export: exactly one block, read no further than that.
bool ReadOptionBlock(const std::string& file, std::vector<uint8_t>& block, std::string& error) {
  using vort64::sim::FileState;
  constexpr auto kSize = vort64::kSettingsBufferSize;
  const vort64::sim::FileRead read = vort64::sim::ReadFileOfSize(file, kSize);
  switch (read.state) {
    case FileState::kRead: block = read.bytes; return true;
    case FileState::kMissing: error = file + ": no such file"; break;
    case FileState::kUnreadable: error = file + ": not a readable file"; break;
    case FileState::kTooShort:
    case FileState::kTooLong:
      error = file + ": an option block export holds exactly " + std::to_string(kSize) + " bytes";
      break;
  }
  return false;
}

// The settings of interface 2.`minor`.
vort64::SettingCatalog CatalogOf(uint8_t major, uint8_t minor) {
  vort64::SettingCatalog catalog;
  vort64::BuildSettingCatalog(catalog, major, minor);
  return catalog;
}

// vort-sim show DIR [--defaults | --file BLOCK.bin]: every setting of the
// machine's interface version, from its option block, its defaults or a file.
int Show(const std::vector<std::string>& args) {
  if (args.size() != 2 && args.size() != 3 && args.size() != 4) return Fail("show takes DIR and one source");
  const std::filesystem::path dir = args[1];
  std::filesystem::path blockFile = dir / "options.bin";
  if (args.size() == 3 && args[2] == "--defaults") {
    blockFile = dir / "defaults.bin";
  } else if (args.size() == 4 && args[2] == "--file") {
    blockFile = args[3];
  } else if (args.size() != 2) {
    return Fail("unknown option: " + args[2]);
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::cerr << "vort-sim: " << dir.string() << ": no such machine directory\n";
    return 1;
  }
  vort64::sim::SimulatedFirmware firmware(dir);
  firmware.Open();
  vort64::RawSmbiosTable table;
  firmware.ReadRawSmbiosTable(table);
  const auto version = vort64::ReadInterfaceVersion(table);
  if (!version || !version->Supported()) {
    std::cerr << "vort-sim: " << dir.string() << ": no WMI interface of major version 2\n";
    return 1;
  }
  std::vector<uint8_t> block;
  std::string error;
  if (!ReadOptionBlock(blockFile.string(), block, error)) {
    std::cerr << "vort-sim: " << error << '\n';
    return 1;
  }
  std::cout << vort64::ListSettings(CatalogOf(2, static_cast<uint8_t>(version->minor)), block);
  // The machine's own block: what its system drive's starts did.
  if (args.size() == 2) std::cout << vort64::sim::SystemDriveSummary(dir);
  return 0;
}

// vort-sim diff A.bin B.bin --wmi M.N: the settings whose bytes differ.
int Diff(const std::vector<std::string>& args) {
  uint8_t major{}, minor{};
  if (args.size() != 5 || args[3] != "--wmi" || !ParseVersion(args[4], major, minor)) {
    return Fail("diff takes A.bin B.bin --wmi M.N");
  }
  std::vector<uint8_t> a, b;
  std::string error;
  if (!ReadOptionBlock(args[1], a, error) || !ReadOptionBlock(args[2], b, error)) {
    std::cerr << "vort-sim: " << error << '\n';
    return 1;
  }
  std::cout << vort64::sim::DiffBlocks(CatalogOf(major, minor), a, b);
  return 0;
}

int Create(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("create takes DIR");
  vort64::sim::MachineOptions options;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--no-oem-structure") {
      options.oemStructure = false;
      continue;
    }
    static constexpr std::string_view kValueOptions[] = {"--wmi",           "--smbios",    "--model",
                                                         "--serial",        "--asset-tag", "--supervisor-password",
                                                         "--user-password", "--options",   "--bitlocker"};
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), flag) == std::end(kValueOptions)) {
      return Fail("unknown option: " + flag);
    }
    if (i + 1 >= args.size()) return Fail(flag + " needs a value");
    const std::string& value = args[++i];
    if (flag == "--wmi") {
      if (!ParseVersion(value, options.wmiMajor, options.wmiMinor)) return Fail("bad version: " + value);
    } else if (flag == "--smbios") {
      if (!ParseVersion(value, options.smbiosMajor, options.smbiosMinor)) return Fail("bad version: " + value);
    } else if (flag == "--model") {
      options.model = value;
    } else if (flag == "--serial") {
      options.serial = value;
    } else if (flag == "--asset-tag") {
      options.assetTag = value;
    } else if (flag == "--supervisor-password") {
      options.supervisorPassword = value;
    } else if (flag == "--user-password") {
      options.userPassword = value;
    } else if (flag == "--bitlocker") {
      if (value != "on" && value != "off") return Fail("--bitlocker takes on or off, not " + value);
      options.bitlocker = value == "on";
    } else if (flag == "--options") {
      std::string error;
      if (!ReadOptionBlock(value, options.optionBlock, error)) {
        std::cerr << "vort-sim: " << error << '\n';
        return 1;
      }
    }
  }
  std::string error;
  if (!vort64::sim::CreateMachine(args[1], options, error)) {
    std::cerr << "vort-sim: " << error << '\n';
    return 1;
  }
  return 0;
}

// vort-sim restart DIR: one start of the notebook.
int Restart(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("restart takes DIR");
  std::string error;
  if (!vort64::sim::RestartMachine(args[1], error)) {
    std::cerr << "vort-sim: " << error << '\n';
    return 1;
  }
  return 0;
}

// A new folder for the twins under the system's temporary folder, only its
// owner may enter (a twin keeps its password in plain text).
std::optional<std::filesystem::path> NewTemporaryFolder() {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return std::nullopt;
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "vort-sim-rehearse-%08x", static_cast<unsigned>(random()));
    const std::filesystem::path dir = base / name;
    if (std::filesystem::create_directory(dir, ec)) {
      std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
      return dir;
    }
    if (ec) return std::nullopt;
  }
  return std::nullopt;
}

// Removes the twins' folder. A program that has just ended may still hold a
// file of it for a moment (Wine's do), so a failed removal is tried again
// for a few seconds.
bool RemoveTwins(const std::filesystem::path& root) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    if (!ec && !std::filesystem::exists(root, ec) && !ec) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// The first line of a password file, its line end dropped. Said in `error`
// when there is none; never what the file holds.
bool ReadFirstLine(const std::string& file, std::string& line, std::string& error) {
  constexpr size_t kPasswordFileLimit = 1024;
  const vort64::sim::FileRead read = vort64::sim::ReadFileAtMost(file, kPasswordFileLimit);
  switch (read.state) {
    case vort64::sim::FileState::kRead: break;
    case vort64::sim::FileState::kMissing: error = file + ": no such file"; return false;
    case vort64::sim::FileState::kTooLong:
      error = file + ": larger than " + std::to_string(kPasswordFileLimit) + " bytes";
      return false;
    default: error = file + ": not a readable file"; return false;
  }
  line.assign(read.bytes.begin(), std::find(read.bytes.begin(), read.bytes.end(), uint8_t{'\n'}));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) error = file + ": its first line holds no password";
  return !line.empty();
}

// vort-sim rehearse BASELINE.xml [--program PATH] [--wmi M.N,...]
// [--options FILE.bin] [--password-file FILE] [--keep DIR] [--json]: the
// program's check, import and check again of BASELINE.xml on a fresh twin of
// each version; with --json (before BASELINE.xml or among the options) one
// JSON document in place of the lines.
int Rehearse(std::vector<std::string> args, const char* argv0) {
  namespace fs = std::filesystem;
  using vort64::sim::TwinVersion;
  constexpr std::string_view kJson = "--json";
  bool json = false;
  while (args.size() >= 2 && args[1] == kJson) {
    json = true;
    args.erase(args.begin() + 1);
  }
  if (args.size() < 2 || args[1].starts_with("--")) return Fail("rehearse takes BASELINE.xml");
  vort64::sim::RehearsalRequest request;
  std::error_code ec;
  request.baseline = fs::absolute(args[1], ec);
  std::string program = (vort64::sim::OwnDirectory(argv0) / vort64::sim::kProgramFileName).string();
  std::string optionsFile, passwordFile, keep;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == kJson) {
      json = true;
      continue;
    }
    if (flag == "--suspend-bitlocker") {
      request.suspendBitLocker = true;
      continue;
    }
    static constexpr std::string_view kOptions[] = {"--program",       "--wmi",  "--options",
                                                    "--password-file", "--keep", "--bitlocker"};
    if (std::find(std::begin(kOptions), std::end(kOptions), flag) == std::end(kOptions)) {
      return Fail("unknown option: " + flag);
    }
    if (i + 1 >= args.size()) return Fail(flag + " needs a value");
    const std::string& value = args[++i];
    if (flag == "--program") {
      program = value;
    } else if (flag == "--wmi") {
      for (size_t start = 0; start <= value.size();) {
        size_t end = value.find(',', start);
        if (end == std::string::npos) end = value.size();
        TwinVersion version;
        if (!ParseVersion(std::string_view(value).substr(start, end - start), version.major, version.minor)) {
          return Fail("bad version list: " + value);
        }
        if (std::find(request.versions.begin(), request.versions.end(), version) != request.versions.end()) {
          return Fail(vort64::sim::VersionText(version) + " is named twice");
        }
        request.versions.push_back(version);
        start = end + 1;
      }
    } else if (flag == "--options") {
      optionsFile = value;
    } else if (flag == "--password-file") {
      passwordFile = value;
    } else if (flag == "--bitlocker") {
      if (value != "on" && value != "off") return Fail("--bitlocker takes on or off, not " + value);
      request.bitlocker = value == "on";
    } else {
      keep = value;
    }
  }
  if (!optionsFile.empty() && request.versions.size() != 1) {
    return Fail("--options takes the one version of the notebook it comes from (--wmi M.N)");
  }
  if (request.versions.empty()) request.versions = vort64::sim::LayoutFirstVersions();
  std::string error;
  if (!optionsFile.empty() && !ReadOptionBlock(optionsFile, request.optionBlock, error)) return Fail(error);
  if (!passwordFile.empty()) {
    if (!ReadFirstLine(passwordFile, request.password, error)) return Fail(error);
    request.passwordFile = fs::absolute(passwordFile, ec);
  }
  if (!fs::is_regular_file(request.baseline, ec)) return Fail(args[1] + ": no such file");
  request.program = fs::absolute(program, ec);
  if (!fs::is_regular_file(request.program, ec)) return Fail(program + ": no such program");

  fs::path root;
  if (!keep.empty()) {
    // The twins are kept in a folder of their own: a new one, or an empty one.
    root = fs::absolute(keep, ec);
    fs::create_directories(root, ec);
    if (ec || !fs::is_directory(root, ec) || !fs::is_empty(root, ec)) {
      return Fail("--keep " + keep + ": not a new or empty folder");
    }
    // What it keeps holds the twins' passwords: its owner's alone.
    fs::permissions(root, fs::perms::owner_all, ec);
  } else if (const auto temporary = NewTemporaryFolder()) {
    root = *temporary;
  } else {
    std::cerr << "vort-sim: no temporary folder could be made\n";
    return 1;
  }

  // The text form says each version as it ends; the document comes at the end.
  vort64::sim::Rehearsal rehearsal;
  for (const TwinVersion version : request.versions) {
    rehearsal.versions.push_back(
        vort64::sim::RehearseVersion(request, version, root / vort64::sim::VersionText(version)));
    if (!json) std::cout << vort64::sim::VersionReport(rehearsal.versions.back()) << std::flush;
  }
  if (!json) std::cout << vort64::sim::SummaryText(rehearsal) << std::flush;
  vort64::sim::RehearsalEnd end;
  end.exitCode = rehearsal.compliant() ? 0 : 1;
  if (!keep.empty()) {
    end.kept = root;
    if (!json) std::cout << "twins kept in " << root.string() << "\n";
  } else if (!RemoveTwins(root)) {
    // The twins keep the password in plain text: a folder left behind is said.
    end.error = "the twins' folder " + root.string() + " could not be removed";
    end.exitCode = 1;
    std::cerr << "vort-sim: " << end.error << "\n";
  }
  if (json) std::cout << vort64::sim::RehearsalDocument(rehearsal, end) << std::flush;
  return end.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Fail("no command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (args[0] == "create") return Create(args);
  if (args[0] == "restart") return Restart(args);
  if (args[0] == "show") return Show(args);
  if (args[0] == "diff") return Diff(args);
  if (args[0] == "rehearse") return Rehearse(args, argc > 0 ? argv[0] : "vort-sim");
  return Fail("unknown command: " + args[0]);
}
