// Owning references to COM objects and the OLE Automation values they trade
// in: every reference is released and every VARIANT, BSTR and SAFEARRAY lock
// undone when its holder goes out of scope, on every path.
#ifndef VORT64_WMI_WINDOWS_COM_PTR_H_
#define VORT64_WMI_WINDOWS_COM_PTR_H_

#include <limits>
#include <string_view>
#include <utility>

#include "wmi/windows/com.h"

namespace vort64 {

// One counted reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Releases the reference held (if any) and hands out the slot for a call
  // that returns a new reference.
  T** Put() {
    Reset();
    return &p_;
  }

  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// A VARIANT that is initialised on construction and cleared on destruction.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  const VARIANT& Get() const { return v_; }
  VARTYPE Type() const { return V_VT(&v_); }
  // Clears the value and hands out the VARIANT for a call that fills it.
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  // The VARIANT itself, for calls that read it but take a non-const pointer.
  VARIANT* Ptr() { return &v_; }

 private:
  VARIANT v_;
};

// A BSTR made from wide text (embedded NULs kept); null when out of memory.
// Default-constructed, it receives a BSTR a call hands out.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text) {
    if (text.size() <= std::numeric_limits<UINT>::max() / 2) {
      s_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
  }
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  // Frees the string held (if any) and hands out the slot for a call that
  // returns a new one.
  BSTR* Put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  // Hands the string over to a new owner (a VARIANT, for one).
  BSTR Detach() { return std::exchange(s_, nullptr); }
  // The characters, embedded NULs included; empty for a null BSTR.
  std::wstring_view View() const { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_COM_PTR_H_
