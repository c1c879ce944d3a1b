// An in-process stand-in for the WMI service, for tests of WmiFirmware: a
// COM runtime, a locator, the services and the enumerators and class objects
// they hand out. Every call is logged in order with its arguments, every
// object counts its references, and the answers (values and failures) are
// set by the test.
#ifndef VORT64_WMI_WINDOWS_FAKE_WBEM_H_
#define VORT64_WMI_WINDOWS_FAKE_WBEM_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wmi/windows/com.h"
#include "wmi/windows/com_runtime.h"
#include "wmi/windows/variant.h"

namespace vort64::fake {

class FakeWmi;

// What every fake object shares: a name for the log and a reference count
// that may never drop below zero. The objects belong to their FakeWmi, so a
// reference left behind is seen rather than freed.
class FakeObject {
 public:
  FakeObject(FakeWmi& wmi, std::wstring name) : wmi_(wmi), name_(std::move(name)) {}
  virtual ~FakeObject() = default;
  FakeObject(const FakeObject&) = delete;
  FakeObject& operator=(const FakeObject&) = delete;

  const std::wstring& name() const { return name_; }
  long refs() const { return refs_; }
  // Drops the references its stored values hold (before a leak check).
  virtual void DropValues() {}

 protected:
  ULONG CountAddRef();
  ULONG CountRelease();
  void Log(const std::wstring& call);
  HRESULT Unexpected(const wchar_t* method);
  FakeWmi& wmi() { return wmi_; }

 private:
  FakeWmi& wmi_;
  std::wstring name_;
  long refs_ = 0;
};

template <class Interface>
class FakeUnknown : public Interface, public FakeObject {
 public:
  using FakeObject::FakeObject;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return CountAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return CountRelease(); }

  // A new reference, for handing out through an out-parameter.
  Interface* Share() {
    AddRef();
    return this;
  }
};

// What a Put delivered, read by the fake itself.
struct PutRecord {
  std::wstring name;
  VARTYPE type = VT_EMPTY;
  int64_t integer = 0;         // VT_I2, VT_I4
  unsigned dimensions = 0;     // arrays
  long lowerBound = 0;         // arrays
  std::vector<uint8_t> bytes;  // VT_ARRAY | VT_UI1
};

class FakeClassObject final : public FakeUnknown<IWbemClassObject> {
 public:
  using FakeUnknown::FakeUnknown;

  // What Get answers for a property. An unknown property is WBEM_E_NOT_FOUND.
  void SetValue(const std::wstring& name, const VARIANT& value);
  void SetInteger(const std::wstring& name, VARTYPE type, int64_t value);
  void SetBytes(const std::wstring& name, const std::vector<uint8_t>& bytes);
  void SetText(const std::wstring& name, const std::wstring& text);
  void SetNull(const std::wstring& name);
  void SetEmpty(const std::wstring& name);
  void FailGet(const std::wstring& name, HRESULT hr);
  // What GetMethod answers: the in-parameter object, or a failure.
  void SetMethod(const std::wstring& method, FakeClassObject* inParams);
  void FailGetMethod(HRESULT hr) { getMethodResult_ = hr; }
  // Put of this property fails.
  void FailPut(const std::wstring& name, HRESULT hr) { putFailures_[name] = hr; }
  // What SpawnInstance hands out (a method's in-parameters to fill); without
  // one the call is unexpected.
  void SetSpawn(FakeClassObject* instance) { spawn_ = instance; }

  const std::vector<PutRecord>& puts() const { return puts_; }
  void DropValues() override;

  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override;
  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override;
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override;
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override;
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override;
  HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override;
  HRESULT STDMETHODCALLTYPE EndEnumeration() override;
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override;
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override;
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override;
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override;
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                                      IWbemClassObject** outSignature) override;
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override;
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override;
  HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override;
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override;
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override;

 private:
  struct Property {
    HRESULT result = S_OK;
    Variant value;
  };
  Property& Slot(const std::wstring& name);

  std::map<std::wstring, std::unique_ptr<Property>> properties_;
  std::map<std::wstring, FakeClassObject*> methods_;
  HRESULT getMethodResult_ = S_OK;
  FakeClassObject* spawn_ = nullptr;
  std::map<std::wstring, HRESULT> putFailures_;
  std::vector<PutRecord> puts_;
};

class FakeEnum final : public FakeUnknown<IEnumWbemClassObject> {
 public:
  using FakeUnknown::FakeUnknown;

