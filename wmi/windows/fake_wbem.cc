#include "wmi/windows/fake_wbem.h"

#include <cwchar>
#include <sstream>

namespace vort64::fake {

namespace {

// A BSTR carries its length before the text; a plain wide string does not.
bool IsBstr(const BSTR s) { return s == nullptr || SysStringLen(s) == std::wcslen(s); }

std::wstring Text(const wchar_t* s) { return s == nullptr ? L"null" : std::wstring(s); }

std::wstring BstrText(FakeWmi& wmi, const wchar_t* what, const BSTR s) {
  if (!IsBstr(s)) wmi.Problem(std::wstring(what) + L" is not a BSTR: " + Text(s));
  return s == nullptr ? L"null" : std::wstring(s, SysStringLen(s));
}

std::wstring Hex(unsigned long value) {
  std::wostringstream out;
  out << L"0x" << std::hex << value;
  return out.str();
}

std::wstring Pointer(const void* p) { return p == nullptr ? L"null" : L"set"; }

std::vector<uint8_t> ArrayBytes(SAFEARRAY* array, unsigned& dimensions, long& lower) {
  dimensions = SafeArrayGetDim(array);
  LONG lb = 0;
  LONG ub = -1;
  SafeArrayGetLBound(array, 1, &lb);
  SafeArrayGetUBound(array, 1, &ub);
  lower = lb;
  std::vector<uint8_t> bytes;
  void* data = nullptr;
  if (ub >= lb && SUCCEEDED(SafeArrayAccessData(array, &data))) {
    const auto* first = static_cast<const uint8_t*>(data);
    bytes.assign(first, first + (ub - lb + 1));
    SafeArrayUnaccessData(array);
  }
  return bytes;
}

}  // namespace

std::wstring Describe(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY: return L"VT_EMPTY";
    case VT_NULL: return L"VT_NULL";
    case VT_I2: return L"VT_I2 " + std::to_wstring(V_I2(&value));
    case VT_I4: return L"VT_I4 " + std::to_wstring(V_I4(&value));
    case VT_BSTR: return L"VT_BSTR " + Text(V_BSTR(&value));
    case VT_ARRAY | VT_UI1: {
      unsigned dimensions = 0;
      long lower = 0;
      const std::vector<uint8_t> bytes = ArrayBytes(V_ARRAY(&value), dimensions, lower);
      return L"VT_ARRAY|VT_UI1[" + std::to_wstring(bytes.size()) + L"]";
    }
    default: return L"VT " + Hex(V_VT(&value));
  }
}

// ---- FakeObject ----

ULONG FakeObject::CountAddRef() { return static_cast<ULONG>(++refs_); }

ULONG FakeObject::CountRelease() {
  if (refs_ <= 0) {
    wmi_.Problem(L"over-release of " + name_);
    return 0;
  }
  if (--refs_ == 0) wmi_.Log(L"release " + name_);
  return static_cast<ULONG>(refs_);
}

void FakeObject::Log(const std::wstring& call) { wmi_.Log(name_ + L"." + call); }

HRESULT FakeObject::Unexpected(const wchar_t* method) {
  wmi_.Problem(name_ + L": unexpected call of " + method);
  return Hr(WBEM_E_NOT_SUPPORTED);
}

// ---- FakeClassObject ----

FakeClassObject::Property& FakeClassObject::Slot(const std::wstring& name) {
  std::unique_ptr<Property>& slot = properties_[name];
  if (!slot) slot = std::make_unique<Property>();
  slot->result = S_OK;
  return *slot;
}

void FakeClassObject::SetValue(const std::wstring& name, const VARIANT& value) {
  VariantCopy(Slot(name).value.Put(), const_cast<VARIANT*>(&value));
}

void FakeClassObject::SetInteger(const std::wstring& name, VARTYPE type, int64_t value) {
  VARIANT* v = Slot(name).value.Put();
  V_VT(v) = type;
  V_I8(v) = 0;
  switch (type) {
    case VT_I1: V_I1(v) = static_cast<CHAR>(value); break;
    case VT_UI1: V_UI1(v) = static_cast<BYTE>(value); break;
    case VT_I2: V_I2(v) = static_cast<SHORT>(value); break;
    case VT_UI2: V_UI2(v) = static_cast<USHORT>(value); break;
    case VT_I4: V_I4(v) = static_cast<LONG>(value); break;
    case VT_UI4: V_UI4(v) = static_cast<ULONG>(value); break;
    case VT_INT: V_INT(v) = static_cast<INT>(value); break;
    case VT_UINT: V_UINT(v) = static_cast<UINT>(value); break;
    case VT_I8: V_I8(v) = value; break;
    case VT_UI8: V_UI8(v) = static_cast<ULONGLONG>(value); break;
    default: wmi().Problem(L"SetInteger with a type that is no integer"); break;
  }
}

