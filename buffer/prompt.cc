#include "buffer/prompt.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/import_results.h"
#include "buffer/layout.h"
#include "buffer/password_fields.h"
#include "wmi/firmware_methods.h"

namespace vort64 {
namespace {

// A typed word is kept up to this many characters; the rest of a longer
// word is read and dropped, so it cannot spill into the next answer.
constexpr size_t kWordLimit = 255;

// One whitespace-delimited word; nothing at the end of the input. A word
// longer than kWordLimit comes back with one character more than the limit.
std::optional<std::string> ReadWord(std::istream& input) {
  std::string word;
  std::istream::int_type c;
  while ((c = input.get()) != std::istream::traits_type::eof() && std::isspace(c)) {
  }
  while (c != std::istream::traits_type::eof() && !std::isspace(c)) {
    if (word.size() <= kWordLimit) word.push_back(static_cast<char>(c));
    c = input.get();
  }
  if (word.empty()) return std::nullopt;
  return word;
}

bool AcceptTyped(RunContext& ctx, const std::optional<std::string>& word, size_t limit) {
  if (!word) {
    ctx.console.Err("No password entered.\n");
    return false;
  }
  if (!std::all_of(word->begin(), word->end(), IsPasswordCharacter)) {
    ctx.console.Err(kInvalidCharacterMessage);
    return false;
  }
  if (word->size() > limit) {
    ctx.console.Err(kPasswordTooLongMessage);
    return false;
  }
  return true;
}

// The password the firmware methods get: the 16-byte field from 2.56 on,
// the 12-byte field before.
std::string_view FirmwarePassword(const RunContext& ctx, const ParsedRequest& request) {
  if (ctx.version.AtLeast(56)) return {request.currentPassword.data(), request.currentPassword.size()};
  return {request.currentPasswordShort.data(), request.currentPasswordShort.size()};
}

}  // namespace

int PromptPasswordChange(RunContext& ctx, const ParsedRequest& request, std::span<uint8_t> block,
                         uint32_t offset, uint32_t end, bool supervisor, std::istream& input) {
  ctx.console.Out("Enter Current password : \n");
  ctx.console.Flush();
  const auto old = ReadWord(input);
  ctx.console.Out("Enter Changed password : \n");
  ctx.console.Flush();
  const auto fresh = ReadWord(input);

  size_t limit = kLongFormSlot;
  if (ctx.passwordMaxLength != 0) limit = std::min<size_t>(limit, ctx.passwordMaxLength);
  if (!AcceptTyped(ctx, old, limit) || !AcceptTyped(ctx, fresh, limit)) return 0;

  // The changed password is the run's new supervisor password now.
  NewPasswords& passwords = ctx.newPasswords;
  passwords.buffer.fill('\0');
  std::copy(fresh->begin(), fresh->end(), passwords.buffer.begin());
  passwords.written = NewPasswords::kSupervisor;

  // The long form with unused password bytes '0'. An old and a new byte are
  // written as a pair, only where the new byte still lies inside the field.
  FieldWriter field(block, offset, end);
  field.Put(0, static_cast<uint8_t>(old->size()));
  field.Put(kLongFormSlot + 1, static_cast<uint8_t>(fresh->size()));
  for (uint32_t i = 0; i < kLongFormSlot; ++i) {
    if (!field.Has(kLongFormSlot + 2 + i)) break;
    field.Put(1 + i, static_cast<uint8_t>(i < old->size() ? (*old)[i] : kPasswordFiller));
    field.Put(kLongFormSlot + 2 + i, static_cast<uint8_t>(i < fresh->size() ? (*fresh)[i] : kPasswordFiller));
  }

  if (ctx.version.AtLeast(72)) {
    OrBlockByte(block, kPasswordFlagByte, supervisor ? kSupervisorFlag : kUserFlag);
    ctx.console.Say("flag for setting : " + std::to_string(BlockByte(block, kPasswordFlagByte)) + "\n");
  }
  if (ctx.version.AtLeast(55)) KeepClock(block);

  const int32_t code = SetBiosOptions(ctx, FirmwarePassword(ctx, request), block);
  passwords.buffer.fill('\0');
  if (!Passed(code)) {
    if (ctx.results) {
      ctx.results->overallPass = false;
      ctx.results->rebootRequired = false;
    }
    return code;
  }
  return 1;
}

}  // namespace vort64
