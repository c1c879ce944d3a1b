#include "catalog/value_codecs.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/option_block.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "catalog/password_settings.h"

namespace vort64 {
namespace {

using Stream = Message::Stream;

constexpr std::string_view kPasswordTooLong = "The length of password is too long.\n";
constexpr std::string_view kPasswordInvalid = "Password has invalid characters.\n\n";
constexpr std::string_view kInvalidDate = "Invalid value of date\n";

// The GPT partition record keeps its year as the year minus 2000.
constexpr unsigned kGptRecordYearBase = 2000;

// ---- Reading ----------------------------------------------------------------

// A reading under way: its lines, said in order.
struct Reading {
  ValueReading result;

  void Say(std::string text) { result.lines.push_back({Stream::kSay, std::move(text)}); }
  void Complain(std::string_view text) { result.lines.push_back({Stream::kComplain, std::string(text)}); }
  void Err(std::string_view text) { result.lines.push_back({Stream::kErr, std::string(text)}); }
  void Out(std::string text) { result.lines.push_back({Stream::kOut, std::move(text)}); }
  void Usage() { result.lines.push_back({Stream::kUsage, {}}); }
  ValueReading Fail() {
    result.read = false;
    return std::move(result);
  }
  ValueReading Done(std::span<const uint8_t> bytes, std::wstring echo = L"0") {
    result.read = true;
    result.value.Assign(bytes);
    result.echo = std::move(echo);
    return std::move(result);
  }
};

bool AllPrintableAscii(std::wstring_view text) {
  return std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsPrintableAscii(c); });
}

// A number of a date, time, boot order or GPT record, read strictly: a
// token that is not a plain decimal number reads as a number no range holds.
uint32_t TokenNumber(std::wstring_view token) { return ReadPlainDecimal(token).value_or(UINT32_MAX); }

std::string NumberLine(std::string_view label, uint32_t value) {
  return std::string(label) + std::to_string(value) + "\n";
}

std::string Ordinal(size_t position) {
  switch (position) {
    case 1: return "1st";
    case 2: return "2nd";
    case 3: return "3rd";
    default: return std::to_string(position) + "th";
  }
}

ValueReading ReadPlain(const InterfaceVersion&, const SettingInfo& setting, std::wstring_view name,
                       std::wstring_view text) {
  Reading r;
  if (text.empty()) {
    r.Complain("Failed to capture value\n\n");
    r.Usage();
    return r.Fail();
  }
  const ListedValues& listed = setting.listed;
  uint8_t value = 0;
  const PlainValue check = CheckPlainValue(text, value);
  if (check == PlainValue::kAccepted) {
    // The firmware's list may be incomplete: whether the machine holds that
    // value itself is known only once its block is read.
    r.result.unlisted = !listed.empty() && !listed.Lists(value);
    return r.Done(std::span(&value, 1), std::to_wstring(value));
  }
  // A listed value also goes by its label.
  if (const auto labelled = listed.ValueOfLabel(CText(text))) {
    const uint8_t byte = *labelled;
    return r.Done(std::span(&byte, 1), std::to_wstring(byte));
  }
  r.result.notSupportedMark = check == PlainValue::kNotSupportedMark;
  r.Complain(InvalidValueText(CText(text), name, listed, r.result.notSupportedMark) + "\n\n");
  r.Usage();
  return r.Fail();
}

