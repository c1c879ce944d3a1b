// The Windows headers the WMI code needs, included one way everywhere so that
// macros such as GetObject (wingdi.h) rename methods consistently.
#ifndef VORT64_WMI_WINDOWS_COM_H_
#define VORT64_WMI_WINDOWS_COM_H_

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>

namespace vort64 {

// A WMI status as the HRESULT the WMI interfaces return (the WBEMSTATUS
// enumeration's failure values do not fit its signed type implicitly).
constexpr HRESULT Hr(WBEMSTATUS status) { return static_cast<HRESULT>(status); }

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_COM_H_
