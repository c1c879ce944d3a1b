// The firmware of a simulated machine, behind the same seam as the Windows
// WMI provider. Each call reads and writes the machine directory, so several
// runs of the program (and the tests) see one consistent machine.
#ifndef VORT64_SIM_SIMULATED_FIRMWARE_H_
#define VORT64_SIM_SIMULATED_FIRMWARE_H_

#include <filesystem>
#include <map>
#include <string>

#include "wmi/firmware.h"
#include "wmi/firmware_facts.h"

namespace vort64::sim {

class SimulatedFirmware : public Firmware {
 public:
  explicit SimulatedFirmware(std::filesystem::path dir);

  bool Open() override;
  bool IsOpen() const override { return open_; }
  void Close() override { open_ = false; }
  bool ReadRawSmbiosTable(RawSmbiosTable& table) override;
  Status QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) override;
  Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override;
  uint32_t KeyScan(char c) override;

 private:
  // A forced outcome from the faults file: a return code, or "fail".
  struct Fault {
    bool fail = false;
    int32_t code = 0;
  };
  std::map<std::string, Fault> ReadFaults() const;
  std::optional<Fault> FaultFor(const std::string& what) const;

  std::filesystem::path dir_;
  bool open_ = false;
  // The supervisor password in force when the connection was opened: calls
  // are checked against it, so a run that changes the password still reads
  // its change back; the new password counts from the next connection on.
  std::string sessionPassword_;
};

// The scan code of a character on a US keyboard (set 1) in the low byte, as
// the keyboard driver reports it; 0xFFFFFFFF for a character without a key.
uint32_t UsKeyboardScan(char c);

}  // namespace vort64::sim

#endif  // VORT64_SIM_SIMULATED_FIRMWARE_H_
