#include "ops/output_targets.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "base/console.h"
#include "base/functions.h"
#include "base/text.h"
#include "ops/file_io.h"
#include "ops/result_files.h"

namespace vort64 {
namespace {

// Whether `path` is `dir` or lies below it, both as the file system
// resolves them (links and ".." followed).
bool Inside(const std::filesystem::path& path, const std::filesystem::path& dir) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::weakly_canonical(dir, ec);
  if (ec) return false;
  const std::filesystem::path at = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  if (ec) return false;
  auto b = base.begin();
  auto a = at.begin();
  for (; b != base.end(); ++b, ++a) {
    if (b->empty()) continue;  // a trailing separator
    if (a == at.end() || *a != *b) return false;
  }
  return true;
}

// Says why `name` (at `path`) cannot be written as `use` writes it; true
// when it can.
bool MayWrite(Console& console, const std::string& name, const std::filesystem::path& path,
              OutputUse use = OutputUse::kReplace) {
  const TargetKind kind = CheckOutputTarget(path, use);
  if (MayWriteOver(kind)) return true;
  console.Out(RefusedOutputMessage(name, kind));
  return false;
}

// Whether the regular file at `output` is `input` itself (under any name).
bool SameFile(const std::filesystem::path& output, const std::filesystem::path& input) {
  std::error_code ec;
  return std::filesystem::equivalent(output, input, ec) && !ec;
}

// The import's result file: where Result.txt or "/result-file PATH" goes,
// and never one of the files the run reads, which the appended block would
// spoil (a custom-settings file no longer loads, a password file gains
// lines that are no passwords).
bool ResultFileWritable(Operations& ops, const ParsedRequest& request) {
  Console& console = ops.ctx.console;
  const ResultFileTarget target = ResultFileOf(request, ops.workDir);
  if (!OutsideFirmwareState(console, ops.session.firmware, target.name, target.path)) return false;
  if (!MayWrite(console, target.name, target.path, OutputUse::kAppend)) return false;
  const char* input = nullptr;
  if (SameFile(target.path, PathOfFileName(request.xmlFileName))) {
    input = "the custom-settings file the import reads";
  } else if (!ops.session.passwords.file.empty() && SameFile(target.path, PathOfFileName(ops.session.passwords.file))) {
    input = "the password file";
  }
  if (!input) return true;
  console.Out("file: " + Printable(target.name) + " is " + input + ": nothing was written. \n\n");
  return false;
}

}  // namespace

bool OutsideFirmwareState(Console& console, const Firmware& firmware, const std::string& name,
                          const std::filesystem::path& path) {
  const std::optional<std::filesystem::path> state = firmware.StateDirectory();
  if (!state || !Inside(path, *state)) return true;
  console.Out("file: " + Printable(name) + " is in the directory of the machine's firmware (" +
              Printable(PathText(*state)) + "): nothing was written. \n\n");
  return false;
}

bool OutputsWritable(Operations& ops, const ParsedRequest& request) {
  Console& console = ops.ctx.console;
  switch (FactsOf(request.function).writes) {
    case FunctionWrites::kNamedFile: {
      const std::string& name =
          FactsOf(request.function).takes == FunctionTakes::kBinFile ? request.binFileName : request.xmlFileName;
      if (!OutsideFirmwareState(console, ops.session.firmware, name, PathOfFileName(name))) return false;
      return MayWrite(console, name, PathOfFileName(name));
    }
    case FunctionWrites::kResultFile: return ResultFileWritable(ops, request);
    case FunctionWrites::kNothing: break;
  }
  return true;
}

}  // namespace vort64
