#include "fuzz/block_views.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "buffer/assign.h"
#include "buffer/display.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "cli/parser.h"
#include "cli/value_parsers.h"
#include "fuzz/check.h"
#include "wmi/firmware_facts.h"

namespace vort64::fuzz {
namespace {

// The bytes [offset, end) as far as the block holds them.
std::span<const uint8_t> FieldBytes(std::span<const uint8_t> block, uint64_t offset, uint64_t end) {
  const size_t first = static_cast<size_t>(std::min<uint64_t>(offset, block.size()));
  const size_t last = static_cast<size_t>(std::clamp<uint64_t>(end, first, block.size()));
  return block.subspan(first, last - first);
}

template <typename Text>
Text Joined(std::span<const uint8_t> bytes, std::string_view separator, bool reversed, unsigned firstAdd = 0) {
  Text text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text.append(separator.begin(), separator.end());
    const uint8_t byte = reversed ? bytes[bytes.size() - 1 - i] : bytes[i];
    const std::string number = std::to_string(byte + (i == 0 ? firstAdd : 0u));
    text.append(number.begin(), number.end());
  }
  return text;
}

bool IsShownPassword(std::wstring_view name) {
  switch (ClassifyPasswordItem(name).kind) {
    case PasswordItem::kSupervisor:
    case PasswordItem::kUser:
    case PasswordItem::kHdd:
    case PasswordItem::kHddOpal: return true;
    default: return false;
  }
}

bool Contains(std::span<const uint8_t> bytes, uint8_t value) {
  return std::find(bytes.begin(), bytes.end(), value) != bytes.end();
}

// A tag field as "/set" writes it: letters and digits, then zeros.
bool IsCanonicalTag(std::span<const uint8_t> bytes) {
  const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  const auto alphanumeric = [](uint8_t b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
  };
  return std::all_of(bytes.begin(), nul, alphanumeric) &&
         std::all_of(nul, bytes.end(), [](uint8_t b) { return b == 0; });
}

// A boot order as "/set" writes it: at most sixteen codes, 255 after the last.
bool IsCanonicalBootOrder(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), kNotSupported);
  return bytes.size() <= 16 && std::all_of(end, bytes.end(), [](uint8_t b) { return b == kNotSupported; });
}

// A GPT record as "/set" takes it: minute, hour, day, month and year byte of
// a real day.
bool IsCanonicalGptRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() != 5) return false;
  // Five zeros are "No Record", exported and set again as "0".
  if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; })) return true;
  const uint32_t minute = bytes[0], hour = bytes[1], day = bytes[2], month = bytes[3];
  return minute <= 60 && hour <= 24 && day <= 31 && month >= 1 && month <= 12 && DayFitsMonth(day, month, bytes[4]);
}

// Whether "/set NAME=VALUE" with the exported value must give the bytes back.
bool ReadsBackExactly(std::wstring_view name, std::span<const uint8_t> bytes) {
  if (name == kClearTpmSetting || name == L"clear tpm(tcm)") return false;
  switch (KindOfSetting(name)) {
    case SettingKind::kGptRecord: return IsCanonicalGptRecord(bytes);
    // 255 is the firmware's mark of a setting it does not support: an export
    // writes it, but it is never a value to set.
    case SettingKind::kByte: return bytes.size() == 1 && bytes[0] != 255;
    case SettingKind::kMacAddress: return bytes.size() == 6;
    case SettingKind::kBootOrder: return IsCanonicalBootOrder(bytes);
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag: return IsCanonicalTag(bytes);
    default: return false;
  }
}

std::wstring ExpectedExportValue(std::wstring_view name, std::span<const uint8_t> bytes) {
  if (IsPasswordItem(name)) return std::wstring(kKeepPasswordValue);
  if (name == L"clear tpm" || name == L"clear tpm(tcm)") return L"0";
  // The clock is kept: 238 for every byte of the field the block holds.
  if (name == L"date" || name == L"time") {
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); ++i) text += i == 0 ? L"238" : name == L"date" ? L",238" : L":238";
    return text;
  }
  if (name == L"gpt partition record") {
    if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; })) return L"0";
    return Joined<std::wstring>(bytes, ",", true, 2000);
  }
  if (name == L"customized mac address") {
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); ++i) {
      constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
      if (i > 0) text += L'-';
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 15];
    }
    return text;
  }
  if (name == L"asset tag number" || name == L"ownership tag number") {
    const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    if (std::all_of(bytes.begin(), nul, [](uint8_t b) { return b >= 0x20 && b <= 0x7E; })) {
      return std::wstring(bytes.begin(), nul);
    }
  }
  return Joined<std::wstring>(bytes, ",", false);
}

// The catalog row the display and the export are given for `name` with the
// bytes [offset, offset + size).
SettingInfo InfoOf(std::wstring_view name, uint32_t offset, uint64_t size) {
  SettingInfo info = MakeSettingInfo(L"Get/Set", L"", Category::kSystemFunction,
                                     static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX)), offset);
  DescribeSetting(name, info);
  return info;
}

}  // namespace

