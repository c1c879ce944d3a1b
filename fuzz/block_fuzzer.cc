// Placing a value into an option block, the read-back comparison, the
// display and the export rows, on arbitrary blocks and requests.
//
// Input: the interface minor (major 2); a setting number (two bytes, taken
// modulo the catalog's settings plus one name the catalog lacks); a flag
// byte; three texts ended by line breaks (the value, the old password of the
// "current password=OLD," form, the current password); in raw mode the
// request's fields as bytes; in free-field mode the field's offset and end
// (two bytes each); a read-back mutation count and positions; the rest is
// the block (repeated to 2048 bytes, or exactly as given).
//
// Invariants: the block keeps its size; nothing is placed outside the
// setting's bytes but byte 235 (a password's flag, from 2.72 on) and the
// clock bytes 391 to 396 (238, from 2.55 on); a refused or kept value
// changes nothing; a placed value is in the field in its form; a read-back
// equal over the setting's bytes compares the same, a changed setting
// compares different, but for a date or time byte written as 238 in the
// clock bytes, which the compare skips; placing a value twice is placing it once; the display
// and the export show the setting's bytes.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/text.h"
#include "buffer/assign.h"
#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "cli/parser.h"
#include "fuzz/block_views.h"
#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "sim/interface_rules.h"
#include "wmi/firmware_facts.h"

namespace vort64::fuzz {
namespace {

enum Flag : uint8_t {
  kRawRequest = 1,  // the request's fields from the input, not from the parser
  kSetDefault = 2,  // "/set-default" rather than "/set"
  kOldPasswordForm = 4,
  kQuiet = 8,
  kFreeField = 16,   // offset and end from the input
  kExactBlock = 32,  // the block as long as the input gives it
  kExportRows = 64,
};

struct Setting {
  std::wstring name;
  uint32_t offset = 0;
  uint32_t end = 0;
};

Setting PickSetting(const SettingCatalog& catalog, uint16_t number) {
  const auto& settings = catalog.settings();
  const size_t index = number % (settings.size() + 1);
  if (index == settings.size()) return {L"no such setting", 0, 0};
  const auto it = std::next(settings.begin(), static_cast<std::ptrdiff_t>(index));
  return {std::wstring(it->first), it->second.offset, it->second.offset + it->second.size};
}

template <typename T, size_t N>
void Fill(std::array<T, N>& field, FuzzInput& in) {
  for (auto& b : field) b = static_cast<T>(in.Byte());
}

// The request as any caller could hand it over.
ParsedRequest RawRequest(FuzzInput& in, const std::wstring& name, Function function,
                         std::optional<std::wstring> oldPassword) {
  ParsedRequest r;
  r.function = function;
  r.itemName = name;
  r.itemText = name;
  r.formPassword = std::move(oldPassword);
  std::array<uint8_t, kLongestSettingValue> value{};
  Fill(value, in);
  r.value.Assign(std::span(value).first(in.Byte() % (value.size() + 1)));
  const uint8_t slot = in.Byte() % 7;
  if (slot > 0) r.newPasswordSlot = static_cast<PasswordSlot>(slot - 1);
  return r;
}

bool InClock(size_t i) { return i >= kClockFirstByte && i < kClockEndByte; }

// Whether the bytes [offset, offset + size) meet [first, last).
bool Overlaps(size_t offset, size_t size, size_t first, size_t last) { return offset < last && offset + size > first; }

// Whether `field` holds `text` at `at`, after the length byte at `lengthAt`,
// with `filler` to the form's end.
bool HoldsPassword(std::span<const uint8_t> field, size_t lengthAt, size_t at, size_t formEnd, std::string_view text,
                   uint8_t filler) {
  if (field.size() < formEnd || lengthAt >= field.size() || field[lengthAt] != text.size() ||
      at + text.size() > formEnd) {
    return false;
  }
  for (size_t i = at; i < formEnd; ++i) {
    const uint8_t want = i - at < text.size() ? static_cast<uint8_t>(text[i - at]) : filler;
    if (field[i] != want) return false;
  }
  return true;
}

// A placed value, in its field as the setting's form writes it. Bytes the
// clock or the flag byte took are not looked at.
void CheckPlacedValue(const ParsedRequest& r, std::span<const uint8_t> block, uint32_t offset, uint32_t end,
                      bool catalogField) {
  const size_t first = std::min<size_t>(offset, block.size());
  const auto field = block.subspan(first, std::clamp<size_t>(end, first, block.size()) - first);
  const auto expect = [&](size_t i, uint8_t value) {
    if (i >= field.size() || InClock(offset + i) || offset + i == kPasswordFlagByte) return;
    FUZZ_CHECK(field[i] == value);
  };
  const auto expectAll = [&](std::span<const uint8_t> values) {
    for (size_t i = 0; i < values.size(); ++i) expect(i, values[i]);
  };
  const std::span<const uint8_t> value = r.value.span();
  switch (KindOfSetting(r.itemName)) {
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag:
      // A tag fills its field: its bytes, then zeros.
      for (size_t i = 0; i < field.size(); ++i) expect(i, i < value.size() ? value[i] : 0);
      return;
    case SettingKind::kPassword: {
      // A field of another size than the catalog's, or one the block cuts
      // short, may not hold the form.
      if (!catalogField || field.size() != size_t{end} - offset) return;
      if (Overlaps(offset, field.size(), kPasswordFlagByte, kPasswordFlagByte + 1) ||
          Overlaps(offset, field.size(), kClockFirstByte, kClockEndByte)) {
        return;
      }
      // One of the three forms holds the new password, or (a drive the
      // version has no form for) the field's first byte is 0.
      const std::string_view text = r.NewPasswordText();
      FUZZ_CHECK(HoldsPassword(field, 17, 18, 34, text, 0) || HoldsPassword(field, 33, 34, 66, text, 0) ||
                 HoldsPassword(field, 0, 2, field.size(), text, '0') || (!field.empty() && field[0] == 0));
      return;
    }
    // Every other kind: the value's bytes in order, the rest of the field
    // as it was.
    case SettingKind::kTime:
    case SettingKind::kDate:
    case SettingKind::kGptRecord:
    case SettingKind::kBootOrder:
    case SettingKind::kMacAddress:
    case SettingKind::kByte: expectAll(value); return;
  }
}

// The lines a placing says are fixed texts, numbers, and the OPAL field's
// dump of numbers and '*' (nothing for a field outside the block): they
// hold no character of a password.
void CheckPlacingLines(const Messages& said, bool catalogField) {
  static const std::regex kLine(
      R"(((Current)?PasswordLen : \d+\n)|(Current password is (not )?empty\n)|\n|(Debug AssignData\[235\]: \d+\n))"
      R"(|(\nDebug AssignData: \n)|(((\d+|\*),)+\n)*|(Debug End \n))");
  for (const Message& line : said) {
    if (line.stream == Message::Stream::kErr) {
      FUZZ_CHECK(line.text == kInvalidCharacterMessage || line.text == kPasswordTooLongMessage);
    } else {
      FUZZ_CHECK(line.stream == Message::Stream::kOut && std::regex_match(line.text, kLine));
    }
    // In the dump of a field the catalog places the numbers are its two
    // lengths (at most a slot) and zeros: a character written as its number
    // would be more. (A field placed elsewhere leaves the dumped one as the
    // input made it.)
    if (!catalogField || line.text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(line.text[0])) || line.text[0] == '*')) {
      continue;
    }
    int lengths = 0;
    for (size_t at = 0; at < line.text.size();) {
      const size_t next = line.text.find_first_of(",\n", at);
      const std::string item = line.text.substr(at, next - at);
      at = next == std::string::npos ? line.text.size() : next + 1;
      if (item.empty() || item == "*" || item == "0") continue;
      ++lengths;
      FUZZ_CHECK(std::stoul(item) <= kOpalFormSlot);
    }
    FUZZ_CHECK(lengths <= 2);
  }
}

