#include "base/functions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vort64 {
namespace {

// The list holds every function once, in the enum's order; a function has
// a word exactly when the command line can ask for it by one, and no two
// share a word.
TEST(FunctionFactsTest, EveryFunctionOnceWithAWordOfItsOwn) {
  std::set<std::wstring_view> words;
  for (size_t i = 0; i < kFunctions.size(); ++i) {
    const Function function = kFunctions[i];
    EXPECT_EQ(static_cast<size_t>(function), i);
    const FunctionFacts facts = FactsOf(function);
    EXPECT_EQ(facts.word.empty(), facts.takes == FunctionTakes::kNoWord) << i;
    if (!facts.word.empty()) {
      EXPECT_TRUE(words.insert(facts.word).second) << std::string(facts.word.begin(), facts.word.end());
    }
    // Only the exports write the file their command line names.
    if (facts.writes == FunctionWrites::kNamedFile) {
      EXPECT_TRUE(facts.takes == FunctionTakes::kBinFile || facts.takes == FunctionTakes::kXmlFile) << i;
    }
  }
  EXPECT_FALSE(FactsOf(Function::kNone).needsFirmware);
  EXPECT_EQ(FactsOf(Function::kImportCustomSettings).writes, FunctionWrites::kResultFile);
}

}  // namespace
}  // namespace vort64
