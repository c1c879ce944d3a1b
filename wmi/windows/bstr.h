// A BSTR owned for one scope: allocated from wide text and freed when its
// holder goes out of scope, on every path.
#ifndef VORT64_WMI_WINDOWS_BSTR_H_
#define VORT64_WMI_WINDOWS_BSTR_H_

#include <limits>
#include <string_view>

#include "wmi/windows/com.h"

namespace vort64 {

// A BSTR made from wide text (embedded NULs kept); null when out of memory.
class Bstr {
 public:
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

 private:
  BSTR s_ = nullptr;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_BSTR_H_
