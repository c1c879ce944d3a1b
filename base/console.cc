#include "base/console.h"

#include "base/text.h"

namespace vort64 {

void Console::OutWide(std::wstring_view text) { Out(WideToUtf8(text)); }

void Console::ErrWide(std::wstring_view text) { err_ << WideToUtf8(text); }

}  // namespace vort64