void CheckAssignment(const RunContext& ctx, const ParsedRequest& r, const std::vector<uint8_t>& before,
                     const std::vector<uint8_t>& after, uint32_t offset, uint32_t end, bool catalogField,
                     Placement placement) {
  FUZZ_CHECK(after.size() == before.size());
  const bool placed = placement == Placement::kPlaced;
  const bool password = KindOfSetting(r.itemName) == SettingKind::kPassword;
  const bool presetsFlag = r.function == Function::kSet && r.itemName == L"flag for setting password";
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] == before[i]) continue;
    const bool inField = i >= offset && i < end;
    if (i == kPasswordFlagByte && presetsFlag) continue;
    FUZZ_CHECK(placed);
    if (inField) continue;
    if (i == kPasswordFlagByte) {
      FUZZ_CHECK(password && ctx.version.Holds(InterfaceRule::kFlaggedPasswords));
    } else {
      FUZZ_CHECK(InClock(i) && after[i] == kDoNotChange && ctx.version.Holds(InterfaceRule::kClockKept));
    }
  }
  if (placed) CheckPlacedValue(r, after, offset, end, catalogField);
}

// How the block read back after the write differs from the written one: up
// to three bytes changed, and perhaps cut short.
struct ReadBackChange {
  uint8_t count = 0;  // bits 0-1: bytes changed; bit 7: cut short
  std::array<uint16_t, 3> at{};
  std::array<uint8_t, 3> bits{};
  uint16_t cutLength = 0;

  explicit ReadBackChange(FuzzInput& in) : count(in.Byte()) {
    for (size_t i = 0; i < at.size(); ++i) {
      at[i] = in.U16();
      bits[i] = static_cast<uint8_t>(in.Byte() | 1);
    }
    cutLength = in.U16();
  }
  bool cut() const { return (count & 0x80) != 0; }

