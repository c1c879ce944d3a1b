// The firmware's option methods, above the seam: finding the instance,
// building the parameters, executing, and turning each return code into
// the program's message, which each call hands back with its outcome for
// its caller to say (ops/firmware_calls).
#ifndef VORT64_WMI_FIRMWARE_METHODS_H_
#define VORT64_WMI_FIRMWARE_METHODS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/interface_version.h"
#include "base/messages.h"
#include "base/refusal_lines.h"
#include "wmi/firmware.h"
#include "wmi/firmware_facts.h"

namespace vort64 {

// What a method call came to: whether the method ran, and its ReturnCode
// (1 when it could not be executed); and what the call has to say, in
// order: the password file's lines, then the method's message for the
// outcome (a Say, or an Out where it shows even while quiet).
struct MethodOutcome {
  // Why a call that was asked for was not sent (executed is false then):
  // the count of refused password calls kept across runs allows no further
  // one, or that count could not be read or written.
  enum class Withheld { kNo, kLockoutAvoided, kCountUnusable };

  bool executed = false;
  int32_t code = kFirmwareNotSupported;
  Messages said{};
  Withheld withheld = Withheld::kNo;

  bool passed() const { return executed && Passed(code); }
  bool rebootRequired() const { return executed && code == kFirmwareRebootRequired; }
  // The firmware refused the password: incorrect (2), or its retry count is
  // exceeded (7).
  bool passwordRefused() const {
    return executed && (code == kFirmwareIncorrectPassword || code == kFirmwareRetryExceeded);
  }
};

// Refused calls made at most in a row, by one run and by all runs since
// the machine started (Firmware::RefusedPasswordCalls): the firmware locks
// after three wrong passwords in a row, so the program never takes the last
// one.
inline constexpr int kMostRefusedCalls = kWrongPasswordsBeforeLockout - 1;

// The passwords of a run and what the firmware made of them. Every method
// call sent the run's own password (the request's) is sent the password in
// use instead: the run's own, or, once the firmware refused that (2) before
// any call of the run was accepted, the next earlier password of the
// password file, as long as no more than kMostRefusedCalls calls were
// refused. Once a password is accepted, every later call uses it; once the
// run's passwords are refused for good, no further call is made and each
// answers as the last refused one did.
// A call whose password the run has not seen accepted is counted in the
// machine's count of refused password calls before it is sent (so that a
// run killed during it has counted it), and not sent when that count is
// kMostRefusedCalls already; an accepted call sets the count to 0, a call
// that did not execute takes its count back.
struct RunPasswords {
  enum class State { kUntried, kAccepted, kRefused };
  // The earlier passwords (lines 2 on of the password file) as the firmware
  // methods take them, NUL-padded, and the file's name for the message
  // "password: line N of FILE accepted".
  std::vector<std::string> earlier;
  std::string file;

  State state = State::kUntried;
  size_t inUse = 0;  // 0: the run's own password; N: earlier[N - 1]
  int refusedCalls = 0;
  // kRefused: what stopped the trying of the next line, when not this run's
  // own limit.
  MethodOutcome::Withheld stoppedBy = MethodOutcome::Withheld::kNo;
  MethodOutcome refusal;  // kRefused: the last refused call's outcome (nothing said)
  std::string own;        // the run's own password, as first sent

  // The password in use, NUL-padded: the run's own, or the earlier one the
  // firmware accepted.
  std::string_view InUse() const { return inUse == 0 ? std::string_view(own) : std::string_view(earlier[inUse - 1]); }
};

// The open connection the firmware methods run on: the firmware behind the
// seam, the interface version and SMBIOS tables read once when the run
// connected (no version when the tables hold none), and the run's
// passwords.
struct FirmwareSession {
  Firmware& firmware;
  std::optional<InterfaceVersion> version;
  const RawSmbiosTable* smbios = nullptr;  // as read when the run connected
  RunPasswords passwords{};
};

// The path of the first instance the query finds that has an InstanceName:
// Class.InstanceName="..." with every backslash doubled, at most 259
// characters. Empty when there is none. Returns the status of the query.
Status GetInstancePath(Firmware& firmware, std::wstring_view className, std::wstring_view query, std::wstring& path);

// Finds the instance, puts the in-parameters in order, executes and reads the
// out-parameters in order. Returns kStatusOk when the method ran and every
// out-parameter was read, otherwise the status of the step that failed.
// The parameters are taken over by the call (move them in to spare a copy).
Status CallFirmwareMethod(Firmware& firmware, std::wstring_view className, std::wstring_view methodName,
                          std::wstring_view query, std::vector<NamedValue> in, std::vector<std::wstring> outNames,
                          std::vector<FirmwareValue>& out);

// The Password parameter for a password held in a NUL-padded field: its
// bytes, zero-filled to 12 or (with InterfaceRule::kLongPasswords) 16, as
// scan codes where the version sends them; 12 bytes of characters when the
// version is unknown. Returns the password's length, sent as PasswordLen;
// a password longer than the array is cut to it.
int16_t MakePasswordVariant(FirmwareSession& session, std::string_view password, FirmwareValue& variant);

// The six operations. Each returns its outcome with what it has to say in
// `said` (the password file's lines of the call, then its message for the
// outcome); it prints nothing. They stand in a namespace of their own so
// that a call above the seam names them on purpose: the program calls them
// through ops/firmware_calls, which says their messages.
namespace methods {
MethodOutcome GetBiosOptions(FirmwareSession& session, std::string_view password, std::span<uint8_t> buffer);
MethodOutcome SetBiosOptions(FirmwareSession& session, std::string_view password, std::span<const uint8_t> buffer);
MethodOutcome GetBiosDefaultOptions(FirmwareSession& session, std::string_view password, std::span<uint8_t> buffer);
MethodOutcome SetBiosDefaultOptions(FirmwareSession& session, std::string_view password,
                                    std::span<const uint8_t> buffer);
MethodOutcome LoadBIOSDefault(FirmwareSession& session, std::string_view password);
MethodOutcome LoadUserDefault(FirmwareSession& session, std::string_view password);
}  // namespace methods

}  // namespace vort64

#endif  // VORT64_WMI_FIRMWARE_METHODS_H_
