#include "catalog/password_items.h"

#include <string>

namespace vort64 {
namespace {

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
    for (uint32_t disk = 0; disk < kHardDisks; ++disk) {
      if (name == HddName(kind, disk)) return {kind, disk};
    }
  }
  return {};
}

bool IsPasswordItem(std::wstring_view name) {
  return ClassifyPasswordItem(name).kind != PasswordItem::kNone;
}

}  // namespace vort64
