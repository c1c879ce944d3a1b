// The firmware seam over WMI: the firmware's provider classes in namespace
// ROOT\WMI, reached through IWbemLocator and IWbemServices. Every COM call
// goes through a ComRuntime or through an interface that one of its calls
// produced, so tests can stand a fake WMI service behind it.
#ifndef VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_
#define VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_

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
  bool Open() override;
  bool IsOpen() const override { return services_.Get() != nullptr; }
  // Releases the services, then the locator, then uninitialises COM (only
  // when the initialisation of Open succeeded, so a thread that was already
  // in another concurrency model is left alone).
  void Close() override;

  // Reads MSSMBios_RawSMBiosTables over a short-lived connection of its own,
  // which balances its own COM initialisation.
  bool ReadRawSmbiosTable(RawSmbiosTable& table) override;
  Status QueryInstanceNames(std::wstring_view query,
                            std::vector<std::optional<std::wstring>>& names) override;
  Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override;
  uint32_t KeyScan(char c) override;

  // The result of the most recent COM call made while connecting.
  HRESULT lastResult() const { return lastResult_; }
  bool comInitialized() const { return comInitialized_; }
  bool mayUninitialize() const { return mayUninitialize_; }

 private:
  // Creates the locator, connects it to ROOT\WMI and sets the proxy blanket
  // on the services. On failure both references are left empty.
  HRESULT Connect(ComPtr<IWbemLocator>& locator, ComPtr<IWbemServices>& services);

  std::unique_ptr<ComRuntime> com_;
  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  HRESULT lastResult_ = S_OK;
  bool mayUninitialize_ = true;
  bool comInitialized_ = false;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_WMI_FIRMWARE_H_