void CheckFormattedValue(std::wstring_view name, std::span<const uint8_t> block, uint32_t offset, uint32_t size) {
  const auto bytes = FieldBytes(block, offset, uint64_t{offset} + size);
  const SettingValue value = FormatSettingValue(InfoOf(name, offset, size), block);
  const SettingKind kind = KindOfSetting(name);
  if (kind == SettingKind::kPassword && IsShownPassword(name)) {
    FUZZ_CHECK(value.kind == SettingValue::kHiddenPassword && value.text.empty());
    return;
  }
  FUZZ_CHECK(value.kind != SettingValue::kHiddenPassword);
  // A setting shows its own bytes only; one its field lacks shows as 0.
  const auto at = [&](uint32_t i) -> unsigned { return i < bytes.size() ? bytes[i] : 0; };
  const auto list = [&](std::string_view separator) {
    return bytes.empty() ? std::string() : Joined<std::string>(bytes, separator, false) + "\n";
  };
  std::string expected;
  bool unsupported = false;
  switch (kind) {
    case SettingKind::kTime: expected = Joined<std::string>(bytes, ":", true) + "\n"; break;
    case SettingKind::kBootOrder: expected = list(", "); break;
    case SettingKind::kGptRecord: expected = "Record = \"" + Joined<std::string>(bytes, "\",\"", true) + "\"\n"; break;
    case SettingKind::kDate:
      expected = std::to_string(at(1)) + " / " + std::to_string(at(0)) + " / " + std::to_string(at(2)) + "\n";
      break;
    case SettingKind::kAssetTag:
    case SettingKind::kOwnershipTag:
      expected = std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{0})) + "\n";
      break;
    case SettingKind::kMacAddress:
      expected = list("-");
      unsupported = bytes.size() == 6 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 255; });
      break;
    case SettingKind::kPassword:
    case SettingKind::kByte:
      expected = list(", ");
      unsupported = Contains(bytes, kNotSupported);
      break;
  }
  FUZZ_CHECK(value.text == expected);
  FUZZ_CHECK((value.kind == SettingValue::kUnsupported) == unsupported);
}

void CheckShownValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                     std::span<const uint8_t> block) {
  std::ostringstream out, err;
  Console console(out, err);
  if (ctx.console.quiet()) console.SetQuiet();
  const RunContext own{console, ctx.version};
  console.Write(ShowSettingValue(own.version, catalog, request, block));

  const std::wstring& name = request.itemName;
  const uint32_t offset = catalog.GetSettingOffset(name);
  const uint32_t size = catalog.GetSettingSize(name);
  const SettingInfo* found = catalog.FindSetting(name);
  const SettingValue value = FormatSettingValue(found ? *found : SettingInfo{}, block);
  FUZZ_CHECK(err.str().empty());
  FUZZ_CHECK(MarkedUnsupported(found ? *found : SettingInfo{}, block) == (value.kind == SettingValue::kUnsupported));
  if (console.quiet()) {
    FUZZ_CHECK(out.str().empty());
    return;
  }
  std::string expected = "Offset : " + std::to_string(offset) + "\nSize : " + std::to_string(size) +
                         "\nend : " + std::to_string(uint64_t{offset} + size) + "\n" + WideToUtf8(name) + ": ";
  if (value.kind == SettingValue::kHiddenPassword) {
    // Only the flag byte is shown of a password.
    expected += "\n";
    if (ctx.version.Holds(InterfaceRule::kFlaggedPasswords)) {
      const unsigned flag = kPasswordFlagByte < block.size() ? block[kPasswordFlagByte] : 0;
      expected += "Offset : 235\nSize : 2\nend : 237\nflag for setting : " + std::to_string(flag) + "\n";
    }
  } else {
    expected += value.text;
  }
  FUZZ_CHECK(out.str() == expected);
}

void CheckExportValue(const RunContext& ctx, const SettingCatalog& catalog, std::wstring_view name,
                      std::span<const uint8_t> block, uint32_t offset, uint32_t end) {
  const auto bytes = FieldBytes(block, offset, end);
  const std::wstring value = FormatExportValue(InfoOf(name, offset, end > offset ? end - offset : 0), block);
  FUZZ_CHECK(value == ExpectedExportValue(name, bytes));

  const SettingInfo* info = catalog.FindSetting(name);
  if (!info || info->offset != offset || uint64_t{info->offset} + info->size != end) return;
  if (!ReadsBackExactly(name, bytes)) return;
  // A field the block does not reach takes nothing: there is no value to set.
  if (bytes.empty()) {
    FUZZ_CHECK(value.empty());
    return;
  }
  // The exported value, set again, gives the bytes it was read from.
  std::ostringstream out, err;
  Console console(out, err);
  const RunContext own{console, ctx.version};
  const std::vector<std::wstring> args = {L"vort64", L"/password", L"", L"/set", std::wstring(name) + L"=" + value};
  ParsedRequest request;
  FUZZ_CHECK(ParseCommandLine(own, catalog, args, request));
  if (request.itemName != name) return;
  std::vector<uint8_t> copy(block.begin(), block.end());
  Messages said;
  FUZZ_CHECK(AssignSettingValue(own.version, request, copy, offset, end, said) == Placement::kPlaced);
  const auto again = FieldBytes(copy, offset, end);
  FUZZ_CHECK(std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()));
}

void CheckExportRows(const SettingCatalog& catalog, std::span<const uint8_t> block) {
  std::vector<SettingExportRow> rows(3);
  FUZZ_CHECK(CollectExportSettings(catalog, rows, block) == 0);
  FUZZ_CHECK(rows.size() == kSettingExportRows);
  size_t index = 0;
  for (const auto& [name, info] : catalog.settings()) {
    if (index == rows.size()) break;
    const SettingExportRow& row = rows[index++];
    if (info.description.find(L"Set") == std::wstring::npos) {
      FUZZ_CHECK(row.name.empty() && row.value.empty() && row.category.empty());
      continue;
    }
    FUZZ_CHECK(row.name == name && row.category == CategoryText(info.category) && row.meaning == info.meaning);
    FUZZ_CHECK(row.value == FormatExportValue(info, block));
  }
  for (; index < rows.size(); ++index) FUZZ_CHECK(rows[index].name.empty() && rows[index].value.empty());
}

}  // namespace vort64::fuzz
