// The self-test: every setting of the version's list is read, changed, read
// back, compared and restored, and each step becomes a line of the report.
#ifndef VORT64_AUTOTEST_DRIVER_H_
#define VORT64_AUTOTEST_DRIVER_H_

#include <functional>

#include "autotest/report.h"
#include "base/parsed_request.h"
#include "ops/executor.h"

namespace vort64 {

// Whether the self-test found a fault: a step failed otherwise than for a
// setting this version lacks or the firmware does not support.
enum class AutotestVerdict { kNoFault, kFaultFound };

// Runs the self-test over the one open connection. `request` is the parsed
// "/get autotest" request (its current password is used for every step).
// The block is read once for the run; each item then writes its test value
// and reads it back, writes its first value back and reads that back, which
// read is the next item's: at most 4 firmware calls per item and 1. A read
// that failed, or a block sent and not read back, is read again.
// `pause` waits after each interactive password change.
AutotestVerdict RunAutotest(Operations& ops, const ParsedRequest& request, AutotestReport& report,
                            const std::function<void()>& pause);

// The value a setting holding `v` is tested with: 1 when its two lowest bits
// are 0, 0 otherwise.
constexpr uint8_t AutotestValue(uint8_t v) { return (v & 3u) == 0 ? 1 : 0; }

}  // namespace vort64

#endif  // VORT64_AUTOTEST_DRIVER_H_
