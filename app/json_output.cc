#include "app/json_output.h"

#include <nlohmann/json.hpp>

#include <array>
#include <span>
#include <string_view>

#include "app/run.h"
#include "base/text.h"
#include "buffer/display.h"
#include "ops/file_io.h"

namespace vort64 {
namespace {

using Json = nlohmann::ordered_json;
using Stage = RunFacts::Stage;

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }

// The function's word, as the command line names it.
std::optional<std::string_view> FunctionWord(const RunFacts& facts) {
  switch (facts.stage) {
    case Stage::kVersionShown: return "version";
    case Stage::kUsageShown: return "usage";
    case Stage::kMachineBusy:
    case Stage::kNoInterface:
    case Stage::kCommandRefused: return std::nullopt;
    case Stage::kFunctionRan:
    case Stage::kOutputRefused: break;
  }
  if (!facts.request) return std::nullopt;
  if (facts.request->selfTest) return "self-test";
  switch (facts.request->function) {
    case Function::kNone: return "none";
    case Function::kPassword: return "password";
    case Function::kLoadFactoryDefault: return "load-factory-default";
    case Function::kLoadUserDefault: return "load-user-default";
    case Function::kGet: return "get";
    case Function::kSet: return "set";
    case Function::kGetDefault: return "get-default";
    case Function::kSetDefault: return "set-default";
    case Function::kExportRawSettings: return "export-raw-settings";
    case Function::kImportRawSettings: return "import-raw-settings";
    case Function::kExportCustomSettings: return "export-custom-settings";
    case Function::kImportCustomSettings: return "import-custom-settings";
    case Function::kCheckCustomSettings: return "check-custom-settings";
    case Function::kShowSettings: return "show-settings";
    case Function::kRotatePassword: return "rotate-password";
  }
  return std::nullopt;
}

Json OrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

// A setting's value as "/set" takes it: the number of a one-byte setting,
// the text of the others; null for a password, which is never shown.
Json Value(const SettingInfo& setting, std::span<const uint8_t> block) {
  if (FormatSettingValue(setting, block).kind == SettingValue::kHiddenPassword) return nullptr;
  if (setting.kind == SettingKind::kPassword) return nullptr;
  if (setting.kind == SettingKind::kByte && setting.size == 1) {
    if (setting.offset >= block.size()) return nullptr;
    return block[setting.offset];
  }
  return Utf8(FormatValueAsRead(setting, block));
}

// The label the firmware lists for a one-byte setting's value, if any.
std::optional<std::string> Label(const SettingInfo& setting, std::span<const uint8_t> block) {
  if (setting.kind != SettingKind::kByte || setting.size != 1 || setting.offset >= block.size()) return std::nullopt;
  const auto label = setting.listed.LabelOf(block[setting.offset]);
  if (!label) return std::nullopt;
  return Utf8(*label);
}

bool Supported(const SettingInfo& setting, std::span<const uint8_t> block) {
  return FormatSettingValue(setting, block).kind != SettingValue::kUnsupported;
}

// A setting as /get and /show-settings give it: name, value, label, supported.
Json SettingEntry(std::wstring_view name, const SettingInfo& setting, std::span<const uint8_t> block) {
  Json entry = {{"name", Utf8(name)}, {"value", Value(setting, block)}};
  if (const auto label = Label(setting, block)) entry["label"] = *label;
  entry["supported"] = Supported(setting, block);
  return entry;
}

// A value with its label, or null when there is none to show.
Json LabelledValue(const SettingInfo& setting, std::span<const uint8_t> block) {
  if (block.empty()) return nullptr;
  Json value = Value(setting, block);
  if (value.is_null()) return nullptr;
  Json entry = {{"value", std::move(value)}};
  if (const auto label = Label(setting, block)) entry["label"] = *label;
  return entry;
}

Json Listed(const SettingInfo& setting) {
  Json listed = Json::array();
  for (const ListedValue& v : setting.listed.values()) {
    if (v.first == v.last) {
      Json one = {{"value", v.first}};
      if (!v.label.empty()) one["label"] = Utf8(v.label);
      listed.push_back(std::move(one));
    } else {
      listed.push_back({{"from", v.first}, {"to", v.last}});
    }
  }
  return listed;
}

// /get, /get-default: the one setting read.
void AddOneSetting(Json& doc, const RunFacts& facts) {
  Json settings = Json::array();
  const SettingInfo* setting = facts.catalog.FindSetting(facts.request->itemName);
  if (setting && facts.result->succeeded()) {
    settings.push_back(SettingEntry(facts.request->itemName, *setting, facts.block));
  }
  doc["settings"] = std::move(settings);
}

// /show-settings: every setting, whether it takes a value, and its listed values.
void AddEverySetting(Json& doc, const RunFacts& facts) {
  Json settings = Json::array();
  if (facts.result->succeeded()) {
    for (const auto& [name, info] : facts.catalog.settings()) {
      Json entry = SettingEntry(name, info, facts.block);
      entry["writable"] = info.writable;
      entry["listed"] = Listed(info);
      settings.push_back(std::move(entry));
    }
  }
  doc["settings"] = std::move(settings);
}

// /set, /set-default: the value before and after, and the word Result.txt
// would have for it.
void AddChange(Json& doc, const RunFacts& facts) {
  const SettingInfo* setting = facts.catalog.FindSetting(facts.request->itemName);
  doc["setting"] = Utf8(facts.request->itemName);
  doc["before"] = setting ? LabelledValue(*setting, facts.record.before) : Json(nullptr);
  doc["after"] = setting ? LabelledValue(*setting, facts.record.after) : Json(nullptr);
  doc["result"] = Utf8(RuleFor(*facts.result).resultWord);
}

std::string_view StateWord(CheckedSetting::State state) {
  switch (state) {
    case CheckedSetting::State::kSame: return "same";
    case CheckedSetting::State::kDiffers: return "differs";
    case CheckedSetting::State::kLacking: return "not supported";
    case CheckedSetting::State::kInvalid: return "invalid";
    case CheckedSetting::State::kUnknown: break;
  }
  return "unknown";
}

// The check: each Item against the block read, and the counts.
void AddCheck(Json& doc, const RunFacts& facts) {
  Json settings = Json::array();
  std::array<size_t, 5> counts{};
  for (const RunRecord::Checked& c : facts.record.checked) {
    Json entry = {{"name", Utf8(c.name)}, {"state", StateWord(c.checked.state)}};
    const SettingInfo* setting = facts.catalog.FindSetting(c.name);
    const bool shown = setting && !c.checked.wantedBlock.empty();
    entry["current"] = shown ? Value(*setting, facts.block) : Json(nullptr);
    entry["wanted"] = shown ? Value(*setting, c.checked.wantedBlock) : Json(nullptr);
    settings.push_back(std::move(entry));
    ++counts[static_cast<size_t>(c.checked.state)];
  }
  doc["settings"] = std::move(settings);
  using State = CheckedSetting::State;
  const auto count = [&](State s) { return counts[static_cast<size_t>(s)]; };
  doc["counts"] = {{"settings", facts.record.checked.size()},
                   {"same", count(State::kSame)},
                   {"differs", count(State::kDiffers)},
                   {"notSupported", count(State::kLacking)},
                   {"invalid", count(State::kInvalid) + count(State::kUnknown)}};
}

// The import: the verdict and each Item's word, as Result.txt has them.
void AddImport(Json& doc, const RunFacts& facts) {
  doc["verdict"] = facts.record.verdict ? Json(Utf8(VerdictWords(*facts.record.verdict))) : Json(nullptr);
  Json settings = Json::array();
  for (const RunRecord::Imported& item : facts.record.imported) {
    settings.push_back({{"name", Utf8(item.name)}, {"result", Utf8(RuleFor(item.outcome).resultWord)}});
  }
  doc["settings"] = std::move(settings);
  doc["resultFile"] = facts.record.resultFile.empty() ? Json(nullptr) : Json(PathText(facts.record.resultFile));
}

std::string_view ItemEndWord(RunRecord::ItemEnd end) {
  switch (end) {
    case RunRecord::ItemEnd::kPassed: return "passed";
    case RunRecord::ItemEnd::kSkipped: return "skipped";
    case RunRecord::ItemEnd::kFailed: break;
  }
  return "failed";
}

// The self-test: the counts, the verdict, the report and each item's end.
void AddSelfTest(Json& doc, const RunFacts& facts) {
  std::array<size_t, 3> counts{};
  Json items = Json::array();
  for (const RunRecord::TestedItem& item : facts.record.tested) {
    items.push_back({{"name", Utf8(item.name)}, {"outcome", ItemEndWord(item.end)}});
    ++counts[static_cast<size_t>(item.end)];
  }
  doc["counts"] = {{"passed", counts[0]}, {"skipped", counts[1]}, {"failed", counts[2]}};
  doc["verdict"] = facts.selfTest == AutotestVerdict::kNoFault ? "no fault" : "fault found";
  doc["report"] = facts.reportWritten ? Json(PathText(facts.report)) : Json(nullptr);
  doc["items"] = std::move(items);
}

// The files of the raw settings and of the custom-settings export.
void AddFile(Json& doc, const std::string& file) { doc["file"] = file; }

// What the run did about BitLocker, when it looked at the drive or was asked
// to suspend its protection.
void AddBitLocker(Json& doc, const BitLockerRecord& r) {
  if (!r.Shown()) return;
  Json measured = Json::array();
  for (const std::string_view word : r.measured.Words()) measured.push_back(std::string(word));
  Json protection = nullptr;
  if (r.looked) protection = r.protectedDrive ? Json(*r.protectedDrive ? "on" : "off") : Json("unknown");
  doc["bitlocker"] = {{"suspendAsked", r.asked},
                      {"drive", r.drive.empty() ? Json(nullptr) : Json(r.drive)},
                      {"protection", std::move(protection)},
                      {"why", r.why.empty() ? Json(nullptr) : Json(r.why)},
                      {"code", r.code ? Json(*r.code) : Json(nullptr)},
                      {"measured", std::move(measured)},
                      {"mayChange", r.mayChange},
                      {"suspended", r.suspended},
                      {"resumed", r.resumed},
                      {"withheld", r.withheld},
                      {"recoveryMayBeAsked", r.recoveryMayBeAsked},
                      {"messages", r.said}};
}

// What a failed run says on standard error, in short.
Json Error(const RunFacts& facts) {
  Json code = nullptr;
  std::string message;
  switch (facts.stage) {
    case Stage::kVersionShown: break;
    case Stage::kUsageShown: message = "the usage was shown: no function ran"; break;
    case Stage::kMachineBusy: message = "another run of the program kept the firmware: nothing was done"; break;
    case Stage::kNoInterface: message = "the firmware offers no WMI interface of major version 2"; break;
    case Stage::kCommandRefused: message = "the command line was refused (standard error says why)"; break;
    case Stage::kOutputRefused: message = "a file the function writes cannot be written: nothing was done"; break;
    case Stage::kFunctionRan:
      if (facts.selfTest) {
        message = !facts.reportWritten ? "the self-test's report could not be written" : "the self-test found a fault";
        break;
      }
      if (!facts.result) break;
      message = FailureCause(*facts.result);
      if (message.empty()) message = "the function did not do what was asked";
      if (facts.result->executed && (facts.result->kind == OperationResult::Kind::kReadFailed ||
                                     facts.result->kind == OperationResult::Kind::kFirmwareRefused)) {
        code = facts.result->firmwareCode;
      }
      break;
  }
  return {{"code", std::move(code)}, {"message", std::move(message)}};
}

}  // namespace

