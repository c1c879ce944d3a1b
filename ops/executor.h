// Carries out the function the command line asked for.
#ifndef VORT64_OPS_EXECUTOR_H_
#define VORT64_OPS_EXECUTOR_H_

#include <cstdint>
#include <istream>
#include <span>
#include <string_view>

#include "base/run_context.h"
#include "catalog/catalog.h"
#include "cli/parsed_request.h"

namespace vort64 {

// The function ran but has nothing to show (not supported, nothing placed,
// a file operation). Counts as a failure for the exit code.
inline constexpr int32_t kNothingToShow = 999;

// Runs the request's function on `buffer` (2048 zeroed bytes). Returns a
// firmware return code, the read-back comparison's 0 or 1, 1 for "password",
// or kNothingToShow. `input` answers the interactive password prompt.
int32_t ExecuteOperation(RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                         std::span<uint8_t> buffer, std::istream& input);

// The password GetBiosOptions and SetBiosOptions are called with:
// `currentPassword` from interface 2.56 on, `currentPasswordShort` before.
std::string_view OptionsPassword(const RunContext& ctx, const ParsedRequest& request);
// The password of the other four methods: always `currentPassword`.
std::string_view DefaultsPassword(const ParsedRequest& request);

// The number of tabs that put a result word at column 40 after "name:".
size_t ResultLineTabs(size_t nameLength);

}  // namespace vort64

#endif  // VORT64_OPS_EXECUTOR_H_
