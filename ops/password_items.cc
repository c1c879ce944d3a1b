#include "ops/password_items.h"

#include <optional>
#include <string_view>

#include "base/refusal_lines.h"
#include "base/text.h"
#include "catalog/value_codecs.h"

namespace vort64 {
namespace {

using Kind = OperationResult::Kind;

// The password the firmware accepted from this run, as text; nothing when
// no call of the run was accepted.
std::optional<std::string_view> AcceptedPassword(const RunPasswords& run) {
  if (run.state != RunPasswords::State::kAccepted) return std::nullopt;
  const std::string_view field = run.InUse();
  return field.substr(0, field.find('\0'));
}

bool IsRunPassword(const Operations& ops, const ParsedRequest& request) {
  const std::optional<std::string_view> accepted = AcceptedPassword(ops.session.passwords);
  return accepted && *accepted == request.NewPasswordText();
}

}  // namespace

PasswordStanding CheckPasswordItem(const Operations& ops, const SettingInfo& setting, const ParsedRequest& request,
                                   std::span<const uint8_t> block) {
  using State = PasswordStanding::State;
  const std::optional<bool> set = PasswordIsSet(ops.catalog, setting.password, block);
  const std::string held = set == false ? "none" : std::string(kPasswordMask);
  if (setting.password.kind == PasswordItem::kSupervisor) {
    if (!IsRunPassword(ops, request) || set == false) return {State::kDiffers, held, ""};
    if (set == true) return {State::kSame, "", ""};
    return {State::kSame, "", "the firmware accepted it; no status byte shows whether one is set"};
  }
  if (set == true) return {State::kSame, "", "a password is set; the password itself cannot be read"};
  return {State::kDiffers, held, ""};
}

OperationResult ChangePasswordItem(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block,
                                   std::span<uint8_t> readBack, bool& readBackDone) {
  readBackDone = false;
  const SettingInfo* setting = ops.catalog.FindSetting(request.itemName);
  const PasswordItem item = setting ? setting->password : PasswordItem{};
  ParsedRequest change = request;
  if (item.kind == PasswordItem::kSupervisor) {
    const std::optional<bool> set = PasswordIsSet(ops.catalog, item, block);
    if (set == true && IsRunPassword(ops, request)) return {Kind::kPasswordKept};
    // The old password of the long form: the one the firmware accepted, a
    // blank (none) where no password is set.
    const std::optional<std::string_view> accepted = AcceptedPassword(ops.session.passwords);
    if (!change.formPassword) {
      change.formPassword = set == false || !accepted || accepted->empty() ? L" " : Utf8ToWide(*accepted);
    }
  }
  const SetOutcome outcome = SetOnReadBlock(ops, change, block, readBack);
  readBackDone = outcome.readBack && outcome.readBack->passed();
  if (!outcome.result.succeeded() || !readBackDone || !item.IsAccount()) return outcome.result;
  if (PasswordIsSet(ops.catalog, item, readBack) == false) return OperationResult{Kind::kNotTheSame}.Sent();
  return outcome.result;
}

const PlannedSetting* StrandingSupervisorItem(const Operations& ops, std::span<const PlannedSetting> plan) {
  const RunPasswords& run = ops.session.passwords;
  if (run.file.empty()) return nullptr;
  const std::string_view firstLine = std::string_view(run.own).substr(0, run.own.find('\0'));
  for (const PlannedSetting& p : plan) {
    if (!p.request || !p.passwordChange) continue;
    const SettingInfo* setting = ops.catalog.FindSetting(p.request->itemName);
    if (!setting || setting->password.kind != PasswordItem::kSupervisor) continue;
    if (p.request->NewPasswordText() != firstLine) return &p;
  }
  return nullptr;
}

std::string StrandingItemMessage(const Operations& ops, const PlannedSetting& item, std::string_view file,
                                 std::string_view outcome) {
  // Names from the command line and the file, printed safely.
  const std::string passwords = Printable(std::string_view(ops.session.passwords.file));
  return "Error: the Item \"" + Printable(std::wstring_view(item.name)) + "\" of " + Printable(file) +
         kStrandingItemWords + passwords + ": " + std::string(outcome) +
         " (a notebook given it would refuse every run with " + passwords + ").\n";
}

}  // namespace vort64
