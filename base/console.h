// The program's console: every message goes through here, so tests can
// capture both streams and the quiet mode of the XML import and the JSON
// mode of "/json" are honoured in one place.
#ifndef VORT64_BASE_CONSOLE_H_
#define VORT64_BASE_CONSOLE_H_

#include <ostream>
#include <span>
#include <string_view>

#include "base/messages.h"

namespace vort64 {

class Console {
 public:
  Console(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // quietOutput: switched on for the custom-settings import and never off again.
  bool quiet() const { return quiet_; }
  void SetQuiet() { quiet_ = true; }

  // "/json": standard output holds the one JSON document of the run and
  // nothing else, so every message meant for it goes to standard error.
  bool json() const { return json_; }
  void SetJson() { json_ = true; }
  // The run's JSON document, on standard output (JSON mode only).
  void Document(std::string_view text) { out_ << text; }

  // Standard output (standard error in JSON mode), whatever the quiet mode.
  void Out(std::string_view text) { (json_ ? err_ : out_) << text; }
  void OutWide(std::wstring_view text);
  // Standard output, withheld while quiet.
  void Say(std::string_view text) {
    if (!quiet_) Out(text);
  }
  void SayWide(std::wstring_view text) {
    if (!quiet_) OutWide(text);
  }
  // Standard error, whatever the quiet mode.
  void Err(std::string_view text) { err_ << text; }
  // Standard error, withheld while quiet.
  void Complain(std::string_view text) {
    if (!quiet_) Err(text);
  }
  void ErrWide(std::wstring_view text);

  // A message a lower layer handed back, on the function its stream names.
  // The usage text is not the console's to say: a kUsage message is not
  // written (the command line's reader says it, see SayReadingLines).
  void Write(const Message& message);
  void Write(std::span<const Message> messages) {
    for (const Message& message : messages) Write(message);
  }

  void Flush() {
    out_.flush();
    err_.flush();
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_ = false;
  bool json_ = false;
};

}  // namespace vort64

#endif  // VORT64_BASE_CONSOLE_H_
