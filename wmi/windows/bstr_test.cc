#include "wmi/windows/bstr.h"

#include <gtest/gtest.h>

#include <string>

namespace vort64 {
namespace {

TEST(BstrTest, KeepsLengthAndEmbeddedNuls) {
  const std::wstring text(L"a\0b\\c", 5);
  const Bstr b(text);
  ASSERT_TRUE(b);
  EXPECT_EQ(SysStringLen(b.Get()), 5u);
  EXPECT_EQ(std::wstring(b.Get(), SysStringLen(b.Get())), text);

  const Bstr empty(L"");
  ASSERT_TRUE(empty);  // an empty BSTR, not a null one
  EXPECT_EQ(SysStringLen(empty.Get()), 0u);
}

}  // namespace
}  // namespace vort64
