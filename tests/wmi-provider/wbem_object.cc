#include "tests/wmi-provider/wbem_object.h"

#include <cwctype>
#include <new>

#include "sim/simulated_firmware.h"
#include "wmi/drive_protection.h"
#include "wmi/firmware_facts.h"

namespace vort64::provider {

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

std::wstring_view BstrView(const BSTR s) { return s ? std::wstring_view(s, SysStringLen(s)) : std::wstring_view(); }

// ---- WbemObject ----

WbemObject* WbemObject::Make(ObjectKind kind, std::wstring className) {
  return new (std::nothrow) WbemObject(kind, std::move(className));
}

WbemObject::Property* WbemObject::Find(std::wstring_view name) {
  for (auto& p : properties_) {
    if (SameName(p->name, name)) return p.get();
  }
  return nullptr;
}

bool WbemObject::Declare(const std::wstring& name) {
  if (Find(name)) return true;
  try {
    auto property = std::make_unique<Property>();
    property->name = name;
    V_VT(property->value.Ptr()) = VT_NULL;
    properties_.push_back(std::move(property));
    return true;
  } catch (...) {
    return false;
  }
}

HRESULT WbemObject::Set(const std::wstring& name, const VARIANT& value) {
  if (!Declare(name)) return E_OUTOFMEMORY;
  // VariantCopy only reads its source.
  return VariantCopy(Find(name)->value.Put(), const_cast<VARIANT*>(&value));
}

HRESULT WbemObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemClassObject)) {
    *out = static_cast<IWbemClassObject*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG WbemObject::AddRef() { return ++refs_; }

ULONG WbemObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT WbemObject::Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) {
  if (name == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  Property* p = Find(name);
  if (p == nullptr) return Hr(WBEM_E_NOT_FOUND);
  if (value != nullptr) {
    VariantInit(value);
    const HRESULT hr = VariantCopy(value, p->value.Ptr());
    if (FAILED(hr)) return hr;
  }
  if (type != nullptr) {
    // The value's own type stands for the property's CIM type.
    const VARTYPE vt = p->value.Type();
    *type = vt == (VT_ARRAY | VT_UI1) ? static_cast<CIMTYPE>(CIM_UINT8 | CIM_FLAG_ARRAY)
            : vt == VT_BSTR           ? static_cast<CIMTYPE>(CIM_STRING)
            : vt == VT_UI1            ? static_cast<CIMTYPE>(CIM_UINT8)
            : vt == VT_I2             ? static_cast<CIMTYPE>(CIM_SINT16)
            : vt == VT_I4             ? static_cast<CIMTYPE>(CIM_UINT32)
            : vt == VT_BOOL           ? static_cast<CIMTYPE>(CIM_BOOLEAN)
                                      : static_cast<CIMTYPE>(CIM_EMPTY);
  }
  if (flavor != nullptr) *flavor = WBEM_FLAVOR_ORIGIN_LOCAL;
  return S_OK;
}

HRESULT WbemObject::Put(LPCWSTR name, LONG, VARIANT* value, CIMTYPE) {
  if (name == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  Property* p = Find(name);
  // A method's parameters are declared by its signature; an instance takes
  // any property.
  if (p == nullptr) {
    if (kind_ == ObjectKind::kParameters) return Hr(WBEM_E_NOT_FOUND);
    if (!Declare(name)) return E_OUTOFMEMORY;
    p = Find(name);
  }
  if (value == nullptr) {
    V_VT(p->value.Put()) = VT_NULL;
    return S_OK;
  }
  // The value is copied; the caller keeps its own.
  Variant copy;
  const HRESULT hr = VariantCopy(copy.Put(), value);
  if (FAILED(hr)) return hr;
  *p->value.Put() = copy.Get();
  V_VT(copy.Ptr()) = VT_EMPTY;  // handed over
  return S_OK;
}

HRESULT WbemObject::GetMethod(LPCWSTR name, LONG, IWbemClassObject** inSignature, IWbemClassObject** outSignature) {
  if (inSignature != nullptr) *inSignature = nullptr;
  if (outSignature != nullptr) *outSignature = nullptr;
  if (name == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  if (kind_ != ObjectKind::kClass) return Hr(WBEM_E_ILLEGAL_OPERATION);
  if (SameName(className_, kEncryptableVolumeClass)) return VolumeMethod(name, inSignature, outSignature);
  const std::optional<sim::MethodSignature> signature = sim::FindMethodSignature(className_, name);
  if (!signature) return Hr(WBEM_E_NOT_FOUND);
  try {
    ComPtr<WbemObject> in, out;
    *in.Put() = Make(ObjectKind::kParameters, L"__PARAMETERS");
    *out.Put() = Make(ObjectKind::kParameters, L"__PARAMETERS");
    if (!in || !out) return E_OUTOFMEMORY;
    bool declared = in->Declare(kPasswordLenParam) && in->Declare(kPasswordParam) && out->Declare(kReturnCodeParam);
    if (signature->takesData) declared = declared && in->Declare(kDataParam);
    if (signature->returnsData) declared = declared && out->Declare(kDataParam);
    if (!declared) return E_OUTOFMEMORY;
    if (inSignature != nullptr) in->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(inSignature));
    if (outSignature != nullptr) out->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(outSignature));
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// Win32_EncryptableVolume's three methods the program calls:
// GetProtectionStatus (out ProtectionStatus), DisableKeyProtectors (in
// DisableCount), EnableKeyProtectors; each out ReturnValue. A method without
// in-parameters has no in-signature.
HRESULT WbemObject::VolumeMethod(LPCWSTR name, IWbemClassObject** inSignature, IWbemClassObject** outSignature) {
  const bool status = SameName(name, kGetProtectionStatusMethod);
  const bool disable = SameName(name, kDisableKeyProtectorsMethod);
  if (!status && !disable && !SameName(name, kEnableKeyProtectorsMethod)) return Hr(WBEM_E_NOT_FOUND);
  try {
    ComPtr<WbemObject> in, out;
    *out.Put() = Make(ObjectKind::kParameters, L"__PARAMETERS");
    if (!out || !out->Declare(L"ReturnValue") || (status && !out->Declare(L"ProtectionStatus"))) return E_OUTOFMEMORY;
    if (disable) {
      *in.Put() = Make(ObjectKind::kParameters, L"__PARAMETERS");
      if (!in || !in->Declare(L"DisableCount")) return E_OUTOFMEMORY;
      if (inSignature != nullptr) in->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(inSignature));
    }
    if (outSignature != nullptr) out->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(outSignature));
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WbemObject::Copy(ObjectKind kind, bool withValues, IWbemClassObject** out) {
  if (out == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  *out = nullptr;
  ComPtr<WbemObject> copy;
  *copy.Put() = Make(kind, className_);
  if (!copy) return E_OUTOFMEMORY;
  for (const auto& p : properties_) {
    if (!copy->Declare(p->name)) return E_OUTOFMEMORY;
    if (withValues) {
      const HRESULT hr = copy->Set(p->name, p->value.Get());
      if (FAILED(hr)) return hr;
    }
  }
  return copy->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(out));
}

// An instance of a class, or a fresh set of a method's parameters.
HRESULT WbemObject::SpawnInstance(LONG, IWbemClassObject** instance) {
  return Copy(kind_ == ObjectKind::kClass ? ObjectKind::kInstance : kind_, false, instance);
}

HRESULT WbemObject::Clone(IWbemClassObject** copy) { return Copy(kind_, true, copy); }

HRESULT WbemObject::BeginEnumeration(LONG) {
  nextProperty_ = 0;
  return S_OK;
}

HRESULT WbemObject::Next(LONG, BSTR* name, VARIANT* value, CIMTYPE* type, LONG* flavor) {
  if (nextProperty_ >= properties_.size()) return Hr(WBEM_S_NO_MORE_DATA);
  const Property& p = *properties_[nextProperty_++];
  const HRESULT hr = Get(p.name.c_str(), 0, value, type, flavor);
  if (FAILED(hr)) return hr;
  if (name != nullptr) {
    *name = SysAllocStringLen(p.name.data(), static_cast<UINT>(p.name.size()));
    if (*name == nullptr) {
      if (value != nullptr) VariantClear(value);
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

HRESULT WbemObject::EndEnumeration() {
  nextProperty_ = properties_.size();
  return S_OK;
}

HRESULT WbemObject::InheritsFrom(LPCWSTR) { return WBEM_S_FALSE; }

// What the program never asks of the firmware's objects.
HRESULT WbemObject::GetQualifierSet(IWbemQualifierSet**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::Delete(LPCWSTR) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetObjectText(LONG, BSTR*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::SpawnDerivedClass(LONG, IWbemClassObject**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::CompareTo(LONG, IWbemClassObject*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetPropertyOrigin(LPCWSTR, BSTR*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::DeleteMethod(LPCWSTR) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::BeginMethodEnumeration(LONG) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::EndMethodEnumeration() { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) { return Hr(WBEM_E_NOT_SUPPORTED); }
HRESULT WbemObject::GetMethodOrigin(LPCWSTR, BSTR*) { return Hr(WBEM_E_NOT_SUPPORTED); }

// ---- WbemEnum ----

WbemEnum* WbemEnum::Make(const std::vector<IWbemClassObject*>& objects) {
  auto* e = new (std::nothrow) WbemEnum();
  if (e == nullptr) return nullptr;
  try {
    e->objects_.reserve(objects.size());
  } catch (...) {
    e->Release();
    return nullptr;
  }
  for (IWbemClassObject* object : objects) {
    object->AddRef();
    e->objects_.push_back(object);
  }
  return e;
}

WbemEnum::~WbemEnum() {
  for (IWbemClassObject* object : objects_) object->Release();
}

HRESULT WbemEnum::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumWbemClassObject)) {
    *out = static_cast<IEnumWbemClassObject*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG WbemEnum::AddRef() { return ++refs_; }

ULONG WbemEnum::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT WbemEnum::Reset() {
  next_ = 0;
  return S_OK;
}

HRESULT WbemEnum::Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) {
  if (objects == nullptr || returned == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  ULONG given = 0;
  while (given < count && next_ < objects_.size()) {
    objects[given] = objects_[next_++];
    objects[given]->AddRef();
    ++given;
  }
  *returned = given;
  return given == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
}

HRESULT WbemEnum::Skip(LONG, ULONG count) {
  const size_t left = objects_.size() - next_;
  next_ += count < left ? count : left;
  return count <= left ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
}

HRESULT WbemEnum::Clone(IEnumWbemClassObject** copy) {
  if (copy == nullptr) return Hr(WBEM_E_INVALID_PARAMETER);
  WbemEnum* e = Make(objects_);
  if (e == nullptr) return E_OUTOFMEMORY;
  e->next_ = next_;
  *copy = e;
  return S_OK;
}

HRESULT WbemEnum::NextAsync(ULONG, IWbemObjectSink*) { return Hr(WBEM_E_NOT_SUPPORTED); }

}  // namespace vort64::provider
