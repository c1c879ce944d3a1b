#include "autotest/driver.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "ops/file_io.h"
#include "ops/firmware_calls.h"
#include "ops/run_record.h"

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
    AutotestCounts counts;
    for (const std::wstring_view name : AutotestItems(ops_.ctx.version)) {
      item_ = ItemOutcome::kPassed;
      TestItem(name);
      switch (item_) {
        case ItemOutcome::kPassed: ++counts.passed; break;
        case ItemOutcome::kSkipped: ++counts.skipped; break;
        case ItemOutcome::kFailed: ++counts.failed; break;
      }
      if (ops_.record) ops_.record->tested.push_back({std::wstring(name), RecordedEnd(item_)});
    }
    report_.Close(counts);
    // The last line: the counts the report's summary has, and where to read
    // it step by step; a report that was not written is not named.
    const std::string where = report_.written() ? "report: " + Printable(PathText(report_.path()))
                                                : std::string("the report was not written");
    ops_.ctx.console.Out("Self-test: " + std::to_string(counts.passed) + " passed, " + std::to_string(counts.skipped) +
                         " skipped, " + std::to_string(counts.failed) + " failed; " + where + "\n");
    return counts.FaultFound() ? AutotestVerdict::kFaultFound : AutotestVerdict::kNoFault;
  }

 private:
  // The /set of one step: the run's request, with the setting and the byte
  // (and for the boot order the whole order) to place.
  ParsedRequest SetRequest(std::wstring_view name, uint8_t value, const std::vector<uint8_t>* bootOrder) const {
    ParsedRequest request = base_;
    request.function = Function::kSet;
    request.itemName = std::wstring(name);
    request.itemText = request.itemName;
    if (bootOrder) {
      request.value.Assign(*bootOrder);
    } else {
      request.value.Assign(std::span(&value, 1));
    }
    return request;
  }

  // The block as the firmware holds it: the one read that the last write's
  // read-back left, or else a new GetBiosOptions. A failed read is not kept,
  // so the next step reads again.
  OperationResult Read() {
    if (!held_) held_ = GetBiosOptions(ops_, base_.CurrentPassword(), block_);
    const OperationResult read = OperationResult::From(*held_);
    if (!held_->passed()) held_.reset();
    return read;
  }

  // A /set of one setting on the block held (read first when none is):
  // placed into a copy, sent once and read back once; a read-back that
  // passed becomes the block held. `sentByte` gets the byte sent at `offset`.
  OperationResult Apply(std::wstring_view name, uint8_t value, const std::vector<uint8_t>* bootOrder, uint32_t offset,
                        uint8_t* sentByte = nullptr) {
    lastReadBack_.reset();
    if (const OperationResult read = Read(); !read.succeeded()) {
      return OperationResult::FromRead({read.executed, read.firmwareCode});
    }
    std::vector<uint8_t> sent = block_;
    SetOutcome set = SetOnReadBlock(ops_, SetRequest(name, value, bootOrder), sent, readBack_);
    if (sentByte) *sentByte = ByteIn(sent, offset);
    if (!set.result.blockSent) return set.result;
    lastReadBack_ = set.readBack;
    if (set.readBack && set.readBack->passed()) {
      block_.swap(readBack_);
      held_ = set.readBack;
    } else {
      held_.reset();
    }
    return set.result;
  }

  // A step line in the outcome's colour (the outcome table's): a failed
  // step is a fault and fails its item, a skipped one skips its item.
  void Step(StepKind kind, std::wstring_view name, uint8_t value, const OperationResult& result) {
    const StepVerdict verdict = RuleFor(result).step;
    if (verdict == StepVerdict::kFailed) {
      Fail(kind, name, value);
      return;
    }
    report_.WriteStepLine(kind, name, value, verdict);
    if (kind == StepKind::kSkip && item_ == ItemOutcome::kPassed) item_ = ItemOutcome::kSkipped;
  }
  void Skip(const OperationResult& result) { Step(StepKind::kSkip, {}, 0, result); }

  // A step that found a fault: a red line, and its item fails.
  void Fail(StepKind kind, std::wstring_view name, uint8_t value) {
    report_.WriteStepLine(kind, name, value, StepVerdict::kFailed);
    item_ = ItemOutcome::kFailed;
  }

  void TestItem(std::wstring_view name) {
    const bool present = ops_.catalog.HasSetting(name);
    const OperationResult first = present ? Read() : OperationResult{OperationResult::Kind::kAbsent};
    report_.WriteItemHeader(name);
    const uint32_t offset = ops_.catalog.GetSettingOffset(name);

    if (ClassifyPasswordItem(name).IsAccount()) {
      const OperationResult changed = Apply(name, 0, nullptr, offset);
      pause_();
      if (changed.succeeded()) {
        Step(StepKind::kCompare, name, 0, changed);
      } else {
        Fail(StepKind::kSkip, name, 0);  // a password change that did not happen, whatever the reason
      }
      return;
    }
    if (!first.succeeded()) {
      ops_.ctx.console.OutWide(L"skip\n");
      Skip(first);
      return;
    }

    const uint32_t size = ops_.catalog.GetSettingSize(name);
    const uint8_t v = ByteIn(block_, offset);
    Step(StepKind::kGet, name, v, first);

    // The boot order is tested by its first device and restored whole.
    const bool bootOrder = KindOfSetting(name) == SettingKind::kBootOrder;
    std::vector<uint8_t> order;
    if (bootOrder) {
      const std::span<const uint8_t> held = std::span<const uint8_t>(block_).subspan(
          std::min<size_t>(offset, block_.size()),
          std::min<size_t>(size, block_.size() - std::min<size_t>(offset, block_.size())));
      order.assign(held.begin(), held.end());
    }
    order.resize(16, kNotSupported);
    std::vector<uint8_t> testOrder = order;

    const uint8_t t = AutotestValue(v);
    testOrder[0] = t;
    uint8_t sentByte = 0;
    const OperationResult written = Apply(name, t, bootOrder ? &testOrder : nullptr, offset, &sentByte);
    if (!written.succeeded()) {
      Skip(written);
      if (written.blockSent) Restore(name, v, bootOrder ? &order : nullptr, offset);
      return;
    }
    Step(StepKind::kSet, name, sentByte, written);

    // The write's read-back is the read of the test value; a write that is
    // not read back (clearing the TPM) is read here.
    const OperationResult reread = lastReadBack_ ? OperationResult::From(*lastReadBack_) : Read();
    if (!reread.succeeded()) {
      Skip(reread);
      Restore(name, v, bootOrder ? &order : nullptr, offset);
      return;
    }
    Step(StepKind::kGet, name, ByteIn(block_, offset), reread);
    Step(StepKind::kCompare, name, 0, reread);
    Restore(name, v, bootOrder ? &order : nullptr, offset);
  }

  // Writes the first value back; a failed restore is said on the console
  // and, in red, in the report.
  void Restore(std::wstring_view name, uint8_t v, const std::vector<uint8_t>* bootOrder, uint32_t offset) {
    const OperationResult restored = Apply(name, v, bootOrder, offset);
    if (!restored.succeeded()) {
      ops_.ctx.console.Out("Restore of " + WideToUtf8(name) + " failed: it may keep its test value.\n");
      Fail(StepKind::kRestore, name, v);
    }
  }

  static uint8_t ByteIn(const std::vector<uint8_t>& block, uint32_t offset) {
    return offset < block.size() ? block[offset] : 0;
  }

  Operations& ops_;
  ParsedRequest base_;
  AutotestReport& report_;
  const std::function<void()>& pause_;
  // The block as last read, whether that read is still the firmware's
  // (held_: its outcome), and where a write's read-back lands.
  std::vector<uint8_t> block_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
  std::optional<MethodOutcome> held_;
  std::vector<uint8_t> readBack_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
  // The read-back of the last block sent, when one was made.
  std::optional<MethodOutcome> lastReadBack_;
  // How the item under test ends.
  enum class ItemOutcome { kPassed, kSkipped, kFailed };
  ItemOutcome item_ = ItemOutcome::kPassed;
  // How an item ended, in the record's words.
  static RunRecord::ItemEnd RecordedEnd(ItemOutcome outcome);
};

RunRecord::ItemEnd Autotest::RecordedEnd(ItemOutcome outcome) {
  switch (outcome) {
    case ItemOutcome::kPassed: return RunRecord::ItemEnd::kPassed;
    case ItemOutcome::kSkipped: return RunRecord::ItemEnd::kSkipped;
    case ItemOutcome::kFailed: break;
  }
  return RunRecord::ItemEnd::kFailed;
}

}  // namespace

AutotestVerdict RunAutotest(Operations& ops, const ParsedRequest& request, AutotestReport& report,
                            const std::function<void()>& pause) {
  return Autotest(ops, request, report, pause).Run();
}

}  // namespace vort64
