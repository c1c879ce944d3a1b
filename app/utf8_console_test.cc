#include "app/utf8_console.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vort64 {
namespace {

using testing::ElementsAre;

// A console with a code page, logging the calls that would change it.
class FakeConsole final : public ConsoleCodePage {
 public:
  bool isConsole = true;
  unsigned codePage = 850;
  bool setFails = false;
  std::vector<unsigned> sets;

  bool OutputIsConsole() override { return isConsole; }
  unsigned Get() override { return isConsole ? codePage : 0; }
  bool Set(unsigned cp) override {
    sets.push_back(cp);
    if (setFails || !isConsole) return false;
    codePage = cp;
    return true;
  }
};

TEST(Utf8ConsoleOutputTest, AConsoleShowsUtf8ForTheRunAndGetsItsCodePageBack) {
  FakeConsole console;
  {
    const Utf8ConsoleOutput utf8(console);
    EXPECT_EQ(console.codePage, kUtf8CodePage);
  }
  EXPECT_EQ(console.codePage, 850u);
  EXPECT_THAT(console.sets, ElementsAre(kUtf8CodePage, 850u));
}

TEST(Utf8ConsoleOutputTest, NothingChangesWhereNothingNeedsTo) {
  struct Case {
    const char* what;
    bool isConsole;
    unsigned codePage;
    bool setFails;
    std::vector<unsigned> sets;
  };
  const Case cases[] = {
      {"output redirected to a file or a pipe", false, 850, false, {}},
      {"console already in UTF-8", true, kUtf8CodePage, false, {}},
      {"code page unreadable", true, 0, false, {}},
      {"code page cannot be changed", true, 437, true, {kUtf8CodePage}},  // nothing to put back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeConsole console;
    console.isConsole = c.isConsole;
    console.codePage = c.codePage;
    console.setFails = c.setFails;
    { const Utf8ConsoleOutput utf8(console); }
    EXPECT_EQ(console.codePage, c.codePage);
    EXPECT_EQ(console.sets, c.sets);
  }
}

}  // namespace
}  // namespace vort64
