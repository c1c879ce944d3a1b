#include "cli/password_items.h"

#include <string>

namespace vort64 {
namespace {

constexpr uint32_t kDisks = 6;

std::wstring HddName(PasswordItem::Kind kind, uint32_t disk) {
  const std::wstring n = std::to_wstring(disk);
  switch (kind) {
    case PasswordItem::kHdd:
      return L"set hdd" + n + L" password";
    case PasswordItem::kHddOpal:
      return L"set hdd" + n + L"(opal) password";
    case PasswordItem::kHddCombined:
      return L"set hdd" + n + L"/hdd" + n + L"(opal) password";
    default:
      return {};
  }
}

}  // namespace

PasswordItem ClassifyPasswordItem(std::wstring_view name) {
  if (name == L"set supervisor password") return {PasswordItem::kSupervisor, 0};
  if (name == L"set user password") return {PasswordItem::kUser, 0};
  for (const auto kind : {PasswordItem::kHdd, PasswordItem::kHddOpal, PasswordItem::kHddCombined}) {
    for (uint32_t disk = 0; disk < kDisks; ++disk) {
      if (name == HddName(kind, disk)) return {kind, disk};
    }
  }
  return {};
}

bool IsPasswordItem(std::wstring_view name) {
  return ClassifyPasswordItem(name).kind != PasswordItem::kNone;
}

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
