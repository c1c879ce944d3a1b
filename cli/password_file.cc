#include "cli/password_file.h"

#include <algorithm>
#include <fstream>
#include <string_view>
#include <system_error>

#include "base/text.h"
#include "cli/messages.h"
#include "cli/text_rules.h"

namespace vort64 {
namespace {

constexpr std::wstring_view kPasswordFileSwitch = L"/password-file";

std::string Reason(PasswordFileRead::Kind kind) {
  using Kind = PasswordFileRead::Kind;
  switch (kind) {
    case Kind::kMissing: return "there is no such file";
    case Kind::kNotRegular: return "it is not a regular file";
    case Kind::kTooLarge: return "it holds more than " + std::to_string(kPasswordFileLimit) + " bytes";
    case Kind::kNoLine: return "it holds no line";
    case Kind::kEmptyLine: return "its first line is empty";
    case Kind::kNul: return "its first line holds a NUL byte";
    case Kind::kNotPrintable: return "its first line holds a control character";
    case Kind::kUnreadable: return "it cannot be read";
    case Kind::kRead: break;
  }
  return "";
}

// Whether the group or anyone else may read or write the file. Windows
// guards a file with its access list, which the permission bits do not show.
bool OpenToOthers([[maybe_unused]] const std::filesystem::file_status& status) {
#if defined(_WIN32)
  return false;
#else
  using std::filesystem::perms;
  constexpr perms kOthers = perms::group_read | perms::group_write | perms::others_read | perms::others_write;
  return (status.permissions() & kOthers) != perms::none;
#endif
}

}  // namespace

PasswordFileRead ReadPasswordFile(const std::filesystem::path& path) {
  using Kind = PasswordFileRead::Kind;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return {Kind::kMissing, {}};
  if (ec) return {Kind::kUnreadable, {}};
  if (!std::filesystem::is_regular_file(status)) return {Kind::kNotRegular, {}};
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return {Kind::kUnreadable, {}};
  // One byte more than the limit tells a file that is too large.
  std::string bytes(kPasswordFileLimit + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return {Kind::kUnreadable, {}};
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > kPasswordFileLimit) return {Kind::kTooLarge, {}};
  if (bytes.empty()) return {Kind::kNoLine, {}};
  std::string_view line(bytes);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return {Kind::kEmptyLine, {}};
  if (line.find('\0') != std::string_view::npos) return {Kind::kNul, {}};
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::any_of(line.begin(), line.end(), control)) return {Kind::kNotPrintable, {}};
  return {Kind::kRead, Utf8ToWide(line), OpenToOthers(status)};
}

std::optional<std::vector<std::wstring>> ResolvePasswordFile(Console& console, std::span<const std::wstring> args) {
  std::vector<std::wstring> resolved(args.begin(), args.end());
  if (args.size() < 3 || AsciiToLower(CText(args[1])) != kPasswordFileSwitch) return resolved;
  const std::wstring_view file = CText(args[2]);
  const std::string name = WideToUtf8(file);
  const PasswordFileRead read = ReadPasswordFile(std::filesystem::path(std::u8string(name.begin(), name.end())));
  if (read.kind != PasswordFileRead::Kind::kRead) {
    console.Err("Password file " + name + ": " + Reason(read.kind) + ".\n\n");
    ShowUsage(console);
    return std::nullopt;
  }
  if (read.openToOthers) {
    console.Err("Warning: password file " + name + " may be read or written by others than its owner (chmod 600 " +
                name + " keeps it to its owner).\n");
  }
  resolved[1] = L"/password";
  resolved[2] = read.password;
  return resolved;
}

}  // namespace vort64
