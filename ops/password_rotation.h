// Rotating the supervisor password across a fleet: the run's own password
// (the first line of the password file) becomes the supervisor password,
// from whichever line of the file the firmware accepted.
#ifndef VORT64_OPS_PASSWORD_ROTATION_H_
#define VORT64_OPS_PASSWORD_ROTATION_H_

#include <cstdint>
#include <span>

#include "base/parsed_request.h"
#include "ops/executor.h"

namespace vort64 {

// One read of the block with the run's passwords (RunPasswords), then:
// nothing more when the first line was accepted and the status byte says a
// supervisor password is set; otherwise the supervisor password is changed
// from the line accepted to the first line (or set, on a notebook without
// one) in a block of its own, read back, and the status byte checked. Says
// what it did on standard output, and the cause of a failure on standard
// error; never a password.
OperationResult RotateSupervisorPassword(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

}  // namespace vort64

#endif  // VORT64_OPS_PASSWORD_ROTATION_H_
