#include "cli/value_parsers.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/console.h"
#include "base/option_block.h"
#include "base/text.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "cli/messages.h"
#include "cli/text_rules.h"

namespace vort64 {
namespace {

constexpr std::string_view kPasswordTooLong = "The length of password is too long.\n";
constexpr std::string_view kPasswordInvalid = "Password has invalid characters.\n\n";
constexpr std::string_view kInvalidDate = "Invalid value of date\n";

bool AllPrintableAscii(std::wstring_view text) {
  return std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsPrintableAscii(c); });
}

// A number of a date, time, boot order or GPT record, read strictly: a
// token that is not a plain decimal number reads as a number no range holds.
uint32_t TokenNumber(std::wstring_view token) { return ReadPlainDecimal(token).value_or(UINT32_MAX); }

std::string NumberLine(std::string_view label, uint32_t value) {
  return std::string(label) + std::to_string(value) + "\n";
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

template <size_t N>
bool ParseTag(Console& console, std::wstring_view valueText, std::array<char, N>& field, std::string_view tooLong,
              std::string_view invalid, std::string_view echo) {
  if (valueText.size() > N - 1) {
    console.Err(tooLong);
    ShowUsage(console);
    return false;
  }
  if (!std::all_of(valueText.begin(), valueText.end(), [](wchar_t c) { return IsAsciiAlphanumeric(c); })) {
    console.Err(invalid);
    ShowUsage(console);
    return false;
  }
  const std::string tag = AsciiNarrow(valueText);
  StoreFixedText(field, tag);
  console.Out(std::string(echo) + tag + "\n");
  return true;
}

std::string Ordinal(size_t position) {
  switch (position) {
    case 1: return "1st";
    case 2: return "2nd";
    case 3: return "3rd";
    default: return std::to_string(position) + "th";
  }
}

}  // namespace

std::string MaskedPassword(std::string_view password) {
  return password.empty() ? std::string() : std::string(kPasswordMask);
}

std::wstring CurrentPasswordAsKept(const RunContext& ctx, std::wstring_view passwordText) {
  if (!ctx.version.Holds(InterfaceRule::kPasswordCaseKept)) return AsciiToUpper(passwordText);
  return std::wstring(passwordText);
}

bool ParseCurrentPassword(const RunContext& ctx, std::wstring_view switchText, std::wstring_view passwordText,
                          ParsedRequest& out) {
  Console& console = ctx.console;
  if (AsciiToLower(switchText) != L"/password") {
    console.Complain("Invalid argument\n\n");
    ShowUsage(console);
    return false;
  }
  const std::wstring password = CurrentPasswordAsKept(ctx, passwordText);
  if (password.size() > ctx.version.PasswordMaxLength()) {
    console.Complain(kPasswordTooLong);
    ShowUsage(console);
    return false;
  }
  if (!AllPrintableAscii(password)) {
    console.Complain(kPasswordInvalid);
    ShowUsage(console);
    return false;
  }
  const std::string narrow = AsciiNarrow(password);
  StoreFixedText(out.currentPassword, narrow);
  return true;
}

bool ParsePassword(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  Console& console = ctx.console;
  const bool opal = ClassifyPasswordItem(out.itemName).kind == PasswordItem::kHddOpal;
  const uint32_t limit = opal ? ctx.version.OpalPasswordMaxLength() : ctx.version.PasswordMaxLength();
  if (valueText.size() > limit) {
    console.Complain(kPasswordTooLong);
    ShowUsage(console);
    return false;
  }
  if (!AllPrintableAscii(valueText)) {
    console.Complain(kPasswordInvalid);
    ShowUsage(console);
    return false;
  }
  const auto slot = PasswordSlotFor(ctx.version, out.itemName);
  // A name the version routes to no slot has nowhere to go.
  if (!slot) {
    ShowUsage(console);
    return false;
  }
  // Older firmware knows upper-case passwords only, but the word that keeps
  // the password must reach the assignment as it is written.
  const bool upperCase = !ctx.version.Holds(InterfaceRule::kPasswordCaseKept) && valueText != kKeepPasswordValue;
  const std::wstring password = upperCase ? AsciiToUpper(valueText) : std::wstring(valueText);
  auto& buffer = out.newPassword;
  buffer.fill('\0');
  const std::string narrow = AsciiNarrow(password);
  const size_t length = std::min({narrow.size(), size_t{limit}, buffer.size() - 1});
  std::copy_n(narrow.begin(), length, buffer.begin());
  out.newPasswordSlot = *slot;
  // The word that keeps the password is no password: it shows as it is.
  const std::string_view stored(buffer.data());
  const bool keep = password == kKeepPasswordValue;
  console.Say(std::string(PasswordSlotName(*slot)) + " : " + (keep ? std::string(stored) : MaskedPassword(stored)) +
              "\n");
  return true;
}

PlainValue CheckPlainValue(std::wstring_view valueText, uint8_t& value) {
  const auto n = ReadPlainDecimal(valueText);
  if (n && *n == kHighestPlainValue + 1) return PlainValue::kNotSupportedMark;
  if (!n || *n > kHighestPlainValue) return PlainValue::kRefused;
  value = static_cast<uint8_t>(*n);
  return PlainValue::kAccepted;
}

