#include "ops/password_prompt.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "base/console.h"
#include "base/terminal.h"
#include "buffer/assign.h"
#include "buffer/block_fields.h"
#include "buffer/layout.h"
#include "ops/executor.h"
#include "ops/firmware_calls.h"

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

// A word typed at the prompt: on a terminal it does not show.
std::optional<std::string> ReadUnseen(Operations& ops) {
  const EchoOff unseen(ops.terminal);
  return ReadWord(ops.input);
}

bool AcceptTyped(const RunContext& ctx, const std::optional<std::string>& word, size_t limit) {
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

}  // namespace

PromptOutcome PromptPasswordChange(Operations& ops, std::string_view password, std::span<uint8_t> block,
                                   uint32_t offset, uint32_t end, bool supervisor) {
  const RunContext& ctx = ops.ctx;
  ctx.console.Out("Enter Current password : \n");
  ctx.console.Flush();
  const auto old = ReadUnseen(ops);
  ctx.console.Out("Enter Changed password : \n");
  ctx.console.Flush();
  const auto fresh = ReadUnseen(ops);

  const size_t limit = std::min<size_t>(kLongFormSlot, ctx.version.PasswordMaxLength());
  if (!AcceptTyped(ctx, old, limit) || !AcceptTyped(ctx, fresh, limit)) return {};

  Messages said;
  PlacePromptedPasswords(ctx.version, block, offset, end, *old, *fresh, supervisor, said);
  ctx.console.Write(said);
  return {true, SetBiosOptions(ops, password, block)};
}

}  // namespace vort64