  std::vector<uint8_t> Apply(const std::vector<uint8_t>& written) const {
    std::vector<uint8_t> readBack = written;
    for (size_t i = 0; i < size_t{count & 3u} && !readBack.empty(); ++i) {
      readBack[at[i] % readBack.size()] ^= bits[i];
    }
    if (cut()) readBack.resize(cutLength % (readBack.size() + 1));
    return readBack;
  }
};

void CheckComparison(const RunContext& ctx, const ParsedRequest& r, const std::vector<uint8_t>& written,
                     const std::vector<uint8_t>& readBack, bool cut, uint32_t offset, uint32_t end) {
  Messages said;
  const Comparison result = CompareWrittenSetting(ctx.version, r, written, readBack, offset, end, said);
  if (cut) return;
  // The compare's one skip: a date or time byte written as 238 in the clock
  // bytes, which the firmware keeps as its clock. Every other byte of the
  // setting must read back as written.
  const SettingKind kind = KindOfSetting(r.itemName);
  const bool clockKind = kind == SettingKind::kDate || kind == SettingKind::kTime;
  const size_t first = std::min<size_t>(offset, written.size());
  const size_t last = std::clamp<size_t>(end, first, written.size());
  bool same = true;
  for (size_t i = first; i < last; ++i) {
    if (clockKind && InClock(i) && written[i] == kDoNotChange) continue;
    if (written[i] != readBack[i]) same = false;
  }
  if (same) FUZZ_CHECK(result == Comparison::kSame);
  if (!same && kind != SettingKind::kPassword) FUZZ_CHECK(result == Comparison::kDifferent);
}

std::vector<uint8_t> Block(std::span<const uint8_t> bytes, bool exact) {
  if (exact) return ToVector(bytes);
  std::vector<uint8_t> block(kSettingsBufferSize, 0);
  for (size_t i = 0; i < block.size() && !bytes.empty(); ++i) block[i] = bytes[i % bytes.size()];
  return block;
}

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64;
  using namespace vort64::fuzz;
  FuzzInput in(data, size);
  const uint32_t minor = in.Byte();
  const SettingCatalog& catalog = sim::LayoutOf(2, minor);
  Setting setting = PickSetting(catalog, in.U16());
  const uint8_t flags = in.Byte();
  const std::wstring value = Utf8ToWide(in.Piece('\n'));
  const std::wstring old = Utf8ToWide(in.Piece('\n'));
  const std::wstring current = Utf8ToWide(in.Piece('\n'));

  std::ostringstream out, err;
  Console console(out, err);
  if (flags & kQuiet) console.SetQuiet();
  const RunContext ctx{console, InterfaceVersion{2, minor}};
  const Function function = flags & kSetDefault ? Function::kSetDefault : Function::kSet;
  const std::optional<std::wstring> oldPassword = flags & kOldPasswordForm ? std::optional(old) : std::nullopt;

  std::optional<ParsedRequest> request;
  if (flags & kRawRequest) {
    request = RawRequest(in, setting.name, function, oldPassword);
  } else {
    std::wstring item = setting.name + L"=" + value;
    if (oldPassword) item = L"current password=" + *oldPassword + L"," + item;
    const std::vector<std::wstring> args = {L"vort64", L"/password", current,
                                            function == Function::kSet ? L"/set" : L"/set-default", item};
    ParsedRequest parsed;
    if (ParseCommandLine(ctx, catalog, args, parsed) && !parsed.selfTest) {
      request = parsed;
      // The executor places the value where the catalog has the setting.
      setting = {parsed.itemName, catalog.GetSettingOffset(parsed.itemName),
                 catalog.GetSettingOffset(parsed.itemName) + catalog.GetSettingSize(parsed.itemName)};
    }
  }
  if (flags & kFreeField) {
    setting.offset = in.U16();
    setting.end = in.U16();
  }
  const ReadBackChange change(in);
  const std::vector<uint8_t> block = Block(in.Rest(), (flags & kExactBlock) != 0);

  if (request) {
    std::vector<uint8_t> written = block;
    Messages said;
    const Placement placement = AssignSettingValue(ctx.version, *request, written, setting.offset, setting.end, said);
    CheckPlacingLines(said, (flags & kFreeField) == 0);
    CheckAssignment(ctx, *request, block, written, setting.offset, setting.end, (flags & kFreeField) == 0, placement);
    // Placing the same value again changes nothing more.
    std::vector<uint8_t> twice = written;
    Messages again;
    FUZZ_CHECK(AssignSettingValue(ctx.version, *request, twice, setting.offset, setting.end, again) == placement);
    FUZZ_CHECK(twice == written);
    if (placement == Placement::kPlaced) {
      CheckComparison(ctx, *request, written, change.Apply(written), change.cut(), setting.offset, setting.end);
    }
    CheckShownValue(ctx, catalog, *request, written);
  }
  CheckFormattedValue(setting.name, block, setting.offset, setting.end - std::min(setting.offset, setting.end));
  CheckExportValue(ctx, catalog, setting.name, block, setting.offset, setting.end);
  if (flags & kExportRows) CheckExportRows(catalog, block);
  return 0;
}
