// vort-sim: makes simulated machines for vort64.
//
//   vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]
//                       [--asset-tag TEXT] [--no-oem-structure]
//                       [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]
#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/machine.h"
#include "sim/machine_files.h"
#include "wmi/firmware_facts.h"

namespace {

constexpr char kUsage[] =
    "usage: vort-sim create DIR [--wmi M.N] [--smbios M.N] [--model TEXT] [--serial TEXT]\n"
    "                           [--asset-tag TEXT] [--no-oem-structure]\n"
    "                           [--supervisor-password TEXT] [--user-password TEXT] [--options FILE.bin]\n";

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
    case FileState::kTooLong: error = file + ": an option block export holds exactly " + std::to_string(kSize) + " bytes"; break;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2 || args[0] != "create") return Fail(args.empty() ? "no command" : "unknown command");
  vort64::sim::MachineOptions options;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--no-oem-structure") {
      options.oemStructure = false;
      continue;
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
    } else {
      return Fail("unknown option: " + flag);
    }
  }
  std::string error;
  if (!vort64::sim::CreateMachine(args[1], options, error)) {
    std::cerr << "vort-sim: " << error << '\n';
    return 1;
  }
  return 0;
}
