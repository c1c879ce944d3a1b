// The objects the test WMI provider hands out besides its services: a WMI
// object (a class, a method's parameters or an instance) holding named
// values, and an enumeration of such objects.
#ifndef VORT64_TESTS_WMI_PROVIDER_WBEM_OBJECT_H_
#define VORT64_TESTS_WMI_PROVIDER_WBEM_OBJECT_H_

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/windows/com.h"
#include "wmi/windows/com_ptr.h"
#include "wmi/windows/variant.h"

namespace vort64::provider {

// Equal up to case, as WMI compares class names, namespaces and keywords.
bool SameName(std::wstring_view a, std::wstring_view b);
// The characters of a BSTR (embedded NULs kept); empty for a null one.
std::wstring_view BstrView(const BSTR s);

// What a WMI object is, which decides what it answers.
enum class ObjectKind {
  kClass,       // a class definition: GetMethod hands out its methods' signatures
  kParameters,  // a method's in- or out-parameters: its properties are declared
  kInstance,    // an instance: its properties are what it was given
};

class WbemObject final : public IWbemClassObject {
 public:
  // A new object with one reference, or null when out of memory.
  static WbemObject* Make(ObjectKind kind, std::wstring className);

  // Declares a property, holding VT_NULL until a value is put.
  bool Declare(const std::wstring& name);
  // Declares a property and sets its value (a copy of `value`).
  HRESULT Set(const std::wstring& name, const VARIANT& value);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** set) override;
  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override;
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override;
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR qualifier, LONG flags, VARIANT* value, SAFEARRAY** names) override;
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG flags) override;
  HRESULT STDMETHODCALLTYPE Next(LONG flags, BSTR* name, VARIANT* value, CIMTYPE* type, LONG* flavor) override;
  HRESULT STDMETHODCALLTYPE EndEnumeration() override;
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR property, IWbemQualifierSet** set) override;
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** copy) override;
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG flags, BSTR* text) override;
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG flags, IWbemClassObject** derived) override;
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG flags, IWbemClassObject** instance) override;
  HRESULT STDMETHODCALLTYPE CompareTo(LONG flags, IWbemClassObject* other) override;
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR name, BSTR* className) override;
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR ancestor) override;
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                                      IWbemClassObject** outSignature) override;
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR name, LONG flags, IWbemClassObject* inSignature,
                                      IWbemClassObject* outSignature) override;
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG flags) override;
  HRESULT STDMETHODCALLTYPE NextMethod(LONG flags, BSTR* name, IWbemClassObject** inSignature,
                                       IWbemClassObject** outSignature) override;
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override;
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR method, IWbemQualifierSet** set) override;
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR method, BSTR* className) override;

 private:
  HRESULT VolumeMethod(LPCWSTR name, IWbemClassObject** inSignature, IWbemClassObject** outSignature);
  struct Property {
    std::wstring name;
    Variant value;
  };

  WbemObject(ObjectKind kind, std::wstring className) : kind_(kind), className_(std::move(className)) {}
  ~WbemObject() = default;
  Property* Find(std::wstring_view name);
  // A copy of the given kind with the same class and declared properties;
  // with their values or (for a new instance) all VT_NULL.
  HRESULT Copy(ObjectKind kind, bool withValues, IWbemClassObject** out);

  std::atomic<ULONG> refs_{1};
  const ObjectKind kind_;
  const std::wstring className_;
  // In the order they were declared, as a method's parameters are.
  std::vector<std::unique_ptr<Property>> properties_;
  size_t nextProperty_ = 0;  // the property enumeration's position
};

// An enumeration of objects handed out one by one, then WBEM_S_FALSE.
class WbemEnum final : public IEnumWbemClassObject {
 public:
  // A new enumeration with one reference, or null when out of memory. Takes
  // a reference of its own to each object.
  static WbemEnum* Make(const std::vector<IWbemClassObject*>& objects);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override;
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG count, IWbemObjectSink* sink) override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override;
  HRESULT STDMETHODCALLTYPE Skip(LONG timeout, ULONG count) override;

 private:
  WbemEnum() = default;
  ~WbemEnum();

  std::atomic<ULONG> refs_{1};
  std::vector<IWbemClassObject*> objects_;  // one reference each
  size_t next_ = 0;
};

}  // namespace vort64::provider

#endif  // VORT64_TESTS_WMI_PROVIDER_WBEM_OBJECT_H_
