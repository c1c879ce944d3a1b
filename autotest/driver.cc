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

namespace vort64 {
namespace {

// The driver's own code for a listed name the catalog does not hold.
constexpr int32_t kAbsentSetting = 103;

// A skipped step is a fault unless the setting is absent or not supported.
bool IsFault(int32_t code) { return code != kAbsentSetting && code != OperationResult::kNothingToShowCode; }

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class Autotest {
 public:
  Autotest(Operations& ops, const ParsedRequest& request, AutotestReport& report, const std::function<void()>& pause)
      : ops_(ops), base_(request), report_(report), pause_(pause) {
    base_.selfTest = true;
  }

  AutotestVerdict Run() {
    report_.WriteRunHeader(ops_.ctx.version);
    for (const std::wstring_view name : AutotestItems(ops_.ctx.version.major, ops_.ctx.version.minor)) {
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

  void Skip(int32_t code) {
    report_.WriteStepLine(StepKind::kSkip, {}, 0, code);
    if (IsFault(code)) {
      Fault();
    } else if (item_ == ItemOutcome::kPassed) {
      item_ = ItemOutcome::kSkipped;
    }
  }

  void TestItem(std::wstring_view name) {
    const bool present = ops_.catalog.HasSetting(name);
    const OperationResult first = present ? Execute(Function::kGet, name, 0) : OperationResult{};
    const int32_t r1 = present ? first.Code() : kAbsentSetting;
    report_.WriteItemHeader(name);

    if (ClassifyPasswordItem(name).IsAccount()) {
      const OperationResult changed = Execute(Function::kSet, name, 0);
      pause_();
      if (changed.succeeded()) {
        report_.WriteStepLine(StepKind::kCompare, name, 0, changed.Code());
      } else {
        report_.WriteStepLine(StepKind::kSkip, name, 0, changed.Code());
        Fault();  // a password change that did not happen
      }
      return;
    }
    if (!present || !first.succeeded()) {
      ops_.ctx.console.OutWide(L"skip\n");
      Skip(r1);
      return;
    }

    const uint32_t offset = ops_.catalog.GetSettingOffset(name);
    const uint32_t size = ops_.catalog.GetSettingSize(name);
    const uint8_t v = ByteAt(offset);
    report_.WriteStepLine(StepKind::kGet, name, v, r1);

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
      Skip(written.Code());
      if (written.blockSent) Restore(name, v, bootOrder ? &order : nullptr);
      return;
    }
    report_.WriteStepLine(StepKind::kSet, name, ByteAt(offset), written.Code());

    const OperationResult reread = Execute(Function::kGet, name, 0);
    if (!reread.succeeded()) {
      Skip(reread.Code());
      Restore(name, v, bootOrder ? &order : nullptr);
      return;
    }
    report_.WriteStepLine(StepKind::kGet, name, ByteAt(offset), reread.Code());
    report_.WriteStepLine(StepKind::kCompare, name, 0, reread.Code());
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