std::string JsonDocument(const RunFacts& facts, int exitCode) {
  Json doc = {{"tool", {{"name", "vort64"}, {"version", kProgramVersion}}}};
  doc["interface"] = facts.version
                         ? Json(std::to_string(facts.version->major) + "." + std::to_string(facts.version->minor))
                         : Json(nullptr);
  doc["model"] = OrNull(facts.model);
  doc["serial"] = OrNull(facts.serial);
  const auto function = FunctionWord(facts);
  doc["function"] = function ? Json(*function) : Json(nullptr);
  doc["exitCode"] = exitCode;
  const bool failed = exitCode != kExitSuccess && exitCode != kExitDrift;
  if (failed) doc["error"] = Error(facts);

  if (facts.stage == Stage::kFunctionRan && facts.request && facts.selfTest) {
    AddSelfTest(doc, facts);
  } else if (facts.stage == Stage::kFunctionRan && facts.request && facts.result) {
    doc["outcome"] = RuleFor(*facts.result).name;
    const ParsedRequest& request = *facts.request;
    switch (request.function) {
      case Function::kGet:
      case Function::kGetDefault: AddOneSetting(doc, facts); break;
      case Function::kShowSettings: AddEverySetting(doc, facts); break;
      case Function::kSet:
      case Function::kSetDefault: AddChange(doc, facts); break;
      case Function::kCheckCustomSettings: AddCheck(doc, facts); break;
      case Function::kImportCustomSettings: AddImport(doc, facts); break;
      case Function::kExportCustomSettings: AddFile(doc, request.xmlFileName); break;
      case Function::kExportRawSettings:
      case Function::kImportRawSettings: AddFile(doc, request.binFileName); break;
      case Function::kNone:
      case Function::kPassword:
      case Function::kLoadFactoryDefault:
      case Function::kLoadUserDefault:
      case Function::kRotatePassword: break;
    }
  }
  AddBitLocker(doc, facts.bitlocker);
  // Text from the firmware's tables or the machine that is not UTF-8 shows
  // as U+FFFD rather than breaking the document.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace vort64
