// The raw settings import, run as the program runs it (ExecuteOperation on a
// scripted firmware), on arbitrary file bytes.
//
// Input: the interface minor (major 2); a flag byte (bit 0: no file, bit 1:
// a directory in its place, bit 2: the bytes padded or cut to 2048, bit 3:
// GetBiosOptions answers the code byte, bit 4: SetBiosOptions answers the
// code byte, bit 5: no method executes, bit 6: the connection is closed,
// bit 7: quiet console); the code byte; a byte varying the firmware's block;
// the current password up to a line break; the rest is the file.
//
// Invariants: a file of any size other than 2048 bytes (or none) never
// reaches the firmware; a 2048-byte one is sent once, after one read of the
// firmware's block (nothing is sent when that read fails), byte for byte,
// except every password field (the firmware's own), the password flag byte
// 235 from interface 2.72 on (0) and the clock bytes 391 to 396: 238 from
// interface 2.55 on, below that the firmware's own; the result is the
// SetBiosOptions outcome; the file itself is left alone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "catalog/setting_kind.h"
#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_dir.h"
#include "ops/executor.h"
#include "ops/raw_settings.h"
#include "sim/interface_rules.h"
#include "wmi/firmware_facts.h"
#include "wmi/scripted_firmware.h"

namespace vort64::fuzz {
namespace {

enum Flag : uint8_t {
  kNoFile = 1,
  kDirectory = 2,
  kWholeBlock = 4,
  kGetAnswers = 8,
  kSetAnswers = 16,
  kNotExecuted = 32,
  kClosed = 64,
  kQuiet = 128,
};

bool InClock(size_t i) { return i >= kClockFirstByte && i < kClockEndByte; }

// What the import was given: the file's bytes, or nothing when there is no
// regular file.
std::optional<std::vector<uint8_t>> PutFile(const std::filesystem::path& path, uint8_t flags,
                                            std::span<const uint8_t> bytes) {
  if (flags & kNoFile) return std::nullopt;
  if (flags & kDirectory) {
    std::filesystem::create_directory(path);
    return std::nullopt;
  }
  std::vector<uint8_t> file = ToVector(bytes);
  if (flags & kWholeBlock) file.resize(kSettingsBufferSize, 0x5A);
  WriteFile(path, file);
  return file;
}

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64;
  using namespace vort64::fuzz;
  FuzzInput in(data, size);
  const uint8_t minor = in.Byte();
  const uint8_t flags = in.Byte();
  const uint8_t code = in.Byte();
  const uint8_t pattern = in.Byte();
  const std::string_view password = in.Piece('\n');

  ScriptedFirmware firmware;
  firmware.wmiMinor = minor;
  for (size_t i = 0; i < firmware.block.size(); ++i) firmware.block[i] = static_cast<uint8_t>(i * 7 + pattern);
  const std::vector<uint8_t> stored = firmware.block;
  if (flags & kGetAnswers) firmware.codes[kGetBiosOptionsMethod] = code;
  if (flags & kSetAnswers) firmware.codes[kSetBiosOptionsMethod] = code;
  firmware.executes = (flags & kNotExecuted) == 0;
  firmware.open = (flags & kClosed) == 0;

  const TempDir dir;
  const auto path = dir.path() / "saved.bin";
  const auto file = PutFile(path, flags, in.Rest());

  std::ostringstream out, err;
  std::istringstream input;
  Console console(out, err);
  if (flags & kQuiet) console.SetQuiet();
  const InterfaceVersion version{2, minor};
  const RunContext ctx{console, version};
  FirmwareSession session{firmware, version, nullptr};
  const SettingCatalog& catalog = sim::LayoutOf(2, minor);
  Operations ops{ctx, session, catalog, input};
  ParsedRequest request;
  request.function = Function::kImportRawSettings;
  request.binFileName = path.string();
  request.itemName = Utf8ToWide(request.binFileName);
  StoreFixedText(request.currentPassword, password);

  std::vector<uint8_t> buffer(kSettingsBufferSize, 0);
  const OperationResult result = ExecuteOperation(ops, request, buffer);
  FUZZ_CHECK(ReadRegularFile(path) == file);

  if (!file || file->size() != kSettingsBufferSize) {
    FUZZ_CHECK(firmware.calls.empty());
    FUZZ_CHECK(result.kind == OperationResult::Kind::kFileFailed);
    return 0;
  }
  if (!firmware.open) {
    FUZZ_CHECK(firmware.calls.empty() && result.kind == OperationResult::Kind::kReadFailed);
    return 0;
  }
  const bool keepsClock = version.Holds(InterfaceRule::kClockKept);
  // The firmware's block is read first on every version; a failed read
  // sends nothing.
  FUZZ_CHECK(!firmware.calls.empty() && firmware.calls[0].method == kGetBiosOptionsMethod);
  const bool readPassed = firmware.executes && Passed((flags & kGetAnswers) ? code : 0);
  if (!readPassed) {
    FUZZ_CHECK(firmware.calls.size() == 1 && result.kind == OperationResult::Kind::kReadFailed);
    return 0;
  }
  const size_t setCall = 1;
  FUZZ_CHECK(firmware.calls.size() == setCall + 1 && firmware.calls[setCall].method == kSetBiosOptionsMethod);
  const FirmwareValue sent = firmware.In(setCall, kDataParam);
  FUZZ_CHECK(sent.kind == FirmwareValue::Kind::kBytes && sent.bytes.size() == kSettingsBufferSize);
  std::vector<bool> passwordByte(kSettingsBufferSize, false);
  for (const auto& [name, info] : catalog.settings()) {
    if (KindOfSetting(name) != SettingKind::kPassword) continue;
    for (size_t i = info.offset; i < size_t{info.offset} + info.size && i < kSettingsBufferSize; ++i) {
      passwordByte[i] = true;
    }
  }
  const bool flagged = version.Holds(InterfaceRule::kFlaggedPasswords);
  for (size_t i = 0; i < kSettingsBufferSize; ++i) {
    uint8_t expected = (*file)[i];
    if (passwordByte[i]) expected = stored[i];
    if (flagged && i == kPasswordFlagByte) expected = 0;
    if (InClock(i)) expected = keepsClock ? kDoNotChange : stored[i];
    FUZZ_CHECK(sent.bytes[i] == expected);
  }
  const FirmwareValue length = firmware.In(setCall, kPasswordLenParam);
  FUZZ_CHECK(length.kind == FirmwareValue::Kind::kInt16);
  const std::string_view sentPassword = request.CurrentPassword();
  // The password as far as the version's array holds it (the parser never
  // lets a longer one through).
  FUZZ_CHECK(static_cast<size_t>(length.integer) ==
             std::min({sentPassword.find('\0'), sentPassword.size(), size_t{version.PasswordMaxLength()}}));

  const int32_t setCode = (flags & kSetAnswers) ? code : 0;
  if (firmware.executes) {
    FUZZ_CHECK(result.kind ==
               (Passed(setCode) ? OperationResult::Kind::kDone : OperationResult::Kind::kFirmwareRefused));
    FUZZ_CHECK(result.firmwareCode == setCode);
  } else {
    FUZZ_CHECK(result.kind == OperationResult::Kind::kFirmwareRefused && result.firmwareCode == kFirmwareNotSupported);
  }
  return 0;
}