  // The objects Next hands out, one per call, then WBEM_S_FALSE.
  void Add(FakeClassObject& object) { objects_.push_back(&object); }
  // The Next call that would hand out object `index` fails instead.
  void FailAt(size_t index, HRESULT hr) { failure_ = {index, hr}; }
  // Starts the walk again: the services hand out a fresh enumeration each time.
  void Restart() { next_ = 0; }

  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override;
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override;

 private:
  std::vector<FakeClassObject*> objects_;
  size_t next_ = 0;
  std::optional<std::pair<size_t, HRESULT>> failure_;
};

class FakeServices final : public FakeUnknown<IWbemServices> {
 public:
  using FakeUnknown::FakeUnknown;

  // The answers; a null object with a success code hands out nothing.
  // ExecMethod on an empty object path fails, as WMI's does.
  FakeEnum* queryResult = nullptr;
  HRESULT execQueryResult = S_OK;
  FakeEnum* instanceEnum = nullptr;
  HRESULT createInstanceEnumResult = S_OK;
  FakeClassObject* classObject = nullptr;
  HRESULT getObjectResult = S_OK;
  FakeClassObject* outParams = nullptr;
  HRESULT execMethodResult = S_OK;

  // The object path ExecMethod received last, exactly as sent.
  const std::wstring& lastMethodPath() const { return lastMethodPath_; }

  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override;
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override;
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext* context, IWbemClassObject** object,
                                      IWbemCallResult** callResult) override;
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
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR filter, LONG flags, IWbemContext* context,
                                               IEnumWbemClassObject** objects) override;
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                      IEnumWbemClassObject** objects) override;
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                  IEnumWbemClassObject**) override;
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                       IWbemObjectSink*) override;
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG flags, IWbemContext* context,
                                       IWbemClassObject* inParams, IWbemClassObject** outParams,
                                       IWbemCallResult** callResult) override;
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                            IWbemObjectSink*) override;

 private:
  std::wstring lastMethodPath_;
};

class FakeLocator final : public FakeUnknown<IWbemLocator> {
 public:
  using FakeUnknown::FakeUnknown;

  FakeServices* services = nullptr;
  HRESULT connectResult = S_OK;

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                          LONG flags, const BSTR authority, IWbemContext* context,
                                          IWbemServices** services_out) override;
};

// The fake WMI world of one test: the objects, the log of calls and the
// COM runtime's answers.
class FakeWmi {
 public:
  FakeWmi();
  ~FakeWmi();
  FakeWmi(const FakeWmi&) = delete;
  FakeWmi& operator=(const FakeWmi&) = delete;

  // A runtime that answers from this world; the world must outlive it.
  std::unique_ptr<ComRuntime> MakeRuntime();

  FakeLocator& locator() { return *locator_; }
  FakeServices& services() { return *services_; }
  FakeClassObject& AddObject(const std::wstring& name);
  FakeEnum& AddEnum(const std::wstring& name);

  // What the runtime answers. CoInitializeEx answers S_FALSE instead of S_OK
  // while the thread is already initialised, as COM does.
  HRESULT coInitializeResult = S_OK;
  HRESULT createInstanceResult = S_OK;
  HRESULT proxyBlanketResult = S_OK;
  std::map<WORD, DWORD> keyScans;  // OemKeyScan's answers; others are 0xFFFFFFFF

  // Successful COM initialisations not yet balanced by CoUninitialize.
  int comDepth() const { return comDepth_; }

  // The calls so far, one line each, and the final releases ("release NAME").
  const std::vector<std::wstring>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // Everything that went wrong: references left behind (after the objects'
  // own stored values are dropped), references released once too often,
  // strings passed where a BSTR was due, unexpected calls, unbalanced COM
  // initialisation. Empty when the code under test behaved.
  std::vector<std::wstring> Problems();

  // For the fake objects and the runtime.
  void Log(std::wstring call) { calls_.push_back(std::move(call)); }
  void Problem(std::wstring problem) { problems_.push_back(std::move(problem)); }
  const FakeObject* Find(const IUnknown* object) const;
  void ComInitialized() { ++comDepth_; }
  void ComUninitialized();

 private:
  std::vector<std::unique_ptr<FakeObject>> objects_;
  std::map<const IUnknown*, FakeObject*> byInterface_;
  FakeLocator* locator_ = nullptr;
  FakeServices* services_ = nullptr;
  std::vector<std::wstring> calls_;
  std::vector<std::wstring> problems_;
  int comDepth_ = 0;
};

// Text of a VARIANT for the log: "VT_I2 5", "VT_ARRAY|VT_UI1[16]", "VT_NULL".
std::wstring Describe(const VARIANT& value);

}  // namespace vort64::fake

#endif  // VORT64_WMI_WINDOWS_FAKE_WBEM_H_
