// Every function of the program described once: the word that asks for it,
// what its command line takes, which file it writes, whether a setting is
// shown after it succeeded, and whether it needs the firmware. The parser,
// the output checks and the display read it here; FactsOf switches over
// every Function without a default, so a function added to the enum and
// left out here does not compile.
#ifndef VORT64_BASE_FUNCTIONS_H_
#define VORT64_BASE_FUNCTIONS_H_

#include <array>
#include <string_view>

#include "base/parsed_request.h"

namespace vort64 {

// What the command line gives the function after its word.
enum class FunctionTakes {
  kNothing,       // "/password PW /WORD"
  kSetting,       // "/password PW /WORD NAME" ("/get", "/get-default")
  kSettingValue,  // "/password PW /WORD NAME=VALUE"
  kBinFile,       // "/password PW /WORD FILE.bin"
  kXmlFile,       // "/password PW /WORD FILE.xml"
  kNoWord,        // no word asks for it: the bare program name, or the password alone
};

// The file a function writes besides the firmware.
enum class FunctionWrites {
  kNothing,
  kNamedFile,   // the file its command line names (the exports)
  kResultFile,  // Result.txt (the custom-settings import)
};

struct FunctionFacts {
  std::wstring_view word;  // without its "/"; empty for kNoWord
  FunctionTakes takes;
  FunctionWrites writes;
  bool showsSetting;  // after success the display shows the setting (or, for /show-settings, all of them)
  bool needsFirmware;
};

constexpr FunctionFacts FactsOf(Function function) {
  using T = FunctionTakes;
  using W = FunctionWrites;
  switch (function) {
    case Function::kNone: return {L"", T::kNoWord, W::kNothing, false, false};
    case Function::kPassword: return {L"", T::kNoWord, W::kNothing, false, true};
    case Function::kLoadFactoryDefault: return {L"load-factory-default", T::kNothing, W::kNothing, false, true};
    case Function::kLoadUserDefault: return {L"load-user-default", T::kNothing, W::kNothing, false, true};
    case Function::kGet: return {L"get", T::kSetting, W::kNothing, true, true};
    case Function::kSet: return {L"set", T::kSettingValue, W::kNothing, true, true};
    case Function::kGetDefault: return {L"get-default", T::kSetting, W::kNothing, true, true};
    case Function::kSetDefault: return {L"set-default", T::kSettingValue, W::kNothing, true, true};
    case Function::kExportRawSettings: return {L"export-raw-settings", T::kBinFile, W::kNamedFile, false, true};
    case Function::kImportRawSettings: return {L"import-raw-settings", T::kBinFile, W::kNothing, false, true};
    case Function::kExportCustomSettings: return {L"export-custom-settings", T::kXmlFile, W::kNamedFile, false, true};
    case Function::kImportCustomSettings: return {L"import-custom-settings", T::kXmlFile, W::kResultFile, false, true};
    case Function::kCheckCustomSettings: return {L"check-custom-settings", T::kXmlFile, W::kNothing, false, true};
    case Function::kShowSettings: return {L"show-settings", T::kNothing, W::kNothing, true, true};
    case Function::kRotatePassword: return {L"rotate-password", T::kNothing, W::kNothing, false, true};
  }
  return {L"", T::kNoWord, W::kNothing, false, false};
}

// Whether the function writes settings to the firmware: the ones
// "/suspend-bitlocker" goes with.
constexpr bool WritesSettings(Function function) {
  switch (function) {
    case Function::kSet:
    case Function::kSetDefault:
    case Function::kLoadFactoryDefault:
    case Function::kLoadUserDefault:
    case Function::kImportRawSettings:
    case Function::kImportCustomSettings: return true;
    case Function::kNone:
    case Function::kPassword:
    case Function::kGet:
    case Function::kGetDefault:
    case Function::kExportRawSettings:
    case Function::kExportCustomSettings:
    case Function::kCheckCustomSettings:
    case Function::kShowSettings:
    case Function::kRotatePassword: break;
  }
  return false;
}

// Every function, in the enum's order.
inline constexpr std::array kFunctions = {
    Function::kNone,
    Function::kPassword,
    Function::kLoadFactoryDefault,
    Function::kLoadUserDefault,
    Function::kGet,
    Function::kSet,
    Function::kGetDefault,
    Function::kSetDefault,
    Function::kExportRawSettings,
    Function::kImportRawSettings,
    Function::kExportCustomSettings,
    Function::kImportCustomSettings,
    Function::kCheckCustomSettings,
    Function::kShowSettings,
    Function::kRotatePassword,
};
static_assert(static_cast<size_t>(kFunctions.back()) + 1 == kFunctions.size(), "every function, in order");

}  // namespace vort64

#endif  // VORT64_BASE_FUNCTIONS_H_
