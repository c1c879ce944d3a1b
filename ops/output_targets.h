// The files a function writes that are known before it calls the firmware:
// a raw or XML export's file and the import's result file (Result.txt, or
// the file "/result-file" names). Each is looked at before the first call,
// so that a link, a directory, a fifo or a device in its place ends the run
// with nothing called, and so does a file this run may not write
// (read-only) or, for the result file, which is appended to, a file with
// more than one name (a hard link) or a file the run reads.
#ifndef VORT64_OPS_OUTPUT_TARGETS_H_
#define VORT64_OPS_OUTPUT_TARGETS_H_

#include "base/parsed_request.h"
#include "ops/executor.h"

namespace vort64 {

// True when every file `request`'s function will write may be written where
// it goes (nothing there, or a regular file). Otherwise says on the console
// which file is refused and why, and returns false.
bool OutputsWritable(Operations& ops, const ParsedRequest& request);

// False, with the refusal said on the console, when `path` (shown as
// `name`) lies in the directory where the firmware keeps its state (the
// simulated machine's): an output there would overwrite or extend the
// machine's own files (its passwords, its option block, calls.log) and break
// it. True otherwise, and always for a firmware that keeps no such directory.
bool OutsideFirmwareState(Console& console, const Firmware& firmware, const std::string& name,
                          const std::filesystem::path& path);

}  // namespace vort64

#endif  // VORT64_OPS_OUTPUT_TARGETS_H_
