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
  return Said(ops, methods::GetBiosOptions(ops.session, password, buffer));
}

MethodOutcome SetBiosOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer) {
  return Said(ops, methods::SetBiosOptions(ops.session, password, buffer));
}

MethodOutcome GetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<uint8_t> buffer) {
  return Said(ops, methods::GetBiosDefaultOptions(ops.session, password, buffer));
}

MethodOutcome SetBiosDefaultOptions(Operations& ops, std::string_view password, std::span<const uint8_t> buffer) {
  return Said(ops, methods::SetBiosDefaultOptions(ops.session, password, buffer));
}

MethodOutcome LoadBIOSDefault(Operations& ops, std::string_view password) {
  return Said(ops, methods::LoadBIOSDefault(ops.session, password));
}

MethodOutcome LoadUserDefault(Operations& ops, std::string_view password) {
  return Said(ops, methods::LoadUserDefault(ops.session, password));
}

}  // namespace vort64
