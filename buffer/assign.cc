#include "buffer/assign.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/console.h"
#include "buffer/layout.h"
#include "buffer/password_fields.h"
#include "buffer/prompt.h"

namespace vort64 {
namespace {

// What one password assignment works with.
struct PasswordStep {
  RunContext& ctx;
  const ParsedRequest& request;
  std::span<uint8_t> block;
  FieldWriter& field;
  PasswordItem item;
};

// The old password of the "current password=OLD,..." form as narrow text;
// empty without the form. A character outside printable ASCII (a blank is
// printable) or a password longer than the interface allows is refused with
// a message, rather than cut or mangled into a different password.
std::optional<std::string> TakeOldPassword(RunContext& ctx, const ParsedRequest& request) {
  std::string old;
  if (!request.formPassword) return old;
  for (wchar_t c : *request.formPassword) {
    if (c < 0x20 || c > 0x7E) {
      ctx.console.Err(kInvalidCharacterMessage);
      return std::nullopt;
    }
    old.push_back(static_cast<char>(c));
  }
  if (old.size() > ctx.passwordMaxLength) {
    ctx.console.Err(kPasswordTooLongMessage);
    return std::nullopt;
  }
  return old;
}

bool IsSingleBlank(std::string_view password) { return password == " "; }

// The new password must fit `room` bytes and, where the firmware insists on
// it, consist of printable non-blank ASCII.
bool AcceptNewPassword(RunContext& ctx, std::string_view password, size_t room, bool checkCharacters) {
  if (checkCharacters && !std::all_of(password.begin(), password.end(), IsPasswordCharacter)) {
    ctx.console.Err(kInvalidCharacterMessage);
    return false;
  }
  if (password.size() > room) {
    ctx.console.Err(kPasswordTooLongMessage);
    return false;
  }
  return true;
}

void OrFlag(std::span<uint8_t> block, uint8_t bit) { OrBlockByte(block, kPasswordFlagByte, bit); }

// The common end of most assignments: from 2.55 on the clock is left alone.
int Placed(RunContext& ctx, std::span<uint8_t> block) {
  if (ctx.version.AtLeast(55)) KeepClock(block);
  return 1;
}

uint8_t AccountFlag(const PasswordItem& item) {
  return item.kind == PasswordItem::kSupervisor ? kSupervisorFlag : kUserFlag;
}

// Supervisor or user password from 2.73 on: the long form.
int AssignAccountLong(PasswordStep& s) {
  const std::string_view fresh = NewPassword(s.ctx);
  if (fresh == kKeepPasswordWord) return 0;
  const auto old = TakeOldPassword(s.ctx, s.request);
  if (!old) return 0;
  uint8_t oldLength = static_cast<uint8_t>(old->size());
  if (IsSingleBlank(*old)) {
    oldLength = s.ctx.version.AtLeast(79) ? 0 : 1;
    s.ctx.console.OutWide(L"Current password is empty\n");
  }
  if (!AcceptNewPassword(s.ctx, fresh, kLongFormSlot, true)) return 0;
  WritePasswordPair(s.field, kLongFormSlot, oldLength, *old, fresh);
  if (s.ctx.version.AtLeast(72)) OrFlag(s.block, AccountFlag(s.item));
  return Placed(s.ctx, s.block);
}

// The short form: supervisor and user passwords before 2.73 (flagged from
// 2.72 on), drive 0 and 1 passwords before 2.79 (never flagged).
int AssignShortForm(PasswordStep& s, bool flagged) {
  const std::string_view fresh = NewPassword(s.ctx);
  if (fresh == kKeepPasswordWord) return 0;
  const size_t room = s.field.size() > kShortFormPasswordStart ? s.field.size() - kShortFormPasswordStart : 0;
  if (!AcceptNewPassword(s.ctx, fresh, room, false)) return 0;
  WriteShortForm(s.field, fresh);
  if (flagged && s.ctx.version.AtLeast(72)) OrFlag(s.block, AccountFlag(s.item));
  return Placed(s.ctx, s.block);
}

void PrintLengths(RunContext& ctx, size_t fresh, size_t old) {
  ctx.console.Out("PasswordLen : " + std::to_string(fresh) + "\n");
  ctx.console.Out("CurrentPasswordLen : " + std::to_string(old) + "\n");
}

void PrintFlagByte(RunContext& ctx, std::span<const uint8_t> block) {
  ctx.console.Out("Debug AssignData[235]: " + std::to_string(BlockByte(block, kPasswordFlagByte)) + "\n");
}

// A drive password from 2.79 on: the long form.
int AssignHddLong(PasswordStep& s) {
  const std::string_view fresh = NewPassword(s.ctx);
  if (fresh == kKeepPasswordWord) return 0;
  const auto old = TakeOldPassword(s.ctx, s.request);
  if (!old) return 0;
  PrintLengths(s.ctx, fresh.size(), old->size());
  uint8_t oldLength = static_cast<uint8_t>(old->size());
  if (IsSingleBlank(*old)) {
    oldLength = s.ctx.version.AtLeast(80) ? 0 : 1;
    s.ctx.console.OutWide(L"Current password is empty\n");
  } else {
    s.ctx.console.OutWide(L"Current password is not empty\n");
  }
  if (!AcceptNewPassword(s.ctx, fresh, kLongFormSlot, true)) return 0;
  WritePasswordPair(s.field, kLongFormSlot, oldLength, *old, fresh);
  if (s.ctx.version.AtLeast(72)) OrFlag(s.block, DriveFlag(s.item.disk));
  if (s.ctx.version.AtLeast(55)) KeepClock(s.block);
  s.ctx.console.Out("\n");
  PrintFlagByte(s.ctx, s.block);
  return 1;
}

// Prints a drive's OPAL field, ten bytes to a line as the block counts them.
void DumpOpalField(RunContext& ctx, std::span<const uint8_t> block, uint32_t drive) {
  const uint32_t first = kOpalFieldFirstByte + drive * kOpalFieldSize;
  std::string text;
  bool lineOpen = false;
  for (uint32_t i = first; i < first + kOpalFieldSize && i < block.size(); ++i) {
    text += std::to_string(block[i]) + ",";
    lineOpen = i % 10 != 9;
    if (!lineOpen) text += "\n";
  }
  if (lineOpen) text += "\n";
  ctx.console.Out(text);
}

// An OPAL drive password from 2.79 on: the OPAL form.
int AssignOpal(PasswordStep& s) {
  const std::string_view fresh = NewPassword(s.ctx);
  if (fresh == kKeepPasswordWord) return 0;
  const auto old = TakeOldPassword(s.ctx, s.request);
  if (!old) return 0;
  PrintLengths(s.ctx, fresh.size(), old->size());
  uint8_t oldLength = static_cast<uint8_t>(old->size());
  std::string_view oldBytes = *old;
  if (IsSingleBlank(*old)) {
    // No password yet: the whole old part stays zero.
    oldLength = 0;
    oldBytes = {};
    s.ctx.console.OutWide(L"Current password is empty\n");
  } else {
    s.ctx.console.OutWide(L"Current password is not empty\n");
  }
  if (!AcceptNewPassword(s.ctx, fresh, kOpalFormSlot, true)) return 0;
  WritePasswordPair(s.field, kOpalFormSlot, oldLength, oldBytes, fresh);
  if (s.ctx.version.AtLeast(72)) {
    if (s.item.disk == 0) {
      PutBlockByte(s.block, kPasswordFlagByte, DriveFlag(0));
    } else {
      OrFlag(s.block, DriveFlag(s.item.disk));
    }
  }
  if (s.ctx.version.AtLeast(55)) KeepClock(s.block);
  PrintFlagByte(s.ctx, s.block);
  s.ctx.console.Out("\nDebug AssignData: \n");
  DumpOpalField(s.ctx, s.block, s.item.disk);
  s.ctx.console.Out("Debug End \n");
  return 1;
}

// A combined drive password ("set hdd0/hdd0(opal) password") from 2.73 on.
int AssignHddCombined(PasswordStep& s) {
  const std::string_view fresh = NewPassword(s.ctx);
  if (fresh == kKeepPasswordWord) return 0;
  const auto old = TakeOldPassword(s.ctx, s.request);
  if (!old) return 0;
  if (!AcceptNewPassword(s.ctx, fresh, kLongFormSlot, false)) return 0;
  WritePasswordPair(s.field, kLongFormSlot, static_cast<uint8_t>(old->size()), *old, fresh);
  if (s.ctx.version.AtLeast(72)) PutBlockByte(s.block, kPasswordFlagByte, DriveFlag(s.item.disk));
  return Placed(s.ctx, s.block);
}

// The password items; -1 when the name and version call for another rule.
int AssignPassword(PasswordStep& s) {
  const WmiVersion& v = s.ctx.version;
  switch (s.item.kind) {
    case PasswordItem::kSupervisor:
    case PasswordItem::kUser: return v.AtLeast(73) ? AssignAccountLong(s) : AssignShortForm(s, true);
    case PasswordItem::kHdd:
      if (v.AtLeast(79)) return AssignHddLong(s);
      if (s.item.disk <= 1) return AssignShortForm(s, false);
      return -1;
    case PasswordItem::kHddOpal: return v.AtLeast(79) ? AssignOpal(s) : -1;
    case PasswordItem::kHddCombined: return v.AtLeast(73) ? AssignHddCombined(s) : -1;
    case PasswordItem::kNone: return -1;
  }
  return -1;
}

template <size_t N>
std::string_view TagText(const std::array<char, N>& tag) {
  return {tag.data(), static_cast<size_t>(std::find(tag.begin(), tag.end(), '\0') - tag.begin())};
}

template <size_t N>
void PutBytes(FieldWriter& field, const std::array<uint8_t, N>& bytes) {
  for (uint32_t i = 0; i < N; ++i) field.Put(i, bytes[i]);
}

}  // namespace

int AssignSettingValue(RunContext& ctx, const ParsedRequest& request, std::span<uint8_t> block, uint32_t offset,
                       uint32_t end, bool selfTest, std::istream& input) {
  const std::wstring& name = request.itemName;
  const PasswordItem item = ClassifyPasswordItem(name);
  if (selfTest && (item.kind == PasswordItem::kSupervisor || item.kind == PasswordItem::kUser)) {
    return PromptPasswordChange(ctx, request, block, offset, end, item.kind == PasswordItem::kSupervisor, input);
  }
  if (request.functionName == L"set" && name == L"flag for setting password") {
    // The flag byte is preset to the user bit; the setting's own value follows.
    PutBlockByte(block, kPasswordFlagByte, kUserFlag);
  }

  FieldWriter field(block, offset, end);
  PasswordStep step{ctx, request, block, field, item};
  if (const int placed = AssignPassword(step); placed >= 0) return placed;

  if (name == L"time") {
    const auto& t = request.timeValue;  // hour, minute, second
    field.Put(0, t[2]);
    field.Put(1, t[1]);
    field.Put(2, t[0]);
    if (ctx.version.AtLeast(55)) KeepDate(block);
    return 1;
  }
  if (name == L"date") {
    PutBytes(field, request.dateValue);
    if (ctx.version.AtLeast(55)) KeepTime(block);
    return 1;
  }
  if (name == L"gpt partition record") {
    PutBytes(field, request.gptRecord);
    return Placed(ctx, block);
  }
  if (name == L"boot priority order") {
    PutBytes(field, request.bootOrder);
    return Placed(ctx, block);
  }
  if (name == L"customized mac address") {
    PutBytes(field, request.macAddress);
    return Placed(ctx, block);
  }
  if (name == L"asset tag number" || name == L"ownership tag number") {
    const std::string_view tag = name == L"asset tag number" ? TagText(request.assetTag) : TagText(request.ownershipTag);
    field.PutText(0, field.size(), tag, 0);
    return 1;
  }
  // A setting without bytes (a name the catalog does not hold) takes nothing.
  if (field.size() == 0) return 0;
  field.Put(0, request.byteValue);
  return Placed(ctx, block);
}

int CompareWrittenSetting(RunContext& ctx, const ParsedRequest& request, std::span<const uint8_t> written,
                          std::span<const uint8_t> readBack, uint32_t offset, uint32_t end) {
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
    ctx.console.Say(same ? "Comparison result : The same. \n" : "Comparison result : Not the same. \n\n");
    return same ? 0 : 1;
  };

  const size_t n = NewPassword(ctx).size();
  const size_t at = offset;
  const std::wstring& name = request.itemName;
  const PasswordItem::Kind kind = ClassifyPasswordItem(name).kind;
  const bool account = kind == PasswordItem::kSupervisor || kind == PasswordItem::kUser;
  if (account && ctx.version.AtLeast(73)) {
    if (agree(at + 1, at + 1 + n)) return 0;
    return report(agree(at + 2, at + 2 + n));
  }
  if (kind == PasswordItem::kUser || name == L"set hdd0 password" || name == L"set hdd1 password") {
    return report(agree(at + 2, at + 2 + n));
  }
  return report(agree(at, std::max<size_t>(at, end)));
}

}  // namespace vort64
