#include "wmi/windows/com_scope.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "wmi/windows/fake_wbem.h"

namespace vort64 {
namespace {

using fake::FakeWmi;
using testing::ElementsAre;
using testing::IsEmpty;

TEST(ComScopeTest, BalancesOnlyASuccessfulInitialisation) {
  struct Case {
    const char* what;
    HRESULT init;
    bool balanced;
  };
  const Case cases[] = {
      {"initialised here", S_OK, true},
      {"thread in another concurrency model", RPC_E_CHANGED_MODE, false},
      {"initialisation failed", E_OUTOFMEMORY, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeWmi wmi;
    wmi.coInitializeResult = c.init;
    const std::unique_ptr<ComRuntime> com = wmi.MakeRuntime();
    {
      const ComScope scope(*com);
      EXPECT_EQ(scope.initialized(), c.balanced);
      EXPECT_EQ(wmi.comDepth(), c.balanced ? 1 : 0);
    }
    if (c.balanced) {
      EXPECT_THAT(wmi.calls(), ElementsAre(L"CoInitializeEx(null, 0x0)", L"CoUninitialize()"));
    } else {
      EXPECT_THAT(wmi.calls(), ElementsAre(L"CoInitializeEx(null, 0x0)"));
    }
    EXPECT_THAT(wmi.Problems(), IsEmpty());
  }
}

TEST(ComScopeTest, ANestedScopeOnAnInitialisedThreadIsBalancedToo) {
  FakeWmi wmi;
  const std::unique_ptr<ComRuntime> com = wmi.MakeRuntime();
  {
    const ComScope outer(*com);
    {
      const ComScope inner(*com);  // S_FALSE: counted, so balanced
      EXPECT_TRUE(inner.initialized());
      EXPECT_EQ(wmi.comDepth(), 2);
    }
    EXPECT_EQ(wmi.comDepth(), 1);
  }
  EXPECT_THAT(wmi.Problems(), IsEmpty());
}

}  // namespace
}  // namespace vort64
