// The seam between the program and the firmware. Two implementations sit
// behind it: the Windows WMI provider (namespace ROOT\WMI) and the simulated
// machine. Everything above it is shared and does not know which side it
// talks to.
#ifndef VORT64_WMI_FIRMWARE_H_
#define VORT64_WMI_FIRMWARE_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vort64 {

// Status of a WMI step, an HRESULT.
using Status = int32_t;
inline constexpr Status kStatusOk = 0;
inline constexpr Status kStatusFailed = static_cast<Status>(0x80004005u);  // E_FAIL

// The raw SMBIOS tables as the firmware publishes them.
struct RawSmbiosTable {
  uint8_t smbiosMajor = 0;
  uint8_t smbiosMinor = 0;
  std::vector<uint8_t> data;  // the structures one after another; empty when the read failed
};

// A method parameter: the part of a VARIANT that the firmware methods use.
struct FirmwareValue {
  enum class Kind { kEmpty, kNull, kInt16, kInt32, kBytes, kOther };

  Kind kind = Kind::kEmpty;
  int32_t integer = 0;         // kInt16, kInt32
  std::vector<uint8_t> bytes;  // kBytes: a one-dimensional byte array

  static FirmwareValue Int16(int16_t v) { return {Kind::kInt16, v, {}}; }
  static FirmwareValue Int32(int32_t v) { return {Kind::kInt32, v, {}}; }
  static FirmwareValue Bytes(std::vector<uint8_t> b) { return {Kind::kBytes, 0, std::move(b)}; }
};

struct NamedValue {
  std::wstring name;
  FirmwareValue value;
};

// One method execution on one object.
struct MethodCall {
  std::wstring className;   // the class whose method signature is used
  std::wstring objectPath;  // the instance the method runs on
  std::wstring method;
  std::vector<NamedValue> in;          // put in this order
  std::vector<std::wstring> outNames;  // read in this order
};

// How taking the machine-wide lock of a run ended.
enum class LockOutcome {
  kHeld,      // the lock is this run's until UnlockMachine()
  kTimedOut,  // another run held it for the whole wait
  kFailed,    // the lock could not be made or taken
};

// How long a run waits for another run on the same machine to end.
inline constexpr std::chrono::milliseconds kMachineLockLimit = std::chrono::seconds(60);

class Firmware {
 public:
  virtual ~Firmware() = default;

  // The directory in which this firmware keeps its state, where the
  // program's own outputs could reach it (a simulated machine's); nothing
  // for a firmware that keeps no files of the run's user.
  virtual std::optional<std::filesystem::path> StateDirectory() const { return std::nullopt; }

  // Takes the machine-wide lock that keeps every other run of the program
  // away from this firmware, waiting at most `limit` while another run holds
  // it. A run takes it before it opens the connection and keeps it to its
  // end, so that no other run's read, change and write-back of the option
  // block comes between its own. Held until UnlockMachine() or the object
  // goes.
  virtual LockOutcome LockMachine(std::chrono::milliseconds limit) = 0;
  virtual void UnlockMachine() = 0;

  // Opens the connection to the firmware's namespace. Returns false when it
  // could not be opened; every method call then fails.
  virtual bool Open() = 0;
  virtual bool IsOpen() const = 0;
  // Closes the connection; the destructor does it too.
  virtual void Close() = 0;

  // Reads the raw SMBIOS tables over the open connection; the run reads them
  // once, right after opening. False leaves the table empty.
  virtual bool ReadRawSmbiosTable(RawSmbiosTable& table) = 0;

  // Runs an instance query and reports each instance's InstanceName in
  // enumeration order: the text, or nothing when it could not be read or is
  // empty or null. Returns the status of the query.
  virtual Status QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) = 0;

  // Executes a method. On success fills `out` with one value per out name
  // and returns kStatusOk; otherwise returns the status of the step that
  // failed and leaves `out` unspecified.
  virtual Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) = 0;

  // The keyboard scan code for a character (OemKeyScan): the low byte is the
  // scan code. Used for passwords of interfaces below 2.50.
  virtual uint32_t KeyScan(char c) = 0;

  // The count of refused password calls that the program keeps across its
  // runs on this machine: the calls refused in a row since the last accepted
  // one and since the machine last started (a start counts from 0 again, as
  // the firmware's own retry count does). It holds nothing else (no
  // password, no hash of one). Nothing when it cannot be read; 0 when none
  // was kept for this start.
  virtual std::optional<int> RefusedPasswordCalls() = 0;
  // Keeps `count` for this start of the machine. False when it could not be
  // written.
  virtual bool KeepRefusedPasswordCalls(int count) = 0;
};

}  // namespace vort64

#endif  // VORT64_WMI_FIRMWARE_H_
