#include "wmi/windows/variant.h"

#include <cstring>
#include <limits>

namespace vort64 {

namespace {

// Holds a SAFEARRAY's data locked for direct access.
class ArrayAccess {
 public:
  explicit ArrayAccess(SAFEARRAY* array) : array_(array) {
    if (FAILED(SafeArrayAccessData(array_, &data_))) data_ = nullptr;
  }
  ~ArrayAccess() {
    if (data_ != nullptr) SafeArrayUnaccessData(array_);
  }
  ArrayAccess(const ArrayAccess&) = delete;
  ArrayAccess& operator=(const ArrayAccess&) = delete;

  void* data() const { return data_; }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
};

// Owns a SAFEARRAY until it is handed to a VARIANT.
class ArrayOwner {
 public:
  explicit ArrayOwner(SAFEARRAY* array) : array_(array) {}
  ~ArrayOwner() {
    if (array_ != nullptr) SafeArrayDestroy(array_);
  }
  ArrayOwner(const ArrayOwner&) = delete;
  ArrayOwner& operator=(const ArrayOwner&) = delete;

  SAFEARRAY* get() const { return array_; }
  SAFEARRAY* Release() {
    SAFEARRAY* a = array_;
    array_ = nullptr;
    return a;
  }

 private:
  SAFEARRAY* array_;
};

HRESULT MakeByteArray(const std::vector<uint8_t>& bytes, VARIANT* out) {
  if (bytes.size() > std::numeric_limits<ULONG>::max()) return E_INVALIDARG;
  SAFEARRAYBOUND bound;
  bound.cElements = static_cast<ULONG>(bytes.size());
  bound.lLbound = 0;
  ArrayOwner array(SafeArrayCreate(VT_UI1, 1, &bound));
  if (array.get() == nullptr) return E_OUTOFMEMORY;
  if (!bytes.empty()) {
    ArrayAccess access(array.get());
    if (access.data() == nullptr) return E_UNEXPECTED;
    std::memcpy(access.data(), bytes.data(), bytes.size());
  }
  V_VT(out) = VT_ARRAY | VT_UI1;
  V_ARRAY(out) = array.Release();
  return S_OK;
}

}  // namespace

HRESULT ToVariant(const FirmwareValue& value, VARIANT* out) {
  switch (value.kind) {
    case FirmwareValue::Kind::kEmpty: V_VT(out) = VT_EMPTY; return S_OK;
    case FirmwareValue::Kind::kNull: V_VT(out) = VT_NULL; return S_OK;
    case FirmwareValue::Kind::kInt16:
      if (value.integer < std::numeric_limits<SHORT>::min() || value.integer > std::numeric_limits<SHORT>::max()) {
        return E_INVALIDARG;
      }
      V_VT(out) = VT_I2;
      V_I2(out) = static_cast<SHORT>(value.integer);
      return S_OK;
    case FirmwareValue::Kind::kInt32:
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(value.integer);
      return S_OK;
    case FirmwareValue::Kind::kBytes: return MakeByteArray(value.bytes, out);
    case FirmwareValue::Kind::kOther: break;
  }
  return E_INVALIDARG;
}

std::optional<int64_t> IntegerOf(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_I1: return V_I1(&v);
    case VT_UI1: return V_UI1(&v);
    case VT_I2: return V_I2(&v);
    case VT_UI2: return V_UI2(&v);
    case VT_I4: return V_I4(&v);
    case VT_UI4: return V_UI4(&v);
    case VT_INT: return V_INT(&v);
    case VT_UINT: return V_UINT(&v);
    case VT_I8: return V_I8(&v);
    case VT_UI8: return static_cast<int64_t>(V_UI8(&v));
    default: return std::nullopt;
  }
}

bool ReadByteArray(const VARIANT& v, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (V_VT(&v) != (VT_ARRAY | VT_UI1)) return false;
  SAFEARRAY* array = V_ARRAY(&v);
  if (array == nullptr || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) {
    return false;
  }
  LONG lower = 0;
  LONG upper = 0;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return false;
  }
  const int64_t count = static_cast<int64_t>(upper) - lower + 1;
  if (count <= 0) return count == 0;
  ArrayAccess access(array);
  if (access.data() == nullptr) return false;
  const auto* first = static_cast<const uint8_t*>(access.data());
  bytes.assign(first, first + count);
  return true;
}

FirmwareValue FromVariant(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_EMPTY: return {};
    case VT_NULL: return {FirmwareValue::Kind::kNull, 0, {}};
    case VT_I1:
    case VT_UI1:
    case VT_I2: return FirmwareValue::Int16(static_cast<int16_t>(*IntegerOf(v)));
    default: break;
  }
  if (const std::optional<int64_t> n = IntegerOf(v)) {
    // The low 32 bits, as the firmware's 32-bit codes are read.
    return FirmwareValue::Int32(static_cast<int32_t>(static_cast<uint32_t>(*n)));
  }
  FirmwareValue bytes{FirmwareValue::Kind::kBytes, 0, {}};
  if (ReadByteArray(v, bytes.bytes)) return bytes;
  return {FirmwareValue::Kind::kOther, 0, {}};
}

}  // namespace vort64
