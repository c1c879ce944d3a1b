#include "cli/password_items.h"

#include <string>

namespace vort64 {
std::optional<NewPasswords::Ref> NewPasswordReference(uint32_t minor, std::wstring_view name) {
  const PasswordItem item = ClassifyPasswordItem(name);
  switch (item.kind) {
    case PasswordItem::kSupervisor:
      return NewPasswords::kSupervisor;
    case PasswordItem::kUser:
      return NewPasswords::kUser;
    case PasswordItem::kHdd:
      if (minor >= 79) return NewPasswords::kHdd;
      if (item.disk == 0) return NewPasswords::kHdd0;
      if (item.disk == 1) return NewPasswords::kHdd1;
      return std::nullopt;
    case PasswordItem::kHddOpal:
      if (minor >= 79) return NewPasswords::kOpal;
      return std::nullopt;
    case PasswordItem::kHddCombined:
      if (minor >= 55 && minor <= 78) return NewPasswords::kHdd;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string_view NewPasswordReferenceName(NewPasswords::Ref ref) {
  switch (ref) {
    case NewPasswords::kSupervisor:
      return "g_new_supervisor_password";
    case NewPasswords::kUser:
      return "g_new_user_password";
    case NewPasswords::kHdd:
      return "g_new_hdd_password";
    case NewPasswords::kOpal:
      return "g_new_opal_password";
    case NewPasswords::kHdd0:
      return "g_new_hdd0_password";
    case NewPasswords::kHdd1:
      return "g_new_hdd1_password";
    default:
      return "";
  }
}

std::optional<uint32_t> PasswordFlagBit(uint32_t minor, std::wstring_view name) {
  if (minor < 72) return std::nullopt;
  const PasswordItem item = ClassifyPasswordItem(name);
  switch (item.kind) {
    case PasswordItem::kSupervisor:
      return 1;
    case PasswordItem::kUser:
      return 2;
    case PasswordItem::kHddCombined:
      if (minor <= 78) return 4u << item.disk;
      return std::nullopt;
    case PasswordItem::kHdd:
    case PasswordItem::kHddOpal:
      if (minor >= 79) return 4u << item.disk;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace vort64
