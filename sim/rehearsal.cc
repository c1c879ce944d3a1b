#include "sim/rehearsal.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "base/refusal_lines.h"
#include "catalog/tables.h"
#include "sim/child_process.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/system_drive.h"

namespace vort64::sim {
namespace {

// The lines of a text, each without its line end (LF or CR LF).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The check's count line: "N settings: A same, B differ, C not supported, D invalid".
bool ReadCountLine(const std::string& line, CheckRun& check) {
  unsigned long settings = 0, same = 0, differ = 0, unsupported = 0, invalid = 0;
  int end = -1;
  if (std::sscanf(line.c_str(), "%lu settings: %lu same, %lu differ, %lu not supported, %lu invalid%n", &settings,
                  &same, &differ, &unsupported, &invalid, &end) != 5 ||
      end != static_cast<int>(line.size())) {
    return false;
  }
  check.counted = true;
  check.settings = settings;
  check.same = same;
  check.differ = differ;
  check.unsupported = unsupported;
  check.invalid = invalid;
  return true;
}

// What a check line says after the setting's name: split where the import
// named the same setting, else at the first ": " (no setting name holds one).
std::pair<std::string, std::string> SplitCheckLine(const std::string& line, const std::string& importName) {
  if (!importName.empty() && line.starts_with(importName + ": ")) {
    return {importName, line.substr(importName.size() + 2)};
  }
  const size_t colon = line.find(": ");
  if (colon == std::string::npos) return {line, ""};
  return {line.substr(0, colon), line.substr(colon + 2)};
}

// How a check went, in a few words: "compliant", "3 differ, 1 invalid",
// "failed (exit 103)".
// What a refused step stands for.
std::string RefusalText(StepRefusal refusal) {
  switch (refusal) {
    case StepRefusal::kNone: break;
    case StepRefusal::kBaselineRefused:
      return "refused (its supervisor password is not the password file's first line)";
    case StepRefusal::kLockoutAvoided: return "lockout avoided (no password sent: two were refused since the start)";
  }
  return "";
}

std::string CheckField(const CheckRun& check) {
  if (!check.exitCode) return "did not run";
  if (check.refused != StepRefusal::kNone) return RefusalText(check.refused);
  if (*check.exitCode == 0) return "compliant";
  if (check.counted && *check.exitCode == 1) {
    std::string text;
    const auto add = [&text](size_t n, const char* what) {
      if (n == 0) return;
      if (!text.empty()) text += ", ";
      text += std::to_string(n) + " " + what;
    };
    add(check.differ, "differ");
    add(check.invalid, "invalid");
    if (!text.empty()) return text;
  }
  return "failed (exit " + std::to_string(*check.exitCode) + ")";
}

// How the import went: its verdict, and when it failed the words of the
// Items that did not pass, counted ("Fail (2 Invalid Parameter)").
std::string ImportField(const ImportRun& import) {
  if (!import.exitCode) return "did not run";
  if (import.refused != StepRefusal::kNone) return RefusalText(import.refused);
  if (import.verdict.empty()) return "failed (exit " + std::to_string(*import.exitCode) + ")";
  if (*import.exitCode == 0) return import.verdict;
  std::vector<std::pair<std::string, size_t>> words;
  for (const ImportRun::Line& line : import.lines) {
    if (line.word == "Pass") continue;
    auto it = std::find_if(words.begin(), words.end(), [&line](const auto& w) { return w.first == line.word; });
    if (it == words.end()) {
      words.emplace_back(line.word, 1);
    } else {
      ++it->second;
    }
  }
  std::string text = import.verdict;
  if (text == "Pass" || text.starts_with("Pass ")) text += " (exit " + std::to_string(*import.exitCode) + ")";
  if (words.empty()) return text;
  text += " (";
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(words[i].second) + " " + words[i].first;
  }
  return text + ")";
}

constexpr char kIndent[] = "      ";

}  // namespace

