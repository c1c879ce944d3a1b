#include "base/console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vort64 {
namespace {

// A message handed back by a lower layer lands where the Console's function
// of its stream would put it, quiet or not, in JSON mode or not; the usage
// is the command line reader's to say, never the console's.
TEST(ConsoleTest, WriteSaysEachStreamAsItsFunction) {
  using Stream = Message::Stream;
  const struct {
    Stream stream;
    bool quiet;
    bool json;
    const char* out;
    const char* err;
  } cases[] = {
      {Stream::kSay, false, false, "x", ""},    {Stream::kSay, true, false, "", ""},
      {Stream::kSay, false, true, "", "x"},     {Stream::kComplain, false, false, "", "x"},
      {Stream::kComplain, true, false, "", ""}, {Stream::kErr, true, false, "", "x"},
      {Stream::kErr, false, true, "", "x"},     {Stream::kOut, true, false, "x", ""},
      {Stream::kOut, true, true, "", "x"},      {Stream::kUsage, false, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.stream) * 4 + c.quiet * 2 + c.json);
    std::ostringstream out, err;
    Console console(out, err);
    if (c.quiet) console.SetQuiet();
    if (c.json) console.SetJson();
    console.Write(Message{c.stream, "x"});
    EXPECT_EQ(out.str(), c.out);
    EXPECT_EQ(err.str(), c.err);
  }
}

TEST(ConsoleTest, WriteKeepsTheOrderOfTheMessages) {
  std::ostringstream out, err;
  Console console(out, err);
  const Messages messages = {{Message::Stream::kErr, "a\n"},
                             {Message::Stream::kSay, "b\n"},
                             {Message::Stream::kErr, "c\n"},
                             {Message::Stream::kOut, "d"}};
  console.Write(messages);
  EXPECT_EQ(out.str(), "b\nd");
  EXPECT_EQ(err.str(), "a\nc\n");
}

}  // namespace
}  // namespace vort64
