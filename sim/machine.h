// A simulated machine: a directory holding what a notebook's firmware would
// publish (SMBIOS tables, the option block, the factory defaults) and what it
// keeps (passwords). The format of the directory is documented in the README;
// scripts and tests rely on it.
#ifndef VORT64_SIM_MACHINE_H_
#define VORT64_SIM_MACHINE_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vort64 {

class SettingCatalog;

namespace sim {

// File names inside a machine directory.
inline constexpr char kDmiFile[] = "DMI";
inline constexpr char kEntryPointFile[] = "smbios_entry_point";
inline constexpr char kOptionsFile[] = "options.bin";
inline constexpr char kDefaultsFile[] = "defaults.bin";
inline constexpr char kUserDefaultsFile[] = "user-defaults.bin";
inline constexpr char kSupervisorPasswordFile[] = "supervisor-password";
inline constexpr char kUserPasswordFile[] = "user-password";
inline constexpr char kRetriesFile[] = "password-retries";
// How many times the machine has started since it was made (vort-sim restart).
inline constexpr char kStartsFile[] = "starts";
inline constexpr char kFaultsFile[] = "faults";
inline constexpr char kCallsLogFile[] = "calls.log";
inline constexpr char kLastSentFile[] = "last-sent.bin";
// Held by a run of the program from connecting to its end.
inline constexpr char kRunLockFile[] = "run.lock";
// Held by the firmware for each method call.
inline constexpr char kCallLockFile[] = "call.lock";

struct MachineOptions {
  uint8_t wmiMajor = 2;
  uint8_t wmiMinor = 90;
  uint8_t smbiosMajor = 3;
  uint8_t smbiosMinor = 4;
  std::string model = "Simulated Notebook";
  std::string serial = "SIM0001";
  std::string assetTag;
  bool oemStructure = true;
  std::string supervisorPassword;
  std::string userPassword;
  // BitLocker protects the system drive (vort-sim create --bitlocker on).
  bool bitlocker = false;
  // The option block to start from (a raw export of a real notebook); when
  // empty, one made from the interface version's layout.
  std::vector<uint8_t> optionBlock;
};

// The raw SMBIOS structures of a machine (the DMI file).
std::vector<uint8_t> BuildSmbiosStructures(const MachineOptions& options);
// An SMBIOS entry point ("_SM_" before version 3, "_SM3_" from 3 on) for a
// table of the given size.
std::vector<uint8_t> BuildEntryPoint(const MachineOptions& options, size_t tableLength);
// What an entry point says: the SMBIOS version and the length of the
// structure table (the maximum size, from 3.0 on).
struct EntryPoint {
  uint8_t major{};
  uint8_t minor{};
  uint32_t tableLength{};
};
// Nothing for an unknown or cut-off entry point.
std::optional<EntryPoint> ParseEntryPoint(const std::vector<uint8_t>& bytes);

// A plausible option block for the settings of `catalog`: every setting gets
// a value its meaning allows, every byte no setting covers holds 255.
std::vector<uint8_t> BuildOptionBlock(const SettingCatalog& catalog, const MachineOptions& options);

// Creates (or overwrites) a machine directory. False with `error` set on
// failure, also for an option block of the wrong size.
bool CreateMachine(const std::filesystem::path& dir, const MachineOptions& options, std::string& error);

// How many times the machine has started since it was made (the file
// "starts"; 0 when it is missing); nothing when the file is damaged.
std::optional<int32_t> MachineStarts(const std::filesystem::path& dir);

// One start of the notebook: the machine's count of starts (the file
// "starts") goes up by one, the firmware's count of wrong passwords in a
// row (password-retries) begins again, as a real start does, and the system
// drive starts (StartSystemDrive: a suspended protection counts down, a
// protected drive whose measured settings changed asks for the recovery key). It waits for a
// run of the program on the machine to end. `error` says why it could not.
bool RestartMachine(const std::filesystem::path& dir, std::string& error);

// Where the program finds its machine: VORT64_MACHINE, else
// $XDG_STATE_HOME/vort64/machine, else ~/.local/state/vort64/machine.
// `getenv` answers an environment variable or nothing.
std::filesystem::path ResolveMachineDirectory(const std::function<std::optional<std::string>(const char*)>& getenv);

// The machine a run uses, as ResolveMachineDirectory finds it; the default
// machine (no VORT64_MACHINE) is created with the default options when it
// does not exist yet. `error` says why the default machine could not be
// looked at or made, or that a machine named by VORT64_MACHINE is missing
// or no directory (empty otherwise): the run goes on, and the firmware
// reads as one that cannot be read.
std::filesystem::path MachineForRun(const std::function<std::optional<std::string>(const char*)>& getenv,
                                    std::string& error);

}  // namespace sim
}  // namespace vort64

#endif  // VORT64_SIM_MACHINE_H_
