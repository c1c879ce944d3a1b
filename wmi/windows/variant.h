// An owned VARIANT, and the conversions between the firmware seam's values
// and OLE Automation VARIANTs.
#ifndef VORT64_WMI_WINDOWS_VARIANT_H_
#define VORT64_WMI_WINDOWS_VARIANT_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "wmi/firmware.h"
#include "wmi/windows/com.h"

namespace vort64 {

// A VARIANT that is initialised on construction and cleared (whatever it
// holds released) on destruction and before it is filled again.
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

// Fills an initialised, empty VARIANT with a value: Int16 as VT_I2, Int32 as
// VT_I4, Bytes as a one-dimensional VT_UI1 SAFEARRAY with lower bound 0
// (VT_ARRAY | VT_UI1), Null as VT_NULL, Empty as VT_EMPTY. Kind Other has no
// VARIANT form (E_INVALIDARG). On failure the VARIANT stays empty.
HRESULT ToVariant(const FirmwareValue& value, VARIANT* out);

// Reads a VARIANT: VT_I2 (and the narrower integer types) as Int16, VT_I4 and
// the other integer types as Int32 (the low 32 bits of a wider one), a
// one-dimensional byte array as Bytes, VT_NULL as Null, VT_EMPTY as Empty,
// anything else (strings, objects, references, other arrays) as Other.
FirmwareValue FromVariant(const VARIANT& v);

// The value of a VARIANT of an integer type (VT_I1 to VT_UI8, VT_INT,
// VT_UINT); nothing for any other type.
std::optional<int64_t> IntegerOf(const VARIANT& v);

// Copies the elements of a one-dimensional VT_ARRAY | VT_UI1 VARIANT. False
// for any other type, a missing or multi-dimensional array, or a failed
// access; `bytes` is then left empty.
bool ReadByteArray(const VARIANT& v, std::vector<uint8_t>& bytes);

}  // namespace vort64

#endif  // VORT64_WMI_WINDOWS_VARIANT_H_
