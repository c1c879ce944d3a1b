#include "tests/wmi-provider/services.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/machine.h"
#include "sim/simulated_firmware.h"
#include "sim/system_drive.h"
#include "tests/wmi-provider/wbem_object.h"
#include "wmi/drive_protection.h"
#include "wmi/firmware_facts.h"
#include "wmi/windows/com_ptr.h"
#include "wmi/windows/variant.h"

namespace vort64::provider {
namespace {

constexpr wchar_t kSelectAllFrom[] = L"SELECT * FROM ";

// The three classes the provider defines, by the names the firmware uses.
const wchar_t* KnownClass(std::wstring_view name) {
  for (const wchar_t* known : {kConfigurationClass, kSettingClass, kRawSmbiosClass}) {
    if (SameName(name, known)) return known;
  }
  return nullptr;
}

void ClearOut(IWbemCallResult** callResult) {
  if (callResult != nullptr) *callResult = nullptr;
}

// The path of the system drive's volume, as WMI would give it.
constexpr wchar_t kVolumePath[] =
    L"Win32_EncryptableVolume.DeviceID=\"\\\\?\\Volume{00000000-0000-0000-0000-000000000064}\\\"";

HRESULT HandOut(WbemEnum* made, IEnumWbemClassObject** objects) {
  if (made == nullptr) return E_OUTOFMEMORY;
  *objects = made;
  return S_OK;
}

}  // namespace

// ---- Locator ----

Locator* Locator::Make() { return new (std::nothrow) Locator(); }

HRESULT Locator::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemLocator)) {
    *out = static_cast<IWbemLocator*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG Locator::AddRef() { return ++refs_; }

ULONG Locator::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Locator::ConnectServer(const BSTR resource, const BSTR, const BSTR, const BSTR, LONG, const BSTR, IWbemContext*,
                               IWbemServices** services) {
  if (services == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *services = nullptr;
  const std::wstring_view name = BstrView(resource);
  const bool volumes = SameName(name, kVolumeEncryptionNamespace) ||
                       SameName(name, std::wstring(L"\\\\.\\") + kVolumeEncryptionNamespace);
  if (!volumes && !SameName(name, kWmiNamespace) && !SameName(name, std::wstring(L"\\\\.\\") + kWmiNamespace)) {
    return Hr(WBEM_E_INVALID_NAMESPACE);
  }
  try {
    // The machine the program on Linux would use, found the same way.
    const auto getenv = [](const char* variable) -> std::optional<std::string> {
      const char* value = std::getenv(variable);
      if (!value) return std::nullopt;
      return std::string(value);
    };
    std::string error;
    const std::filesystem::path dir = sim::MachineForRun(getenv, error);
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    if (volumes) {
      Services* made = Services::MakeVolumes(std::make_unique<sim::SimulatedDriveProtection>(dir));
      if (made == nullptr) return E_OUTOFMEMORY;
      *services = made;
      return S_OK;
    }
    auto firmware = std::make_unique<sim::SimulatedFirmware>(dir);
    // The connection stands whatever the firmware answers: a firmware that
    // cannot be opened (a forced session fault, a damaged password) still
    // publishes its SMBIOS tables and answers each call as not executed,
    // exactly as it does for the program on Linux.
    firmware->Open();
    Services* made = Services::Make(std::move(firmware));
    if (made == nullptr) return E_OUTOFMEMORY;
    *services = made;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// ---- Services ----

Services* Services::Make(std::unique_ptr<Firmware> firmware) {
  return new (std::nothrow) Services(std::move(firmware));
}

Services* Services::MakeVolumes(std::unique_ptr<DriveProtection> drive) {
  return new (std::nothrow) Services(std::move(drive));
}

HRESULT Services::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemServices)) {
    *out = static_cast<IWbemServices*>(this);
  } else if (IsEqualIID(iid, IID_IClientSecurity)) {
    *out = static_cast<IClientSecurity*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Services::AddRef() { return ++refs_; }

ULONG Services::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Services::QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**, DWORD*) {
  return E_NOTIMPL;
}

HRESULT Services::SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD authnLevel, DWORD, void*, DWORD) {
  authnLevel_ = authnLevel;
  return S_OK;
}

HRESULT Services::VolumeAccess() const {
  return authnLevel_ >= RPC_C_AUTHN_LEVEL_PKT_PRIVACY && authnLevel_ != RPC_C_AUTHN_LEVEL_DEFAULT
             ? S_OK
             : Hr(WBEM_E_ACCESS_DENIED);
}

HRESULT Services::Volumes(std::wstring_view query, IEnumWbemClassObject** objects) {
  // SELECT * FROM Win32_EncryptableVolume [WHERE DriveLetter = 'C:']
  const std::wstring select = std::wstring(kSelectAllFrom) + kEncryptableVolumeClass;
  if (query.size() < select.size() || !SameName(query.substr(0, select.size()), select)) {
    return Hr(WBEM_E_INVALID_CLASS);
  }
  const std::string letter = drive_->Drive();  // "C:": ASCII
  const std::wstring drive(letter.begin(), letter.end());
  const std::wstring_view rest = query.substr(select.size());
  if (!rest.empty() && !SameName(rest, L" WHERE DriveLetter = '" + drive + L"'")) {
    return HandOut(WbemEnum::Make({}), objects);
  }
  ComPtr<WbemObject> volume;
  *volume.Put() = WbemObject::Make(ObjectKind::kInstance, kEncryptableVolumeClass);
  if (!volume) return E_OUTOFMEMORY;
  for (const auto& [property, text] :
       {std::pair<const wchar_t*, std::wstring>{L"DriveLetter", drive}, {L"__PATH", std::wstring(kVolumePath)}}) {
    Variant value;
    V_BSTR(value.Ptr()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (V_BSTR(value.Ptr()) == nullptr) return E_OUTOFMEMORY;
    V_VT(value.Ptr()) = VT_BSTR;
    const HRESULT hr = volume->Set(property, value.Get());
    if (FAILED(hr)) return hr;
  }
  return HandOut(WbemEnum::Make({volume.Get()}), objects);
}

HRESULT Services::VolumeMethod(std::wstring_view path, std::wstring_view method, IWbemClassObject* inParams,
                               IWbemClassObject** outParams) {
  if (!SameName(path, kVolumePath)) return Hr(WBEM_E_NOT_FOUND);
  uint32_t code = 0;
  std::optional<uint32_t> status;
  if (SameName(method, kGetProtectionStatusMethod)) {
    const ProtectionStatus answered = drive_->Status();
    code = answered.code;
    status = answered.on ? (*answered.on ? kProtectionOn : kProtectionOff) : kProtectionUnknown;
  } else if (SameName(method, kDisableKeyProtectorsMethod)) {
    Variant count;
    uint32_t restarts = 0;
    if (inParams != nullptr && SUCCEEDED(inParams->Get(L"DisableCount", 0, count.Put(), nullptr, nullptr))) {
      restarts = static_cast<uint32_t>(IntegerOf(count.Get()).value_or(0));
    }
    code = drive_->Suspend(restarts).code;
  } else if (SameName(method, kEnableKeyProtectorsMethod)) {
    code = drive_->Resume().code;
  } else {
    return Hr(WBEM_E_INVALID_METHOD);
  }
  // A WMI failure (the namespace, a call that did not execute) is the
  // call's own status; a BitLocker code is its ReturnValue.
  if (code == kWbemInvalidNamespace || code == kCallFailed) return static_cast<HRESULT>(code);
  ComPtr<WbemObject> out;
  *out.Put() = WbemObject::Make(ObjectKind::kParameters, L"__PARAMETERS");
  if (!out) return E_OUTOFMEMORY;
  Variant value;
  V_VT(value.Ptr()) = VT_I4;
  V_I4(value.Ptr()) = static_cast<LONG>(code);
  HRESULT hr = out->Set(L"ReturnValue", value.Get());
  if (SUCCEEDED(hr) && status) {
    V_I4(value.Ptr()) = static_cast<LONG>(*status);
    hr = out->Set(L"ProtectionStatus", value.Get());
  }
  if (FAILED(hr)) return hr;
  if (outParams != nullptr) {
    *outParams = static_cast<IWbemClassObject*>(out.Get());
    (*outParams)->AddRef();
  }
  return S_OK;
}

HRESULT Services::CopyProxy(IUnknown* proxy, IUnknown** copy) {
  if (proxy == nullptr || copy == nullptr) return E_INVALIDARG;
  return proxy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(copy));
}

HRESULT Services::GetObject(const BSTR path, LONG, IWbemContext*, IWbemClassObject** object,
                            IWbemCallResult** callResult) {
  ClearOut(callResult);
  if (object == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *object = nullptr;
  if (drive_) {
    if (const HRESULT access = VolumeAccess(); FAILED(access)) return access;
    if (!SameName(BstrView(path), kEncryptableVolumeClass)) return Hr(WBEM_E_NOT_FOUND);
    WbemObject* made = WbemObject::Make(ObjectKind::kClass, kEncryptableVolumeClass);
    if (made == nullptr) return E_OUTOFMEMORY;
    *object = made;
    return S_OK;
  }
  const wchar_t* known = KnownClass(BstrView(path));
  if (known == nullptr) return Hr(WBEM_E_NOT_FOUND);
  try {
    WbemObject* made = WbemObject::Make(ObjectKind::kClass, known);
    if (made == nullptr) return E_OUTOFMEMORY;
    *object = made;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Services::SmbiosTables(IEnumWbemClassObject** objects) {
  RawSmbiosTable table;
  // Tables the firmware cannot read make an empty enumeration.
  if (!firmware_->ReadRawSmbiosTable(table)) return HandOut(WbemEnum::Make({}), objects);

  ComPtr<WbemObject> tables;
  *tables.Put() = WbemObject::Make(ObjectKind::kInstance, kRawSmbiosClass);
  if (!tables) return E_OUTOFMEMORY;
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_UI1;
  V_UI1(&v) = table.smbiosMajor;
  HRESULT hr = tables->Set(L"SmbiosMajorVersion", v);
  V_UI1(&v) = table.smbiosMinor;
  if (SUCCEEDED(hr)) hr = tables->Set(L"SmbiosMinorVersion", v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = static_cast<LONG>(table.data.size());
  if (SUCCEEDED(hr)) hr = tables->Set(L"Size", v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = VARIANT_TRUE;
  if (SUCCEEDED(hr)) hr = tables->Set(L"Active", v);
  Variant data;
  if (SUCCEEDED(hr)) hr = ToVariant(FirmwareValue::Bytes(std::move(table.data)), data.Put());
  if (SUCCEEDED(hr)) hr = tables->Set(L"SMBiosData", data.Get());
  if (FAILED(hr)) return hr;
  return HandOut(WbemEnum::Make({tables.Get()}), objects);
}

HRESULT Services::Instances(std::wstring_view query, std::wstring_view className, IEnumWbemClassObject** objects) {
  std::vector<std::optional<std::wstring>> names;
  const Status status = firmware_->QueryInstanceNames(query, names);
  if (status != kStatusOk) return status;

  std::vector<ComPtr<WbemObject>> found(names.size());
  std::vector<IWbemClassObject*> listed;
  for (size_t i = 0; i < names.size(); ++i) {
    *found[i].Put() = WbemObject::Make(ObjectKind::kInstance, std::wstring(className));
    if (!found[i]) return E_OUTOFMEMORY;
    Variant name;
    if (names[i]) {
      V_BSTR(name.Ptr()) = SysAllocStringLen(names[i]->data(), static_cast<UINT>(names[i]->size()));
      if (V_BSTR(name.Ptr()) == nullptr) return E_OUTOFMEMORY;
      V_VT(name.Ptr()) = VT_BSTR;
    } else {
      V_VT(name.Ptr()) = VT_NULL;
    }
    const HRESULT hr = found[i]->Set(L"InstanceName", name.Get());
    if (FAILED(hr)) return hr;
    listed.push_back(found[i].Get());
  }
  return HandOut(WbemEnum::Make(listed), objects);
}

HRESULT Services::CreateInstanceEnum(const BSTR className, LONG, IWbemContext*, IEnumWbemClassObject** objects) {
  if (objects == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *objects = nullptr;
  try {
    if (drive_) {
      if (const HRESULT access = VolumeAccess(); FAILED(access)) return access;
      return Volumes(std::wstring(kSelectAllFrom) + std::wstring(BstrView(className)), objects);
    }
    const wchar_t* known = KnownClass(BstrView(className));
    if (known == nullptr) return Hr(WBEM_E_INVALID_CLASS);
    if (known == kRawSmbiosClass) return SmbiosTables(objects);
    // The firmware answers the query that names the class.
    return Instances(std::wstring(kSelectAllFrom) + known, known, objects);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Services::ExecQuery(const BSTR language, const BSTR query, LONG, IWbemContext*,
                            IEnumWbemClassObject** objects) {
  if (objects == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *objects = nullptr;
  if (!SameName(BstrView(language), L"WQL")) return Hr(WBEM_E_INVALID_QUERY_TYPE);
  const std::wstring_view text = BstrView(query);
  try {
    if (drive_) {
      if (const HRESULT access = VolumeAccess(); FAILED(access)) return access;
      return Volumes(text, objects);
    }
    if (SameName(text, std::wstring(kSelectAllFrom) + kRawSmbiosClass)) return SmbiosTables(objects);
    // The firmware takes the query text as it came: it knows the queries of
    // its two classes, word for word.
    const std::wstring_view select(kSelectAllFrom);
    const std::wstring_view className = text.size() > select.size() ? text.substr(select.size()) : text;
    return Instances(text, className, objects);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Services::ExecMethod(const BSTR path, const BSTR method, LONG, IWbemContext*, IWbemClassObject* inParams,
                             IWbemClassObject** outParams, IWbemCallResult** callResult) {
  ClearOut(callResult);
  if (outParams != nullptr) *outParams = nullptr;
  try {
    if (drive_) {
      if (const HRESULT access = VolumeAccess(); FAILED(access)) return access;
      return VolumeMethod(BstrView(path), BstrView(method), inParams, outParams);
    }
    MethodCall call;
    call.objectPath = BstrView(path);
    call.className = call.objectPath.substr(0, call.objectPath.find(L'.'));
    call.method = BstrView(method);
    // The parameters the method's signature declares, in its order; the
    // firmware refuses a call that lacks one or has one of the wrong type.
    const std::optional<sim::MethodSignature> signature = sim::FindMethodSignature(call.className, call.method);
    std::vector<std::wstring> inNames{kPasswordLenParam, kPasswordParam};
    if (signature && signature->takesData) inNames.push_back(kDataParam);
    for (const std::wstring& name : inNames) {
      Variant value;
      if (inParams == nullptr || FAILED(inParams->Get(name.c_str(), 0, value.Put(), nullptr, nullptr))) continue;
      call.in.push_back({name, FromVariant(value.Get())});
    }
    call.outNames.push_back(kReturnCodeParam);
    if (signature && signature->returnsData) call.outNames.push_back(kDataParam);

    std::vector<FirmwareValue> answered;
    const Status status = firmware_->ExecuteMethod(call, answered);
    if (status != kStatusOk) return status;

    ComPtr<WbemObject> out;
    *out.Put() = WbemObject::Make(ObjectKind::kParameters, L"__PARAMETERS");
    if (!out) return E_OUTOFMEMORY;
    for (size_t i = 0; i < call.outNames.size() && i < answered.size(); ++i) {
      Variant value;
      HRESULT hr = ToVariant(answered[i], value.Put());
      if (SUCCEEDED(hr)) hr = out->Set(call.outNames[i], value.Get());
      if (FAILED(hr)) return hr;
    }
    if (outParams != nullptr) *outParams = static_cast<IWbemClassObject*>(out.Get());
    if (outParams != nullptr) (*outParams)->AddRef();
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// What the program never asks of the firmware's namespace.
HRESULT Services::OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::CancelAsyncCall(IWbemObjectSink*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT Services::QueryObjectSink(LONG, IWbemObjectSink**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT Services::GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT Services::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT Services::DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}
HRESULT Services::ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemObjectSink*) {
  return Hr(WBEM_E_NOT_SUPPORTED);
}

}  // namespace vort64::provider
