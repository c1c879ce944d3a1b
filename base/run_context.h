// What every layer of one run reads and nothing changes once the interface
// version is accepted: the console and the version. The firmware, the
// request and the block are passed on their own to the code that needs them.
#ifndef VORT64_BASE_RUN_CONTEXT_H_
#define VORT64_BASE_RUN_CONTEXT_H_

#include "base/interface_version.h"

namespace vort64 {

class Console;

struct RunContext {
  Console& console;
  const InterfaceVersion version;
};

}  // namespace vort64

#endif  // VORT64_BASE_RUN_CONTEXT_H_
