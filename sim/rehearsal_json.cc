#include "sim/rehearsal_json.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace vort64::sim {
namespace {

using Json = nlohmann::ordered_json;

Json OrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }
Json OrNull(const std::optional<int>& number) { return number ? Json(*number) : Json(nullptr); }

Json Lines(const std::vector<std::string>& lines) {
  Json array = Json::array();
  for (const std::string& line : lines) array.push_back(line);
  return array;
}

// A path as UTF-8, on every platform.
std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A check (before or after the import): its exit code (null: it did not run
// to its end), its count line (null: it printed none) and its standard error.
Json Check(const CheckRun& check) {
  Json counts = nullptr;
  if (check.counted) {
    counts = {{"settings", check.settings},
              {"same", check.same},
              {"differs", check.differ},
              {"notSupported", check.unsupported},
              {"invalid", check.invalid}};
  }
  Json step = {{"exitCode", OrNull(check.exitCode)}, {"counts", std::move(counts)}, {"errors", Lines(check.errors)}};
  if (check.refused != StepRefusal::kNone) step["refused"] = RefusalName(check.refused);
  return step;
}

// The import: its exit code, Result.txt's overall result (null: it wrote
// none) and its standard error.
Json Import(const ImportRun& import) {
  Json step = {{"exitCode", OrNull(import.exitCode)},
               {"verdict", import.verdict.empty() ? Json(nullptr) : Json(import.verdict)},
               {"errors", Lines(import.errors)}};
  if (import.refused != StepRefusal::kNone) step["refused"] = RefusalName(import.refused);
  return step;
}

// One Item: what each step said of it, and whether the check after the
// import found it the same.
Json Setting(const SettingRehearsal& s) {
  return {{"name", s.name},
          {"before", OrNull(s.before)},
          {"import", OrNull(s.import)},
          {"after", OrNull(s.after)},
          {"endsSame", s.endsSame()}};
}

Json Version(const VersionRehearsal& v) {
  Json settings = Json::array();
  for (const SettingRehearsal& s : v.settings) settings.push_back(Setting(s));
  Json version = {
      {"version", VersionText(v.version)}, {"twinError", v.twinError.empty() ? Json(nullptr) : Json(v.twinError)},
      {"before", Check(v.before)},         {"import", Import(v.import)},
      {"after", Check(v.after)},           {"compliant", v.compliant()},
      {"settings", std::move(settings)}};
  // The start after the import, on a twin BitLocker protects.
  if (v.bitlocker) version["recoveryKey"] = v.recoveryKey ? Json(*v.recoveryKey) : Json(nullptr);
  if (!v.restartError.empty()) version["restartError"] = v.restartError;
  return version;
}

}  // namespace

std::string RehearsalDocument(const Rehearsal& rehearsal, const RehearsalEnd& end) {
  Json doc = {{"tool", {{"name", "vort-sim"}, {"version", VORT64_VERSION}}}, {"command", "rehearse"}};
  doc["exitCode"] = end.exitCode;
  if (!end.error.empty()) doc["error"] = {{"message", end.error}};
  Json versions = Json::array();
  Json compliant = Json::array();
  Json other = Json::array();
  Json recovery = Json::array();
  bool bitlocker = false;
  for (const VersionRehearsal& v : rehearsal.versions) {
    versions.push_back(Version(v));
    (v.compliant() ? compliant : other).push_back(VersionText(v.version));
    if (v.recoveryKey) recovery.push_back(VersionText(v.version));
    bitlocker = bitlocker || v.bitlocker;
  }
  doc["versions"] = std::move(versions);
  doc["summary"] = {{"compliant", std::move(compliant)}, {"notCompliant", std::move(other)}};
  if (bitlocker) doc["summary"]["recoveryKeyAsked"] = std::move(recovery);
  doc["kept"] = end.kept ? Json(PathUtf8(*end.kept)) : Json(nullptr);
  // What the program said that is not UTF-8 shows as U+FFFD rather than
  // breaking the document.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace vort64::sim