ValueReading ReadPassword(const InterfaceVersion& version, const SettingInfo&, std::wstring_view name,
                          std::wstring_view text) {
  Reading r;
  const auto fail = [&r] {
    r.Out("ParsePassword failed\n");
    return r.Fail();
  };
  const bool opal = ClassifyPasswordItem(name).kind == PasswordItem::kHddOpal;
  const uint32_t limit = opal ? version.OpalPasswordMaxLength() : version.PasswordMaxLength();
  if (text.size() > limit) {
    r.Complain(kPasswordTooLong);
    r.Usage();
    return fail();
  }
  if (!AllPrintableAscii(text)) {
    r.Complain(kPasswordInvalid);
    r.Usage();
    return fail();
  }
  const auto slot = PasswordSlotFor(version, name);
  // A name the version routes to no slot has nowhere to go.
  if (!slot) {
    r.Usage();
    return fail();
  }
  // Older firmware knows upper-case passwords only, but the word that keeps
  // the password must reach the assignment as it is written.
  const bool keep = text == kKeepPasswordValue;
  const bool upperCase = !version.Holds(InterfaceRule::kPasswordCaseKept) && !keep;
  std::string password = AsciiNarrow(upperCase ? AsciiToUpper(text) : std::wstring(text));
  password.resize(std::min<size_t>(password.size(), limit));
  r.result.passwordSlot = *slot;
  // The word that keeps the password is no password: it shows as it is.
  r.Say(std::string(PasswordSlotName(*slot)) + " : " + (keep ? password : MaskedPassword(password)) + "\n");
  return r.Done(std::span(reinterpret_cast<const uint8_t*>(password.data()), password.size()));
}

// Hour, minute and second separated by `separator`, into second, minute,
// hour. Tokenises `text` in place, so a second attempt with another
// separator sees only the text before the first separator this one consumed.
std::optional<std::array<uint8_t, 3>> TryTime(std::wstring& text, wchar_t separator) {
  const std::wstring_view delimiters(&separator, 1);
  InPlaceTokenizer tokens(text);
  std::array<uint8_t, 3> time{};  // hour, minute, second
  const uint32_t limits[] = {24, 60, 60};
  for (size_t i = 0; i < time.size(); ++i) {
    const auto token = tokens.Next(delimiters);
    if (!token) return std::nullopt;
    const uint32_t n = TokenNumber(*token);
    if (!(n < limits[i] || n == kDoNotChange)) return std::nullopt;
    time[i] = LowByte(n);
  }
  return std::array<uint8_t, 3>{time[2], time[1], time[0]};
}

ValueReading ReadTime(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  Reading r;
  std::wstring buffer(text);
  auto time = TryTime(buffer, L':');
  if (!time) time = TryTime(buffer, L',');
  if (!time) {
    r.Complain("Invalid value of time\n");
    r.Usage();
    return r.Fail();
  }
  r.Say(NumberLine("hour == ", (*time)[2]));
  r.Say(NumberLine("minute == ", (*time)[1]));
  r.Say(NumberLine("second == ", (*time)[0]));
  return r.Done(*time);
}

// One attempt at a date with one delimiter: day, month, year byte.
std::optional<std::array<uint8_t, 3>> TryDate(std::wstring& buffer, wchar_t delimiter) {
  const std::wstring_view delimiters(&delimiter, 1);
  InPlaceTokenizer tokens(buffer);
  const auto yearToken = tokens.Next(delimiters);
  if (!yearToken) return std::nullopt;
  const uint32_t year = TokenNumber(*yearToken);
  if ((year >= 2000 && year <= 2255) || year == kDoNotChange) {
    // 2000 to 2099, or 238 to keep the firmware's year as it is.
    if (year / 100 != 20 && year != kDoNotChange) return std::nullopt;
    const uint8_t yearByte = LowByte(year % 2000);
    const auto monthToken = tokens.Next(delimiters);
    if (!monthToken) return std::nullopt;
    const uint32_t month = TokenNumber(*monthToken);
    if (!((month >= 1 && month <= 12) || month == kDoNotChange)) return std::nullopt;
    const auto dayToken = tokens.Next(delimiters);
    if (!dayToken) return std::nullopt;
    const uint32_t day = TokenNumber(*dayToken);
    if (!((day >= 1 && day <= 31) || day == kDoNotChange)) return std::nullopt;
    return std::array<uint8_t, 3>{LowByte(day), LowByte(month), yearByte};
  }
  if (year >= 2256) return std::nullopt;
  // Any earlier year stands only for the all-zero date.
  const auto monthToken = tokens.Next(delimiters);
  if (!monthToken) return std::nullopt;
  const auto dayToken = tokens.Next(delimiters);
  if (!dayToken) return std::nullopt;
  if (year != 0 || TokenNumber(*monthToken) != 0 || TokenNumber(*dayToken) != 0) return std::nullopt;
  return std::array<uint8_t, 3>{0, 0, 0};
}

