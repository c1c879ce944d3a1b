// "/password-file FILE" in place of "/password PASSWORD": the password is
// the first line of FILE, so that it shows neither in the process list nor
// in a deployment system's log of the command.
#ifndef VORT64_CLI_PASSWORD_FILE_H_
#define VORT64_CLI_PASSWORD_FILE_H_

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/run_context.h"

namespace vort64 {

// The largest password file read.
inline constexpr size_t kPasswordFileLimit = 1024;

// Reading a password file: the password (the first line as UTF-8, its line
// end dropped), or why there is none. A file holds a password and nothing
// else: a first line that is empty, or holds a NUL or another control
// character, is refused (a stray byte would otherwise be sent as part of the
// password, or cut it short, and spend one of the firmware's retries).
struct PasswordFileRead {
  enum class Kind {
    kRead,
    kMissing,
    kNotRegular,
    kTooLarge,
    kNoLine,
    kEmptyLine,     // a line is empty
    kNul,           // a line holds a NUL
    kNotPrintable,  // a line holds another control character
    kUnreadable,
  };
  Kind kind = Kind::kMissing;
  std::wstring password;  // kRead only
  // kRead: the lines after the first, each an earlier password, in order
  // (a last line end ends the file). kEmptyLine, kNul, kNotPrintable: the
  // line refused, from 1.
  std::vector<std::wstring> earlier;
  size_t line = 1;
  // kRead: others than the owner may read or write the file (never on
  // Windows, whose access lists this does not judge).
  bool openToOthers = false;
};
PasswordFileRead ReadPasswordFile(const std::filesystem::path& path);

// The arguments with "/password-file FILE" (the switch in any case, at
// position 1) replaced by "/password" and the password FILE holds; any
// other arguments as they are. A file that cannot give a password is said
// on standard error with the usage, and nothing is returned (the run ends
// with exit code 101); the message names the file and why, never what it
// holds. A file that others may read or write is said on standard error as
// a warning, and the run goes on. The length and character rules of the
// password are the parser's.
// The earlier passwords of a password file (its lines after the first):
// the run tries them in order when the firmware refuses the first.
struct EarlierPasswords {
  std::vector<std::wstring> lines;
  std::string file;  // the file's name as typed
};
std::optional<std::vector<std::wstring>> ResolvePasswordFile(Console& console, std::span<const std::wstring> args,
                                                             EarlierPasswords* earlier = nullptr);

// The earlier passwords as the firmware methods take them: each as the
// current password of the command line is kept (upper case where the
// version keeps no case), NUL-padded to the field of a request. Nothing when
// a line breaks the rules of a current password of the version: the file
// and the line are said on standard error (never the password), with the
// usage, and the run ends with exit code 101.
std::optional<std::vector<std::string>> EarlierPasswordFields(const RunContext& ctx, const EarlierPasswords& earlier);

}  // namespace vort64

#endif  // VORT64_CLI_PASSWORD_FILE_H_
