#include "wmi/windows/wmi_firmware.h"

#include <algorithm>
#include <utility>

#include "wmi/firmware_facts.h"
#include "wmi/refused_calls.h"
#include "wmi/windows/bstr.h"
#include "wmi/windows/refused_calls_file.h"
#include "wmi/windows/variant.h"
#include "wmi/wmi_firmware.h"

namespace vort64 {

namespace {

constexpr LONG kQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;

// The next object of an enumeration, or nothing at its end or on failure.
ComPtr<IWbemClassObject> NextObject(IEnumWbemClassObject& objects) {
  ComPtr<IWbemClassObject> object;
  ULONG returned = 0;
  const HRESULT hr = objects.Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Put(), &returned);
  if (FAILED(hr) || returned != 1) object.Reset();
  return object;
}

// The 8-bit value of an integer property, 0 when it holds no integer.
bool GetByteProperty(IWbemClassObject& object, const wchar_t* name, uint8_t& value) {
  Variant v;
  CIMTYPE type = 0;
  if (FAILED(object.Get(name, 0, v.Put(), &type, nullptr))) return false;
  value = static_cast<uint8_t>(IntegerOf(v.Get()).value_or(0));
  return true;
}

}  // namespace

WmiFirmware::WmiFirmware(std::unique_ptr<ComRuntime> com) : com_(std::move(com)) {}

WmiFirmware::~WmiFirmware() {
  Close();
  UnlockMachine();
}

LockOutcome WmiFirmware::LockMachine(std::chrono::milliseconds limit) {
  UnlockMachine();
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kMachineMutexName);
  // Made by a run of another account: it can still be waited for.
  if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
    mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMachineMutexName);
  }
  if (mutex == nullptr) return LockOutcome::kFailed;
  const auto wait = std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, INFINITE - 1);
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait));
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    machineMutex_ = mutex;
    return LockOutcome::kHeld;
  }
  CloseHandle(mutex);
  return waited == WAIT_TIMEOUT ? LockOutcome::kTimedOut : LockOutcome::kFailed;
}

void WmiFirmware::UnlockMachine() {
  if (machineMutex_ == nullptr) return;
  ReleaseMutex(machineMutex_);
  CloseHandle(machineMutex_);
  machineMutex_ = nullptr;
}

HRESULT WmiFirmware::Connect() {
  HRESULT hr = com_->CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator_.Put()));
  if (FAILED(hr)) return hr;
  if (!locator_) return E_POINTER;

  const Bstr resource(kWmiNamespace);
  if (!resource) return E_OUTOFMEMORY;
  hr = locator_->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.Put());
  if (FAILED(hr)) return hr;
  if (!services_) return E_POINTER;

  return com_->CoSetProxyBlanket(services_.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

bool WmiFirmware::Open() {
  Close();
  comScope_.emplace(*com_);
  connectStatus_ = Connect();
  if (SUCCEEDED(connectStatus_)) return true;
  Close();
  return false;
}

void WmiFirmware::Close() {
  services_.Reset();
  locator_.Reset();
  comScope_.reset();
}

bool WmiFirmware::ReadRawSmbiosTable(RawSmbiosTable& table) {
  table = RawSmbiosTable{};
  if (!services_) return false;

  const Bstr className(kRawSmbiosClass);
  if (!className) return false;
  ComPtr<IEnumWbemClassObject> objects;
  if (FAILED(services_->CreateInstanceEnum(className.Get(), 0, nullptr, objects.Put())) || !objects) {
    return false;
  }
  const ComPtr<IWbemClassObject> object = NextObject(*objects.Get());
  if (!object) return false;

  RawSmbiosTable read;
  if (!GetByteProperty(*object.Get(), L"SmbiosMajorVersion", read.smbiosMajor) ||
      !GetByteProperty(*object.Get(), L"SmbiosMinorVersion", read.smbiosMinor)) {
    return false;
  }
  Variant data;
  CIMTYPE type = 0;
  if (FAILED(object->Get(L"SMBiosData", 0, data.Put(), &type, nullptr)) || !ReadByteArray(data.Get(), read.data)) {
    return false;
  }
  table = std::move(read);
  machine_ = Fnv1a64(std::string_view(reinterpret_cast<const char*>(table.data.data()), table.data.size()));
  return true;
}

Status WmiFirmware::QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) {
  names.clear();
  if (!services_) return kStatusFailed;

  const Bstr language(L"WQL");
  const Bstr text(query);
  if (!language || !text) return E_OUTOFMEMORY;
  ComPtr<IEnumWbemClassObject> objects;
  const HRESULT hr = services_->ExecQuery(language.Get(), text.Get(), kQueryFlags, nullptr, objects.Put());
  if (FAILED(hr) || !objects) return hr;

  while (const ComPtr<IWbemClassObject> object = NextObject(*objects.Get())) {
    Variant name;
    if (FAILED(object->Get(L"InstanceName", 0, name.Put(), nullptr, nullptr)) || name.Type() != VT_BSTR) {
      names.emplace_back();
      continue;
    }
    const BSTR text_value = V_BSTR(&name.Get());
    names.emplace_back(std::wstring(text_value == nullptr ? L"" : text_value, SysStringLen(text_value)));
  }
  return hr;
}

