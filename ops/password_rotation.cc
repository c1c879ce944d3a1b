#include "ops/password_rotation.h"

#include <optional>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "catalog/catalog.h"
#include "ops/apply_settings.h"
#include "ops/firmware_calls.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

constexpr wchar_t kSupervisorSetting[] = L"set supervisor password";

// A NUL-padded password field as text.
std::wstring FieldText(std::string_view field) { return Utf8ToWide(field.substr(0, field.find('\0'))); }

// What the status byte says of the supervisor password: set, clear, or
// nothing where the version has no such byte or marks it not supported.
std::optional<bool> SupervisorSet(const SettingCatalog& catalog, std::span<const uint8_t> block) {
  return PasswordIsSet(catalog, {PasswordItem::kSupervisor}, block);
}

OperationResult Failed(Console& console, const OperationResult& result, const std::string& cause) {
  console.Err("Error: " + cause + ": the supervisor password was not rotated.\n");
  return result;
}

}  // namespace

OperationResult RotateSupervisorPassword(Operations& ops, const ParsedRequest& request, std::span<uint8_t> buffer) {
  Console& console = ops.ctx.console;
  const std::string_view password = request.CurrentPassword();
  const MethodOutcome read = GetBiosOptions(ops, password, buffer);
  if (!read.passed()) {
    const OperationResult failed = OperationResult::FromRead(read);
    return Failed(console, failed, FailureCause(failed));
  }
  const RunPasswords& passwords = ops.session.passwords;
  const size_t accepted = passwords.inUse;  // 0: the first line
  const std::optional<bool> wasSet = SupervisorSet(ops.catalog, buffer);
  if (accepted == 0 && wasSet == true) {
    console.Out("Supervisor password: the first line is in force already; nothing was changed.\n");
    return {Kind::kDone};
  }

  // The change, as "/set" reads it: from the line accepted to the first
  // line, or the first line set where the notebook may have none.
  if (!ops.settings) return {Kind::kNothingRan};
  const std::wstring wanted = FieldText(password);
  const ParsedSetting parsed =
      accepted == 0 ? ops.settings->Parse(kSupervisorSetting, wanted)
                    : ops.settings->Parse(L"current password", FieldText(passwords.earlier[accepted - 1]) + L"," +
                                                                   kSupervisorSetting + L"=" + wanted);
  if (parsed.kind != ParsedSetting::Kind::kRequest) {
    return Failed(console, {Kind::kValueRefused}, "this interface version takes no such supervisor password");
  }
  const ParsedRequest& change = parsed.request;
  std::vector<uint8_t> block(buffer.begin(), buffer.end());
  std::vector<uint8_t> readBack(kSettingsBufferSize, 0);
  const Applied applied = ApplySettings(
      ops, {.target = OptionBlock::kCurrent, .password = password, .settings = {&change}, .sayWhy = false}, block,
      readBack);
  const OperationResult& outcome = applied.outcomes.front();
  if (!outcome.blockSent) return Failed(console, {Kind::kValueRefused}, "the password field refused the first line");
  if (outcome.kind == Kind::kNotTheSame || (outcome.succeeded() && SupervisorSet(ops.catalog, readBack) == false)) {
    return Failed(console, OperationResult{Kind::kNotTheSame}.Sent(),
                  "the firmware does not show the new supervisor password as set");
  }
  if (!outcome.succeeded()) return Failed(console, outcome, FailureCause(outcome));
  std::string from = "changed from line " + std::to_string(accepted + 1) + " to line 1";
  if (accepted == 0) from = wasSet == false ? "set (the notebook had none)" : "set to the first line";
  // Code 8: the firmware took the change and asks for a restart to make it
  // work, so it may be in force only from the next start.
  if (outcome.rebootRequired()) from += ", in force from the next start (the firmware answered 8: reboot required)";
  console.Out("Supervisor password: " + from + "; read back" +
              (SupervisorSet(ops.catalog, readBack) ? ", the status byte says it is set" : "") + ".\n");
  return outcome;
}

}  // namespace vort64
