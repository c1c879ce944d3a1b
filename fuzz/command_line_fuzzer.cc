// The command-line parser and the value parsers on arbitrary arguments.
//
// Input: the interface minor (major 2), a flag byte (bit 0: quiet console),
// then the arguments after the program name, separated by line breaks (at
// most seven, so that too many arguments are tried too), each UTF-8.
//
// Invariants: every parse ends in true or false and parses the same way
// twice; a successful parse leaves a request whose fields keep their limits
// (a known function, passwords within the version's lengths and in their
// field, a NUL-terminated new password for an offered slot, tags of letters
// and digits within their arrays, times, dates, GPT records and boot orders
// in their ranges, file names of their kind, a result file only for the
// import, as typed after "/result-file"); the value parsers accept what
// their rules accept and leave their results within them.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/console.h"
#include "base/functions.h"
#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/value_codecs.h"
#include "cli/parser.h"
#include "cli/value_parsers.h"
#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "sim/interface_rules.h"

namespace vort64::fuzz {
namespace {

constexpr uint32_t kKeep = 238;

// One parse on its own console.
struct Parse {
  Parse(uint32_t minor, bool quiet) : console(out, err), ctx{console, InterfaceVersion{2, minor}} {
    if (quiet) console.SetQuiet();
  }
  std::ostringstream out, err;
  Console console;
  RunContext ctx;
  ParsedRequest request;
};

// Letters and digits only.
bool IsTagText(std::span<const uint8_t> text) {
  return std::all_of(text.begin(), text.end(), [](uint8_t c) { return IsAsciiAlphanumeric(static_cast<wchar_t>(c)); });
}

// The first N bytes of a value.
template <size_t N>
std::array<uint8_t, N> First(const SettingValueBytes& value) {
  std::array<uint8_t, N> bytes{};
  std::copy_n(value.bytes.begin(), N, bytes.begin());
  return bytes;
}

// Reads `text` with the codec of `kind` on interface 2.minor, as the command
// line does for a setting of that kind named `name`.
ValueReading ReadAs(uint32_t minor, SettingKind kind, std::wstring_view name, std::wstring_view text) {
  SettingInfo setting;
  setting.kind = kind;
  return CodecOf(kind).read(InterfaceVersion{2, minor}, setting, name, text);
}

bool IsPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c <= 126; });
}

bool InRangeOrKeep(uint32_t value, uint32_t limit) { return value < limit || value == kKeep; }

// A date as "/set" keeps it: a real day (or 238 parts), or the all-zero date.
bool ValidDate(const std::array<uint8_t, 3>& date) {
  const uint32_t day = date[0], month = date[1], year = date[2];
  if (day == 0 && month == 0 && year == 0) return true;
  if (!((day >= 1 && day <= 31) || day == kKeep)) return false;
  if (!((month >= 1 && month <= 12) || month == kKeep)) return false;
  if (!(year <= 99 || year == kKeep)) return false;
  return DayFitsMonth(day, month, year);
}

// A record within its bounds, or five zeros: "No Record", given as "0".
bool ValidGptRecord(const std::array<uint8_t, 5>& gpt) {
  if (std::all_of(gpt.begin(), gpt.end(), [](uint8_t b) { return b == 0; })) return true;
  const uint32_t minute = gpt[0], hour = gpt[1], day = gpt[2], month = gpt[3];
  return minute <= 60 && hour <= 24 && day <= 31 && month >= 1 && month <= 12 && DayFitsMonth(day, month, gpt[4]);
}

// Every device code after the first 255 is 255 too.
bool ValidBootOrder(const std::array<uint8_t, 16>& order) {
  const auto end = std::find(order.begin(), order.end(), uint8_t{255});
  return std::all_of(end, order.end(), [](uint8_t b) { return b == 255; });
}

bool IsItemFunction(Function f) {
  switch (f) {
    case Function::kGet:
    case Function::kSet:
    case Function::kGetDefault:
    case Function::kSetDefault: return true;
    default: return false;
  }
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool HasUpperCaseAscii(std::wstring_view text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'A' && c <= L'Z'; });
}

