#include "wmi/windows/wmi_drive_protection.h"

#include <cstdlib>
#include <utility>

#include "base/text.h"
#include "wmi/windows/bstr.h"
#include "wmi/windows/variant.h"
#include "wmi/wmi_drive_protection.h"

namespace vort64 {
namespace {

constexpr LONG kQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;
constexpr wchar_t kReturnValue[] = L"ReturnValue";
constexpr wchar_t kProtectionStatusParam[] = L"ProtectionStatus";
constexpr wchar_t kDisableCountParam[] = L"DisableCount";

uint32_t CodeOf(HRESULT hr) { return static_cast<uint32_t>(hr); }

// The system drive as Windows names it; "C:" where the variable is not set.
std::string SystemDrive() {
  const wchar_t* drive = _wgetenv(L"SystemDrive");
  if (drive == nullptr || drive[0] == L'\0') return "C:";
  return WideToUtf8(drive);
}

}  // namespace

WmiDriveProtection::WmiDriveProtection(std::unique_ptr<ComRuntime> com, std::string systemDrive)
    : com_(std::move(com)), drive_(std::move(systemDrive)) {}

WmiDriveProtection::~WmiDriveProtection() {
  services_.Reset();
  locator_.Reset();
  comScope_.reset();
}

HRESULT WmiDriveProtection::Connect() {
  if (connected_) return *connected_;
  comScope_.emplace(*com_);
  HRESULT hr = com_->CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator_.Put()));
  if (SUCCEEDED(hr) && !locator_) hr = E_POINTER;
  const Bstr resource(kVolumeEncryptionNamespace);
  if (SUCCEEDED(hr) && !resource) hr = E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) {
    hr = locator_->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.Put());
  }
  if (SUCCEEDED(hr) && !services_) hr = E_POINTER;
  // BitLocker's namespace answers only a connection with packet privacy.
  if (SUCCEEDED(hr)) {
    hr = com_->CoSetProxyBlanket(services_.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  }
  if (SUCCEEDED(hr)) {
    const Bstr language(L"WQL");
    const Bstr query(std::wstring(L"SELECT * FROM ") + kEncryptableVolumeClass + L" WHERE DriveLetter = '" +
                     Utf8ToWide(drive_) + L"'");
    ComPtr<IEnumWbemClassObject> volumes;
    hr = !language || !query ? E_OUTOFMEMORY
                             : services_->ExecQuery(language.Get(), query.Get(), kQueryFlags, nullptr, volumes.Put());
    if (SUCCEEDED(hr) && !volumes) hr = E_POINTER;
    if (SUCCEEDED(hr)) {
      ComPtr<IWbemClassObject> volume;
      ULONG returned = 0;
      hr = volumes->Next(static_cast<LONG>(WBEM_INFINITE), 1, volume.Put(), &returned);
      if (SUCCEEDED(hr) && (returned != 1 || !volume)) hr = static_cast<HRESULT>(kWbemNotFound);
      Variant path;
      if (SUCCEEDED(hr)) hr = volume->Get(L"__PATH", 0, path.Put(), nullptr, nullptr);
      if (SUCCEEDED(hr) && path.Type() != VT_BSTR) hr = static_cast<HRESULT>(kWbemNotFound);
      if (SUCCEEDED(hr)) {
        const BSTR text = V_BSTR(&path.Get());
        volumePath_.assign(text == nullptr ? L"" : text, SysStringLen(text));
      }
    }
  }
  if (FAILED(hr)) {
    services_.Reset();
    locator_.Reset();
    comScope_.reset();
  }
  connected_ = hr;
  return hr;
}

