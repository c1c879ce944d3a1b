// The firmware of a simulated machine, behind the same seam as the Windows
// WMI provider. The option blocks and passwords are read and written in the
// machine directory at each call, so several runs of the program (and the
// tests) see one consistent machine; what cannot change while the program
// runs (the faults file, the SMBIOS tables) is read once per object.
#ifndef VORT64_SIM_SIMULATED_FIRMWARE_H_
#define VORT64_SIM_SIMULATED_FIRMWARE_H_

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/faults.h"
#include "sim/interface_rules.h"
#include "sim/machine_files.h"
#include "wmi/firmware.h"

namespace vort64::sim {

class SimulatedFirmware : public Firmware {
 public:
  // How a call spends the delay of "delay MS" in the faults file: empty, it
  // sleeps; a caller that must not wait (a fuzz harness) passes its own.
  using CallDelay = std::function<void(std::chrono::milliseconds)>;

  explicit SimulatedFirmware(std::filesystem::path dir, CallDelay delay = {});

  std::optional<std::filesystem::path> StateDirectory() const override { return dir_; }

  // The lock is run.lock in the machine directory, polled until `limit`. A
  // machine directory that is not there (or cannot be reached) has no runs
  // to keep apart: the run goes on and finds no machine.
  LockOutcome LockMachine(std::chrono::milliseconds limit) override;
  void UnlockMachine() override;

  bool Open() override;
  bool IsOpen() const override { return open_; }
  void Close() override;
  bool ReadRawSmbiosTable(RawSmbiosTable& table) override;
  Status QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) override;
  Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override;
  uint32_t KeyScan(char c) override;
  // The program's count is refused-password-calls in the machine directory,
  // counted in the start the file "starts" names (vort-sim restart).
  std::optional<int> RefusedPasswordCalls() override;
  bool KeepRefusedPasswordCalls(int count) override;

 private:
  // Each read on first use.
  const Faults& faults();
  const std::optional<RawSmbiosTable>& smbios();
  const InterfaceRules& rules();

  std::filesystem::path dir_;
  CallDelay delay_;
  // Open from their first use until Close().
  MachineFile optionsFile_;
  MachineFile defaultsFile_;
  MachineFile lastSentFile_;
  AppendFile log_;     // calls.log
  FileLock runLock_;   // run.lock
  FileLock callLock_;  // call.lock: each method call runs alone, as on a real firmware
  bool open_ = false;
  // The supervisor password in force when the connection was opened: calls
  // are checked against it, so a run that changes the password still reads
  // its change back; the new password counts from the next connection on.
  std::string sessionPassword_;
  std::optional<Faults> faults_;
  bool smbiosRead_ = false;
  std::optional<RawSmbiosTable> smbios_;  // the tables, when they could be read
  std::optional<InterfaceRules> rules_;
};

// What a firmware method's WMI signature holds beyond PasswordLen, Password
// and ReturnCode: whether it takes a Data block and whether it answers one.
struct MethodSignature {
  bool takesData = false;
  bool returnsData = false;
};
// The signature of a method of one of the two firmware classes; nothing for
// a class or method the firmware lacks.
std::optional<MethodSignature> FindMethodSignature(std::wstring_view className, std::wstring_view method);

// The scan code of a character on a US keyboard (set 1) in the low byte, as
// the keyboard driver reports it; 0xFFFFFFFF for a character without a key.
uint32_t UsKeyboardScan(char c);

}  // namespace vort64::sim

#endif  // VORT64_SIM_SIMULATED_FIRMWARE_H_
