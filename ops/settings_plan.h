// The Items of a custom-settings file as the command line reads them, and
// the two uses of them that cost the fewest firmware calls: the check, which
// reads the option block once and writes nothing, and the import of the
// whole file in one read, one write and one read back.
#ifndef VORT64_OPS_SETTINGS_PLAN_H_
#define VORT64_OPS_SETTINGS_PLAN_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/parsed_request.h"
#include "ops/executor.h"
#include "ops/outcome.h"
#include "ops/xml/custom_settings_file.h"

namespace vort64 {

struct PlannedSetting {
  // The setting the Item reached, as the result lines show it; the Item's
  // name in lower case when it reached none.
  std::wstring name;
  std::optional<ParsedRequest> request;  // the "/set" the Item stands for
  OperationResult outcome;               // without a request: what became of the Item (absent, refused)
  bool noSuchName = false;               // no interface version has a setting of that name
  // The request names a new password: it goes in a block of its own, after
  // the other settings (ChangePasswordItem).
  bool passwordChange = false;
};

// Reads every Item through the operations' setting parser.
std::vector<PlannedSetting> PlanSettings(const Operations& ops, std::span<const ImportedSetting> items);

// Applies the planned settings with one GetBiosOptions, one SetBiosOptions
// of the block with every value placed, and one GetBiosOptions that each
// setting's bytes are compared with; then each password change in a block
// of its own (ChangePasswordItem) on the block read back. Nothing is sent
// when no value is to be placed, nothing read when no Item reads as a
// setting to place. Answers an outcome per planned setting (a written one
// with the write's code, so 8 marks each of them), or nothing when the
// settings must be applied one by one instead: before any write when the
// file names a setting twice; after the write when the firmware refused
// the block as a whole.
std::optional<std::vector<OperationResult>> ApplyAsOneBlock(Operations& ops, const ParsedRequest& run,
                                                            std::span<const PlannedSetting> plan);

// How one planned setting stands against the block the firmware holds.
struct CheckedSetting {
  // kLacking: a setting this machine lacks or does not support.
  // kUnknown: a name no interface version has.
  enum class State { kSame, kDiffers, kLacking, kInvalid, kUnknown };
  State state = State::kSame;
  std::string current;  // kDiffers: both values as a person reads them (ReadableValue);
  std::string wanted;   // kInvalid: `current` names the values the firmware lists, if any
  std::string note;     // kSame: what the sameness rests on, where it is less than the value itself
  // kSame and kDiffers where the value was placed (not for a password): the
  // block read with the file's value placed.
  std::vector<uint8_t> wantedBlock;
};

// Compares every planned setting with `block`, as read from the firmware:
// a password Item that keeps the password and a clock byte given as 238
// count as the same; a password Item that names a password stands as
// CheckPasswordItem says (a password cannot be read). A
// value the firmware does not list is invalid unless the machine holds it
// now or in its defaults (read with `password` on first need).
std::vector<CheckedSetting> CheckSettings(Operations& ops, std::string_view password,
                                          std::span<const PlannedSetting> plan, std::span<const uint8_t> block);

}  // namespace vort64

#endif  // VORT64_OPS_SETTINGS_PLAN_H_
