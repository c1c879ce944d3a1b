// The password Items of a custom-settings file: what the check can know of
// a password the firmware never shows, and the import's change of one, in a
// block of its own, from the password the run opened the firmware with.
#ifndef VORT64_OPS_PASSWORD_ITEMS_H_
#define VORT64_OPS_PASSWORD_ITEMS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/parsed_request.h"
#include "catalog/catalog.h"
#include "ops/executor.h"
#include "ops/outcome.h"
#include "ops/settings_plan.h"

namespace vort64 {

// How a password Item that names a password stands against `block`.
struct PasswordStanding {
  enum class State { kSame, kDiffers };
  State state = State::kDiffers;
  // kDiffers: the password held as a person may read it: "none" where the
  // status byte says none is set, the mask otherwise.
  std::string current;
  // kSame: what the sameness rests on, where it is less than the password
  // itself; empty when the firmware accepted that very password and its
  // status byte says it is set.
  std::string note;
};

// The supervisor password is the same when the run's accepted password is
// the Item's and the status byte says one is set (below the versions with a
// status byte, when it was accepted: the line says so). Of the user and
// drive passwords only whether one is set can be known: set is the same,
// with a note that says so. Call after the block was read with the run's
// password.
PasswordStanding CheckPasswordItem(const Operations& ops, const SettingInfo& setting, const ParsedRequest& request,
                                   std::span<const uint8_t> block);

// Applies a password Item on `block`, which the firmware has just given
// with the run's password: nothing is sent when the supervisor password it
// names is in force already (the outcome is kPasswordKept); otherwise it is
// placed as /set places it, with the run's accepted password as the old one
// (unless the Item gave the old one itself), sent in a block of its own,
// read back into `readBack` and compared; an account password must then
// show as set in its status byte. `readBack` is 2048 bytes; `readBackDone`
// says whether it was filled by a passed read.
OperationResult ChangePasswordItem(Operations& ops, const ParsedRequest& request, std::span<uint8_t> block,
                                   std::span<uint8_t> readBack, bool& readBackDone);

// When the run's password comes from a password file: the first planned
// Item that sets a supervisor password other than the file's first line (in
// any of its forms). A notebook given that password would refuse every later
// run with the file, and a previous password would undo a rotation, so such
// a file is refused before any firmware call. Nothing when there is none, or
// the password was given on the command line.
const PlannedSetting* StrandingSupervisorItem(const Operations& ops, std::span<const PlannedSetting> plan);

// The line on standard error for such an Item: it names the Item, the
// custom-settings file and the password file, never a password; `outcome`
// ends it ("nothing was checked").
std::string StrandingItemMessage(const Operations& ops, const PlannedSetting& item, std::string_view file,
                                 std::string_view outcome);

}  // namespace vort64

#endif  // VORT64_OPS_PASSWORD_ITEMS_H_
