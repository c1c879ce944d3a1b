#include "ops/firmware_calls.h"

#include "base/console.h"
#include "ops/executor.h"

namespace vort64 {
namespace {

MethodOutcome Said(Operations& ops, MethodOutcome outcome) {
  ops.ctx.console.Write(outcome.said);
  outcome.said.clear();
  return outcome;
}

}  // namespace

MethodOutcome GetBiosOptions(Operations& ops, std::string_view password, std::span<uint8_t> buffer) {
  return Said(ops, GetBiosOptions(ops.session, password, buffer));
}

MethodOutcome SetBiosOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer) {
  return Said(ops, SetBiosOptions(ops.session, password, buffer));
}

MethodOutcome GetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<uint8_t> buffer) {
  return Said(ops, GetBiosDefaultOptions(ops.session, password, buffer));
}

MethodOutcome SetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer) {
  return Said(ops, SetBiosDefaultOptions(ops.session, password, buffer));
}

MethodOutcome LoadBIOSDefault(Operations& ops, std::string_view password) {
  return Said(ops, LoadBIOSDefault(ops.session, password));
}

MethodOutcome LoadUserDefault(Operations& ops, std::string_view password) {
  return Said(ops, LoadUserDefault(ops.session, password));
}

}  // namespace vort64
