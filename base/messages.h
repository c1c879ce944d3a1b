// A message a lower layer hands back instead of printing it: the stream it
// goes to and its text (UTF-8), in the order it is said. The edge that
// called the layer says them on its console (Console::Write).
#ifndef VORT64_BASE_MESSAGES_H_
#define VORT64_BASE_MESSAGES_H_

#include <string>
#include <vector>

namespace vort64 {

struct Message {
  // What the Console's functions of the same names do with a text.
  enum class Stream {
    kSay,       // standard output, withheld while quiet (Console::Say)
    kComplain,  // standard error, withheld while quiet (Console::Complain)
    kErr,       // standard error (Console::Err)
    kOut,       // standard output, whatever the quiet mode (Console::Out)
    kUsage,     // the usage text: only the command line's reader says it
  };
  Stream stream;
  std::string text;

  bool operator==(const Message&) const = default;
};

using Messages = std::vector<Message>;

}  // namespace vort64

#endif  // VORT64_BASE_MESSAGES_H_