void FakeClassObject::SetBytes(const std::wstring& name, const std::vector<uint8_t>& bytes) {
  SAFEARRAYBOUND bound;
  bound.cElements = static_cast<ULONG>(bytes.size());
  bound.lLbound = 0;
  SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
  void* data = nullptr;
  if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(array, &data))) {
    std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(data));
    SafeArrayUnaccessData(array);
  }
  VARIANT* v = Slot(name).value.Put();
  V_VT(v) = VT_ARRAY | VT_UI1;
  V_ARRAY(v) = array;
}

void FakeClassObject::SetText(const std::wstring& name, const std::wstring& text) {
  VARIANT* v = Slot(name).value.Put();
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void FakeClassObject::SetNull(const std::wstring& name) { V_VT(Slot(name).value.Put()) = VT_NULL; }

void FakeClassObject::SetEmpty(const std::wstring& name) { Slot(name).value.Put(); }

void FakeClassObject::FailGet(const std::wstring& name, HRESULT hr) { Slot(name).result = hr; }

void FakeClassObject::SetMethod(const std::wstring& method, FakeClassObject* inParams) { methods_[method] = inParams; }

void FakeClassObject::DropValues() {
  for (auto& [name, property] : properties_) property->value.Put();
}

HRESULT FakeClassObject::Get(LPCWSTR property, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) {
  Log(L"Get(" + Text(property) + L", " + Hex(static_cast<unsigned long>(flags)) + L")");
  if (flavor != nullptr) *flavor = 0;
  if (value == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  if (V_VT(value) != VT_EMPTY) wmi().Problem(name() + L".Get into a VARIANT in use");
  const auto it = properties_.find(Text(property));
  if (it == properties_.end()) return Hr(WBEM_E_NOT_FOUND);
  if (FAILED(it->second->result)) return it->second->result;
  if (type != nullptr) *type = CIM_EMPTY;
  return VariantCopy(value, it->second->value.Ptr());
}

HRESULT FakeClassObject::Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) {
  Log(L"Put(" + Text(name) + L", " + Hex(static_cast<unsigned long>(flags)) + L", " +
      (value == nullptr ? std::wstring(L"null") : Describe(*value)) + L", " + std::to_wstring(type) + L")");
  if (value == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  const auto failure = putFailures_.find(Text(name));
  if (failure != putFailures_.end()) return failure->second;
  PutRecord record;
  record.name = Text(name);
  record.type = V_VT(value);
  if (V_VT(value) == VT_I2) record.integer = V_I2(value);
  if (V_VT(value) == VT_I4) record.integer = V_I4(value);
  if (V_VT(value) == (VT_ARRAY | VT_UI1)) {
    record.bytes = ArrayBytes(V_ARRAY(value), record.dimensions, record.lowerBound);
  }
  puts_.push_back(std::move(record));
  return S_OK;
}

HRESULT FakeClassObject::GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                                   IWbemClassObject** outSignature) {
  Log(L"GetMethod(" + Text(name) + L", " + Hex(static_cast<unsigned long>(flags)) + L", " + Pointer(inSignature) +
      L", " + Pointer(outSignature) + L")");
  if (inSignature != nullptr) *inSignature = nullptr;
  if (outSignature != nullptr) *outSignature = nullptr;
  if (FAILED(getMethodResult_)) return getMethodResult_;
  const auto it = methods_.find(Text(name));
  if (it == methods_.end()) return Hr(WBEM_E_NOT_FOUND);
  if (inSignature != nullptr && it->second != nullptr) *inSignature = it->second->Share();
  return S_OK;
}

HRESULT FakeClassObject::SpawnInstance(LONG flags, IWbemClassObject** instance) {
  if (instance != nullptr) *instance = nullptr;
  if (spawn_ == nullptr) return Unexpected(L"SpawnInstance");
  Log(L"SpawnInstance(" + Hex(static_cast<unsigned long>(flags)) + L")");
  if (instance != nullptr) *instance = spawn_->Share();
  return S_OK;
}

HRESULT FakeClassObject::GetQualifierSet(IWbemQualifierSet**) { return Unexpected(L"GetQualifierSet"); }
HRESULT FakeClassObject::Delete(LPCWSTR) { return Unexpected(L"Delete"); }
HRESULT FakeClassObject::GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) { return Unexpected(L"GetNames"); }
HRESULT FakeClassObject::BeginEnumeration(LONG) { return Unexpected(L"BeginEnumeration"); }
HRESULT FakeClassObject::Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) { return Unexpected(L"Next"); }
HRESULT FakeClassObject::EndEnumeration() { return Unexpected(L"EndEnumeration"); }
HRESULT FakeClassObject::GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) {
  return Unexpected(L"GetPropertyQualifierSet");
}
HRESULT FakeClassObject::Clone(IWbemClassObject**) { return Unexpected(L"Clone"); }
HRESULT FakeClassObject::GetObjectText(LONG, BSTR*) { return Unexpected(L"GetObjectText"); }
HRESULT FakeClassObject::SpawnDerivedClass(LONG, IWbemClassObject**) { return Unexpected(L"SpawnDerivedClass"); }
HRESULT FakeClassObject::CompareTo(LONG, IWbemClassObject*) { return Unexpected(L"CompareTo"); }
HRESULT FakeClassObject::GetPropertyOrigin(LPCWSTR, BSTR*) { return Unexpected(L"GetPropertyOrigin"); }
HRESULT FakeClassObject::InheritsFrom(LPCWSTR) { return Unexpected(L"InheritsFrom"); }
HRESULT FakeClassObject::PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) {
  return Unexpected(L"PutMethod");
}
HRESULT FakeClassObject::DeleteMethod(LPCWSTR) { return Unexpected(L"DeleteMethod"); }
HRESULT FakeClassObject::BeginMethodEnumeration(LONG) { return Unexpected(L"BeginMethodEnumeration"); }
HRESULT FakeClassObject::NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) {
  return Unexpected(L"NextMethod");
}
HRESULT FakeClassObject::EndMethodEnumeration() { return Unexpected(L"EndMethodEnumeration"); }
HRESULT FakeClassObject::GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) {
  return Unexpected(L"GetMethodQualifierSet");
}
HRESULT FakeClassObject::GetMethodOrigin(LPCWSTR, BSTR*) { return Unexpected(L"GetMethodOrigin"); }

