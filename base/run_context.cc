#include "base/run_context.h"

namespace vort64 {

void NewPasswords::BindFor(uint32_t minor) {
  bound = {};
  bound[kSupervisor] = true;
  bound[kUser] = true;
  bound[kHdd] = minor >= 56;
  bound[kOpal] = minor >= 79;
  bound[kHdd0] = minor < 56;
  bound[kHdd1] = minor < 56;
}

void RunContext::AcceptVersion(uint32_t minor) {
  version = {2, minor};
  passwordMaxLength = minor >= 56 ? 16 : 12;
  opalPasswordMaxLength = minor >= 79 ? 32 : 0;
  newPasswords.BindFor(minor);
}

}  // namespace vort64
