// The password settings by name: the supervisor and user passwords and the
// hard-disk passwords in their three naming patterns.
#ifndef VORT64_CATALOG_PASSWORD_ITEMS_H_
#define VORT64_CATALOG_PASSWORD_ITEMS_H_

#include <cstdint>
#include <string_view>

namespace vort64 {

struct PasswordItem {
  enum Kind {
    kNone,
    kSupervisor,   // "set supervisor password"
    kUser,         // "set user password"
    kHdd,          // "set hddN password"
    kHddOpal,      // "set hddN(opal) password"
    kHddCombined,  // "set hddN/hddN(opal) password" (interfaces 2.73 to 2.78)
  };
  Kind kind = kNone;
  uint32_t disk = 0;  // N, 0 to 5, for the hard-disk kinds
};

inline constexpr uint32_t kHardDisks = 6;

// Exact comparison: a name typed in another case is no password item.
PasswordItem ClassifyPasswordItem(std::wstring_view name);

// The names whose value is a new password.
bool IsPasswordItem(std::wstring_view name);

}  // namespace vort64

#endif  // VORT64_CATALOG_PASSWORD_ITEMS_H_