// ---- FakeEnum ----

HRESULT FakeEnum::Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) {
  Log(L"Next(" + Hex(static_cast<unsigned long>(timeout)) + L", " + std::to_wstring(count) + L")");
  if (objects == nullptr || returned == nullptr || count != 1) {
    wmi().Problem(name() + L".Next called with a count other than 1 or without slots");
    return Hr(WBEM_E_INVALID_PARAMETER);
  }
  *objects = nullptr;
  *returned = 0;
  if (failure_ && failure_->first == next_) return failure_->second;
  if (next_ >= objects_.size()) return WBEM_S_FALSE;
  *objects = objects_[next_++]->Share();
  *returned = 1;
  return WBEM_S_NO_ERROR;
}

HRESULT FakeEnum::Reset() { return Unexpected(L"Reset"); }
HRESULT FakeEnum::NextAsync(ULONG, IWbemObjectSink*) { return Unexpected(L"NextAsync"); }
HRESULT FakeEnum::Clone(IEnumWbemClassObject**) { return Unexpected(L"Clone"); }
HRESULT FakeEnum::Skip(LONG, ULONG) { return Unexpected(L"Skip"); }

// ---- FakeServices ----

HRESULT FakeServices::GetObject(const BSTR path, LONG flags, IWbemContext* context, IWbemClassObject** object,
                                IWbemCallResult** callResult) {
  Log(L"GetObject(" + BstrText(wmi(), L"GetObject path", path) + L", " + Hex(static_cast<unsigned long>(flags)) +
      L", " + Pointer(context) + L", " + Pointer(callResult) + L")");
  if (object == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *object = nullptr;
  if (FAILED(getObjectResult)) return getObjectResult;
  if (classObject != nullptr) *object = classObject->Share();
  return getObjectResult;
}

HRESULT FakeServices::CreateInstanceEnum(const BSTR filter, LONG flags, IWbemContext* context,
                                         IEnumWbemClassObject** objects) {
  Log(L"CreateInstanceEnum(" + BstrText(wmi(), L"CreateInstanceEnum class", filter) + L", " +
      Hex(static_cast<unsigned long>(flags)) + L", " + Pointer(context) + L")");
  if (objects == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *objects = nullptr;
  if (FAILED(createInstanceEnumResult)) return createInstanceEnumResult;
  if (instanceEnum != nullptr) {
    instanceEnum->Restart();
    *objects = instanceEnum->Share();
  }
  return createInstanceEnumResult;
}

HRESULT FakeServices::ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                IEnumWbemClassObject** objects) {
  Log(L"ExecQuery(" + BstrText(wmi(), L"query language", language) + L", " + BstrText(wmi(), L"query", query) + L", " +
      Hex(static_cast<unsigned long>(flags)) + L", " + Pointer(context) + L")");
  if (objects == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *objects = nullptr;
  if (FAILED(execQueryResult)) return execQueryResult;
  if (queryResult != nullptr) {
    queryResult->Restart();
    *objects = queryResult->Share();
  }
  return execQueryResult;
}

HRESULT FakeServices::ExecMethod(const BSTR path, const BSTR method, LONG flags, IWbemContext* context,
                                 IWbemClassObject* inParams, IWbemClassObject** out, IWbemCallResult** callResult) {
  lastMethodPath_ = BstrText(wmi(), L"object path", path);
  const FakeObject* in = wmi().Find(inParams);
  Log(L"ExecMethod(" + lastMethodPath_ + L", " + BstrText(wmi(), L"method name", method) + L", " +
      Hex(static_cast<unsigned long>(flags)) + L", " + Pointer(context) + L", " +
      (inParams == nullptr ? std::wstring(L"null")
       : in == nullptr     ? L"unknown"
                           : in->name()) +
      L", " + Pointer(callResult) + L")");
  if (out == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *out = nullptr;
  if (lastMethodPath_.empty()) return Hr(WBEM_E_INVALID_OBJECT_PATH);
  if (FAILED(execMethodResult)) return execMethodResult;
  if (outParams != nullptr) *out = outParams->Share();
  return execMethodResult;
}

HRESULT FakeServices::OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) {
  return Unexpected(L"OpenNamespace");
}
HRESULT FakeServices::CancelAsyncCall(IWbemObjectSink*) { return Unexpected(L"CancelAsyncCall"); }
HRESULT FakeServices::QueryObjectSink(LONG, IWbemObjectSink**) { return Unexpected(L"QueryObjectSink"); }
HRESULT FakeServices::GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"GetObjectAsync");
}
HRESULT FakeServices::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
  return Unexpected(L"PutClass");
}
HRESULT FakeServices::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"PutClassAsync");
}
HRESULT FakeServices::DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) {
  return Unexpected(L"DeleteClass");
}
HRESULT FakeServices::DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"DeleteClassAsync");
}
HRESULT FakeServices::CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
  return Unexpected(L"CreateClassEnum");
}
HRESULT FakeServices::CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"CreateClassEnumAsync");
}
HRESULT FakeServices::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
  return Unexpected(L"PutInstance");
}
HRESULT FakeServices::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"PutInstanceAsync");
}
HRESULT FakeServices::DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) {
  return Unexpected(L"DeleteInstance");
}
HRESULT FakeServices::DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"DeleteInstanceAsync");
}
HRESULT FakeServices::CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"CreateInstanceEnumAsync");
}
HRESULT FakeServices::ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"ExecQueryAsync");
}
HRESULT FakeServices::ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
  return Unexpected(L"ExecNotificationQuery");
}
HRESULT FakeServices::ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
  return Unexpected(L"ExecNotificationQueryAsync");
}
HRESULT FakeServices::ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                      IWbemObjectSink*) {
  return Unexpected(L"ExecMethodAsync");
}

