// The faults file of a simulated machine: outcomes to force, one a line.
//
//   <method> <code>|fail    a method answers <code>, or does not execute
//   session fail            the connection cannot be opened
//   smbios fail             the SMBIOS tables cannot be read
//   stuck <offset>          the Set methods keep the stored value of that block byte
//   delay <ms>              every method call takes that many milliseconds (0 to 60000)
//
// A line starting with '#' is a comment, words after the second are ignored,
// and a line that says nothing of the above is ignored.
#ifndef VORT64_SIM_FAULTS_H_
#define VORT64_SIM_FAULTS_H_

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vort64::sim {

inline constexpr char kSessionFault[] = "session";
inline constexpr char kSmbiosFault[] = "smbios";
inline constexpr char kStuckFault[] = "stuck";
inline constexpr char kDelayFault[] = "delay";
// The longest delay a faults file can ask for.
inline constexpr std::chrono::milliseconds kLongestDelay{60000};

// A forced outcome: the step does not execute, or answers a return code.
struct ForcedOutcome {
  enum class Kind { kFail, kCode };
  Kind kind = Kind::kFail;
  int32_t code = 0;

  bool fails() const { return kind == Kind::kFail; }
  bool operator==(const ForcedOutcome&) const = default;
};

class Faults {
 public:
  // No fault.
  Faults() = default;
  // The faults of a file's text.
  static Faults Parse(std::string_view text);
  // A faults file that cannot be read: every step fails.
  static Faults Unreadable();

  // The outcome forced on a method, "session" or "smbios".
  std::optional<ForcedOutcome> For(std::string_view what) const;
  bool Fails(std::string_view what) const;

  // Puts back the stored value of every stuck byte into a block the firmware
  // is about to store.
  void KeepStuckBytes(const std::vector<uint8_t>& stored, std::vector<uint8_t>& block) const;
  const std::set<uint32_t>& stuckBytes() const { return stuck_; }
  // How long each method call takes: as a firmware round trip on a notebook.
  std::chrono::milliseconds delay() const { return delay_; }

 private:
  bool unreadable_ = false;
  std::map<std::string, ForcedOutcome, std::less<>> forced_;
  std::set<uint32_t> stuck_;
  std::chrono::milliseconds delay_{0};
};

}  // namespace vort64::sim

#endif  // VORT64_SIM_FAULTS_H_