ValueReading ReadDate(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  Reading r;
  std::wstring buffer(text);
  auto date = TryDate(buffer, L'/');
  if (!date) date = TryDate(buffer, L',');
  if (!date) {
    r.Complain(kInvalidDate);
    r.Usage();
    return r.Fail();
  }
  const uint32_t day = (*date)[0], month = (*date)[1], year = (*date)[2];
  r.Say(NumberLine("month == ", month));
  r.Say(NumberLine("day == ", day));
  r.Say(NumberLine("year == ", year));
  if (!DayFitsMonth(day, month, year)) {
    r.Complain(kInvalidDate);
    return r.Fail();
  }
  return r.Done(*date);
}

ValueReading ReadGptRecord(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  Reading r;
  // "0" alone is no record: five zero bytes.
  if (text == L"0") return r.Done(std::array<uint8_t, 5>{});
  std::wstring buffer(text);
  InPlaceTokenizer tokens(buffer);
  const auto fail = [&r] {
    r.Complain(kInvalidDate);
    return r.Fail();
  };
  const auto yearToken = tokens.Next(L",");
  if (!yearToken) return fail();
  const uint32_t year = TokenNumber(*yearToken);
  uint8_t yearByte = 0;
  if (year >= 2256) return fail();
  // The record keeps the year as year - 2000 in one byte. A year from 1900
  // to 1999 deliberately becomes the low byte of the year itself (1999 gives
  // 207), not a negative offset: the bytes it gives are what scripts already
  // send, so keep it. An earlier year stands for byte 0.
  if (year >= 1900) yearByte = LowByte(year % 2000);
  // month, day, hour, minute: lowest and highest accepted value
  const uint32_t bounds[4][2] = {{1, 12}, {0, 31}, {0, 24}, {0, 60}};
  uint32_t values[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    const auto token = tokens.Next(L",");
    if (!token) return fail();
    values[i] = TokenNumber(*token);
    if (values[i] < bounds[i][0] || values[i] > bounds[i][1]) return fail();
  }
  const uint32_t month = values[0], day = values[1], hour = values[2], minute = values[3];
  r.Say(NumberLine("minute == ", minute));
  r.Say(NumberLine("hour == ", hour));
  r.Say(NumberLine("month == ", month));
  r.Say(NumberLine("day == ", day));
  r.Say(NumberLine("year == ", yearByte));
  if (!DayFitsMonth(day, month, yearByte)) return fail();
  return r.Done(std::array<uint8_t, 5>{LowByte(minute), LowByte(hour), LowByte(day), LowByte(month), yearByte});
}

ValueReading ReadBootOrder(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  Reading r;
  std::array<uint8_t, 16> order;
  order.fill(kNotSupported);
  std::wstring buffer(text);
  InPlaceTokenizer tokens(buffer);
  size_t stored = 0;
  while (stored < order.size()) {
    const auto token = tokens.Next(L",");
    if (!token) break;
    const uint32_t n = TokenNumber(*token);
    if (n > 255) {
      r.Complain("Failed to capture boot priority order\n");
      r.Usage();
      return r.Fail();
    }
    if (n == kNotSupported) break;
    order[stored++] = LowByte(n);
  }
  for (size_t i = 0; i < stored; ++i) r.Say(NumberLine(Ordinal(i + 1) + " == ", order[i]));
  return r.Done(order);
}

ValueReading ReadMacAddress(const InterfaceVersion& version, const SettingInfo&, std::wstring_view,
                            std::wstring_view text) {
  Reading r;
  std::wstring buffer(text);
  InPlaceTokenizer tokens(buffer);
  std::array<uint8_t, 6> mac{};
  for (auto& byte : mac) {
    const auto token = tokens.Next(L"-");
    if (!token) {
      r.Complain("Invalid value of MAC address\n");
      r.Usage();
      return r.Fail();
    }
    byte = LowByte(ReadHex(*token));
  }
  // The echo shows the address byte by byte where the version does.
  std::wstring echo = L"0";
  if (version.Holds(InterfaceRule::kMacAddressEcho)) {
    echo.clear();
    for (size_t i = 0; i < mac.size(); ++i) echo += (i > 0 ? L"-" : L"") + std::to_wstring(mac[i]);
  }
  return r.Done(mac, echo);
}