HRESULT WmiDriveProtection::Call(const wchar_t* method, std::optional<uint32_t> disableCount, const wchar_t* outName,
                                 uint32_t& returned, uint32_t* value) {
  HRESULT hr = Connect();
  if (FAILED(hr)) return hr;
  const Bstr className(kEncryptableVolumeClass);
  const Bstr path(volumePath_);
  const Bstr methodName(method);
  if (!className || !path || !methodName) return E_OUTOFMEMORY;
  ComPtr<IWbemClassObject> inParams;
  if (disableCount) {
    ComPtr<IWbemClassObject> classObject;
    hr = services_->GetObject(className.Get(), 0, nullptr, classObject.Put(), nullptr);
    if (FAILED(hr)) return hr;
    if (!classObject) return E_POINTER;
    ComPtr<IWbemClassObject> signature;
    hr = classObject->GetMethod(method, 0, signature.Put(), nullptr);
    if (FAILED(hr)) return hr;
    if (!signature) return static_cast<HRESULT>(kWbemNotFound);
    hr = signature->SpawnInstance(0, inParams.Put());
    if (FAILED(hr)) return hr;
    if (!inParams) return E_POINTER;
    Variant count;
    V_VT(count.Put()) = VT_I4;  // uint32 travels as VT_I4
    V_I4(count.Ptr()) = static_cast<LONG>(*disableCount);
    hr = inParams->Put(kDisableCountParam, 0, count.Ptr(), 0);
    if (FAILED(hr)) return hr;
  }
  ComPtr<IWbemClassObject> outParams;
  hr = services_->ExecMethod(path.Get(), methodName.Get(), 0, nullptr, inParams.Get(), outParams.Put(), nullptr);
  if (FAILED(hr)) return hr;
  if (!outParams) return E_POINTER;
  Variant result;
  hr = outParams->Get(kReturnValue, 0, result.Put(), nullptr, nullptr);
  if (FAILED(hr)) return hr;
  returned = static_cast<uint32_t>(IntegerOf(result.Get()).value_or(static_cast<int64_t>(kCallFailed)));
  if (outName != nullptr && value != nullptr && returned == 0) {
    Variant out;
    hr = outParams->Get(outName, 0, out.Put(), nullptr, nullptr);
    if (FAILED(hr)) return hr;
    const auto number = IntegerOf(out.Get());
    if (!number) return static_cast<HRESULT>(kWbemNotFound);
    *value = static_cast<uint32_t>(*number);
  }
  return S_OK;
}

ProtectionStatus WmiDriveProtection::Status() {
  uint32_t returned = 0;
  uint32_t status = kProtectionUnknown;
  const HRESULT hr = Call(kGetProtectionStatusMethod, std::nullopt, kProtectionStatusParam, returned, &status);
  const uint32_t code = FAILED(hr) ? CodeOf(hr) : returned;
  if (code != 0) return {std::nullopt, code, ProtectionCodeWords(code)};
  if (status == kProtectionOn) return {true, 0, ""};
  if (status == kProtectionOff) return {false, 0, ""};
  return {std::nullopt, 0, ""};
}

ProtectionCall WmiDriveProtection::Suspend(uint32_t restarts) {
  uint32_t returned = 0;
  const HRESULT hr = Call(kDisableKeyProtectorsMethod, restarts, nullptr, returned, nullptr);
  const uint32_t code = FAILED(hr) ? CodeOf(hr) : returned;
  if (code != 0) return {false, code, ProtectionCodeWords(code)};
  return {true, 0, ""};
}

ProtectionCall WmiDriveProtection::Resume() {
  uint32_t returned = 0;
  const HRESULT hr = Call(kEnableKeyProtectorsMethod, std::nullopt, nullptr, returned, nullptr);
  const uint32_t code = FAILED(hr) ? CodeOf(hr) : returned;
  if (code != 0) return {false, code, ProtectionCodeWords(code)};
  return {true, 0, ""};
}

std::unique_ptr<DriveProtection> MakeWmiDriveProtection() {
  return std::make_unique<WmiDriveProtection>(std::make_unique<SystemComRuntime>(), SystemDrive());
}

}  // namespace vort64
