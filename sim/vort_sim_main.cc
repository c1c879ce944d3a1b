// vort-sim: makes simulated machines for vort64, and shows what an option
// block holds.
//
//   vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]
//                       [--asset-tag TEXT] [--no-oem-structure]
//                       [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]
//   vort-sim show DIR [--defaults | --file BLOCK.bin]
//   vort-sim diff A.bin B.bin --wmi M.N
//   vort-sim --help
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "buffer/display.h"
#include "catalog/catalog.h"
#include "sim/block_view.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/simulated_firmware.h"
#include "wmi/firmware_facts.h"
#include "wmi/smbios.h"

namespace {

constexpr char kUsage[] =
    "usage: vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]\n"
    "                           [--asset-tag TEXT] [--no-oem-structure]\n"
    "                           [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]\n"
    "       vort-sim show DIR [--defaults | --file BLOCK.bin]\n"
    "       vort-sim diff A.bin B.bin --wmi M.N\n"
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
                                                         "--user-password", "--options"};
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

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Fail("no command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (args[0] == "create") return Create(args);
  if (args[0] == "show") return Show(args);
  if (args[0] == "diff") return Diff(args);
  return Fail("unknown command: " + args[0]);
}
