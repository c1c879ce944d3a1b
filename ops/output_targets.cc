#include "ops/output_targets.h"

#include <filesystem>
#include <string>

#include "base/console.h"
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
  switch (request.function) {
    case Function::kExportRawSettings:
      return MayWrite(console, request.binFileName, PathOfFileName(request.binFileName));
    case Function::kExportCustomSettings:
      return MayWrite(console, request.xmlFileName, PathOfFileName(request.xmlFileName));
    case Function::kImportCustomSettings:
      return MayWrite(console, kResultFile, ops.workDir / kResultFile, OutputUse::kAppend);
    case Function::kNone:
    case Function::kGet:
    case Function::kSet:
    case Function::kGetDefault:
    case Function::kSetDefault:
    case Function::kLoadFactoryDefault:
    case Function::kLoadUserDefault:
    case Function::kPassword:
    case Function::kImportRawSettings:
    case Function::kCheckCustomSettings:  // writes nothing
    case Function::kShowSettings:
    case Function::kRotatePassword: break;
  }
  return true;
}

}  // namespace vort64
