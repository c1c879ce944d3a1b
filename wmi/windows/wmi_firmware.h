// The firmware seam over WMI: the firmware's provider classes in namespace
// ROOT\WMI, reached through IWbemLocator and IWbemServices. Every COM call
// goes through a ComRuntime or through an interface that one of its calls
// produced, so tests can stand a fake WMI service behind it.
#ifndef VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_
#define VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/firmware.h"
#include "wmi/windows/com.h"
#include "wmi/windows/com_ptr.h"
#include "wmi/windows/com_runtime.h"
#include "wmi/windows/com_scope.h"

namespace vort64 {

class WmiFirmware final : public Firmware {
 public:
  explicit WmiFirmware(std::unique_ptr<ComRuntime> com);
  ~WmiFirmware() override;
  WmiFirmware(const WmiFirmware&) = delete;
  WmiFirmware& operator=(const WmiFirmware&) = delete;

  // Initialises COM in the multithreaded model on the calling thread,
  // creates the WBEM locator, connects to ROOT\WMI and sets the proxy
  // security of the connection. On failure releases what it obtained and
  // balances its COM initialisation. Opening an open connection closes it
  // first.
  // The lock is a named mutex in the Global\ namespace, shared by every
  // session of the machine; a mutex its last holder left without releasing
  // it (a run that was killed) is taken over.
  LockOutcome LockMachine(std::chrono::milliseconds limit) override;
  void UnlockMachine() override;

  bool Open() override;
  bool IsOpen() const override { return services_.Get() != nullptr; }
  // Releases the services, then the locator, then balances the COM
  // initialisation of Open (only a successful one is balanced, so a thread
  // that was already in another concurrency model is left alone).
  void Close() override;

  // Reads MSSMBios_RawSMBiosTables over the open connection; fails when the
  // connection is not open.
  bool ReadRawSmbiosTable(RawSmbiosTable& table) override;
  Status QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) override;
  Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override;
  uint32_t KeyScan(char c) override;
  // The count in %ProgramData%\Vort64 (wmi/windows/refused_calls_file.h),
  // for this machine as its SMBIOS tables were read.
  std::optional<int> RefusedPasswordCalls() override;
  bool KeepRefusedPasswordCalls(int count) override;

  // How the last Open's connection attempt ended: S_OK when connected,
  // otherwise the status of the step that failed (E_FAIL before any Open).
  HRESULT connectStatus() const { return connectStatus_; }
  // Whether the connection holds a COM initialisation that Close will balance.
  bool comInitialized() const { return comScope_ && comScope_->initialized(); }

 private:
  // Creates the locator, connects it to ROOT\WMI and sets the proxy blanket
  // on the services. Returns the status of the first step that failed; the
  // caller releases what was obtained.
  HRESULT Connect();

  // Declared in this order so that the references are released before COM
  // is uninitialised.
  std::unique_ptr<ComRuntime> com_;
  std::optional<ComScope> comScope_;
  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  HRESULT connectStatus_ = E_FAIL;
  HANDLE machineMutex_ = nullptr;  // held while not null
  uint64_t machine_ = 0;           // the digest of the SMBIOS tables as last read
};

// The name of the machine-wide mutex runs take in turn.
inline constexpr wchar_t kMachineMutexName[] = L"Global\\Vort64.Firmware";

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_
