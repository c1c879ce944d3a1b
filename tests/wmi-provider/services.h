// The test WMI provider's locator and services: namespace ROOT\WMI of a
// simulated machine, found as the program on Linux finds it (VORT64_MACHINE,
// else the default machine, made on first use). The machine's
// firmware (sim/) answers every query and method call; this side only turns
// WMI's objects and VARIANTs into the firmware seam's values and back.
#ifndef VORT64_TESTS_WMI_PROVIDER_SERVICES_H_
#define VORT64_TESTS_WMI_PROVIDER_SERVICES_H_

#include <atomic>
#include <memory>

#include "wmi/drive_protection.h"
#include "wmi/firmware.h"
#include "wmi/windows/com.h"

namespace vort64::provider {

class Locator final : public IWbemLocator {
 public:
  // A new locator with one reference, or null when out of memory.
  static Locator* Make();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // Connects to ROOT\WMI of the machine: opens the machine's firmware as a
  // run of the program on Linux does (a default machine that cannot be used
  // is said on standard error, as that program says it). Any other
  // namespace is WBEM_E_INVALID_NAMESPACE.
  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                          LONG flags, const BSTR authority, IWbemContext* context,
                                          IWbemServices** services) override;

 private:
  Locator() = default;
  ~Locator() = default;

  std::atomic<ULONG> refs_{1};
};

// The connection: IWbemServices over the machine's firmware, and the
// IClientSecurity that CoSetProxyBlanket asks a connection for.
class Services final : public IWbemServices, public IClientSecurity {
 public:
  // A new connection with one reference, or null when out of memory.
  static Services* Make(std::unique_ptr<Firmware> firmware);
  // A connection to ROOT\CIMV2\Security\MicrosoftVolumeEncryption: the
  // class Win32_EncryptableVolume, one instance (the system drive), served
  // from the machine's system drive. As on Windows, every call on it is
  // refused (WBEM_E_ACCESS_DENIED) until the proxy blanket asks for packet
  // privacy.
  static Services* MakeVolumes(std::unique_ptr<DriveProtection> drive);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IClientSecurity: the blanket is taken as it is set (its authentication
  // level is kept).
  HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown* proxy, DWORD* authnService, DWORD* authzService,
                                         OLECHAR** serverPrincipalName, DWORD* authnLevel, DWORD* impLevel,
                                         void** authInfo, DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                       OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel, void* authInfo,
                                       DWORD capabilities) override;
  HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown* proxy, IUnknown** copy) override;

  // The class definitions of the two firmware classes and of
  // MSSMBios_RawSMBiosTables.
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext* context, IWbemClassObject** object,
                                      IWbemCallResult** callResult) override;
  // The instances of a firmware class (their InstanceName), or the SMBIOS
  // tables (none when the firmware cannot read them).
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG flags, IWbemContext* context,
                                               IEnumWbemClassObject** objects) override;
  // WQL: SELECT * FROM one of those classes.
  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                      IEnumWbemClassObject** objects) override;
  // A firmware method on the instance the path names, with the parameters
  // its signature declares; the out-parameters ReturnCode and (for the Get
  // methods) Data.
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG flags, IWbemContext* context,
                                       IWbemClassObject* inParams, IWbemClassObject** outParams,
                                       IWbemCallResult** callResult) override;

  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override;
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                  IEnumWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                       IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                            IWbemObjectSink*) override;

 private:
  explicit Services(std::unique_ptr<Firmware> firmware) : firmware_(std::move(firmware)) {}
  explicit Services(std::unique_ptr<DriveProtection> drive) : drive_(std::move(drive)) {}

  // The BitLocker namespace: refused below packet privacy; the volume's
  // instance; a method of it.
  HRESULT VolumeAccess() const;
  HRESULT Volumes(std::wstring_view query, IEnumWbemClassObject** objects);
  HRESULT VolumeMethod(std::wstring_view path, std::wstring_view method, IWbemClassObject* inParams,
                       IWbemClassObject** outParams);
  ~Services() = default;

  // The instances the firmware finds for a query, as objects of a class
  // holding their InstanceName.
  HRESULT Instances(std::wstring_view query, std::wstring_view className, IEnumWbemClassObject** objects);
  HRESULT SmbiosTables(IEnumWbemClassObject** objects);

  std::atomic<ULONG> refs_{1};
  std::unique_ptr<Firmware> firmware_;  // open; null for the BitLocker namespace
  std::unique_ptr<DriveProtection> drive_;
  DWORD authnLevel_ = RPC_C_AUTHN_LEVEL_DEFAULT;
};

}  // namespace vort64::provider

#endif  // VORT64_TESTS_WMI_PROVIDER_SERVICES_H_
