#include "cli/value_parsers.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/console.h"
#include "base/option_block.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "cli/messages.h"

namespace vort64 {
namespace {

constexpr std::string_view kPasswordTooLong = "The length of password is too long.\n";
constexpr std::string_view kPasswordInvalid = "Password has invalid characters.\n\n";

bool AllPrintableAscii(std::wstring_view text) {
  return std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsPrintableAscii(c); });
}

}  // namespace

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

void SayReadingLines(Console& console, std::span<const Message> lines) {
  for (const Message& line : lines) {
    if (line.stream == Message::Stream::kUsage) {
      ShowUsage(console);
    } else {
      console.Write(line);
    }
  }
}

}  // namespace vort64