// Letters and digits only, at most `longest` characters.
ValueReading ReadTag(std::wstring_view text, size_t longest, std::string_view tooLong, std::string_view invalid,
                     std::string_view echo) {
  Reading r;
  if (text.size() > longest) {
    r.Err(tooLong);
    r.Usage();
    return r.Fail();
  }
  if (!std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsAsciiAlphanumeric(c); })) {
    r.Err(invalid);
    r.Usage();
    return r.Fail();
  }
  const std::string tag = AsciiNarrow(text);
  r.Out(std::string(echo) + tag + "\n");
  return r.Done(std::span(reinterpret_cast<const uint8_t*>(tag.data()), tag.size()));
}

ValueReading ReadAssetTag(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  return ReadTag(text, 22, "The length of asset tag is too long.\n",
                 "Asset tag has invalid characters, alphabet or digit only.\n", "Asset Tag = ");
}

ValueReading ReadOwnershipTag(const InterfaceVersion&, const SettingInfo&, std::wstring_view, std::wstring_view text) {
  return ReadTag(text, 50, "The length of ownership tag is too long.\n",
                 "Ownership tag has invalid characters, alphabet or digit only.\n", "Ownership Tag = ");
}

// ---- Showing ----------------------------------------------------------------

std::string Number(uint8_t byte) { return std::to_string(unsigned{byte}); }

// The bytes in decimal with `separator` between them and a line break after
// the last one; nothing at all for no bytes.
std::string JoinBytes(std::span<const uint8_t> bytes, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    text += Number(bytes[i]);
    text += i + 1 < bytes.size() ? separator : "\n";
  }
  return text;
}

std::string Reversed(std::span<const uint8_t> bytes, std::string_view separator) {
  std::string text;
  for (size_t i = bytes.size(); i-- > 0;) {
    text += Number(bytes[i]);
    if (i > 0) text += separator;
  }
  return text;
}

uint8_t ByteAt(std::span<const uint8_t> bytes, size_t i) { return i < bytes.size() ? bytes[i] : 0; }

SettingValue ShowBytes(const SettingInfo&, std::span<const uint8_t> bytes) {
  const bool unsupported = std::find(bytes.begin(), bytes.end(), kNotSupported) != bytes.end();
  return {unsupported ? SettingValue::kUnsupported : SettingValue::kText, JoinBytes(bytes, ", ")};
}

SettingValue ShowPassword(const SettingInfo& setting, std::span<const uint8_t> bytes) {
  switch (setting.password.kind) {
    case PasswordItem::kSupervisor:
    case PasswordItem::kUser:
    case PasswordItem::kHdd:
    case PasswordItem::kHddOpal: return {SettingValue::kHiddenPassword, ""};
    case PasswordItem::kHddCombined:
    case PasswordItem::kNone: break;
  }
  return ShowBytes(setting, bytes);
}

SettingValue ShowTime(const SettingInfo&, std::span<const uint8_t> bytes) {
  return {SettingValue::kText, Reversed(bytes, ":") + "\n"};
}

SettingValue ShowDate(const SettingInfo&, std::span<const uint8_t> bytes) {
  return {SettingValue::kText,
          Number(ByteAt(bytes, 1)) + " / " + Number(ByteAt(bytes, 0)) + " / " + Number(ByteAt(bytes, 2)) + "\n"};
}

SettingValue ShowGptRecord(const SettingInfo&, std::span<const uint8_t> bytes) {
  return {SettingValue::kText, "Record = \"" + Reversed(bytes, "\",\"") + "\"\n"};
}

SettingValue ShowBootOrder(const SettingInfo&, std::span<const uint8_t> bytes) {
  return {SettingValue::kText, JoinBytes(bytes, ", ")};
}

