#include "cli/parser.h"

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/functions.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "catalog/aliases.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/value_codecs.h"
#include "cli/messages.h"
#include "cli/value_parsers.h"

namespace vort64 {
namespace {

// The argument positions.
constexpr size_t kPasswordSwitch = 1;
constexpr size_t kPassword = 2;
constexpr size_t kFunctionSwitch = 3;
constexpr size_t kItemArgument = 4;

std::wstring WithoutFirstCharacter(std::wstring_view text) {
  return text.empty() ? std::wstring() : std::wstring(text.substr(1));
}

// "/result-file PATH": where the custom-settings import's result file goes.
// It follows the import's file (a "/ignore_precheck" may stand before or
// after it).
constexpr std::wstring_view kResultFileSwitch = L"/result-file";
constexpr size_t kResultFileFirst = 5;

// The switch "/ignore_precheck" or "/i" (any case) that scripts add and the
// program drops.
bool IsPrecheckSwitch(std::wstring_view text) {
  if (text.size() > kMaxArgumentLength) return false;
  const std::wstring lower = AsciiToLower(text);
  return lower == L"/ignore_precheck" || lower == L"/i";
}

bool IsResultFileSwitch(std::wstring_view text) {
  return text.size() == kResultFileSwitch.size() && AsciiToLower(text) == kResultFileSwitch;
}

// Refuses the command line for a switch it cannot take: the reason, a blank
// line and the usage. Always false.
bool RefuseWithUsage(Console& console, std::string_view why) {
  console.Complain(std::string(why) + "\n\n");
  ShowUsage(console);
  return false;
}

// The function a function switch names, as `decode` reads its word (lower
// case, without the "/"); nothing for a switch longer than any argument.
std::optional<Function> FunctionOfSwitch(std::wstring_view functionSwitch,
                                         std::optional<Function> (*decode)(std::wstring_view)) {
  if (functionSwitch.size() > kMaxArgumentLength) return std::nullopt;
  return decode(AsciiToLower(WithoutFirstCharacter(functionSwitch)));
}

// Takes "/result-file PATH" out of `args` into `out.resultFileName`; the
// other arguments are left in `rest` (which holds all of them on entry). False, with the message and the usage,
// when the switch stands where no result file is written: after another
// function than the import, twice, without a file name, or elsewhere than
// after the import's file.
bool TakeResultFile(const RunContext& ctx, std::span<const std::wstring> args, std::vector<std::wstring>& rest,
                    ParsedRequest& out) {
  std::vector<size_t> at;
  for (size_t i = kResultFileFirst; i < args.size(); ++i) {
    if (IsResultFileSwitch(CText(args[i]))) at.push_back(i);
  }
  if (at.empty()) return true;
  const auto refuse = [&ctx](std::string_view why) { return RefuseWithUsage(ctx.console, why); };
  const std::optional<Function> function = FunctionOfSwitch(CText(args[kFunctionSwitch]), ItemFunction);
  if (!function || FactsOf(*function).writes != FunctionWrites::kResultFile) {
    return refuse("/result-file is taken by /import-custom-settings only: no other function writes a result file.");
  }
  if (at.size() > 1) return refuse("/result-file is given twice.");
  const size_t i = at.front();
  if (i != kResultFileFirst && !(i == kResultFileFirst + 1 && IsPrecheckSwitch(CText(args[kResultFileFirst])))) {
    return refuse(
        "/result-file stands right after the custom-settings file: /import-custom-settings FILE.xml "
        "/result-file PATH.");
  }
  if (i + 1 >= args.size() || CText(args[i + 1]).empty()) return refuse("/result-file needs the name of a file.");
  const std::wstring_view path = CText(args[i + 1]);
  if (path.size() > kMaxArgumentLength) {
    return refuse("/result-file: the file name is longer than " + std::to_string(kMaxArgumentLength) + " characters.");
  }
  out.resultFileName = WideToUtf8(path);
  rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.begin() + static_cast<std::ptrdiff_t>(i + 2));
  return true;
}

// "/suspend-bitlocker" (any case): anywhere after the function's switch.
constexpr std::wstring_view kSuspendBitLockerSwitch = L"/suspend-bitlocker";

// The function a function word names ("clear" is "/set" of the TPM clear).
std::optional<Function> FunctionOfWord(std::wstring_view word) {
  if (word == L"clear") return Function::kSet;
  for (const Function function : kFunctions) {
    if (!FactsOf(function).word.empty() && FactsOf(function).word == word) return function;
  }
  return std::nullopt;
}

bool IsSuspendBitLockerSwitch(std::wstring_view text) {
  return text.size() == kSuspendBitLockerSwitch.size() && AsciiToLower(text) == kSuspendBitLockerSwitch;
}

// Takes "/suspend-bitlocker" out of `rest` into `out.suspendBitLocker`.
// False, with the message and the usage, when the function writes no
// settings or the switch is given twice.
bool TakeSuspendBitLocker(const RunContext& ctx, std::vector<std::wstring>& rest, ParsedRequest& out) {
  std::vector<size_t> at;
  for (size_t i = kFunctionSwitch + 1; i < rest.size(); ++i) {
    if (IsSuspendBitLockerSwitch(CText(rest[i]))) at.push_back(i);
  }
  if (at.empty()) return true;
  const auto refuse = [&ctx](std::string_view why) { return RefuseWithUsage(ctx.console, why); };
  const std::optional<Function> function = FunctionOfSwitch(CText(rest[kFunctionSwitch]), FunctionOfWord);
  if (!function || !WritesSettings(*function)) {
    return refuse(
        "/suspend-bitlocker goes with a function that writes settings: /set, /clear, /set-default, "
        "/load-factory-default, /load-user-default, /import-raw-settings, /import-custom-settings.");
  }
  if (at.size() > 1) return refuse("/suspend-bitlocker is given twice.");
  out.suspendBitLocker = true;
  rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(at.front()));
  return true;
}

