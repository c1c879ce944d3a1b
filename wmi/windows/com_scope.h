// COM initialised on the calling thread for as long as a ComScope lives.
#ifndef VORT64_WMI_WINDOWS_COM_SCOPE_H_
#define VORT64_WMI_WINDOWS_COM_SCOPE_H_

#include "wmi/windows/com.h"
#include "wmi/windows/com_runtime.h"

namespace vort64 {

// Initialises COM in the multithreaded model, and uninitialises it at the end
// of the scope when the initialisation succeeded (S_OK, or S_FALSE on a
// thread already initialised in this model). A thread in another model
// (RPC_E_CHANGED_MODE) or a failed initialisation is left as it was.
class ComScope {
 public:
  explicit ComScope(ComRuntime& com)
      : com_(com), initialized_(SUCCEEDED(com_.CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComScope() {
    if (initialized_) com_.CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  // Whether this scope holds an initialisation it will balance.
  bool initialized() const { return initialized_; }

 private:
  ComRuntime& com_;
  const bool initialized_;
};

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_COM_SCOPE_H_
