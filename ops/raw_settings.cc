#include "ops/raw_settings.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/console.h"
#include "buffer/block_fields.h"
#include "ops/file_io.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

void SayOpenFailed(Console& console, const std::string& name) { console.Out("file: " + name + " open failed. \n\n"); }

}  // namespace

OperationResult ExportRawSettings(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const MethodOutcome read = GetBiosOptions(ops.session, request.CurrentPassword(), buffer);
  if (!read.passed()) return OperationResult::From(read);

  const std::string& name = request.binFileName;
  // The block may hold password bytes: the file is its owner's alone.
  const std::filesystem::path path = PathOfFileName(name);
  switch (WriteWholeFile(path, buffer.first(std::min<size_t>(buffer.size(), kSettingsBufferSize)),
                         FileAccess::kOwnerOnly)) {
    case WriteOutcome::kWritten: return OperationResult::From(read);
    case WriteOutcome::kNotRegular: ops.ctx.console.Out(RefusedOutputMessage(name, CheckOutputTarget(path))); break;
    case WriteOutcome::kOpenFailed: SayOpenFailed(ops.ctx.console, name); break;
    case WriteOutcome::kWriteFailed: ops.ctx.console.Out("file: " + name + " write failed. \n\n"); break;
  }
  return {Kind::kFileFailed};
}

OperationResult ImportRawSettings(Operations& ops, const ParsedRequest& request) {
  const std::string& name = request.binFileName;
  // One byte more than a block shows a file that is too long.
  ReadOutcome file = ReadFileStart(PathOfFileName(name), kSettingsBufferSize + 1);
  if (file.kind == ReadOutcome::Kind::kOpenFailed) {
    SayOpenFailed(ops.ctx.console, name);
    return {Kind::kFileFailed};
  }
  if (file.size != kSettingsBufferSize || file.bytes.size() != kSettingsBufferSize) {
    ops.ctx.console.Out("file: " + name + " holds " + std::to_string(file.size) + " bytes, not " +
                        std::to_string(kSettingsBufferSize) + ": nothing was imported. \n\n");
    return {Kind::kFileFailed};
  }

  std::vector<uint8_t>& block = file.bytes;
  const std::string_view password = request.CurrentPassword();
  if (ops.ctx.version.Holds(InterfaceRule::kClockKept)) {
    KeepClock(block);
  } else {
    // Older firmware takes the clock bytes as sent: send the current ones.
    std::vector<uint8_t> current(kSettingsBufferSize, 0);
    const MethodOutcome read = GetBiosOptions(ops.session, password, current);
    if (!read.passed()) return OperationResult::From(read);
    std::copy(current.begin() + kClockFirstByte, current.begin() + kClockEndByte, block.begin() + kClockFirstByte);
  }
  return OperationResult::From(SetBiosOptions(ops.session, password, block));
}

}  // namespace vort64