// "/?" and "/h" as ever, and the words other programs answer with their usage.
bool IsUsageRequest(std::wstring_view first) {
  for (const std::wstring_view word : {L"/?", L"/h", L"-h", L"--help", L"/help", L"-?"}) {
    if (first == word) return true;
  }
  return false;
}

// The arguments of one parse, each as the C runtime would see it.
class Arguments {
 public:
  explicit Arguments(std::span<const std::wstring> args) : args_(args) {}
  size_t count() const { return args_.size(); }
  std::wstring_view operator[](size_t i) const { return CText(args_[i]); }

 private:
  std::span<const std::wstring> args_;
};

// The block that repeats what was understood. `value` is the text of the
// value line, or nothing for a block without one.
void WriteEcho(const RunContext& ctx, const Arguments& args, const ParsedRequest& request,
               std::optional<std::wstring_view> value) {
  if (ctx.console.quiet()) return;  // withheld anyway
  // The password itself never shows: a run's output ends up in logs.
  const std::wstring_view password = args[kPassword];
  std::wstring text = L"Password = " + (password.empty() ? std::wstring() : Utf8ToWide(kPasswordMask)) + L"\n";
  text += L"FunctionName = " + WithoutFirstCharacter(args[kFunctionSwitch]) + L"\n";
  text += L"Item = " + Utf8ToWide(Printable(request.itemText)) + L"\n";
  if (value) {
    text += L"Value = " + Utf8ToWide(Printable(*value)) + L"\n";
    if (const auto bit = PasswordFlagBit(ctx.version, request.itemName)) {
      text += L"Item = flag for setting\nValue = " + std::to_wstring(*bit) + L"\n";
    }
  }
  text += L"\n";
  ctx.console.SayWide(text);
}