Status WmiFirmware::ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) {
  out.clear();
  if (!services_) return kStatusFailed;

  const Bstr className(call.className);
  const Bstr objectPath(call.objectPath);
  const Bstr method(call.method);
  if (!className || !objectPath || !method) return E_OUTOFMEMORY;

  ComPtr<IWbemClassObject> classObject;
  HRESULT hr = services_->GetObject(className.Get(), 0, nullptr, classObject.Put(), nullptr);
  if (FAILED(hr)) return hr;
  if (!classObject) return kStatusFailed;

  // The in-parameters go straight into the signature object GetMethod hands
  // out; the firmware's provider takes that object as the instance.
  ComPtr<IWbemClassObject> inParams;
  hr = classObject->GetMethod(call.method.c_str(), 0, inParams.Put(), nullptr);
  if (FAILED(hr)) return hr;
  if (!inParams && !call.in.empty()) return Hr(WBEM_E_INVALID_PARAMETER);
  for (const NamedValue& param : call.in) {
    Variant value;
    hr = ToVariant(param.value, value.Put());
    if (FAILED(hr)) return hr;
    hr = inParams->Put(param.name.c_str(), 0, value.Ptr(), 0);
    if (FAILED(hr)) return hr;
  }

  ComPtr<IWbemClassObject> outParams;
  hr = services_->ExecMethod(objectPath.Get(), method.Get(), 0, nullptr, inParams.Get(), outParams.Put(), nullptr);
  if (FAILED(hr)) return hr;
  if (!outParams && !call.outNames.empty()) return kStatusFailed;

  std::vector<FirmwareValue> values;
  values.reserve(call.outNames.size());
  for (const std::wstring& name : call.outNames) {
    Variant got;
    hr = outParams->Get(name.c_str(), 0, got.Put(), nullptr, nullptr);
    if (FAILED(hr)) return hr;
    values.push_back(FromVariant(got.Get()));
  }
  out = std::move(values);
  return kStatusOk;
}

uint32_t WmiFirmware::KeyScan(char c) {
  // The character goes in sign-extended, as a WORD.
  const auto extended = static_cast<WORD>(static_cast<SHORT>(static_cast<signed char>(c)));
  return com_->OemKeyScan(extended);
}

std::optional<int> WmiFirmware::RefusedPasswordCalls() { return ReadRefusedCallsFile(CurrentWindowsStart(machine_)); }

bool WmiFirmware::KeepRefusedPasswordCalls(int count) {
  return WriteRefusedCallsFile(CurrentWindowsStart(machine_), count);
}

std::unique_ptr<Firmware> MakeWmiFirmware() {
  return std::make_unique<WmiFirmware>(std::make_unique<SystemComRuntime>());
}

}  // namespace vort64
