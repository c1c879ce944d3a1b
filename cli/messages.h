// Output shared by the command-line parser and the value parsers.
#ifndef VORT64_CLI_MESSAGES_H_
#define VORT64_CLI_MESSAGES_H_

#include <string_view>

#include "base/console.h"

namespace vort64 {

// The usage text: every function, a wide line each, on standard output;
// withheld while quiet.
void ShowUsage(Console& console);

}  // namespace vort64

#endif  // VORT64_CLI_MESSAGES_H_