void CheckCurrentPassword(const RunContext& ctx, const ParsedRequest& r) {
  const InterfaceVersion& v = ctx.version;
  const std::string_view kept = FixedText(r.currentPassword);
  FUZZ_CHECK(kept.size() <= v.PasswordMaxLength() && IsPrintable(kept));
  // Older firmware keeps upper case only.
  if (!v.Holds(InterfaceRule::kPasswordCaseKept))
    FUZZ_CHECK(std::none_of(kept.begin(), kept.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
}

void CheckNewPassword(const RunContext& ctx, const ParsedRequest& r) {
  if (!r.newPasswordSlot) return;
  FUZZ_CHECK(r.function == Function::kSet || r.function == Function::kSetDefault);
  FUZZ_CHECK(KindOfSetting(r.itemName) == SettingKind::kPassword);
  FUZZ_CHECK(ctx.version.Offers(*r.newPasswordSlot));
  FUZZ_CHECK(PasswordSlotFor(ctx.version, r.itemName) == r.newPasswordSlot);
  const bool opal = ClassifyPasswordItem(r.itemName).kind == PasswordItem::kHddOpal;
  const uint32_t limit = opal ? ctx.version.OpalPasswordMaxLength() : ctx.version.PasswordMaxLength();
  const std::string_view text = r.NewPasswordText();
  FUZZ_CHECK(text.size() <= limit && IsPrintable(text));
  // Nothing after it.
  FUZZ_CHECK(r.value.size == text.size());
}

void CheckValue(const ParsedRequest& r) {
  if (r.function != Function::kSet && r.function != Function::kSetDefault) return;
  switch (KindOfSetting(r.itemName)) {
    case SettingKind::kTime: {
      const auto t = First<3>(r.value);  // second, minute, hour
      FUZZ_CHECK(r.value.size == 3 && InRangeOrKeep(t[2], 24) && InRangeOrKeep(t[1], 60) && InRangeOrKeep(t[0], 60));
      break;
    }
    case SettingKind::kDate: FUZZ_CHECK(r.value.size == 3 && ValidDate(First<3>(r.value))); break;
    case SettingKind::kGptRecord: FUZZ_CHECK(r.value.size == 5 && ValidGptRecord(First<5>(r.value))); break;
    case SettingKind::kBootOrder: FUZZ_CHECK(r.value.size == 16 && ValidBootOrder(First<16>(r.value))); break;
    case SettingKind::kMacAddress: FUZZ_CHECK(r.value.size == 6); break;
    case SettingKind::kAssetTag: FUZZ_CHECK(r.value.size <= 22 && IsTagText(r.value.span())); break;
    case SettingKind::kOwnershipTag: FUZZ_CHECK(r.value.size <= 50 && IsTagText(r.value.span())); break;
    case SettingKind::kByte: {
      // A plain value is a decimal number from 0 to 254, never 255.
      uint8_t value = 0;
      FUZZ_CHECK(r.value.size == 1);
      FUZZ_CHECK(CheckPlainValue(r.valueText, value) == PlainValue::kAccepted && value == r.ByteValue());
      FUZZ_CHECK(r.ByteValue() <= kHighestPlainValue);
      break;
    }
    case SettingKind::kPassword: break;  // CheckNewPassword
  }
}

void CheckAccepted(const RunContext& ctx, const SettingCatalog& catalog, size_t count, const ParsedRequest& r) {
  const auto f = static_cast<int>(r.function);
  FUZZ_CHECK(f >= static_cast<int>(Function::kNone) && f <= static_cast<int>(Function::kRotatePassword));
  CheckNewPassword(ctx, r);
  switch (count) {
    case 2: FUZZ_CHECK(r.function == Function::kNone); return;
    case 3: FUZZ_CHECK(r.function == Function::kPassword); break;
    case 4:
      FUZZ_CHECK(r.function == Function::kLoadFactoryDefault || r.function == Function::kLoadUserDefault ||
                 r.function == Function::kShowSettings || r.function == Function::kRotatePassword);
      break;
    case 5: break;
    default: FUZZ_CHECK(false);  // more than five arguments are refused
  }
  CheckCurrentPassword(ctx, r);
  FUZZ_CHECK(r.quietOutput == (ctx.console.quiet() || r.function == Function::kImportCustomSettings ||
                               r.function == Function::kCheckCustomSettings));
  if (count < 5) return;

  switch (r.function) {
    case Function::kExportRawSettings:
    case Function::kImportRawSettings:
      FUZZ_CHECK(LowerAscii(r.binFileName).find(".bin") != std::string::npos && r.xmlFileName.empty());
      FUZZ_CHECK(r.binFileName.size() <= 4 * kMaxArgumentLength && r.valueText.empty());
      return;
    case Function::kExportCustomSettings:
    case Function::kImportCustomSettings:
    case Function::kCheckCustomSettings:
      FUZZ_CHECK(LowerAscii(r.xmlFileName).find(".xml") != std::string::npos && r.binFileName.empty());
      FUZZ_CHECK(r.xmlFileName.size() <= 4 * kMaxArgumentLength && r.valueText.empty());
      return;
    default: break;
  }
  FUZZ_CHECK(IsItemFunction(r.function));
  FUZZ_CHECK(r.binFileName.empty() && r.xmlFileName.empty());
  FUZZ_CHECK(!HasUpperCaseAscii(r.itemName));
  FUZZ_CHECK(catalog.HasSetting(r.itemName) || (r.selfTest && r.itemName == L"autotest"));
  if (r.selfTest) FUZZ_CHECK(r.itemName == L"autotest");
  if (r.function == Function::kGet) FUZZ_CHECK(r.valueText.empty());
  CheckValue(r);
}

bool SameRequest(const ParsedRequest& a, const ParsedRequest& b) {
  return a.function == b.function && a.itemName == b.itemName && a.currentPassword == b.currentPassword &&
         a.value.bytes == b.value.bytes && a.value.size == b.value.size && a.unlistedValue == b.unlistedValue &&
         a.newPasswordSlot == b.newPasswordSlot && a.binFileName == b.binFileName && a.xmlFileName == b.xmlFileName &&
         a.resultFileName == b.resultFileName && a.quietOutput == b.quietOutput && a.selfTest == b.selfTest &&
         a.itemText == b.itemText && a.valueText == b.valueText && a.formPassword == b.formPassword &&
         a.suspendBitLocker == b.suspendBitLocker;
}

void FuzzCommandLine(uint32_t minor, bool quiet, const std::vector<std::wstring>& args) {
  const SettingCatalog& catalog = sim::LayoutOf(2, minor);
  const size_t count = EffectiveArgumentCount(args);
  if (count != args.size()) {
    FUZZ_CHECK(args.size() == 6 && count == 5);
    const std::wstring last = AsciiToLower(CText(args[5]));
    FUZZ_CHECK(last == L"/ignore_precheck" || last == L"/i");
  }
  const std::span<const std::wstring> seen = std::span(args).first(count);

  Parse first(minor, quiet);
  const bool accepted = ParseCommandLine(first.ctx, catalog, seen, first.request);
  Parse again(minor, quiet);
  FUZZ_CHECK(ParseCommandLine(again.ctx, catalog, seen, again.request) == accepted);
  FUZZ_CHECK(SameRequest(first.request, again.request));
  FUZZ_CHECK(first.out.str() == again.out.str() && first.err.str() == again.err.str());
  if (!accepted) return;
  // "/result-file PATH" is taken out before the rest is parsed: only for the
  // import, only once, right after its file (or after a "/i" there).
  const ParsedRequest& r = first.request;
  std::vector<size_t> switches;
  for (size_t i = 5; i < seen.size(); ++i) {
    if (AsciiToLower(CText(seen[i])) == L"/result-file") switches.push_back(i);
  }
  std::vector<std::wstring> rest(seen.begin(), seen.end());
  if (r.resultFileName.empty()) {
    FUZZ_CHECK(switches.empty());
  } else {
    FUZZ_CHECK(r.function == Function::kImportCustomSettings && switches.size() == 1);
    const size_t at = switches.front();
    FUZZ_CHECK(at == 5 || at == 6);
    FUZZ_CHECK(at + 1 < seen.size() && WideToUtf8(CText(seen[at + 1])) == r.resultFileName);
    FUZZ_CHECK(CText(seen[at + 1]).size() <= kMaxArgumentLength);
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(at), rest.begin() + static_cast<std::ptrdiff_t>(at + 2));
  }
  // "/suspend-bitlocker" is taken out next: anywhere after the function,
  // only once, only for a function that writes settings.
  std::vector<size_t> suspends;
  for (size_t i = 4; i < rest.size(); ++i) {
    if (AsciiToLower(CText(rest[i])) == L"/suspend-bitlocker") suspends.push_back(i);
  }
  if (r.suspendBitLocker) {
    FUZZ_CHECK(suspends.size() == 1 && WritesSettings(r.function));
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(suspends.front()));
  } else {
    FUZZ_CHECK(suspends.empty());
  }
  size_t parsed = rest.size();
  if (parsed == 6) {
    const std::wstring precheck = AsciiToLower(CText(rest[5]));
    FUZZ_CHECK(precheck == L"/ignore_precheck" || precheck == L"/i");
    parsed = 5;
  }
  CheckAccepted(first.ctx, catalog, parsed, r);
}

