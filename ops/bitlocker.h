// BitLocker and the settings the firmware's start measures: before a write
// of the current settings that changes one of them, the run looks at the
// system drive's protection once. With "/suspend-bitlocker" it suspends a
// protected drive's protection for exactly one restart before the write, and
// resumes it at the end when the write failed or changed no measured setting
// after all; when the protection cannot be known or suspended, no measured
// setting is written. Without the switch nothing changes but what the run
// says: a protected drive whose measured settings changed may ask for the
// recovery key at the next start. The check says the same of what its
// remediation would change.
#ifndef VORT64_OPS_BITLOCKER_H_
#define VORT64_OPS_BITLOCKER_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/setting_kind.h"
#include "wmi/drive_protection.h"

namespace vort64 {

class Console;
class SettingCatalog;

// What the run did about BitLocker, for the JSON answer.
struct BitLockerRecord {
  bool asked = false;   // "/suspend-bitlocker"
  bool looked = false;  // GetProtectionStatus was called
  std::string drive;
  std::optional<bool> protectedDrive;  // as GetProtectionStatus said; nothing when it could not be known
  std::string why;                     // why the protection could not be known, suspended or resumed
  std::optional<uint32_t> code;        // the code of that call
  MeasuredReasons measured;            // what the run was about to change (the check: what the remediation would)
  bool mayChange = false;              // a load: measured settings may change, which cannot be known before
  bool suspended = false;              // suspended for one restart
  bool resumed = false;                // suspended, then resumed
  bool withheld = false;               // measured settings were not written
  bool recoveryMayBeAsked = false;     // the next start may ask for the recovery key
  bool failed = false;                 // a resume that failed
  std::vector<std::string> said;       // each line the run said of it, without its line end
  bool Shown() const { return asked || looked; }
};

class BitLockerGuard {
 public:
  // `drive` may be null: the run then knows no drive (every read of it says
  // so). `suspend`: the command line's "/suspend-bitlocker".
  BitLockerGuard(Console& console, DriveProtection* drive, bool suspend);

  // Before a write to the current settings that changes `changing` (the
  // first time: `before` is the block as read; nothing for a load, whose
  // changes are not known before: `mayChange`). True when the measured
  // settings may be written; false when they must be left as read (the
  // protection could not be known or suspended; said).
  bool MayWrite(const SettingCatalog& catalog, std::span<const uint8_t> before, MeasuredReasons changing,
                bool mayChange = false);
  // After that write: the block the firmware holds now (read back, or as
  // sent when the write is not read back); nothing when the write failed.
  void Written(std::optional<std::span<const uint8_t>> now);
  // After a write that passed but whose block could not be read: measured
  // settings may have changed.
  void WrittenUnknown();
  // A load without "/suspend-bitlocker": what it changes is not read before
  // (the load stays one call), so a protected drive is told after a load
  // that passed that the next start may ask for the recovery key.
  void LoadWithoutSuspending();
  void Loaded(bool passed);
  // At the end of a function that writes settings: resumes a suspension the
  // run turned out not to need and says what became of the protection.
  // False when a resume failed (the cause is in the record).
  bool Finish();
  // The check: the remediation would change `reasons`.
  void Remediation(MeasuredReasons reasons);

  bool suspendAsked() const { return record_.asked; }
  const BitLockerRecord& record() const { return record_; }

 private:
  // GetProtectionStatus, once per run.
  void Look();
  void Say(const std::string& line);
  std::string Drive();

  Console& console_;
  DriveProtection* drive_;
  BitLockerRecord record_;
  const SettingCatalog* catalog_ = nullptr;
  std::vector<uint8_t> start_;  // the block before the first write that changes a measured setting
  std::vector<uint8_t> now_;    // the block after the last write
  bool writeFailed_ = false;
  bool unknownAfter_ = false;
  bool loadedUnread_ = false;
  bool finished_ = false;
};

}  // namespace vort64

#endif  // VORT64_OPS_BITLOCKER_H_