// ---- FakeLocator ----

HRESULT FakeLocator::ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                   LONG flags, const BSTR authority, IWbemContext* context,
                                   IWbemServices** services_out) {
  Log(L"ConnectServer(" + BstrText(wmi(), L"network resource", resource) + L", " + Pointer(user) + L", " +
      Pointer(password) + L", " + Pointer(locale) + L", " + Hex(static_cast<unsigned long>(flags)) + L", " +
      Pointer(authority) + L", " + Pointer(context) + L")");
  if (services_out == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *services_out = nullptr;
  if (FAILED(connectResult)) return connectResult;
  if (services != nullptr) *services_out = services->Share();
  return connectResult;
}

// ---- the runtime ----

namespace {

std::wstring GuidName(REFGUID guid) {
  if (IsEqualGUID(guid, CLSID_WbemLocator)) return L"CLSID_WbemLocator";
  if (IsEqualGUID(guid, IID_IWbemLocator)) return L"IID_IWbemLocator";
  return L"another GUID";
}

class FakeComRuntime final : public ComRuntime {
 public:
  explicit FakeComRuntime(FakeWmi& wmi) : wmi_(wmi) {}

  HRESULT CoInitializeEx(void* reserved, DWORD coInit) override {
    wmi_.Log(L"CoInitializeEx(" + Pointer(reserved) + L", " + Hex(coInit) + L")");
    HRESULT hr = wmi_.coInitializeResult;
    if (hr == S_OK && wmi_.comDepth() > 0) hr = S_FALSE;
    if (SUCCEEDED(hr)) wmi_.ComInitialized();
    return hr;
  }
  void CoUninitialize() override {
    wmi_.Log(L"CoUninitialize()");
    wmi_.ComUninitialized();
  }
  HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) override {
    wmi_.Log(L"CoCreateInstance(" + GuidName(clsid) + L", " + Pointer(outer) + L", " + Hex(context) + L", " +
             GuidName(iid) + L")");
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(clsid, CLSID_WbemLocator) || !IsEqualGUID(iid, IID_IWbemLocator)) {
      return REGDB_E_CLASSNOTREG;
    }
    if (FAILED(wmi_.createInstanceResult)) return wmi_.createInstanceResult;
    *object = wmi_.locator().Share();
    return S_OK;
  }
  HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService, OLECHAR* serverPrincipalName,
                            DWORD authnLevel, DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                            DWORD capabilities) override {
    const FakeObject* target = wmi_.Find(proxy);
    wmi_.Log(L"CoSetProxyBlanket(" + (target == nullptr ? std::wstring(L"unknown") : target->name()) + L", " +
             std::to_wstring(authnService) + L", " + std::to_wstring(authzService) + L", " +
             Pointer(serverPrincipalName) + L", " + std::to_wstring(authnLevel) + L", " + std::to_wstring(impLevel) +
             L", " + Pointer(authInfo) + L", " + std::to_wstring(capabilities) + L")");
    return wmi_.proxyBlanketResult;
  }
  DWORD OemKeyScan(WORD oemChar) override {
    wmi_.Log(L"OemKeyScan(" + Hex(oemChar) + L")");
    const auto it = wmi_.keyScans.find(oemChar);
    return it == wmi_.keyScans.end() ? 0xFFFFFFFFu : it->second;
  }

 private:
  FakeWmi& wmi_;
};

}  // namespace

