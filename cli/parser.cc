#include "cli/parser.h"

#include <initializer_list>
#include <optional>
#include <span>
#include <string>

#include "base/console.h"
#include "base/text.h"
#include "catalog/aliases.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "cli/messages.h"
#include "cli/text_rules.h"
#include "cli/value_parsers.h"

namespace vort64 {
namespace {

// The argument positions.
constexpr size_t kPasswordSwitch = 1;
constexpr size_t kPassword = 2;
constexpr size_t kFunctionSwitch = 3;
constexpr size_t kItemArgument = 4;

// "/?" and "/h" as ever, and the words other programs answer with their usage.
bool IsUsageRequest(std::wstring_view first) {
  for (const std::wstring_view word : {L"/?", L"/h", L"-h", L"--help", L"/help", L"-?"}) {
    if (first == word) return true;
  }
  return false;
}

std::wstring WithoutFirstCharacter(std::wstring_view text) {
  return text.empty() ? std::wstring() : std::wstring(text.substr(1));
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

// The block that repeats what was understood. `value` is the number of the
// value line, or nothing for a block without one.
void WriteEcho(const RunContext& ctx, const Arguments& args, const ParsedRequest& request,
               std::optional<uint32_t> value, SettingKind kind = SettingKind::kByte) {
  if (ctx.console.quiet()) return;  // withheld anyway
  // The password itself never shows: a run's output ends up in logs.
  const std::wstring_view password = args[kPassword];
  std::wstring text = L"Password = " + (password.empty() ? std::wstring() : Utf8ToWide(kPasswordMask)) + L"\n";
  text += L"FunctionName = " + WithoutFirstCharacter(args[kFunctionSwitch]) + L"\n";
  text += L"Item = " + request.itemText + L"\n";
  if (value) {
    if (ctx.version.Holds(InterfaceRule::kMacAddressEcho) && kind == SettingKind::kMacAddress) {
      text += L"Value = ";
      for (size_t i = 0; i < request.macAddress.size(); ++i) {
        if (i > 0) text += L"-";
        text += std::to_wstring(request.macAddress[i]);
      }
      text += L"\n";
    } else {
      text += L"Value = " + std::to_wstring(*value) + L"\n";
    }
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
    console.Out(" File : " + fileName + " not " + std::string(extension) + " file \n\n");
    return false;
  }
  if (out.function == Function::kImportCustomSettings || out.function == Function::kCheckCustomSettings) {
    out.quietOutput = true;
  }
  return true;
}

// "time": hour, minute and second separated by ":" or ",".
std::optional<uint32_t> ParseTimeValue(const RunContext& ctx, ParsedRequest& out, std::wstring_view valueText) {
  Console& console = ctx.console;
  std::wstring buffer(valueText);
  if (!ParseTime(buffer, L':', out) && !ParseTime(buffer, L',', out)) {
    console.Complain("Invalid value of time\n");
    ShowUsage(console);
    return std::nullopt;
  }
  console.Say("hour == " + std::to_string(out.timeValue[0]) + "\n");
  console.Say("minute == " + std::to_string(out.timeValue[1]) + "\n");
  console.Say("second == " + std::to_string(out.timeValue[2]) + "\n");
  return 0;
}

// Converts the value text of a "set" or "set-default" by item; returns the
// number for the value line.
std::optional<uint32_t> ParseValue(const RunContext& ctx, const SettingInfo& setting, ParsedRequest& out,
                                   std::wstring_view valueText) {
  Console& console = ctx.console;
  using Parser = bool (*)(const RunContext&, std::wstring_view, ParsedRequest&);
  Parser parse = nullptr;
  switch (setting.kind) {
    case SettingKind::kPassword:
      if (!ParsePassword(ctx, valueText, out)) {
        console.Out("ParsePassword failed\n");
        return std::nullopt;
      }
      return 0;
    case SettingKind::kTime: return ParseTimeValue(ctx, out, valueText);
    case SettingKind::kDate: parse = ParseDate; break;
    case SettingKind::kBootOrder: parse = ParseBootOrder; break;
    case SettingKind::kGptRecord: parse = ParseGptRecord; break;
    case SettingKind::kMacAddress: parse = ParseMacAddress; break;
    case SettingKind::kAssetTag: parse = ParseAssetTag; break;
    case SettingKind::kOwnershipTag: parse = ParseOwnershipTag; break;
    case SettingKind::kByte: break;
  }
  if (parse) {
    if (!parse(ctx, valueText, out)) return std::nullopt;
    return 0;
  }
  // A plain one-byte setting.
  if (valueText.empty()) {
    console.Complain("Failed to capture value\n\n");
    ShowUsage(console);
    return std::nullopt;
  }
  if (!ParsePlainValue(ctx, valueText, setting.listed, out)) return std::nullopt;
  return out.byteValue;
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
  switch (out.function) {
    case Function::kExportCustomSettings:
    case Function::kImportCustomSettings:
    case Function::kCheckCustomSettings: return ParseFileRequest(ctx, args, out, valueText, out.xmlFileName, ".xml");
    case Function::kExportRawSettings:
    case Function::kImportRawSettings: return ParseFileRequest(ctx, args, out, valueText, out.binFileName, ".bin");
    default: break;
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
        console.Err(WideToUtf8(out.itemName) + ": " + UnknownSettingText(out.itemName) + "\n\n");
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
  if (out.function != Function::kSet && out.function != Function::kSetDefault) return true;

  // The self-test's "autotest" is no setting: its value reads as a plain one.
  const SettingInfo plain;
  const SettingInfo& row = setting ? *setting : plain;
  const auto value = ParseValue(ctx, row, out, valueText);
  if (!value) return false;
  WriteEcho(ctx, args, out, value, row.kind);
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
  // export writes it; it is never written as a value.
  uint8_t plain = 0;
  if (setting->kind == SettingKind::kByte && CheckPlainValue(valueText, plain) == PlainValue::kNotSupportedMark) {
    result.refusal = ParsedSetting::Refusal::kNotSupportedMark;
    return result;
  }
  if (!ParseValue(ctx, *setting, out, valueText)) {
    result.refusal = ParsedSetting::Refusal::kBadValue;
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

size_t EffectiveArgumentCount(std::span<const std::wstring> args) {
  if (args.size() != 6) return args.size();
  const std::wstring_view last = CText(args[5]);
  if (last.size() > kMaxArgumentLength) return args.size();
  const std::wstring lower = AsciiToLower(last);
  return (lower == L"/ignore_precheck" || lower == L"/i") ? 5 : args.size();
}

bool ParseCommandLine(const RunContext& ctx, const SettingCatalog& catalog, std::span<const std::wstring> args,
                      ParsedRequest& out) {
  out.quietOutput = ctx.console.quiet();
  return ParseArguments(ctx, catalog, Arguments(args), out);
}

std::optional<Function> ItemFunction(std::wstring_view functionWord) {
  struct Word {
    std::wstring_view text;
    Function function;
  };
  static constexpr Word kWords[] = {
      {L"get", Function::kGet},
      {L"set", Function::kSet},
      {L"export-raw-settings", Function::kExportRawSettings},
      {L"import-raw-settings", Function::kImportRawSettings},
      {L"export-custom-settings", Function::kExportCustomSettings},
      {L"import-custom-settings", Function::kImportCustomSettings},
      {L"check-custom-settings", Function::kCheckCustomSettings},
      {L"get-default", Function::kGetDefault},
      {L"set-default", Function::kSetDefault},
  };
  for (const auto& w : kWords) {
    if (functionWord == w.text) return w.function;
  }
  return std::nullopt;
}

}  // namespace vort64