SettingValue ShowMacAddress(const SettingInfo&, std::span<const uint8_t> bytes) {
  const bool unsupported =
      bytes.size() == 6 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kNotSupported; });
  return {unsupported ? SettingValue::kUnsupported : SettingValue::kText, JoinBytes(bytes, "-")};
}

SettingValue ShowTag(const SettingInfo&, std::span<const uint8_t> bytes) {
  // A tag ends at its first NUL byte; the bytes after it are no text.
  const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return {SettingValue::kText, std::string(bytes.begin(), nul) + "\n"};
}

std::string AsShown(const SettingInfo&, std::span<const uint8_t>, std::string shown) { return shown; }

// A listed value with its label: "1 (Enabled)".
std::string WithLabel(const SettingInfo& setting, std::span<const uint8_t> bytes, std::string shown) {
  if (setting.size == 1 && bytes.size() == 1) {
    if (const auto label = setting.listed.LabelOf(bytes[0])) shown += " (" + WideToUtf8(*label) + ")";
  }
  return shown;
}

// ---- Exporting --------------------------------------------------------------

// The bytes as unsigned decimal numbers joined by `separator`.
std::wstring JoinNumbers(std::span<const uint8_t> bytes, wchar_t separator) {
  std::wstring text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) text += separator;
    text += std::to_wstring(static_cast<unsigned>(bytes[i]));
  }
  return text;
}

std::wstring ExportBytes(std::span<const uint8_t> bytes) { return JoinNumbers(bytes, L','); }

// Hour, minute and second, as "/set" takes the time.
std::wstring ExportTime(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> reversed(bytes.rbegin(), bytes.rend());
  return JoinNumbers(reversed, L':');
}

// Year, month and day, as "/set" takes the date; a year byte of 238 keeps
// the firmware's year, and the all-zero date is "0,0,0".
std::wstring ExportDate(std::span<const uint8_t> bytes) {
  if (bytes.size() != 3) return ExportBytes(bytes);
  const uint8_t day = bytes[0], month = bytes[1], year = bytes[2];
  if (day == 0 && month == 0 && year == 0) return L"0,0,0";
  const unsigned fullYear = year == kDoNotChange ? kDoNotChange : 2000u + year;
  return std::to_wstring(fullYear) + L"," + std::to_wstring(unsigned{month}) + L"," + std::to_wstring(unsigned{day});
}

// Two upper-case hexadecimal digits a byte joined by "-", the form "/set"
// takes a MAC address in.
std::wstring ExportMacAddress(std::span<const uint8_t> bytes) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) text += L'-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

// The GPT partition record, kept minute, hour, day, month, year - 2000:
// "/set" takes it from the full year down to the minute.
std::wstring ExportGptRecord(std::span<const uint8_t> bytes) {
  // A record of zeros is "0 : No Record", and "/set" takes it as "0".
  if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; })) return L"0";
  std::wstring text;
  for (size_t at = bytes.size(); at > 0; --at) {
    const unsigned byte = bytes[at - 1];
    if (at != bytes.size()) text += L',';
    text += std::to_wstring(at == bytes.size() ? kGptRecordYearBase + byte : byte);
  }
  return text;
}

// A tag's characters up to its first NUL, the form "/set" takes a tag in;
// the bytes in decimal when one of them is no printable ASCII character.
std::wstring ExportTag(std::span<const uint8_t> bytes) {
  std::wstring text;
  for (size_t at = 0; at < bytes.size() && bytes[at] != 0; ++at) {
    if (bytes[at] < 0x20 || bytes[at] > 0x7E) return ExportBytes(bytes);
    text += static_cast<wchar_t>(bytes[at]);
  }
  return text;
}

// A MAC address as a person reads it: in the form "/set" takes.
std::string ReadableMacAddress(const SettingInfo&, std::span<const uint8_t> bytes, std::string shown) {
  const bool unsupported =
      bytes.size() == 6 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kNotSupported; });
  return unsupported ? shown : WideToUtf8(ExportMacAddress(bytes));
}

