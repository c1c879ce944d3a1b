// The custom-settings file from the executor's side: the export of every
// writable setting, and the import that applies each setting of a file as a
// "/set" of its own on the run's one connection and leaves a verdict per
// setting in Result.txt (or the file "/result-file" names).
#ifndef VORT64_OPS_CUSTOM_SETTINGS_H_
#define VORT64_OPS_CUSTOM_SETTINGS_H_

#include <cstdint>
#include <span>

#include "base/parsed_request.h"
#include "ops/executor.h"

namespace vort64 {

// Reads the block into `buffer` and writes the export file
// `request.xmlFileName`; a file that cannot be written leaves an earlier
// one as it was.
OperationResult ExportCustomSettingsFile(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

// Applies every setting of `request.xmlFileName` (with one read, one write
// and one read back where it can, otherwise one "/set" after the other) and
// appends the import's block to the result file (Result.txt in the working
// directory, or `request.resultFileName`); once it is there, its verdict line
// goes to standard output too.
OperationResult ImportCustomSettingsFile(Operations& ops, const ParsedRequest& request);

// Reads the block once into `buffer` and compares every setting of
// `request.xmlFileName` with it, a line each on the console and a count at
// the end; writes nothing. kDone when every setting is as the file has it
// (or one this machine lacks), kDrift when one differs or is invalid,
// kFileFailed for a file that cannot be loaded or holds no Item.
OperationResult CheckCustomSettingsFile(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer);

}  // namespace vort64

#endif  // VORT64_OPS_CUSTOM_SETTINGS_H_
