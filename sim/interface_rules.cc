#include "sim/interface_rules.h"

#include <algorithm>
#include <span>

#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "sim/simulated_firmware.h"
#include "wmi/firmware_facts.h"

namespace vort64::sim {
namespace {

// The password fields of the block. The long form: the old password's
// length and 16 bytes, the new password's length and 16 bytes. The short
// form: the new password's length, one byte, the new password.
constexpr size_t kLongFormSize = 34;
constexpr size_t kLongFormOldLength = 0;
constexpr size_t kLongFormNewLength = 17;
constexpr size_t kLongFormPasswordBytes = 16;
constexpr size_t kShortFormPassword = 2;

constexpr struct {
  Account account;
  uint8_t flag;
  const wchar_t* setting;
} kPasswordFields[] = {
    {Account::kSupervisor, kSupervisorFlag, L"set supervisor password"},
    {Account::kUser, kUserFlag, L"set user password"},
};

std::string Text(std::span<const uint8_t> field, size_t at, size_t length) {
  length = std::min(length, field.size() - std::min(at, field.size()));
  const auto begin = field.begin() + static_cast<std::ptrdiff_t>(std::min(at, field.size()));
  return std::string(begin, begin + static_cast<std::ptrdiff_t>(length));
}

}  // namespace

SettingCatalog LayoutOf(uint32_t major, uint32_t minor) {
  SettingCatalog catalog;
  if (major == 2 && minor <= kHighestMinor) BuildSettingCatalog(catalog, major, minor);
  return catalog;
}

InterfaceRules::InterfaceRules(uint32_t major, uint32_t minor)
    : version_{major, minor}, catalog_(LayoutOf(major, minor)), firmwareOwn_(kSettingsBufferSize, 1) {
  for (const auto& [name, info] : catalog_.settings()) {
    for (size_t i = info.offset; i < size_t{info.offset} + info.size && i < kSettingsBufferSize; ++i) {
      firmwareOwn_[i] = 0;
    }
    if (info.size == 1 && info.offset < kSettingsBufferSize) oneByteSettings_.push_back(info.offset);
  }
  // The clock bytes are merged by their own rule. From 2.72 on byte 235
  // flags the password fields to apply, and once they are the flag is spent;
  // before, it is a byte like any other.
  for (size_t i = kClockFirstByte; i < kClockEndByte; ++i) firmwareOwn_[i] = 0;
  if (FlagByteInUse()) firmwareOwn_[kPasswordFlagByte] = 0;
  for (size_t i = 0; i < firmwareOwn_.size();) {
    if (!firmwareOwn_[i]) {
      ++i;
      continue;
    }
    const size_t first = i;
    while (i < firmwareOwn_.size() && firmwareOwn_[i]) ++i;
    firmwareRanges_.emplace_back(first, i);
  }
  const auto find = [this](std::wstring_view name) -> std::optional<SettingInfo> {
    const SettingInfo* info = catalog_.FindSetting(name);
    return info ? std::optional(*info) : std::nullopt;
  };
  for (const auto& f : kPasswordFields) passwordFields_.push_back(find(f.setting));
  saveUserDefaults_ = find(L"save settings to user setup defaults");
  passwordStatus_[0] = find(PasswordStatusName({PasswordItem::kSupervisor}));
  passwordStatus_[1] = find(PasswordStatusName({PasswordItem::kUser}));
}

void InterfaceRules::KeepPasswordStatus(std::vector<uint8_t>& block, std::optional<bool> supervisorSet,
                                        std::optional<bool> userSet) const {
  const std::optional<bool> set[] = {supervisorSet, userSet};
  for (size_t i = 0; i < 2; ++i) {
    const auto& field = passwordStatus_[i];
    if (field && set[i] && field->size >= 1 && field->offset < block.size()) block[field->offset] = *set[i] ? 1 : 0;
  }
}

bool InterfaceRules::FlagByteInUse() const { return version_.Holds(InterfaceRule::kFlaggedPasswords); }

std::vector<uint8_t> InterfaceRules::PasswordArray(std::string_view password) const {
  const size_t length = version_.Holds(InterfaceRule::kLongPasswords) ? kPasswordArrayLong : kPasswordArrayShort;
  const bool scanCodes = version_.SendsScanCodes();
  std::vector<uint8_t> array(length, 0);
  for (size_t i = 0; i < password.size() && i < length; ++i) {
    array[i] = scanCodes ? static_cast<uint8_t>(UsKeyboardScan(password[i]) & 0xFF) : static_cast<uint8_t>(password[i]);
  }
  return array;
}

std::string InterfaceRules::PasswordAsKept(std::string_view password) const {
  std::string kept(password);
  if (version_.Supported() && !version_.Holds(InterfaceRule::kPasswordCaseKept)) {
    for (char& c : kept) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return kept;
}

bool InterfaceRules::Matches(int32_t length, const std::vector<uint8_t>& array, std::string_view password) const {
  const std::string kept = PasswordAsKept(password);
  if (length != static_cast<int32_t>(kept.size())) return false;
  // Characters sent are compared as kept; scan codes know no case anyway.
  std::vector<uint8_t> sent = array;
  if (!version_.SendsScanCodes()) {
    const std::string text = PasswordAsKept(std::string(sent.begin(), sent.end()));
    sent.assign(text.begin(), text.end());
  }
  return sent == PasswordArray(kept);
}

std::vector<uint8_t> InterfaceRules::Merge(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& sent) const {
  std::vector<uint8_t> merged = sent;
  for (size_t i = kClockFirstByte; i < kClockEndByte; ++i) {
    if (sent[i] == kDoNotChange) merged[i] = stored[i];
  }
  for (const uint32_t offset : oneByteSettings_) {
    if (stored[offset] == kNotSupported) merged[offset] = kNotSupported;
  }
  // Bytes that belong to no setting are the firmware's own.
  for (const auto& [first, end] : firmwareRanges_) {
    std::copy(stored.begin() + static_cast<std::ptrdiff_t>(first), stored.begin() + static_cast<std::ptrdiff_t>(end),
              merged.begin() + static_cast<std::ptrdiff_t>(first));
  }
  if (FlagByteInUse()) merged[kPasswordFlagByte] = 0;
  return merged;
}

std::vector<PasswordChange> InterfaceRules::PasswordChanges(const std::vector<uint8_t>& stored,
                                                            const std::vector<uint8_t>& sent) const {
  const bool flagged = FlagByteInUse();
  std::vector<PasswordChange> changes;
  for (size_t k = 0; k < std::size(kPasswordFields); ++k) {
    const auto& f = kPasswordFields[k];
    const std::optional<SettingInfo>& info = passwordFields_[k];
    if (!info || info->offset > kSettingsBufferSize || info->size > kSettingsBufferSize - info->offset) continue;
    const auto field = std::span(sent).subspan(info->offset, info->size);
    const bool changed = !std::equal(field.begin(), field.end(), stored.begin() + info->offset);
    if (flagged ? !(sent[kPasswordFlagByte] & f.flag) : !changed) continue;
    PasswordChange change;
    change.account = f.account;
    if (field.size() >= kLongFormSize) {
      const size_t oldLength = std::min<size_t>(field[kLongFormOldLength], kLongFormPasswordBytes);
      const size_t newLength = std::min<size_t>(field[kLongFormNewLength], kLongFormPasswordBytes);
      change.oldPassword = PasswordAsKept(Text(field, kLongFormOldLength + 1, oldLength));
      change.newPassword = PasswordAsKept(Text(field, kLongFormNewLength + 1, newLength));
    } else if (field.size() >= kShortFormPassword) {
      change.newPassword = PasswordAsKept(Text(field, kShortFormPassword, field[0]));
    } else {
      continue;
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

bool InterfaceRules::SavesUserDefaults(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& next) const {
  const std::optional<SettingInfo>& info = saveUserDefaults_;
  return info && info->offset < kSettingsBufferSize && next[info->offset] == 1 && stored[info->offset] != 1;
}

}  // namespace vort64::sim
