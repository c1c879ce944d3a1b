#include "wmi/windows/com_runtime.h"

namespace vort64 {

HRESULT SystemComRuntime::CoInitializeEx(void* reserved, DWORD coInit) { return ::CoInitializeEx(reserved, coInit); }

void SystemComRuntime::CoUninitialize() { ::CoUninitialize(); }

HRESULT SystemComRuntime::CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  return ::CoCreateInstance(clsid, outer, context, iid, object);
}

HRESULT SystemComRuntime::CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                            OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                                            RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) {
  return ::CoSetProxyBlanket(proxy, authnService, authzService, serverPrincipalName, authnLevel, impLevel, authInfo,
                             capabilities);
}

DWORD SystemComRuntime::OemKeyScan(WORD oemChar) { return ::OemKeyScan(oemChar); }

}  // namespace vort64
