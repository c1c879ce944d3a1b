// The system drive of a simulated machine and its BitLocker protection: the
// file "system-drive" in the machine directory holds its letter, whether
// BitLocker protects it, the restarts its protection is suspended for and
// each start that asked for the recovery key; "last-start.bin" holds the
// option block as the machine last started, so that a start can tell which
// settings it measures have changed since. The program reaches the drive
// through the DriveProtection seam (SimulatedDriveProtection), the test WMI
// provider through the same class, and vort-sim restart starts it.
#ifndef VORT64_SIM_SYSTEM_DRIVE_H_
#define VORT64_SIM_SYSTEM_DRIVE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/setting_kind.h"
#include "sim/faults.h"
#include "wmi/drive_protection.h"

namespace vort64 {
class SettingCatalog;
}

namespace vort64::sim {

inline constexpr char kSystemDriveFile[] = "system-drive";
inline constexpr char kLastStartFile[] = "last-start.bin";
// One line per BitLocker method call, as calls.log has one per firmware call.
inline constexpr char kSystemDriveLogFile[] = "system-drive.log";

// A start that asked for the recovery key, and the measured settings that
// had changed.
struct RecoveryAsked {
  int32_t start = 0;
  std::string reasons;  // "secure boot and boot order"
  bool operator==(const RecoveryAsked&) const = default;
};

// The file "system-drive", one fact a line:
//   drive C:
//   bitlocker on                    (or off)
//   suspended-restarts 0
//   recovery-key-asked 2 secure boot        (one line per such start)
struct SystemDriveState {
  std::string drive = "C:";
  bool bitlocker = false;
  int32_t suspendedRestarts = 0;
  std::vector<RecoveryAsked> recoveries;

  // Whether GetProtectionStatus says "protected": BitLocker is on and not
  // suspended.
  bool protectedNow() const { return bitlocker && suspendedRestarts == 0; }
  bool operator==(const SystemDriveState&) const = default;
};

// Nothing for a text that is not such a file.
std::optional<SystemDriveState> ParseSystemDrive(std::string_view text);
std::string SystemDriveText(const SystemDriveState& state);

// What reading the file found: the state, or why there is none.
struct SystemDriveRead {
  std::optional<SystemDriveState> state;
  bool missing = false;  // no such file: a machine without the BitLocker namespace
};
SystemDriveRead ReadSystemDrive(const std::filesystem::path& dir);
bool WriteSystemDrive(const std::filesystem::path& dir, const SystemDriveState& state);

// One start of the system drive (vort-sim restart), the start numbered
// `start`: a protection suspended for restarts counts one down; a protected
// drive whose measured settings changed since the last start (options.bin
// against last-start.bin, by the catalog of the machine's version) records
// that this start asked for the recovery key; last-start.bin becomes the
// block as it is now. A machine without the file has no BitLocker: only
// last-start.bin is kept. False with `error` set when a file could not be
// read or written.
bool StartSystemDrive(const std::filesystem::path& dir, int32_t start, std::string& error);

// What vort-sim show says of the drive: "system drive C:: BitLocker
// protection on", "... suspended for 1 restart", "start 2 asked for the
// recovery key (secure boot changed)"; nothing for a machine without the
// file or whose drive BitLocker never protected.
std::string SystemDriveSummary(const std::filesystem::path& dir);

// The drive as the program meets it on a simulated machine. Each call reads
// and writes the file anew, logs itself in system-drive.log, and answers
// what the faults file forces on its method ("GetProtectionStatus fail",
// "DisableKeyProtectors 2150694912") or on the namespace
// ("MicrosoftVolumeEncryption fail": no BitLocker on this Windows).
class SimulatedDriveProtection : public DriveProtection {
 public:
  explicit SimulatedDriveProtection(std::filesystem::path dir);

  std::string Drive() override;
  ProtectionStatus Status() override;
  ProtectionCall Suspend(uint32_t restarts) override;
  ProtectionCall Resume() override;

 private:
  const Faults& faults();
  void Log(const std::string& line);
  // The code forced on `method` or the namespace, or 0.
  uint32_t Forced(std::string_view method);

  std::filesystem::path dir_;
  std::optional<Faults> faults_;
};

}  // namespace vort64::sim

#endif  // VORT64_SIM_SYSTEM_DRIVE_H_
