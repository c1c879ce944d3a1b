// The process-wide COM and user-interface calls the WMI firmware makes,
// behind an interface so that tests can hand in a fake WMI service and check
// every argument. SystemComRuntime passes each call straight to Windows.
#ifndef VORT64_WMI_WINDOWS_COM_RUNTIME_H_
#define VORT64_WMI_WINDOWS_COM_RUNTIME_H_

#include "wmi/windows/com.h"

namespace vort64 {

class ComRuntime {
 public:
  virtual ~ComRuntime() = default;

  virtual HRESULT CoInitializeEx(void* reserved, DWORD coInit) = 0;
  virtual void CoUninitialize() = 0;
  virtual HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) = 0;
  virtual HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                    OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                                    RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) = 0;
  virtual DWORD OemKeyScan(WORD oemChar) = 0;
};

class SystemComRuntime final : public ComRuntime {
 public:
  HRESULT CoInitializeEx(void* reserved, DWORD coInit) override;
  void CoUninitialize() override;
  HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) override;
  HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService, OLECHAR* serverPrincipalName,
                            DWORD authnLevel, DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                            DWORD capabilities) override;
  DWORD OemKeyScan(WORD oemChar) override;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_COM_RUNTIME_H_
