#include "ops/bitlocker.h"

#include <algorithm>

#include "base/console.h"
#include "catalog/catalog.h"

namespace vort64 {

BitLockerGuard::BitLockerGuard(Console& console, DriveProtection* drive, bool suspend)
    : console_(console), drive_(drive) {
  record_.asked = suspend;
}

std::string BitLockerGuard::Drive() {
  if (record_.drive.empty()) record_.drive = drive_ ? drive_->Drive() : "C:";
  return record_.drive;
}

void BitLockerGuard::Say(const std::string& line) {
  record_.said.push_back(line);
  console_.Out(line + "\n");
}

void BitLockerGuard::Look() {
  if (record_.looked) return;
  record_.looked = true;
  Drive();
  if (!drive_) {
    record_.why = ProtectionCodeWords(kWbemInvalidNamespace);
    record_.code = kWbemInvalidNamespace;
    return;
  }
  const ProtectionStatus status = drive_->Status();
  record_.protectedDrive = status.on;
  if (!status.on) {
    record_.why =
        status.code == 0 ? "GetProtectionStatus answered that it cannot tell (the volume may be locked)" : status.why;
    if (status.code != 0) record_.code = status.code;
  }
}

bool BitLockerGuard::MayWrite(const SettingCatalog& catalog, std::span<const uint8_t> before, MeasuredReasons changing,
                              bool mayChange) {
  if (changing.empty() && !mayChange) return true;
  if (!catalog_) {
    catalog_ = &catalog;
    start_.assign(before.begin(), before.end());
  }
  record_.measured.Add(changing);
  record_.mayChange = record_.mayChange || mayChange;
  Look();
  if (!record_.asked || record_.suspended) return true;
  const std::string what = changing.empty() ? "settings measured at start may change" : changing.Text() + " changes";
  if (!record_.protectedDrive) {
    record_.withheld = true;
    Say("BitLocker: the protection of " + Drive() + " could not be read (" + record_.why +
        "): no setting measured at start was written (" + what + ").");
    return false;
  }
  if (!*record_.protectedDrive) return true;
  const ProtectionCall call = drive_->Suspend(1);
  if (!call.done) {
    record_.withheld = true;
    record_.why = call.why;
    record_.code = call.code;
    Say("BitLocker: the protection of " + Drive() + " could not be suspended (" + call.why +
        "): no setting measured at start was written (" + what + ").");
    return false;
  }
  record_.suspended = true;
  Say("BitLocker: protection of " + Drive() + " suspended for one restart (" + what + ")");
  return true;
}

void BitLockerGuard::Written(std::optional<std::span<const uint8_t>> now) {
  if (!catalog_) return;
  if (!now) {
    writeFailed_ = true;
    return;
  }
  writeFailed_ = false;
  now_.assign(now->begin(), now->end());
}

void BitLockerGuard::WrittenUnknown() {
  writeFailed_ = false;
  unknownAfter_ = true;
}

void BitLockerGuard::LoadWithoutSuspending() {
  record_.mayChange = true;
  Look();
}

void BitLockerGuard::Loaded(bool passed) { loadedUnread_ = passed; }

bool BitLockerGuard::Finish() {
  if (finished_) return !record_.failed;
  finished_ = true;
  const MeasuredReasons changed =
      catalog_ && !now_.empty() ? MeasuredSettingsChanged(*catalog_, start_, now_) : MeasuredReasons();
  if (record_.suspended) {
    if (!changed.empty() || unknownAfter_) return true;
    const std::string because =
        writeFailed_ && now_.empty() ? "the write failed" : "no setting measured at start changed";
    const ProtectionCall call = drive_->Resume();
    if (call.done) {
      record_.resumed = true;
      Say("BitLocker: protection of " + Drive() + " resumed (" + because + ")");
      return true;
    }
    record_.failed = true;
    record_.why = call.why;
    record_.code = call.code;
    Say("BitLocker: the protection of " + Drive() + " could not be resumed (" + call.why +
        "): it stays suspended until the next restart.");
    return false;
  }
  if (record_.withheld) return true;
  const bool protectedNow = record_.protectedDrive.value_or(false);
  if (protectedNow && loadedUnread_) {
    record_.recoveryMayBeAsked = true;
    Say("BitLocker: " + Drive() +
        " is protected and the load may have changed settings measured at start: the next start may ask for the "
        "recovery key.");
    return true;
  }
  if (protectedNow && !changed.empty()) {
    record_.recoveryMayBeAsked = true;
    Say("BitLocker: " + Drive() + " is protected and settings measured at start changed (" + changed.Text() +
        "): the next start may ask for the recovery key.");
    return true;
  }
  if (!record_.asked) return true;
  if (record_.measured.empty() && !record_.mayChange) {
    Say("BitLocker: no setting measured at start changes: the protection of " + Drive() + " was not suspended.");
  } else if (record_.protectedDrive && !*record_.protectedDrive) {
    Say("BitLocker: " + Drive() + " is not protected now: nothing was suspended.");
  }
  return true;
}

void BitLockerGuard::Remediation(MeasuredReasons reasons) {
  if (reasons.empty()) return;
  record_.measured.Add(reasons);
  Look();
  if (!record_.protectedDrive.value_or(false)) return;
  record_.recoveryMayBeAsked = true;
  Say("BitLocker: " + Drive() + " is protected and the remediation would change settings measured at start (" +
      reasons.Text() + "): without /suspend-bitlocker the next start may ask for the recovery key.");
}

}  // namespace vort64
