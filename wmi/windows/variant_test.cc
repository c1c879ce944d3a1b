#include "wmi/windows/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vort64 {
namespace {

using Kind = FirmwareValue::Kind;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

// A byte array with the given lower bound, built without the code under test.
void MakeArray(VARIANT* v, const std::vector<uint8_t>& bytes, LONG lower, VARTYPE element = VT_UI1) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), lower};
  SAFEARRAY* array = SafeArrayCreate(element, 1, &bound);
  ASSERT_NE(array, nullptr);
  if (element == VT_UI1 && !bytes.empty()) {
    void* data = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SafeArrayAccessData(array, &data));
    std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(data));
    SafeArrayUnaccessData(array);
  }
  V_VT(v) = static_cast<VARTYPE>(VT_ARRAY | element);
  V_ARRAY(v) = array;
}

// A COM object that counts its references, to see what a Variant releases.
class Counted final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  long refs() const { return refs_; }

 private:
  long refs_ = 0;
};

void Hold(VARIANT* v, Counted& object) {
  object.AddRef();
  V_VT(v) = VT_UNKNOWN;
  V_UNKNOWN(v) = &object;
}

TEST(VariantTest, ReleasesWhatItHoldsWhenRefilledAndWhenDestroyed) {
  Counted first;
  Counted second;
  {
    Variant v;
    EXPECT_EQ(v.Type(), VT_EMPTY);
    Hold(v.Put(), first);
    EXPECT_EQ(first.refs(), 1);
    Hold(v.Put(), second);
    EXPECT_EQ(first.refs(), 0);
    EXPECT_EQ(second.refs(), 1);
    EXPECT_EQ(v.Type(), VT_UNKNOWN);
  }
  EXPECT_EQ(second.refs(), 0);
}

TEST(ToVariantTest, IntegersKeepTheirWidth) {
  Variant i2;
  ASSERT_EQ(ToVariant(FirmwareValue::Int16(-2), i2.Put()), S_OK);
  EXPECT_EQ(i2.Type(), VT_I2);
  EXPECT_EQ(V_I2(&i2.Get()), -2);

  Variant i4;
  ASSERT_EQ(ToVariant(FirmwareValue::Int32(0x12345678), i4.Put()), S_OK);
  EXPECT_EQ(i4.Type(), VT_I4);
  EXPECT_EQ(V_I4(&i4.Get()), 0x12345678);
}

TEST(ToVariantTest, BytesBecomeAOneDimensionalByteArrayFromIndexZero) {
  for (const size_t size : {size_t{0}, size_t{12}, size_t{16}, size_t{2048}}) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> bytes = Pattern(size);
    Variant v;
    ASSERT_EQ(ToVariant(FirmwareValue::Bytes(bytes), v.Put()), S_OK);
    ASSERT_EQ(v.Type(), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = V_ARRAY(&v.Get());
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(array), 1u);
    LONG lower = -1;
    LONG upper = -2;
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetLBound(array, 1, &lower));
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(array, 1, &upper));
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, static_cast<LONG>(size) - 1);
    std::vector<uint8_t> back;
    EXPECT_TRUE(ReadByteArray(v.Get(), back));
    EXPECT_EQ(back, bytes);
  }
}

TEST(ToVariantTest, NullAndEmptyAndRefusals) {
  Variant null_value;
  ASSERT_EQ(ToVariant({Kind::kNull, 0, {}}, null_value.Put()), S_OK);
  EXPECT_EQ(null_value.Type(), VT_NULL);

  Variant empty_value;
  ASSERT_EQ(ToVariant({}, empty_value.Put()), S_OK);
  EXPECT_EQ(empty_value.Type(), VT_EMPTY);

  Variant other;
  EXPECT_EQ(ToVariant({Kind::kOther, 0, {}}, other.Put()), E_INVALIDARG);
  EXPECT_EQ(other.Type(), VT_EMPTY);

  // An Int16 that does not fit 16 bits is refused, not cut.
  Variant wide;
  EXPECT_EQ(ToVariant({Kind::kInt16, 40000, {}}, wide.Put()), E_INVALIDARG);
  EXPECT_EQ(wide.Type(), VT_EMPTY);
}

struct IntegerCase {
  VARTYPE type;
  int64_t stored;
  Kind kind;
  int32_t integer;
};