// The raw and the custom-settings file operations: the item argument
// is the file name.
bool ParseFileRequest(const RunContext& ctx, const Arguments& args, ParsedRequest& out, std::wstring_view valueText,
                      std::string& fileName, std::string_view extension) {
  Console& console = ctx.console;
  if (!valueText.empty()) {
    console.Err("Invalid argument\n\n");
    ShowUsage(console);
    return false;
  }
  if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
  WriteEcho(ctx, args, out, std::nullopt);
  // A file name keeps its case; its extension is found in any case.
  out.itemName = out.itemText;
  fileName = WideToUtf8(std::wstring_view(out.itemName).substr(0, kMaxArgumentLength));
  if (WideToUtf8(AsciiToLower(Utf8ToWide(fileName))).find(extension) == std::string::npos) {
    console.Out(" File : " + Printable(fileName) + " not " + std::string(extension) + " file \n\n");
    return false;
  }
  if (out.function == Function::kImportCustomSettings || out.function == Function::kCheckCustomSettings) {
    out.quietOutput = true;
  }
  return true;
}

// Reads the value text of a "set" or "set-default" with the codec of the
// setting's kind, says its lines and keeps the value; the reading, which
// holds the echo's value line.
// With `markRefused`, the not-supported mark 255 is refused in silence.
ValueReading ReadValue(const RunContext& ctx, const SettingInfo& setting, ParsedRequest& out,
                       std::wstring_view valueText, bool markRefused = false) {
  ValueReading reading = CodecOf(setting.kind).read(ctx.version, setting, out.itemName, valueText);
  if (markRefused && reading.notSupportedMark) return reading;
  SayReadingLines(ctx.console, reading.lines);
  if (reading.read) {
    out.value = reading.value;
    out.unlistedValue = reading.unlisted;
    out.newPasswordSlot = reading.passwordSlot;
  }
  return reading;
}

// Splits "current password=OLD,ITEM=VALUE" into the old password, the item
// text and the value text. False when the "=" or the "," is missing.
bool SplitCurrentPasswordForm(std::wstring& itemText, std::wstring& valueText, std::wstring& oldPassword) {
  std::wstring rest(valueText);
  InPlaceTokenizer equals(rest);
  const auto before = equals.Next(L"=");
  if (!before || !equals.EndedByDelimiter()) return false;
  const std::wstring newValue(equals.Rest());
  std::wstring head(*before);
  InPlaceTokenizer comma(head);
  const auto old = comma.Next(L",");
  if (!old || !comma.EndedByDelimiter()) return false;
  oldPassword = std::wstring(*old);
  itemText = std::wstring(comma.Rest());
  valueText = newValue;
  return true;
}

bool ParseItemRequest(const RunContext& ctx, const SettingCatalog& catalog, const Arguments& args, ParsedRequest& out) {
  Console& console = ctx.console;
  std::wstring itemArgument(args[kItemArgument]);
  InPlaceTokenizer tokens(itemArgument);
  const auto item = tokens.Next(L"=");
  std::wstring itemText = item ? std::wstring(*item) : std::wstring();
  std::wstring valueText(tokens.Rest());

  if (itemText == L"current password") {
    std::wstring oldPassword;
    if (!SplitCurrentPasswordForm(itemText, valueText, oldPassword)) {
      ShowUsage(console);
      return false;
    }
    out.formPassword = oldPassword;
  }

  out.itemText = itemText;
  const ResolvedName resolved = ResolveSettingName(catalog, AsciiToLower(WithoutFirstCharacter(args[kFunctionSwitch])),
                                                   AsciiToLower(itemText), valueText);
  if (resolved.echoesName) console.OutWide(resolved.name + L"\n");
  const std::wstring& functionWord = resolved.functionWord;
  out.itemName = resolved.name;
  valueText = resolved.valueText;
  out.valueText = valueText;

  const auto function = ItemFunction(functionWord);
  if (!function) {
    console.Complain("Invalid Function Name\n\n");
    ShowUsage(console);
    return false;
  }
  out.function = *function;
  switch (FactsOf(out.function).takes) {
    case FunctionTakes::kXmlFile: return ParseFileRequest(ctx, args, out, valueText, out.xmlFileName, ".xml");
    case FunctionTakes::kBinFile: return ParseFileRequest(ctx, args, out, valueText, out.binFileName, ".bin");
    case FunctionTakes::kSetting:
    case FunctionTakes::kSettingValue:
    case FunctionTakes::kNothing:
    case FunctionTakes::kNoWord: break;
  }

  const SettingInfo* setting = catalog.FindSetting(out.itemName);
  if (!setting) {
    console.Err("Invalid Item auto test\n\n");
    console.ErrWide(out.itemName + L"\n");
    if (out.itemName == L"autotest") {
      console.Err("true auto test\n\n");
      out.selfTest = true;
    } else {
      console.Err("Invalid Item\n\n");
      if (!IsKnownSettingName(out.itemName)) {
        console.Err(Printable(out.itemName) + ": " + UnknownSettingText(out.itemName) + "\n\n");
      }
      ShowUsage(console);
      return false;
    }
  }

  if (FixedText(out.currentPassword).empty()) {
    if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
  }

  if (out.function == Function::kGet) {
    if (!valueText.empty()) {
      console.Err("Invalid argument\n\n");
      ShowUsage(console);
      return false;
    }
    WriteEcho(ctx, args, out, std::nullopt);
    return true;
  }
  if (FactsOf(out.function).takes != FunctionTakes::kSettingValue) return true;

  // The self-test's "autotest" is no setting: its value reads as a plain one.
  const SettingInfo plain;
  const SettingInfo& row = setting ? *setting : plain;
  const ValueReading value = ReadValue(ctx, row, out, valueText);
  if (!value.read) return false;
  WriteEcho(ctx, args, out, value.echo);
  return true;
}

