#include "buffer/assign.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "catalog/value_codecs.h"

namespace vort64 {
namespace {

void SayOut(Messages& said, std::string text) { said.push_back({Message::Stream::kOut, std::move(text)}); }
void SayErr(Messages& said, std::string text) { said.push_back({Message::Stream::kErr, std::move(text)}); }

// What one password assignment works with.
struct PasswordStep {
  const InterfaceVersion& version;
  Messages& said;
  const ParsedRequest& request;
  std::span<uint8_t> block;
  FieldWriter& field;
  PasswordItem item;
};

// The old password of the "current password=OLD,..." form as narrow text;
// empty without the form. A character outside printable ASCII (a blank is
// printable) or a password longer than the interface allows is refused with
// a message, rather than cut or mangled into a different password.
std::optional<std::string> TakeOldPassword(const InterfaceVersion& version, const ParsedRequest& request,
                                           Messages& said) {
  std::string old;
  if (!request.formPassword) return old;
  for (wchar_t c : *request.formPassword) {
    if (c < 0x20 || c > 0x7E) {
      SayErr(said, kInvalidCharacterMessage);
      return std::nullopt;
    }
    old.push_back(static_cast<char>(c));
  }
  if (old.size() > version.PasswordMaxLength()) {
    SayErr(said, kPasswordTooLongMessage);
    return std::nullopt;
  }
  return old;
}

bool IsSingleBlank(std::string_view password) { return password == " "; }

// The new password must fit `room` bytes and, where the firmware insists on
// it, consist of printable non-blank ASCII.
bool AcceptNewPassword(std::string_view password, size_t room, bool checkCharacters, Messages& said) {
  if (checkCharacters && !std::all_of(password.begin(), password.end(), IsPasswordCharacter)) {
    SayErr(said, kInvalidCharacterMessage);
    return false;
  }
  if (password.size() > room) {
    SayErr(said, kPasswordTooLongMessage);
    return false;
  }
  return true;
}

void OrFlag(std::span<uint8_t> block, uint8_t bit) { OrBlockByte(block, kPasswordFlagByte, bit); }

// The common end of most assignments: with the clock kept, the clock bytes
// ask the firmware to leave its clock alone.
Placement Placed(const InterfaceVersion& version, std::span<uint8_t> block) {
  if (version.Holds(InterfaceRule::kClockKept)) KeepClock(block);
  return Placement::kPlaced;
}

// The short form: supervisor and user passwords before the long form
// (flagged where the flag byte is read), drive 0 and 1 passwords before the
// drive forms (never flagged).
Placement AssignShortForm(PasswordStep& s, bool flagged) {
  const std::string_view fresh = s.request.NewPasswordText();
  if (fresh == kKeepPasswordWord) return Placement::kKept;
  const size_t room = s.field.size() > kShortFormPasswordStart ? s.field.size() - kShortFormPasswordStart : 0;
  if (!AcceptNewPassword(fresh, room, false, s.said)) return Placement::kRefused;
  WriteShortForm(s.field, fresh);
  if (flagged && s.version.Holds(InterfaceRule::kFlaggedPasswords)) OrFlag(s.block, s.item.FlagBit());
  return Placed(s.version, s.block);
}

void SayLengths(Messages& said, size_t fresh, size_t old) {
  SayOut(said, "PasswordLen : " + std::to_string(fresh) + "\n");
  SayOut(said, "CurrentPasswordLen : " + std::to_string(old) + "\n");
}

void SayFlagByte(Messages& said, std::span<const uint8_t> block) {
  SayOut(said, "Debug AssignData[235]: " + std::to_string(BlockByte(block, kPasswordFlagByte)) + "\n");
}

// Prints a drive's OPAL field, ten bytes to a line as the block counts them.
// The two lengths show as numbers; a password character shows as "*" (the
// output goes to logs), the zeros after a password as 0.
void DumpOpalField(Messages& said, std::span<const uint8_t> block, uint32_t drive) {
  const uint32_t first = kOpalFieldFirstByte + drive * kOpalFieldSize;
  std::string text;
  bool lineOpen = false;
  for (uint32_t i = first; i < first + kOpalFieldSize && i < block.size(); ++i) {
    const bool length = i == first || i == first + kOpalFormSlot + 1;
    text += (length || block[i] == 0 ? std::to_string(block[i]) : "*") + ",";
    lineOpen = i % 10 != 9;
    if (!lineOpen) text += "\n";
  }
  if (lineOpen) text += "\n";
  SayOut(said, text);
}

// How a password form with the old password beside the new one (the long
// and the OPAL form) is filled and what it prints.
struct PairForm {
  uint32_t slot;       // bytes for each password
  bool printableOnly;  // the new password: printable non-blank ASCII only
  bool reportsOld;     // "PasswordLen", "CurrentPasswordLen", "Current password is (not) empty"
  enum class BlankOld { kAsTyped, kLengthByRule, kZeroed } blankOld;  // the old password " "
  InterfaceRule blankOldLengthZero;  // kLengthByRule: from this rule on length 0, before it 1
  enum class Flag { kAdd, kReplace, kReplaceForDriveZero } flag;
  enum class Trailer { kNone, kFlagByte, kOpalDump } trailer;
};

// The forms, one to a line: slot, printable only, reports the old password,
// a blank old password, from which rule its length is 0, the flag, the
// trailer. Drive 0's OPAL password sets its flag bit alone, clearing any
// other the block held, while drives 1 to 5 add theirs: the firmware reads
// it this way, so keep it.
using BlankOld = PairForm::BlankOld;
using Flag = PairForm::Flag;
using Trailer = PairForm::Trailer;
using enum InterfaceRule;
// clang-format off
// Supervisor and user passwords in the long form.
constexpr PairForm kAccountLongForm{kLongFormSlot, true, false, BlankOld::kLengthByRule, kEmptyOldAccountPasswordAsZero, Flag::kAdd, Trailer::kNone};
// "set hddN password" with the drive forms.
constexpr PairForm kDriveLongForm{kLongFormSlot, true, true, BlankOld::kLengthByRule, kEmptyOldDrivePasswordAsZero, Flag::kAdd, Trailer::kFlagByte};
// "set hddN(opal) password" with the drive forms.
constexpr PairForm kOpalForm{kOpalFormSlot, true, true, BlankOld::kZeroed, kEmptyOldDrivePasswordAsZero, Flag::kReplaceForDriveZero, Trailer::kOpalDump};
// "set hddN/hddN(opal) password" in the long form: the old password as typed.
constexpr PairForm kCombinedDriveForm{kLongFormSlot, false, false, BlankOld::kAsTyped, kEmptyOldDrivePasswordAsZero, Flag::kReplace, Trailer::kNone};
// clang-format on

Placement AssignPairForm(PasswordStep& s, const PairForm& form) {
  const std::string_view fresh = s.request.NewPasswordText();
  if (fresh == kKeepPasswordWord) return Placement::kKept;
  const auto old = TakeOldPassword(s.version, s.request, s.said);
  if (!old) return Placement::kRefused;
  if (form.reportsOld) SayLengths(s.said, fresh.size(), old->size());
  uint8_t oldLength = static_cast<uint8_t>(old->size());
  std::string_view oldBytes = *old;
  if (form.blankOld != PairForm::BlankOld::kAsTyped && IsSingleBlank(*old)) {
    if (form.blankOld == PairForm::BlankOld::kZeroed) {
      // No password yet: the whole old part stays zero.
      oldLength = 0;
      oldBytes = {};
    } else {
      oldLength = s.version.Holds(form.blankOldLengthZero) ? 0 : 1;
    }
    SayOut(s.said, "Current password is empty\n");
  } else if (form.reportsOld) {
    SayOut(s.said, "Current password is not empty\n");
  }
  if (!AcceptNewPassword(fresh, form.slot, form.printableOnly, s.said)) return Placement::kRefused;
  WritePasswordPair(s.field, form.slot, oldLength, oldBytes, fresh);
  if (s.version.Holds(InterfaceRule::kFlaggedPasswords)) {
    const bool replace = form.flag == PairForm::Flag::kReplace ||
                         (form.flag == PairForm::Flag::kReplaceForDriveZero && s.item.disk == 0);
    if (replace) {
      PutBlockByte(s.block, kPasswordFlagByte, s.item.FlagBit());
    } else {
      OrFlag(s.block, s.item.FlagBit());
    }
  }
  Placed(s.version, s.block);
  switch (form.trailer) {
    case PairForm::Trailer::kNone: break;
    case PairForm::Trailer::kFlagByte:
      SayOut(s.said, "\n");
      SayFlagByte(s.said, s.block);
      break;
    case PairForm::Trailer::kOpalDump:
      SayFlagByte(s.said, s.block);
      SayOut(s.said, "\nDebug AssignData: \n");
      DumpOpalField(s.said, s.block, s.item.disk);
      SayOut(s.said, "Debug End \n");
      break;
  }
  return Placement::kPlaced;
}

// The password items; nothing when the name and version call for another rule.
std::optional<Placement> AssignPassword(PasswordStep& s) {
  const InterfaceVersion& v = s.version;
  const bool longForm = v.Holds(InterfaceRule::kLongPasswordForm);
  const bool driveForms = v.Holds(InterfaceRule::kDrivePasswordForms);
  switch (s.item.kind) {
    case PasswordItem::kSupervisor:
    case PasswordItem::kUser: return longForm ? AssignPairForm(s, kAccountLongForm) : AssignShortForm(s, true);
    case PasswordItem::kHdd:
      if (driveForms) return AssignPairForm(s, kDriveLongForm);
      if (s.item.disk <= 1) return AssignShortForm(s, false);
      return std::nullopt;
    case PasswordItem::kHddOpal:
      if (driveForms) return AssignPairForm(s, kOpalForm);
      return std::nullopt;
    case PasswordItem::kHddCombined:
      if (longForm) return AssignPairForm(s, kCombinedDriveForm);
      return std::nullopt;
    case PasswordItem::kNone: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

Placement AssignSettingValue(const InterfaceVersion& version, const ParsedRequest& request, std::span<uint8_t> block,
                             uint32_t offset, uint32_t end, Messages& said) {
  const std::wstring& name = request.itemName;
  if (request.function == Function::kSet && name == kPasswordFlagSetting) {
    // The flag byte is preset to the user bit; the setting's own value follows.
    PutBlockByte(block, kPasswordFlagByte, kUserFlag);
  }

  FieldWriter field(block, offset, end);
  const ValueCodec& codec = CodecOf(KindOfSetting(name));
  if (codec.passwordForms) {
    PasswordStep step{version, said, request, block, field, ClassifyPasswordItem(name)};
    if (const auto placed = AssignPassword(step)) return *placed;
    // A drive password the version has no form for: its first byte 0.
    if (field.size() == 0) return Placement::kRefused;
    field.Put(0, 0);
    return Placed(version, block);
  }
  // A setting without bytes (a name the catalog does not hold) takes nothing.
  if (field.size() == 0) return Placement::kRefused;
  const std::span<const uint8_t> value = request.value.span();
  for (uint32_t i = 0; i < field.size(); ++i) {
    if (i < value.size()) {
      field.Put(i, value[i]);
    } else if (codec.fillsField) {
      field.Put(i, 0);
    }
  }
  if (!version.Holds(InterfaceRule::kClockKept)) return Placement::kPlaced;
  switch (codec.clock) {
    case ClockEffect::kNone: break;
    case ClockEffect::kKeepDate: KeepDate(block); break;
    case ClockEffect::kKeepTime: KeepTime(block); break;
    case ClockEffect::kKeepClock: KeepClock(block); break;
  }
  return Placement::kPlaced;
}

Comparison CompareWrittenSetting(const InterfaceVersion& version, const ParsedRequest& request,
                                 std::span<const uint8_t> written, std::span<const uint8_t> readBack, uint32_t offset,
                                 uint32_t end, Messages& said) {
  // Bytes [first, last) agree when both blocks hold them and they are equal.
  const auto agree = [&](size_t first, size_t last) {
    const auto slice = [&](std::span<const uint8_t> block) {
      const size_t a = std::min(first, block.size());
      return block.subspan(a, std::clamp(last, a, block.size()) - a);
    };
    const auto w = slice(written);
    const auto r = slice(readBack);
    return w.size() == r.size() && std::equal(w.begin(), w.end(), r.begin());
  };
  const auto report = [&](bool same) {
    said.push_back(
        {Message::Stream::kSay, same ? "Comparison result : The same. \n" : "Comparison result : Not the same. \n\n"});
    return same ? Comparison::kSame : Comparison::kDifferent;
  };

  const size_t n = request.NewPasswordText().size();
  const size_t at = offset;
  const std::wstring& name = request.itemName;
  const PasswordItem item = ClassifyPasswordItem(name);
  if (item.IsAccount() && version.Holds(InterfaceRule::kLongPasswordForm)) {
    if (agree(at + 1, at + 1 + n)) return Comparison::kSame;
    return report(agree(at + 2, at + 2 + n));
  }
  if (item.kind == PasswordItem::kUser || (item.kind == PasswordItem::kHdd && item.disk <= 1)) {
    return report(agree(at + 2, at + 2 + n));
  }
  if (CodecOf(KindOfSetting(name)).keptClockBytes) {
    // A clock byte (391 to 396) sent as 238 asks the firmware to keep its own
    // value: it reads back as the firmware's clock, not as 238. Anywhere
    // else 238 is a byte like any other.
    for (size_t i = at; i < std::max<size_t>(at, end); ++i) {
      const bool clockByte = i >= kClockFirstByte && i < kClockEndByte;
      if (clockByte && i < written.size() && written[i] == kDoNotChange) continue;
      if (!agree(i, i + 1)) return report(false);
    }
    return report(true);
  }
  return report(agree(at, std::max<size_t>(at, end)));
}

void PlacePromptedPasswords(const InterfaceVersion& version, std::span<uint8_t> block, uint32_t offset, uint32_t end,
                            std::string_view old, std::string_view fresh, bool supervisor, Messages& said) {
  // An old and a new byte are written as a pair, only where the new byte
  // still lies inside the field.
  FieldWriter field(block, offset, end);
  field.Put(0, static_cast<uint8_t>(old.size()));
  field.Put(kLongFormSlot + 1, static_cast<uint8_t>(fresh.size()));
  for (uint32_t i = 0; i < kLongFormSlot; ++i) {
    if (!field.Has(kLongFormSlot + 2 + i)) break;
    field.Put(1 + i, static_cast<uint8_t>(i < old.size() ? old[i] : kPasswordFiller));
    field.Put(kLongFormSlot + 2 + i, static_cast<uint8_t>(i < fresh.size() ? fresh[i] : kPasswordFiller));
  }
  if (version.Holds(InterfaceRule::kFlaggedPasswords)) {
    OrBlockByte(block, kPasswordFlagByte, supervisor ? kSupervisorFlag : kUserFlag);
    said.push_back(
        {Message::Stream::kSay, "flag for setting : " + std::to_string(BlockByte(block, kPasswordFlagByte)) + "\n"});
  }
  if (version.Holds(InterfaceRule::kClockKept)) KeepClock(block);
}

}  // namespace vort64