std::string VersionText(TwinVersion version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::vector<TwinVersion> LayoutFirstVersions() {
  std::vector<TwinVersion> versions = {{2, static_cast<uint8_t>(kNewestVariant)}};
  for (const VariantDelta& delta : OlderVariantDeltas()) versions.push_back({2, static_cast<uint8_t>(delta.variant)});
  versions.push_back({2, static_cast<uint8_t>(kBaselineVariant)});
  return versions;
}

bool Rehearsal::compliant() const {
  return std::all_of(versions.begin(), versions.end(), [](const VersionRehearsal& v) { return v.compliant(); });
}

StepRefusal RefusalOf(const std::vector<std::string>& errors) {
  std::string_view lockout = kLockoutAvoidedLine;
  lockout.remove_suffix(1);  // the line break
  for (const std::string& line : errors) {
    if (line == lockout) return StepRefusal::kLockoutAvoided;
    if (line.starts_with("Error: the Item \"") && line.find(kStrandingItemWords) != std::string::npos) {
      return StepRefusal::kBaselineRefused;
    }
  }
  return StepRefusal::kNone;
}

std::string_view RefusalName(StepRefusal refusal) {
  switch (refusal) {
    case StepRefusal::kNone: break;
    case StepRefusal::kBaselineRefused: return "baseline refused";
    case StepRefusal::kLockoutAvoided: return "lockout avoided";
  }
  return "";
}

CheckRun ReadCheckRun(std::optional<int> exitCode, const std::string& out, const std::string& err) {
  CheckRun check;
  check.exitCode = exitCode;
  check.errors = Lines(err);
  check.refused = RefusalOf(check.errors);
  const std::vector<std::string> lines = Lines(out);
  // The count line is the check's last; the Items' lines stand before it.
  for (size_t i = lines.size(); i-- > 0;) {
    if (!ReadCountLine(lines[i], check)) continue;
    if (check.settings <= i)
      check.lines.assign(lines.begin() + static_cast<long>(i - check.settings), lines.begin() + static_cast<long>(i));
    break;
  }
  return check;
}

ImportRun ReadImportRun(std::optional<int> exitCode, const std::string& resultFile, const std::string& err) {
  ImportRun import;
  import.exitCode = exitCode;
  import.errors = Lines(err);
  import.refused = RefusalOf(import.errors);
  constexpr std::string_view kVerdict = "Overall result : ";
  constexpr std::string_view kHeading = "=====Result of each settings=====";
  bool items = false;
  for (const std::string& line : Lines(resultFile)) {
    if (line.starts_with(kVerdict)) {
      // A new block: a file that held one before starts over.
      import.verdict = line.substr(kVerdict.size());
      import.lines.clear();
      items = false;
    } else if (line.find(kHeading) != std::string::npos) {
      items = true;
    } else if (items && !line.empty()) {
      // "name:<tabs>word": no word holds a colon.
      const size_t colon = line.rfind(':');
      if (colon == std::string::npos) continue;
      const size_t word = line.find_first_not_of('\t', colon + 1);
      import.lines.push_back({line.substr(0, colon), word == std::string::npos ? "" : line.substr(word)});
    }
  }
  return import;
}

std::vector<SettingRehearsal> SettingsOf(const CheckRun& before, const ImportRun& import, const CheckRun& after) {
  const size_t count = std::max({before.lines.size(), import.lines.size(), after.lines.size()});
  std::vector<SettingRehearsal> settings(count);
  for (size_t i = 0; i < count; ++i) {
    SettingRehearsal& s = settings[i];
    if (i < import.lines.size()) {
      s.name = import.lines[i].name;
      s.import = import.lines[i].word;
    }
    for (const auto& [check, text] : {std::pair{&before, &s.before}, std::pair{&after, &s.after}}) {
      if (i >= check->lines.size()) continue;
      auto [name, said] = SplitCheckLine(check->lines[i], s.name);
      if (s.name.empty()) s.name = name;
      *text = said;
    }
  }
  return settings;
}

VersionRehearsal RehearseVersion(const RehearsalRequest& request, TwinVersion version,
                                 const std::filesystem::path& dir) {
  VersionRehearsal result;
  result.version = version;
  const std::filesystem::path twin = dir / "twin";
  std::error_code ec;
  if (!std::filesystem::create_directory(dir, ec) || ec) {
    result.twinError = "cannot create " + dir.string() + (ec ? ": " + ec.message() : ": it exists");
    return result;
  }
  // The twin's passwords and its calls.log stay its owner's.
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
  MachineOptions options;
  options.wmiMajor = version.major;
  options.wmiMinor = version.minor;
  options.supervisorPassword = request.password;
  options.optionBlock = request.optionBlock;
  options.bitlocker = request.bitlocker;
  result.bitlocker = request.bitlocker;
  if (!CreateMachine(twin, options, result.twinError)) return result;

  // The password goes by its file, never on the command line.
  std::vector<std::string> password = {"/password", ""};
  if (!request.passwordFile.empty()) password = {"/password-file", request.passwordFile.string()};
  const auto run = [&](const char* name, const char* function, bool suspend = false) {
    ChildRun child{request.program,
                   password,
                   dir,
                   "VORT64_MACHINE",
                   twin.string(),
                   dir / (std::string(name) + ".out"),
                   dir / (std::string(name) + ".err")};
    child.args.insert(child.args.end(), {function, request.baseline.string()});
    if (suspend) child.args.push_back("/suspend-bitlocker");
    const std::optional<int> exitCode = RunChild(child);
    return std::tuple{exitCode, Slurp(child.outFile), Slurp(child.errFile)};
  };
  {
    const auto [exitCode, out, err] = run("check-before", "/check-custom-settings");
    result.before = ReadCheckRun(exitCode, out, err);
  }
  {
    const auto [exitCode, out, err] = run("import", "/import-custom-settings", request.suspendBitLocker);
    result.import = ReadImportRun(exitCode, Slurp(dir / "Result.txt"), err);
  }
  // The notebook starts again, as it does after a remediation: a start that
  // asks for the recovery key is one a fleet's user would meet.
  if (RestartMachine(twin, result.restartError)) {
    const SystemDriveRead drive = ReadSystemDrive(twin);
    if (drive.state && !drive.state->recoveries.empty()) result.recoveryKey = drive.state->recoveries.back().reasons;
  }
  {
    const auto [exitCode, out, err] = run("check-after", "/check-custom-settings");
    result.after = ReadCheckRun(exitCode, out, err);
  }
  result.settings = SettingsOf(result.before, result.import, result.after);
  return result;
}

std::string VersionReport(const VersionRehearsal& v) {
  std::string version = VersionText(v.version);
  version.resize(std::max<size_t>(version.size(), 4), ' ');
  if (!v.twinError.empty()) return version + "  the twin could not be made: " + v.twinError + "\n";
  std::string text = version + "  before: " + CheckField(v.before) + "  import: " + ImportField(v.import) +
                     "  after: " + CheckField(v.after) + "\n";
  // A step that said nothing of the Items says why on standard error.
  const auto causes = [&text](const char* step, bool said, const std::vector<std::string>& errors) {
    if (said) return;
    for (const std::string& line : errors) text += kIndent + std::string(step) + ": " + line + "\n";
  };
  causes("before", v.before.counted || v.before.exitCode == 0, v.before.errors);
  causes("import", !v.import.verdict.empty(), v.import.errors);
  causes("after", v.after.counted || v.after.exitCode == 0, v.after.errors);
  if (!v.restartError.empty()) text += kIndent + std::string("restart: ") + v.restartError + "\n";
  if (v.recoveryKey) {
    text += kIndent + std::string("the start after the import asked for the recovery key (") + *v.recoveryKey +
            " changed)\n";
  }
  for (const SettingRehearsal& s : v.settings) {
    if (s.endsSame()) continue;
    std::string said;
    if (s.after) said = *s.after;
    if (s.import && *s.import != "Pass" && *s.import != said) {
      said += std::string(said.empty() ? "" : "; ") + "import: " + *s.import;
    }
    if (said.empty()) continue;
    text += kIndent + s.name + ": " + said + "\n";
  }
  return text;
}

std::string SummaryText(const Rehearsal& rehearsal) {
  std::string compliant, other;
  size_t count = 0;
  for (const VersionRehearsal& v : rehearsal.versions) {
    std::string& list = v.compliant() ? compliant : other;
    if (v.compliant()) ++count;
    list += (list.empty() ? "" : ", ") + VersionText(v.version);
  }
  std::string text = "compliant: " + std::to_string(count) + " of " + std::to_string(rehearsal.versions.size()) +
                     " versions" + (compliant.empty() ? "" : " (" + compliant + ")") + "\n";
  if (!other.empty()) text += "not compliant: " + other + "\n";
  std::string recovery;
  for (const VersionRehearsal& v : rehearsal.versions) {
    if (v.recoveryKey) recovery += (recovery.empty() ? "" : ", ") + VersionText(v.version);
  }
  if (!recovery.empty()) text += "recovery key asked: " + recovery + "\n";
  return text;
}

}  // namespace vort64::sim
