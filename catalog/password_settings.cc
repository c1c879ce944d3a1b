#include "catalog/password_settings.h"

namespace vort64 {
namespace {

// Takes `prefix` off the front of `text`.
bool Take(std::wstring_view& text, std::wstring_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// Takes a drive number 0 to 5 off the front of `text`.
std::optional<uint32_t> TakeDisk(std::wstring_view& text) {
  if (text.empty() || text[0] < L'0' || text[0] >= L'0' + static_cast<wchar_t>(kHardDisks)) return std::nullopt;
  const auto disk = static_cast<uint32_t>(text[0] - L'0');
  text.remove_prefix(1);
  return disk;
}

}  // namespace

PasswordItem ClassifyPasswordItem(std::wstring_view name) {
  if (name == L"set supervisor password") return {PasswordItem::kSupervisor, 0};
  if (name == L"set user password") return {PasswordItem::kUser, 0};
  // "set hddN password", "set hddN(opal) password", "set hddN/hddN(opal) password"
  if (!Take(name, L"set hdd")) return {};
  const auto disk = TakeDisk(name);
  if (!disk) return {};
  if (name == L" password") return {PasswordItem::kHdd, *disk};
  if (name == L"(opal) password") return {PasswordItem::kHddOpal, *disk};
  if (!Take(name, L"/hdd")) return {};
  if (TakeDisk(name) != disk) return {};
  if (name == L"(opal) password") return {PasswordItem::kHddCombined, *disk};
  return {};
}

std::wstring PasswordStatusName(PasswordItem item) {
  switch (item.kind) {
    case PasswordItem::kSupervisor: return L"supervisor password is status";
    case PasswordItem::kUser: return L"user password is status";
    case PasswordItem::kHdd:
    case PasswordItem::kHddOpal:
    case PasswordItem::kHddCombined: {
      const std::wstring drive = L"hdd" + std::to_wstring(item.disk);
      return drive + L"/" + drive + L"(opal) password is status";
    }
    case PasswordItem::kNone: break;
  }
  return {};
}

bool IsPasswordItem(std::wstring_view name) { return ClassifyPasswordItem(name).kind != PasswordItem::kNone; }

std::optional<PasswordSlot> PasswordSlotFor(const InterfaceVersion& version, std::wstring_view name) {
  const bool driveForms = version.Holds(InterfaceRule::kDrivePasswordForms);
  const PasswordItem item = ClassifyPasswordItem(name);
  std::optional<PasswordSlot> slot;
  switch (item.kind) {
    case PasswordItem::kSupervisor: slot = PasswordSlot::kSupervisor; break;
    case PasswordItem::kUser: slot = PasswordSlot::kUser; break;
    case PasswordItem::kHdd:
      if (driveForms) {
        slot = PasswordSlot::kHdd;
      } else if (item.disk == 0) {
        slot = PasswordSlot::kHdd0;
      } else if (item.disk == 1) {
        slot = PasswordSlot::kHdd1;
      }
      break;
    case PasswordItem::kHddOpal:
      if (driveForms) slot = PasswordSlot::kOpal;
      break;
    case PasswordItem::kHddCombined:
      if (version.Holds(InterfaceRule::kCombinedDrivePasswords) && !driveForms) slot = PasswordSlot::kHdd;
      break;
    case PasswordItem::kNone: break;
  }
  if (slot && !version.Offers(*slot)) return std::nullopt;
  return slot;
}

std::optional<uint32_t> PasswordFlagBit(const InterfaceVersion& version, std::wstring_view name) {
  if (!version.Holds(InterfaceRule::kFlaggedPasswords)) return std::nullopt;
  const bool driveForms = version.Holds(InterfaceRule::kDrivePasswordForms);
  const PasswordItem item = ClassifyPasswordItem(name);
  switch (item.kind) {
    case PasswordItem::kSupervisor:
    case PasswordItem::kUser: break;
    case PasswordItem::kHddCombined:
      if (driveForms) return std::nullopt;
      break;
    case PasswordItem::kHdd:
    case PasswordItem::kHddOpal:
      if (!driveForms) return std::nullopt;
      break;
    case PasswordItem::kNone: return std::nullopt;
  }
  return item.FlagBit();
}

}  // namespace vort64