// clang-format off
// The codecs, one to a kind: read, clock effect, fills field, password
// forms, kept clock bytes, show, readable, export.
constexpr ValueCodec kByteCodec{&ReadPlain, ClockEffect::kKeepClock, false, false, false, &ShowBytes, &WithLabel, &ExportBytes};
constexpr ValueCodec kTimeCodec{&ReadTime, ClockEffect::kKeepDate, false, false, true, &ShowTime, &AsShown, &ExportTime};
constexpr ValueCodec kDateCodec{&ReadDate, ClockEffect::kKeepTime, false, false, true, &ShowDate, &AsShown, &ExportDate};
constexpr ValueCodec kGptRecordCodec{&ReadGptRecord, ClockEffect::kKeepClock, false, false, false, &ShowGptRecord, &AsShown, &ExportGptRecord};
constexpr ValueCodec kBootOrderCodec{&ReadBootOrder, ClockEffect::kKeepClock, false, false, false, &ShowBootOrder, &AsShown, &ExportBytes};
constexpr ValueCodec kMacAddressCodec{&ReadMacAddress, ClockEffect::kKeepClock, false, false, false, &ShowMacAddress, &ReadableMacAddress, &ExportMacAddress};
constexpr ValueCodec kAssetTagCodec{&ReadAssetTag, ClockEffect::kNone, true, false, false, &ShowTag, &AsShown, &ExportTag};
constexpr ValueCodec kOwnershipTagCodec{&ReadOwnershipTag, ClockEffect::kNone, true, false, false, &ShowTag, &AsShown, &ExportTag};
constexpr ValueCodec kPasswordCodec{&ReadPassword, ClockEffect::kKeepClock, false, true, false, &ShowPassword, &AsShown, &ExportBytes};
// clang-format on

}  // namespace

PlainValue CheckPlainValue(std::wstring_view valueText, uint8_t& value) {
  const auto n = ReadPlainDecimal(valueText);
  if (n && *n == kHighestPlainValue + 1) return PlainValue::kNotSupportedMark;
  if (!n || *n > kHighestPlainValue) return PlainValue::kRefused;
  value = static_cast<uint8_t>(*n);
  return PlainValue::kAccepted;
}

bool DayFitsMonth(uint32_t day, uint32_t month, uint32_t yearByte) {
  switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
    case kDoNotChange: return day < 32 || day == kDoNotChange;
    case 2: {
      const uint32_t year = 2000 + yearByte;
      const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
      return day < (leap ? 30u : 29u);
    }
    default: return day < 31;
  }
}

std::string InvalidValueText(std::wstring_view text, std::wstring_view name, const ListedValues& listed,
                             bool notSupportedMark) {
  const std::string_view mark = notSupportedMark ? "255 marks a setting as not supported; " : "";
  const std::string expected =
      listed.empty() ? "a decimal number from 0 to 254 is expected" : "the firmware lists " + listed.Describe();
  return "Invalid value \"" + WideToUtf8(text) + "\" of " + WideToUtf8(name) + ": " + std::string(mark) + expected +
         ".";
}

const ValueCodec& CodecOf(SettingKind kind) {
  switch (kind) {
    case SettingKind::kByte: return kByteCodec;
    case SettingKind::kTime: return kTimeCodec;
    case SettingKind::kDate: return kDateCodec;
    case SettingKind::kGptRecord: return kGptRecordCodec;
    case SettingKind::kBootOrder: return kBootOrderCodec;
    case SettingKind::kMacAddress: return kMacAddressCodec;
    case SettingKind::kAssetTag: return kAssetTagCodec;
    case SettingKind::kOwnershipTag: return kOwnershipTagCodec;
    case SettingKind::kPassword: return kPasswordCodec;
  }
  return kByteCodec;
}

std::span<const uint8_t> SettingBytes(const SettingInfo& setting, std::span<const uint8_t> block) {
  const size_t first = std::min<size_t>(setting.offset, block.size());
  const size_t end = std::min<size_t>(uint64_t{setting.offset} + setting.size, block.size());
  return block.subspan(first, end - first);
}

}  // namespace vort64
