// An owning reference to a COM object: released when its holder goes out of
// scope, on every path.
#ifndef VORT64_WMI_WINDOWS_COM_PTR_H_
#define VORT64_WMI_WINDOWS_COM_PTR_H_

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

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_COM_PTR_H_