TEST(FromVariantTest, IntegerTypesByValue) {
  const IntegerCase cases[] = {
      {VT_I2, 8, Kind::kInt16, 8},      {VT_I2, -1, Kind::kInt16, -1},           {VT_I1, -5, Kind::kInt16, -5},
      {VT_UI1, 209, Kind::kInt16, 209}, {VT_UI2, 65535, Kind::kInt32, 65535},    {VT_I4, 210, Kind::kInt32, 210},
      {VT_I4, -7, Kind::kInt32, -7},    {VT_UI4, 0xFFFFFFFF, Kind::kInt32, -1},  {VT_INT, 3, Kind::kInt32, 3},
      {VT_UINT, 4, Kind::kInt32, 4},    {VT_I8, 0x100000008LL, Kind::kInt32, 8},  // the low 32 bits
      {VT_UI8, 9, Kind::kInt32, 9},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "VARTYPE " << c.type << " value " << c.stored);
    Variant v;
    VARIANT* p = v.Put();
    V_VT(p) = c.type;
    V_I8(p) = 0;
    switch (c.type) {
      case VT_I1: V_I1(p) = static_cast<CHAR>(c.stored); break;
      case VT_UI1: V_UI1(p) = static_cast<BYTE>(c.stored); break;
      case VT_I2: V_I2(p) = static_cast<SHORT>(c.stored); break;
      case VT_UI2: V_UI2(p) = static_cast<USHORT>(c.stored); break;
      case VT_I4: V_I4(p) = static_cast<LONG>(c.stored); break;
      case VT_UI4: V_UI4(p) = static_cast<ULONG>(c.stored); break;
      case VT_INT: V_INT(p) = static_cast<INT>(c.stored); break;
      case VT_UINT: V_UINT(p) = static_cast<UINT>(c.stored); break;
      default: V_I8(p) = c.stored; break;
    }
    const FirmwareValue value = FromVariant(v.Get());
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.integer, c.integer);
  }
}

TEST(FromVariantTest, ArraysNullEmptyAndOthers) {
  const std::vector<uint8_t> bytes = Pattern(4096);
  Variant array;
  MakeArray(array.Put(), bytes, 0);
  const FirmwareValue read = FromVariant(array.Get());
  EXPECT_EQ(read.kind, Kind::kBytes);
  EXPECT_EQ(read.bytes, bytes);  // all of it: the caller decides how much it keeps

  Variant null_value;
  V_VT(null_value.Put()) = VT_NULL;
  EXPECT_EQ(FromVariant(null_value.Get()).kind, Kind::kNull);

  Variant empty_value;
  EXPECT_EQ(FromVariant(empty_value.Get()).kind, Kind::kEmpty);

  Variant text;
  V_VT(text.Put()) = VT_BSTR;
  V_BSTR(text.Ptr()) = SysAllocString(L"12");
  EXPECT_EQ(FromVariant(text.Get()).kind, Kind::kOther);

  Variant words;
  MakeArray(words.Put(), std::vector<uint8_t>(4), 0, VT_I4);
  EXPECT_EQ(FromVariant(words.Get()).kind, Kind::kOther);
}

TEST(ReadByteArrayTest, TakesTheElementsWhateverTheLowerBound) {
  Variant v;
  MakeArray(v.Put(), {1, 2, 3}, 5);
  std::vector<uint8_t> bytes = {9};
  EXPECT_TRUE(ReadByteArray(v.Get(), bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ReadByteArrayTest, RefusesWhatIsNoOneDimensionalByteArray) {
  std::vector<uint8_t> bytes = {9};

  Variant two_dimensions;
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
  V_VT(two_dimensions.Put()) = VT_ARRAY | VT_UI1;
  V_ARRAY(two_dimensions.Ptr()) = SafeArrayCreate(VT_UI1, 2, bounds);
  EXPECT_FALSE(ReadByteArray(two_dimensions.Get(), bytes));
  EXPECT_TRUE(bytes.empty());

  Variant words;
  MakeArray(words.Put(), std::vector<uint8_t>(2), 0, VT_I2);
  bytes = {9};
  EXPECT_FALSE(ReadByteArray(words.Get(), bytes));
  EXPECT_TRUE(bytes.empty());

  Variant no_array;
  V_VT(no_array.Put()) = VT_ARRAY | VT_UI1;
  V_ARRAY(no_array.Ptr()) = nullptr;
  EXPECT_FALSE(ReadByteArray(no_array.Get(), bytes));

  Variant null_value;
  V_VT(null_value.Put()) = VT_NULL;
  EXPECT_FALSE(ReadByteArray(null_value.Get(), bytes));
}

}  // namespace
}  // namespace vort64
