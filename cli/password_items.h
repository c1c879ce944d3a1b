// The password settings by name: which new-password reference a name writes
// through, and which bit of the password flag byte it stands for.
#ifndef VORT64_CLI_PASSWORD_ITEMS_H_
#define VORT64_CLI_PASSWORD_ITEMS_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/run_context.h"
#include "catalog/password_items.h"

namespace vort64 {

// The new-password reference a password item writes through on interface
// minor `minor`; nothing when the version does not route that name.
std::optional<NewPasswords::Ref> NewPasswordReference(uint32_t minor, std::wstring_view name);

// "g_new_supervisor_password" and its siblings.
std::string_view NewPasswordReferenceName(NewPasswords::Ref ref);

// The bit of the password flag byte for a password item, from interface 2.72
// on; nothing for other names and versions.
std::optional<uint32_t> PasswordFlagBit(uint32_t minor, std::wstring_view name);

}  // namespace vort64

#endif  // VORT64_CLI_PASSWORD_ITEMS_H_
