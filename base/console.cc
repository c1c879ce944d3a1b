#include "base/console.h"

#include "base/text.h"

namespace vort64 {

void Console::OutWide(std::wstring_view text) { Out(WideToUtf8(text)); }

void Console::ErrWide(std::wstring_view text) { err_ << WideToUtf8(text); }

void Console::Write(const Message& message) {
  switch (message.stream) {
    case Message::Stream::kSay: Say(message.text); break;
    case Message::Stream::kComplain: Complain(message.text); break;
    case Message::Stream::kErr: Err(message.text); break;
    case Message::Stream::kOut: Out(message.text); break;
    case Message::Stream::kUsage: break;
  }
}

}  // namespace vort64