bool ParseArguments(const RunContext& ctx, const SettingCatalog& catalog, const Arguments& args, ParsedRequest& out) {
  Console& console = ctx.console;
  const size_t count = args.count();
  if (count <= 1) {
    ShowUsage(console);
    return false;
  }
  if (IsUsageRequest(args[1])) {
    ShowUsage(console);
    return false;
  }
  if (count > 5) {
    console.Complain("Too many arguments\n\n");
    ShowUsage(console);
    return false;
  }
  // The switches and the item argument must fit the working copies.
  for (const size_t i : {kPasswordSwitch, kFunctionSwitch, kItemArgument}) {
    if (i < count && args[i].size() > kMaxArgumentLength) {
      ShowUsage(console);
      return false;
    }
  }

  switch (count) {
    case 2: return true;
    case 3:
      if (args[kPasswordSwitch] != L"/password") {
        ShowUsage(console);
        return false;
      }
      if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
      out.function = Function::kPassword;
      return true;
    case 4:
      if (AsciiToLower(WithoutFirstCharacter(args[kPasswordSwitch])) != L"password") {
        console.Err("Invalid Function Name\n");
        ShowUsage(console);
        return false;
      }
      if (AsciiToLower(args[kFunctionSwitch]) == L"/show-settings") {
        if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
        out.function = Function::kShowSettings;
        return true;
      }
      if (AsciiToLower(args[kFunctionSwitch]) == L"/rotate-password") {
        if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
        // The password to rotate to: an empty one would clear the supervisor password.
        if (FixedText(out.currentPassword).empty()) {
          console.Complain("Rotation: the first password is empty, so there is no password to rotate to.\n\n");
          ShowUsage(console);
          return false;
        }
        out.function = Function::kRotatePassword;
        return true;
      }
      if (args[kFunctionSwitch] != L"/load-factory-default" && args[kFunctionSwitch] != L"/load-user-default") {
        ShowUsage(console);
        return false;
      }
      if (!ParseCurrentPassword(ctx, args[kPasswordSwitch], args[kPassword], out)) return false;
      out.function = args[kFunctionSwitch] == L"/load-factory-default" ? Function::kLoadFactoryDefault
                                                                       : Function::kLoadUserDefault;
      return true;
    default: return ParseItemRequest(ctx, catalog, args, out);
  }
}

}  // namespace