// ---- the value parsers on their own -------------------------------------------

// A calendar day of 2000 + yearByte, month 1 to 12, day 1 to 31.
void CheckDayFitsMonth(uint8_t day, uint8_t month, uint8_t yearByte) {
  const uint32_t d = day % 31 + 1, m = month % 12 + 1;
  const std::chrono::year_month_day date{std::chrono::year(2000 + yearByte), std::chrono::month(m),
                                         std::chrono::day(d)};
  FUZZ_CHECK(DayFitsMonth(d, m, yearByte) == date.ok());
  FUZZ_CHECK(DayFitsMonth(d, kKeep, yearByte));
}

// A tag reading: letters and digits, at most `longest` of them, kept as typed.
void CheckTagReading(uint32_t minor, SettingKind kind, size_t longest, std::wstring_view text) {
  const ValueReading r = ReadAs(minor, kind, L"tag", text);
  const bool valid = text.size() <= longest && std::all_of(text.begin(), text.end(), IsAsciiAlphanumeric);
  FUZZ_CHECK(r.read == valid);
  if (r.read) {
    FUZZ_CHECK(IsTagText(r.value.span()) &&
               std::string(r.value.span().begin(), r.value.span().end()) == AsciiNarrow(text));
  }
}

void FuzzValueParsers(uint32_t minor, std::wstring_view text, std::wstring_view other, uint8_t pick) {
  {
    const ValueReading r = ReadAs(minor, SettingKind::kTime, L"time", text);
    if (r.read) {
      const auto t = First<3>(r.value);  // second, minute, hour
      FUZZ_CHECK(InRangeOrKeep(t[2], 24) && InRangeOrKeep(t[1], 60) && InRangeOrKeep(t[0], 60));
    }
  }
  {
    const ValueReading r = ReadAs(minor, SettingKind::kDate, L"date", text);
    if (r.read) FUZZ_CHECK(ValidDate(First<3>(r.value)));
  }
  {
    const ValueReading r = ReadAs(minor, SettingKind::kGptRecord, L"gpt partition record", text);
    if (r.read) FUZZ_CHECK(ValidGptRecord(First<5>(r.value)));
  }
  {
    const ValueReading r = ReadAs(minor, SettingKind::kBootOrder, L"boot priority order", text);
    if (r.read) FUZZ_CHECK(r.value.size == 16 && ValidBootOrder(First<16>(r.value)));
  }
  {
    const ValueReading r = ReadAs(minor, SettingKind::kMacAddress, L"customized mac address", text);
    FUZZ_CHECK(r.read == (r.value.size == 6));
  }
  CheckTagReading(minor, SettingKind::kAssetTag, 22, text);
  CheckTagReading(minor, SettingKind::kOwnershipTag, 50, text);

  // A new password for one of the version's password settings, or a name
  // that is none.
  {
    const SettingCatalog& catalog = sim::LayoutOf(2, minor);
    std::vector<std::wstring> names = {L"set hdd7 password", L"set hdd2/hdd3(opal) password"};
    for (const auto& [name, info] : catalog.settings()) {
      if (KindOfSetting(name) == SettingKind::kPassword) names.emplace_back(name);
    }
    const std::wstring& name = names[pick % names.size()];
    const ValueReading r = ReadAs(minor, SettingKind::kPassword, name, text);
    FUZZ_CHECK(r.read == r.passwordSlot.has_value());
    if (r.read) {
      ParsedRequest request;
      request.value = r.value;
      const InterfaceVersion version{2, minor};
      const bool keepsCase = version.Holds(InterfaceRule::kPasswordCaseKept) || text == kKeepPasswordValue;
      FUZZ_CHECK(request.NewPasswordText() == AsciiNarrow(keepsCase ? std::wstring(text) : AsciiToUpper(text)));
      FUZZ_CHECK(version.Offers(*r.passwordSlot));
    }
  }
  {
    Parse p(minor, false);
    const bool ok = ParseCurrentPassword(p.ctx, other, text, p.request);
    const std::wstring kept = CurrentPasswordAsKept(p.ctx, text);
    const bool valid = AsciiToLower(other) == L"/password" && kept.size() <= p.ctx.version.PasswordMaxLength() &&
                       std::all_of(kept.begin(), kept.end(), IsPrintableAscii);
    FUZZ_CHECK(ok == valid);
    if (ok) {
      CheckCurrentPassword(p.ctx, p.request);
      const auto stored = FixedText(p.request.currentPassword);
      FUZZ_CHECK(stored == AsciiNarrow(kept).substr(0, AsciiNarrow(kept).find('\0')));
    }
  }
}

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64;
  fuzz::FuzzInput in(data, size);
  const uint32_t minor = in.Byte();
  const uint8_t flags = in.Byte();
  std::vector<std::wstring> args = {L"vort64"};
  while (!in.empty() && args.size() < 8) args.push_back(Utf8ToWide(in.Piece('\n')));

  fuzz::FuzzCommandLine(minor, (flags & 1) != 0, args);
  const std::wstring_view text = args.size() > 1 ? args.back() : std::wstring_view();
  const std::wstring_view other = args.size() > 2 ? args[args.size() - 2] : std::wstring_view();
  fuzz::FuzzValueParsers(minor, text, other, flags);
  fuzz::CheckDayFitsMonth(static_cast<uint8_t>(size), flags, static_cast<uint8_t>(minor));
  return 0;
}
