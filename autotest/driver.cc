#include "autotest/driver.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "ops/file_io.h"

namespace vort64 {
namespace {

class Autotest {
 public:
  Autotest(Operations& ops, const ParsedRequest& request, AutotestReport& report, const std::function<void()>& pause)
      : ops_(ops), base_(request), report_(report), pause_(pause) {
    base_.selfTest = true;
  }

  AutotestVerdict Run() {
    report_.WriteRunHeader(ops_.ctx.version);
    for (const std::wstring_view name : AutotestItems(ops_.ctx.version)) {
      item_ = ItemOutcome::kPassed;
      TestItem(name);
      ++tally_[static_cast<size_t>(item_)];
    }
    report_.Close();
    // The last line: the verdict, and where to read it step by step.
    ops_.ctx.console.Out("Self-test: " + std::to_string(tally_[0]) + " passed, " + std::to_string(tally_[1]) +
                         " skipped, " + std::to_string(tally_[2]) + " failed; report: " + PathText(report_.path()) +
                         "\n");
    return fault_ ? AutotestVerdict::kFaultFound : AutotestVerdict::kNoFault;
  }

 private:
  OperationResult Execute(Function function, std::wstring_view name, uint8_t value,
                          const std::vector<uint8_t>* bootOrder = nullptr) {
    ParsedRequest request = base_;
    request.function = function;
    request.itemName = std::wstring(name);
    request.itemText = request.itemName;
    request.byteValue = value;
    if (bootOrder) std::copy_n(bootOrder->begin(), request.bootOrder.size(), request.bootOrder.begin());
    return ExecuteOperation(ops_, request, buffer_);
  }

  // A step line in the outcome's colour; a step that ended otherwise than
  // as the outcome table allows is a fault, a skipped one skips its item.
  void Step(StepKind kind, std::wstring_view name, uint8_t value, const OperationResult& result) {
    const OutcomeRule rule = RuleFor(result);
    report_.WriteStepLine(kind, name, value, rule.step);
    if (rule.selfTestFault) {
      Fault();
    } else if (kind == StepKind::kSkip && item_ == ItemOutcome::kPassed) {
      item_ = ItemOutcome::kSkipped;
    }
  }
  void Skip(const OperationResult& result) { Step(StepKind::kSkip, {}, 0, result); }

  void TestItem(std::wstring_view name) {
    const bool present = ops_.catalog.HasSetting(name);
    const OperationResult first =
        present ? Execute(Function::kGet, name, 0) : OperationResult{OperationResult::Kind::kAbsent};
    report_.WriteItemHeader(name);

    if (ClassifyPasswordItem(name).IsAccount()) {
      const OperationResult changed = Execute(Function::kSet, name, 0);
      pause_();
      if (changed.succeeded()) {
        Step(StepKind::kCompare, name, 0, changed);
      } else {
        report_.WriteStepLine(StepKind::kSkip, name, 0, RuleFor(changed).step);
        Fault();  // a password change that did not happen
      }
      return;
    }
    if (!first.succeeded()) {
      ops_.ctx.console.OutWide(L"skip\n");
      Skip(first);
      return;
    }

    const uint32_t offset = ops_.catalog.GetSettingOffset(name);
    const uint32_t size = ops_.catalog.GetSettingSize(name);
    const uint8_t v = ByteAt(offset);
    Step(StepKind::kGet, name, v, first);

    // The boot order is tested by its first device and restored whole.
    const bool bootOrder = KindOfSetting(name) == SettingKind::kBootOrder;
    std::vector<uint8_t> order;
    if (bootOrder) {
      const std::span<const uint8_t> held = std::span<const uint8_t>(buffer_).subspan(
          std::min<size_t>(offset, buffer_.size()),
          std::min<size_t>(size, buffer_.size() - std::min<size_t>(offset, buffer_.size())));
      order.assign(held.begin(), held.end());
    }
    order.resize(16, kNotSupported);
    std::vector<uint8_t> testOrder = order;

    const uint8_t t = AutotestValue(v);
    testOrder[0] = t;
    buffer_[offset] = t;
    const OperationResult written = Execute(Function::kSet, name, t, bootOrder ? &testOrder : nullptr);
    if (!written.succeeded()) {
      Skip(written);
      if (written.blockSent) Restore(name, v, bootOrder ? &order : nullptr);
      return;
    }
    Step(StepKind::kSet, name, ByteAt(offset), written);

    const OperationResult reread = Execute(Function::kGet, name, 0);
    if (!reread.succeeded()) {
      Skip(reread);
      Restore(name, v, bootOrder ? &order : nullptr);
      return;
    }
    Step(StepKind::kGet, name, ByteAt(offset), reread);
    Step(StepKind::kCompare, name, 0, reread);
    Restore(name, v, bootOrder ? &order : nullptr);
  }

  // Writes the first value back; a failed restore is said on the console.
  void Restore(std::wstring_view name, uint8_t v, const std::vector<uint8_t>* bootOrder) {
    const OperationResult restored = Execute(Function::kSet, name, v, bootOrder);
    if (!restored.succeeded()) {
      ops_.ctx.console.Out("Restore of " + WideToUtf8(name) + " failed: it may keep its test value.\n");
      Fault();
    }
  }

  void Fault() {
    fault_ = true;
    item_ = ItemOutcome::kFailed;
  }

  uint8_t ByteAt(uint32_t offset) const { return offset < buffer_.size() ? buffer_[offset] : 0; }

  Operations& ops_;
  ParsedRequest base_;
  AutotestReport& report_;
  const std::function<void()>& pause_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
  bool fault_ = false;
  // How the item under test ends, and how many items ended each way.
  enum class ItemOutcome { kPassed, kSkipped, kFailed };
  ItemOutcome item_ = ItemOutcome::kPassed;
  size_t tally_[3] = {};
};

}  // namespace

AutotestVerdict RunAutotest(Operations& ops, const ParsedRequest& request, AutotestReport& report,
                            const std::function<void()>& pause) {
  return Autotest(ops, request, report, pause).Run();
}

}  // namespace vort64