ParsedSetting ParseSetting(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& run,
                           std::wstring_view name, std::wstring_view value) {
  ParsedSetting result;
  ParsedRequest& out = result.request;
  out.currentPassword = run.currentPassword;
  out.quietOutput = ctx.console.quiet();
  // The item argument "NAME=VALUE" as the command line would hold it.
  if (name.size() + 1 + value.size() > kMaxArgumentLength) {
    result.refusal = ParsedSetting::Refusal::kTooLong;
    return result;
  }
  std::wstring itemText(CText(name));
  std::wstring valueText(CText(value));
  if (itemText == L"current password") {
    std::wstring oldPassword;
    if (!SplitCurrentPasswordForm(itemText, valueText, oldPassword)) {
      result.refusal = ParsedSetting::Refusal::kBadValue;
      return result;
    }
    out.formPassword = oldPassword;
  }
  out.itemText = itemText;
  const ResolvedName resolved = ResolveSettingName(catalog, L"set", AsciiToLower(itemText), valueText);
  if (resolved.echoesName) ctx.console.OutWide(resolved.name + L"\n");
  out.itemName = resolved.name;
  out.valueText = valueText;
  out.function = Function::kSet;
  const SettingInfo* setting = catalog.FindSetting(out.itemName);
  if (!setting) {
    result.kind =
        IsKnownSettingName(out.itemName) ? ParsedSetting::Kind::kUnknownName : ParsedSetting::Kind::kNoSuchName;
    return result;
  }
  // 255 is the firmware's mark of a plain setting it does not support, as an
  // export writes it; it is never written as a value, and not complained of.
  const ValueReading reading = ReadValue(ctx, *setting, out, valueText, /*markRefused=*/true);
  if (!reading.read) {
    result.refusal =
        reading.notSupportedMark ? ParsedSetting::Refusal::kNotSupportedMark : ParsedSetting::Refusal::kBadValue;
    return result;
  }
  result.kind = ParsedSetting::Kind::kRequest;
  return result;
}

JsonSwitch TakeJsonSwitch(std::span<const std::wstring> args) {
  JsonSwitch taken;
  taken.given = args.size() >= 2 && CText(args[1]).size() == 5 && AsciiToLower(CText(args[1])) == L"/json";
  taken.args.assign(args.begin(), args.end());
  if (taken.given) taken.args.erase(taken.args.begin() + 1);
  return taken;
}

bool AsksForVersion(std::span<const std::wstring> args) {
  return args.size() == 2 && (CText(args[1]) == L"--version" || CText(args[1]) == L"/version");
}

bool AsksForUsageBeforeFirmware(std::span<const std::wstring> args) {
  if (args.size() < 2) return false;
  const std::wstring_view first = CText(args[1]);
  return first == L"-h" || first == L"--help" || first == L"/help" || first == L"-?";
}

bool AsksForUsage(std::span<const std::wstring> args) { return args.size() >= 2 && IsUsageRequest(CText(args[1])); }

size_t EffectiveArgumentCount(std::span<const std::wstring> args) {
  if (args.size() != 6) return args.size();
  return IsPrecheckSwitch(CText(args[5])) ? 5 : args.size();
}

bool ParseCommandLine(const RunContext& ctx, const SettingCatalog& catalog, std::span<const std::wstring> args,
                      ParsedRequest& out) {
  out.quietOutput = ctx.console.quiet();
  // A usage request is answered whatever follows it.
  const bool usage = args.size() > 1 && IsUsageRequest(CText(args[1]));
  std::vector<std::wstring> rest(args.begin(), args.end());
  if (!usage && !TakeResultFile(ctx, args, rest, out)) return false;
  if (!usage && !TakeSuspendBitLocker(ctx, rest, out)) return false;
  const std::span<const std::wstring> seen(rest);
  return ParseArguments(ctx, catalog, Arguments(seen.first(EffectiveArgumentCount(seen))), out);
}

std::optional<Function> ItemFunction(std::wstring_view functionWord) {
  for (const Function function : kFunctions) {
    const FunctionFacts facts = FactsOf(function);
    const bool takesItem = facts.takes != FunctionTakes::kNothing && facts.takes != FunctionTakes::kNoWord;
    if (takesItem && functionWord == facts.word) return function;
  }
  return std::nullopt;
}

}  // namespace vort64
