// What a function found on its way, kept for the machine-readable answer of
// "/json": the operations fill it as they go when the run gives them one
// (Operations::record), and the JSON document is built from it and from the
// block the function leaves, never from printed text.
#ifndef VORT64_OPS_RUN_RECORD_H_
#define VORT64_OPS_RUN_RECORD_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ops/outcome.h"
#include "ops/result_files.h"
#include "ops/settings_plan.h"

namespace vort64 {

struct RunRecord {
  // /set and /set-default: the block as read before the value was placed,
  // and as read back after the write (empty when no read-back was made or
  // it failed).
  std::vector<uint8_t> before;
  std::vector<uint8_t> after;

  // The check: each Item, by the name of the setting it reached, as it
  // stands against the block read.
  struct Checked {
    std::wstring name;
    CheckedSetting checked;
  };
  std::vector<Checked> checked;

  // The import: each Item's outcome, the overall verdict, and the
  // Result.txt the block went to (once it was opened).
  struct Imported {
    std::wstring name;
    OperationResult outcome;
  };
  std::vector<Imported> imported;
  std::optional<ImportVerdict> verdict;
  std::filesystem::path resultFile;

  // The self-test: how each item ended.
  enum class ItemEnd { kPassed, kSkipped, kFailed };
  struct TestedItem {
    std::wstring name;
    ItemEnd end;
  };
  std::vector<TestedItem> tested;
};

}  // namespace vort64

#endif  // VORT64_OPS_RUN_RECORD_H_
