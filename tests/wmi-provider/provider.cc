// The test WMI provider's entry points: COM's DllGetClassObject hands out a
// class factory for CLSID_WbemLocator, whose locator connects to a simulated
// machine. Installed in a Wine prefix in place of Wine's own locator server
// (tools/wine-run), it lets the unchanged Vort64.exe run against simulated
// machines; it is built for the tests only and never shipped.
#include <new>

#include "tests/wmi-provider/services.h"
#include "wmi/windows/com.h"

namespace {

// The one class factory. It owns nothing, so it is never freed and counts no
// references.
class LocatorFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    vort64::provider::Locator* locator = vort64::provider::Locator::Make();
    if (locator == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = locator->QueryInterface(iid, out);
    locator->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

LocatorFactory factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_WbemLocator)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

// The provider stays loaded until the process ends.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
