#include "cli/password_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>
#include <system_error>
#include <tuple>

#include "base/parsed_request.h"
#include "base/text.h"
#include "base/text_rules.h"
#include "cli/messages.h"
#include "cli/value_parsers.h"

namespace vort64 {
namespace {

constexpr std::wstring_view kPasswordFileSwitch = L"/password-file";

std::string Reason(const PasswordFileRead& read) {
  using Kind = PasswordFileRead::Kind;
  const std::string line = read.line == 1 ? "its first line" : "its line " + std::to_string(read.line);
  switch (read.kind) {
    case Kind::kMissing: return "there is no such file";
    case Kind::kNotRegular: return "it is not a regular file";
    case Kind::kTooLarge: return "it holds more than " + std::to_string(kPasswordFileLimit) + " bytes";
    case Kind::kNoLine: return "it holds no line";
    case Kind::kEmptyLine: return line + " is empty";
    case Kind::kNul: return line + " holds a NUL byte";
    case Kind::kNotPrintable: return line + " holds a control character";
    case Kind::kUnreadable: return "it cannot be read";
    case Kind::kRead: break;
  }
  return "";
}

PasswordFileRead Outcome(PasswordFileRead::Kind kind) {
  PasswordFileRead read;
  read.kind = kind;
  return read;
}

// Why a line cannot be a password: nothing when it can.
std::optional<PasswordFileRead::Kind> LineProblem(std::string_view line) {
  using Kind = PasswordFileRead::Kind;
  if (line.empty()) return Kind::kEmptyLine;
  if (line.find('\0') != std::string_view::npos) return Kind::kNul;
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::any_of(line.begin(), line.end(), control)) return Kind::kNotPrintable;
  return std::nullopt;
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
  if (status.type() == std::filesystem::file_type::not_found) return Outcome(Kind::kMissing);
  if (ec) return Outcome(Kind::kUnreadable);
  if (!std::filesystem::is_regular_file(status)) return Outcome(Kind::kNotRegular);
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return Outcome(Kind::kUnreadable);
  // One byte more than the limit tells a file that is too large.
  std::string bytes(kPasswordFileLimit + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return Outcome(Kind::kUnreadable);
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > kPasswordFileLimit) return Outcome(Kind::kTooLarge);
  if (bytes.empty()) return Outcome(Kind::kNoLine);
  // The lines, each without its line end; a last line end ends the file.
  std::vector<std::string_view> lines;
  for (std::string_view rest(bytes); !rest.empty();) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  PasswordFileRead read = Outcome(Kind::kRead);
  read.openToOthers = OpenToOthers(status);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (const auto problem = LineProblem(lines[i])) {
      read.kind = *problem;
      read.line = i + 1;
      return read;
    }
    if (i == 0) {
      read.password = Utf8ToWide(lines[i]);
    } else {
      read.earlier.push_back(Utf8ToWide(lines[i]));
    }
  }
  return read;
}

std::optional<std::vector<std::wstring>> ResolvePasswordFile(Console& console, std::span<const std::wstring> args,
                                                             EarlierPasswords* earlier) {
  std::vector<std::wstring> resolved(args.begin(), args.end());
  if (args.size() < 3 || AsciiToLower(CText(args[1])) != kPasswordFileSwitch) return resolved;
  const std::wstring_view file = CText(args[2]);
  const std::string name = WideToUtf8(file);
  const PasswordFileRead read = ReadPasswordFile(std::filesystem::path(std::u8string(name.begin(), name.end())));
  if (read.kind != PasswordFileRead::Kind::kRead) {
    console.Err("Password file " + Printable(name) + ": " + Reason(read) + ".\n\n");
    ShowUsage(console);
    return std::nullopt;
  }
  if (read.openToOthers) {
    console.Err("Warning: password file " + Printable(name) +
                " may be read or written by others than its owner (chmod 600 " + Printable(name) +
                " keeps it to its owner).\n");
  }
  resolved[1] = L"/password";
  resolved[2] = read.password;
  if (earlier) *earlier = {read.earlier, name};
  return resolved;
}

std::optional<std::vector<std::string>> EarlierPasswordFields(const RunContext& ctx, const EarlierPasswords& earlier) {
  std::vector<std::string> fields;
  for (size_t i = 0; i < earlier.lines.size(); ++i) {
    const std::wstring kept = CurrentPasswordAsKept(ctx, earlier.lines[i]);
    const char* problem = nullptr;
    if (kept.size() > ctx.version.PasswordMaxLength()) {
      problem = "is longer than a password of this interface version";
    } else if (!std::all_of(kept.begin(), kept.end(), [](wchar_t c) { return IsPrintableAscii(c); })) {
      problem = "holds a character no password takes";
    }
    if (problem) {
      ctx.console.Err("Password file " + Printable(earlier.file) + ": its line " + std::to_string(i + 2) + " " +
                      problem + ".\n\n");
      ShowUsage(ctx.console);
      return std::nullopt;
    }
    std::array<char, std::tuple_size_v<decltype(ParsedRequest::currentPassword)>> field{};
    const std::string narrow = AsciiNarrow(kept);
    std::copy_n(narrow.begin(), std::min(narrow.size(), field.size()), field.begin());
    fields.emplace_back(field.data(), field.size());
  }
  return fields;
}

}  // namespace vort64
