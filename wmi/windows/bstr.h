// A BSTR owned for one scope: allocated from wide text and freed when its
// holder goes out of scope, on every path.
#ifndef VORT64_WMI_WINDOWS_BSTR_H_
#define VORT64_WMI_WINDOWS_BSTR_H_

#include <limits>
#include <string_view>
#include <utility>

#include "wmi/windows/com.h"

namespace vort64 {

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

#endif  // VORT64_WMI_WINDOWS_BSTR_H_