bool ParsePlainValue(const RunContext& ctx, std::wstring_view valueText, const ListedValues& listed,
                     ParsedRequest& out) {
  Console& console = ctx.console;
  uint8_t value = 0;
  const PlainValue check = CheckPlainValue(valueText, value);
  if (check == PlainValue::kAccepted) {
    out.byteValue = value;
    // The firmware's list may be incomplete: whether the machine holds that
    // value itself is known only once its block is read.
    out.unlistedValue = !listed.empty() && !listed.Lists(value);
    return true;
  }
  // A listed value also goes by its label.
  if (const auto labelled = listed.ValueOfLabel(CText(valueText))) {
    out.byteValue = *labelled;
    return true;
  }
  const std::string_view mark = check == PlainValue::kNotSupportedMark ? "255 marks a setting as not supported; " : "";
  const std::string expected =
      listed.empty() ? "a decimal number from 0 to 254 is expected" : "the firmware lists " + listed.Describe();
  console.Complain("Invalid value \"" + WideToUtf8(CText(valueText)) + "\" of " + WideToUtf8(out.itemName) + ": " +
                   std::string(mark) + expected + ".\n\n");
  ShowUsage(console);
  return false;
}

bool ParseTime(std::wstring& valueText, wchar_t separator, ParsedRequest& out) {
  const std::wstring_view delimiters(&separator, 1);
  InPlaceTokenizer tokens(valueText);
  std::array<uint8_t, 3> time{};
  const uint32_t limits[] = {24, 60, 60};
  for (size_t i = 0; i < time.size(); ++i) {
    const auto token = tokens.Next(delimiters);
    if (!token) return false;
    const uint32_t n = TokenNumber(*token);
    if (!(n < limits[i] || n == kDoNotChange)) return false;
    time[i] = LowByte(n);
  }
  out.timeValue = time;
  return true;
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

bool ParseDate(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  Console& console = ctx.console;
  std::wstring buffer(valueText);
  auto date = TryDate(buffer, L'/');
  if (!date) date = TryDate(buffer, L',');
  if (!date) {
    console.Complain(kInvalidDate);
    ShowUsage(console);
    return false;
  }
  out.dateValue = *date;
  const uint32_t day = (*date)[0], month = (*date)[1], year = (*date)[2];
  console.Say(NumberLine("month == ", month));
  console.Say(NumberLine("day == ", day));
  console.Say(NumberLine("year == ", year));
  if (!DayFitsMonth(day, month, year)) {
    console.Complain(kInvalidDate);
    return false;
  }
  return true;
}

bool ParseGptRecord(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  Console& console = ctx.console;
  // "0" alone is no record: five zero bytes.
  if (valueText == L"0") {
    out.gptRecord = {};
    return true;
  }
  std::wstring buffer(valueText);
  InPlaceTokenizer tokens(buffer);
  const auto fail = [&console] {
    console.Complain(kInvalidDate);
    return false;
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
  out.gptRecord = {LowByte(minute), LowByte(hour), LowByte(day), LowByte(month), yearByte};
  console.Say(NumberLine("minute == ", minute));
  console.Say(NumberLine("hour == ", hour));
  console.Say(NumberLine("month == ", month));
  console.Say(NumberLine("day == ", day));
  console.Say(NumberLine("year == ", yearByte));
  if (!DayFitsMonth(day, month, yearByte)) return fail();
  return true;
}

bool ParseBootOrder(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  Console& console = ctx.console;
  out.bootOrder.fill(kNotSupported);
  std::wstring buffer(valueText);
  InPlaceTokenizer tokens(buffer);
  size_t stored = 0;
  while (stored < out.bootOrder.size()) {
    const auto token = tokens.Next(L",");
    if (!token) break;
    const uint32_t n = TokenNumber(*token);
    if (n > 255) {
      console.Complain("Failed to capture boot priority order\n");
      ShowUsage(console);
      return false;
    }
    if (n == kNotSupported) break;
    out.bootOrder[stored++] = LowByte(n);
  }
  for (size_t i = 0; i < stored; ++i) {
    console.Say(NumberLine(Ordinal(i + 1) + " == ", out.bootOrder[i]));
  }
  return true;
}

bool ParseMacAddress(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  Console& console = ctx.console;
  std::wstring buffer(valueText);
  InPlaceTokenizer tokens(buffer);
  std::array<uint8_t, 6> mac{};
  for (auto& byte : mac) {
    const auto token = tokens.Next(L"-");
    if (!token) {
      console.Complain("Invalid value of MAC address\n");
      ShowUsage(console);
      return false;
    }
    byte = LowByte(ReadHex(*token));
  }
  out.macAddress = mac;
  return true;
}

bool ParseAssetTag(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  return ParseTag(ctx.console, valueText, out.assetTag, "The length of asset tag is too long.\n",
                  "Asset tag has invalid characters, alphabet or digit only.\n", "Asset Tag = ");
}

bool ParseOwnershipTag(const RunContext& ctx, std::wstring_view valueText, ParsedRequest& out) {
  return ParseTag(ctx.console, valueText, out.ownershipTag, "The length of ownership tag is too long.\n",
                  "Ownership tag has invalid characters, alphabet or digit only.\n", "Ownership Tag = ");
}

}  // namespace vort64
