#include "ops/raw_settings.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "buffer/block_fields.h"
#include "catalog/catalog.h"
#include "catalog/setting_kind.h"
#include "ops/bitlocker.h"
#include "ops/file_io.h"
#include "ops/firmware_calls.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

void SayOpenFailed(Console& console, const std::string& name) {
  console.Out("file: " + Printable(name) + " open failed. \n\n");
}

// Puts the password fields of `current` (every password setting of the
// version) into `block`: the firmware applies a password field that changed
// (below 2.72), so a field sent as it holds it changes nothing.
void KeepPasswordFields(const SettingCatalog& catalog, std::span<const uint8_t> current, std::span<uint8_t> block) {
  for (const auto& [name, info] : catalog.settings()) {
    if (KindOfSetting(name) != SettingKind::kPassword) continue;
    const size_t end = std::min<size_t>(size_t{info.offset} + info.size, kSettingsBufferSize);
    for (size_t i = info.offset; i < end; ++i) block[i] = current[i];
  }
}

}  // namespace

OperationResult ExportRawSettings(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  const MethodOutcome read = GetBiosOptions(ops, request.CurrentPassword(), buffer);
  if (!read.passed()) return OperationResult::From(read);

  const std::string& name = request.binFileName;
  // The block may hold password bytes: the file is its owner's alone.
  const std::filesystem::path path = PathOfFileName(name);
  const WriteOutcome written =
      WriteWholeFile(path, buffer.first(std::min<size_t>(buffer.size(), kSettingsBufferSize)), FileAccess::kOwnerOnly);
  if (written == WriteOutcome::kWritten) return OperationResult::From(read);
  ops.ctx.console.Out(WriteFailureMessage(name, written, path));
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
    ops.ctx.console.Out("file: " + Printable(name) + " holds " + std::to_string(file.size) + " bytes, not " +
                        std::to_string(kSettingsBufferSize) + ": nothing was imported. \n\n");
    return {Kind::kFileFailed};
  }

  // The firmware's own block first, on every version: a raw file restores
  // settings, never passwords, nor the clock.
  std::vector<uint8_t>& block = file.bytes;
  const std::string_view password = request.CurrentPassword();
  std::vector<uint8_t> current(kSettingsBufferSize, 0);
  const MethodOutcome read = GetBiosOptions(ops, password, current);
  if (!read.passed()) {
    const OperationResult failed = OperationResult::FromRead(read);
    ops.ctx.console.Err("Error: " + FailureCause(failed) + ": nothing was imported.\n");
    return failed;
  }
  KeepPasswordFields(ops.catalog, current, block);
  if (ops.ctx.version.Holds(InterfaceRule::kFlaggedPasswords)) block[kPasswordFlagByte] = 0;
  if (ops.ctx.version.Holds(InterfaceRule::kClockKept)) {
    KeepClock(block);
  } else {
    // Older firmware takes the clock bytes as sent: send the current ones.
    std::copy(current.begin() + kClockFirstByte, current.begin() + kClockEndByte, block.begin() + kClockFirstByte);
  }
  // The settings the start measures go only where the system drive's
  // protection allows them: else they are sent as the firmware holds them.
  bool withheld = false;
  if (ops.bitlocker &&
      !ops.bitlocker->MayWrite(ops.catalog, current, MeasuredSettingsChanged(ops.catalog, current, block))) {
    for (const auto& [setting, info] : ops.catalog.settings()) {
      if (info.measured == MeasuredAtStart::kNo || info.offset + info.size > kSettingsBufferSize) continue;
      std::copy_n(current.begin() + info.offset, info.size, block.begin() + info.offset);
    }
    withheld = true;
  }
  const OperationResult written = OperationResult::From(SetBiosOptions(ops, password, block));
  if (ops.bitlocker) {
    ops.bitlocker->Written(written.succeeded() ? std::optional<std::span<const uint8_t>>(block) : std::nullopt);
  }
  if (!written.succeeded()) {
    ops.ctx.console.Err("Error: " + FailureCause(written) + ".\n");
    return written;
  }
  if (withheld) {
    const OperationResult notSuspended{Kind::kNotSuspended};
    ops.ctx.console.Err("Error: " + FailureCause(notSuspended) + "; the other settings were imported.\n");
    return notSuspended.Sent();
  }
  return written;
}

}  // namespace vort64