// ---- FakeWmi ----

FakeWmi::FakeWmi() {
  auto locator = std::make_unique<FakeLocator>(*this, L"locator");
  auto services = std::make_unique<FakeServices>(*this, L"services");
  locator_ = locator.get();
  services_ = services.get();
  locator_->services = services_;
  byInterface_[static_cast<IWbemLocator*>(locator_)] = locator_;
  byInterface_[static_cast<IWbemServices*>(services_)] = services_;
  objects_.push_back(std::move(locator));
  objects_.push_back(std::move(services));
}

FakeWmi::~FakeWmi() {
  for (auto& object : objects_) object->DropValues();
}

std::unique_ptr<ComRuntime> FakeWmi::MakeRuntime() { return std::make_unique<FakeComRuntime>(*this); }

FakeClassObject& FakeWmi::AddObject(const std::wstring& name) {
  auto object = std::make_unique<FakeClassObject>(*this, name);
  FakeClassObject& result = *object;
  byInterface_[static_cast<IWbemClassObject*>(&result)] = &result;
  objects_.push_back(std::move(object));
  return result;
}

FakeEnum& FakeWmi::AddEnum(const std::wstring& name) {
  auto object = std::make_unique<FakeEnum>(*this, name);
  FakeEnum& result = *object;
  byInterface_[static_cast<IEnumWbemClassObject*>(&result)] = &result;
  objects_.push_back(std::move(object));
  return result;
}

const FakeObject* FakeWmi::Find(const IUnknown* object) const {
  const auto it = byInterface_.find(object);
  return it == byInterface_.end() ? nullptr : it->second;
}

void FakeWmi::ComUninitialized() {
  if (comDepth_ == 0) {
    Problem(L"CoUninitialize without a matching initialisation");
    return;
  }
  --comDepth_;
}

std::vector<std::wstring> FakeWmi::Problems() {
  for (auto& object : objects_) object->DropValues();
  std::vector<std::wstring> problems = problems_;
  for (const auto& object : objects_) {
    if (object->refs() != 0) {
      problems.push_back(object->name() + L" still has " + std::to_wstring(object->refs()) + L" reference(s)");
    }
  }
  if (comDepth_ != 0) {
    problems.push_back(L"COM left initialised " + std::to_wstring(comDepth_) + L" time(s)");
  }
  return problems;
}

}  // namespace vort64::fake
