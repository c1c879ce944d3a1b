#include "ops/output_targets.h"

#include <filesystem>
#include <string>

#include "base/console.h"
#include "base/functions.h"
#include "ops/file_io.h"
#include "ops/result_files.h"

namespace vort64 {
namespace {

// Says why `name` (at `path`) cannot be written as `use` writes it; true
// when it can.
bool MayWrite(Console& console, const std::string& name, const std::filesystem::path& path,
              OutputUse use = OutputUse::kReplace) {
  const TargetKind kind = CheckOutputTarget(path, use);
  if (MayWriteOver(kind)) return true;
  console.Out(RefusedOutputMessage(name, kind));
  return false;
}

}  // namespace

bool OutputsWritable(Operations& ops, const ParsedRequest& request) {
  Console& console = ops.ctx.console;
  switch (FactsOf(request.function).writes) {
    case FunctionWrites::kNamedFile: {
      const std::string& name =
          FactsOf(request.function).takes == FunctionTakes::kBinFile ? request.binFileName : request.xmlFileName;
      return MayWrite(console, name, PathOfFileName(name));
    }
    case FunctionWrites::kResultFile:
      return MayWrite(console, kResultFile, ops.workDir / kResultFile, OutputUse::kAppend);
    case FunctionWrites::kNothing: break;
  }
  return true;
}

}  // namespace vort64
