// The current password of the command line, and the messages of a value's
// reading. The values themselves are read by their kind's codec
// (catalog/value_codecs).
#ifndef VORT64_CLI_VALUE_PARSERS_H_
#define VORT64_CLI_VALUE_PARSERS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/parsed_request.h"
#include "base/run_context.h"
#include "catalog/value_codecs.h"

namespace vort64 {

// The current password as it is kept: as typed where the version keeps a
// password's case, else upper-cased (older firmware knows upper case only).
std::wstring CurrentPasswordAsKept(const RunContext& ctx, std::wstring_view passwordText);

// The switch must read "/password" in any case; the password, at most as
// long as the version allows, is stored in `currentPassword`.
bool ParseCurrentPassword(const RunContext& ctx, std::wstring_view switchText, std::wstring_view passwordText,
                          ParsedRequest& out);

// Says the lines of a value's reading (catalog/value_codecs) on the
// console, in order; the usage where a line asks for it.
void SayReadingLines(Console& console, std::span<const Message> lines);

}  // namespace vort64

#endif  // VORT64_CLI_VALUE_PARSERS_H_
