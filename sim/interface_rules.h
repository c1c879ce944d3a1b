// How the simulated firmware of one WMI interface version treats what it is
// sent: the form of the password array, what it keeps of a block it stores,
// and which password fields of the block it applies. Pure rules over bytes;
// the machine directory is the firmware's business.
#ifndef VORT64_SIM_INTERFACE_RULES_H_
#define VORT64_SIM_INTERFACE_RULES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/interface_version.h"
#include "catalog/catalog.h"

namespace vort64::sim {

enum class Account { kSupervisor, kUser };

// A password change a sent block asks for.
struct PasswordChange {
  Account account = Account::kSupervisor;
  // The long form carries the password it replaces, to be checked.
  std::optional<std::string> oldPassword;
  std::string newPassword;  // empty: the password is removed
};

class InterfaceRules {
 public:
  // The rules of interface major.minor; those of no interface (an empty
  // setting layout) for a major other than 2.
  InterfaceRules(uint32_t major, uint32_t minor);

  // The password array a caller with `password` sends to this interface:
  // keyboard scan codes below 2.50, 12 bytes below 2.56, 16 from 2.56 on.
  std::vector<uint8_t> PasswordArray(std::string_view password) const;

  // A supervisor or user password as this firmware keeps and compares it:
  // below 2.55 (InterfaceRule::kPasswordCaseKept) in upper case, whatever
  // case it was given in; as given from then on.
  std::string PasswordAsKept(std::string_view password) const;
  // Whether a caller's password array (of `length` characters) is
  // `password`, compared as the firmware keeps passwords.
  bool Matches(int32_t length, const std::vector<uint8_t>& array, std::string_view password) const;

  // The block the firmware stores when it is sent `sent` over `stored` (both
  // whole blocks): it keeps its own clock in a date or time byte sent as 238,
  // keeps 255 in a one-byte setting it marks 255, and keeps the bytes that
  // belong to no setting.
  std::vector<uint8_t> Merge(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& sent) const;

  // The supervisor and user password changes of a sent block: the fields the
  // flag byte names from interface 2.72 on, the fields that changed before.
  std::vector<PasswordChange> PasswordChanges(const std::vector<uint8_t>& stored,
                                              const std::vector<uint8_t>& sent) const;

  // Whether storing `next` over `stored` stores the user defaults: a new 1 in
  // "save settings to user setup defaults".
  bool SavesUserDefaults(const std::vector<uint8_t>& stored, const std::vector<uint8_t>& next) const;

  // Whether the layout has "supervisor password is status" or "user
  // password is status".
  bool HasPasswordStatus() const { return passwordStatus_[0] || passwordStatus_[1]; }
  // Makes those settings of `block` say whether each password is set (1) or
  // not (0); an account given as nothing keeps its byte.
  void KeepPasswordStatus(std::vector<uint8_t>& block, std::optional<bool> supervisorSet,
                          std::optional<bool> userSet) const;

 private:
  // Whether byte 235 flags the password fields (InterfaceRule::kFlaggedPasswords).
  bool FlagByteInUse() const;

  InterfaceVersion version_;
  SettingCatalog catalog_;
  // Per block byte, 1 for the firmware's own: no setting covers it, and it is
  // neither a clock byte nor the password flag byte.
  std::vector<uint8_t> firmwareOwn_;
  std::vector<std::pair<size_t, size_t>> firmwareRanges_;  // the same as [first, end) ranges
  std::vector<uint32_t> oneByteSettings_;                  // the offsets of the one-byte settings
  // The supervisor and user password fields, and the setting that stores
  // the user defaults, as the layout has them (null where it lacks one).
  std::vector<std::optional<SettingInfo>> passwordFields_;
  std::optional<SettingInfo> saveUserDefaults_;
  // "supervisor password is status" and "user password is status".
  std::optional<SettingInfo> passwordStatus_[2];
};

// The setting layout of interface major.minor (minor up to kHighestMinor);
// none for any other version.
inline constexpr uint32_t kHighestMinor = 255;
SettingCatalog LayoutOf(uint32_t major, uint32_t minor);

}  // namespace vort64::sim

#endif  // VORT64_SIM_INTERFACE_RULES_H_
