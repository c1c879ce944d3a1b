// A rehearsal of a custom-settings baseline: the real program run against a
// fresh simulated twin of each interface version, as a fleet's detection and
// remediation would run it: the check, the import, the check again. Every
// word of it is the program's own (its standard output, standard error,
// Result.txt and exit codes); nothing here checks or imports a setting.
#ifndef VORT64_SIM_REHEARSAL_H_
#define VORT64_SIM_REHEARSAL_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vort64::sim {

struct TwinVersion {
  uint8_t major = 2;
  uint8_t minor = 0;
  friend bool operator==(const TwinVersion&, const TwinVersion&) = default;
};
// "2.90", as the program's first line names the version.
std::string VersionText(TwinVersion version);

// The first interface version of each layout, newest first.
std::vector<TwinVersion> LayoutFirstVersions();

struct RehearsalRequest {
  std::filesystem::path baseline;  // absolute
  std::filesystem::path program;   // absolute
  std::vector<TwinVersion> versions;
  std::vector<uint8_t> optionBlock;           // the twins' option block; empty: the layout's own
  std::filesystem::path passwordFile;         // absolute; empty: no supervisor password
  std::string password;                       // the password file's first line, set on each twin
  std::optional<std::filesystem::path> keep;  // where the twins are made and kept
  bool bitlocker = false;                     // BitLocker protects the twins' system drive (--bitlocker on)
  bool suspendBitLocker = false;              // the import runs with /suspend-bitlocker
};

// A step the program refused for the fleet's sake, as its standard error
// says: the baseline names a supervisor password other than the password
// file's first line, or no password was sent because two were refused since
// the twin started.
enum class StepRefusal { kNone, kBaselineRefused, kLockoutAvoided };
StepRefusal RefusalOf(const std::vector<std::string>& errors);

// One check of the baseline (before or after the import), as the program
// said it.
struct CheckRun {
  std::optional<int> exitCode;  // nothing: the program did not run to its end
  // The count line ("5 settings: 2 same, 1 differ, 1 not supported, 1
  // invalid"), when the check printed one, and the line of each Item before
  // it, in the file's order ("boot mode: same").
  bool counted = false;
  size_t settings = 0, same = 0, differ = 0, unsupported = 0, invalid = 0;
  std::vector<std::string> lines;
  std::vector<std::string> errors;  // its standard error, line by line
  StepRefusal refused = StepRefusal::kNone;
};

// The import, as the program said it.
struct ImportRun {
  std::optional<int> exitCode;
  std::string verdict;  // Result.txt's "Overall result"; empty when it wrote none
  struct Line {
    std::string name;
    std::string word;
  };
  std::vector<Line> lines;  // Result.txt's line of each Item, in the file's order
  std::vector<std::string> errors;
  StepRefusal refused = StepRefusal::kNone;
};

// One Item of the baseline on one version: what each step said of it
// (nothing where the step said nothing of it).
struct SettingRehearsal {
  std::string name;  // the setting the Item reached
  std::optional<std::string> before;
  std::optional<std::string> import;
  std::optional<std::string> after;
  // The check's word "same", with or without what it adds in brackets
  // ("same (the firmware accepted it; ...)").
  bool endsSame() const { return after && (*after == "same" || after->starts_with("same (")); }
};

struct VersionRehearsal {
  TwinVersion version;
  std::string twinError;  // why the twin could not be made; empty when it was
  CheckRun before;
  ImportRun import;
  CheckRun after;
  std::vector<SettingRehearsal> settings;
  // The twin's start after the import (vort-sim restart): the measured
  // settings whose change made it ask for the recovery key ("secure boot"),
  // nothing when it asked none; why it could not start, when it could not.
  std::optional<std::string> recoveryKey;
  std::string restartError;
  bool bitlocker = false;  // BitLocker protected the twin's system drive
  // The check after the import found the twin as the baseline has it (a
  // setting the version lacks counts as the same): its exit code says so.
  bool compliant() const { return after.exitCode == 0; }
};

struct Rehearsal {
  std::vector<VersionRehearsal> versions;
  bool compliant() const;
};

// The refusal's name in the JSON document ("baseline refused", "lockout
// avoided"); empty for none.
std::string_view RefusalName(StepRefusal refusal);

// What the program said in one step, read back from its files.
CheckRun ReadCheckRun(std::optional<int> exitCode, const std::string& out, const std::string& err);
ImportRun ReadImportRun(std::optional<int> exitCode, const std::string& resultFile, const std::string& err);
// The Items of one version, from the three steps' lines.
std::vector<SettingRehearsal> SettingsOf(const CheckRun& before, const ImportRun& import, const CheckRun& after);

// Rehearses `request` on one version: makes its twin in `dir` (a new
// folder), runs the three steps there.
VersionRehearsal RehearseVersion(const RehearsalRequest& request, TwinVersion version,
                                 const std::filesystem::path& dir);

// The text of one version: its line and the settings that do not end
// "same"; and the summary of all.
std::string VersionReport(const VersionRehearsal& version);
std::string SummaryText(const Rehearsal& rehearsal);

}  // namespace vort64::sim

#endif  // VORT64_SIM_REHEARSAL_H_
