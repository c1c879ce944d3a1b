// RunChild on Windows: CreateProcessW with the standard streams in files and
// no console of the child's own, as a deployment script runs the program
// with its output redirected.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <system_error>

#include "sim/child_process.h"

namespace vort64::sim {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// One argument quoted the way the C runtime splits a command line.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  for (auto it = arg.begin();; ++it) {
    size_t backslashes = 0;
    while (it != arg.end() && *it == L'\\') {
      ++it;
      ++backslashes;
    }
    if (it == arg.end()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    line.append(*it == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    line += *it;
  }
  line += L'"';
}

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

// The current environment with one variable put over it, as a
// CreateProcessW block (sorted, as Windows keeps it).
std::vector<wchar_t> EnvironmentBlock(const std::string& name, const std::string& value) {
  const std::wstring key = Upper(Wide(name));
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
      const std::wstring entry(p);
      const size_t eq = entry.find(L'=', 1);  // "=C:=C:\x" entries start with '='
      if (Upper(entry.substr(0, eq)) != key) entries.push_back(entry);
    }
    FreeEnvironmentStringsW(block);
  }
  entries.push_back(Wide(name) + L"=" + Wide(value));
  std::sort(entries.begin(), entries.end(),
            [](const std::wstring& a, const std::wstring& b) { return Upper(a) < Upper(b); });
  std::vector<wchar_t> result;
  for (const auto& e : entries) {
    result.insert(result.end(), e.begin(), e.end());
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

// A new file (never an existing one) the child inherits.
HANDLE CreateInheritable(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

HANDLE OpenNul() {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  return CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Wine reports a process as ended before it has closed all its handles, the
// one on its working directory among them, and while that is open the
// directory cannot be removed. Waits (a few seconds at most) until it can.
void WaitUntilReleased(const std::filesystem::path& directory) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const HANDLE h = CreateFileW(directory.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return;
    Sleep(5);
  }
}

}  // namespace

std::optional<int> RunChild(const ChildRun& run) {
  Handle in(OpenNul());
  Handle out(CreateInheritable(run.outFile));
  Handle err(CreateInheritable(run.errFile));
  if (!in.valid() || !out.valid() || !err.valid()) return std::nullopt;

  std::wstring line;
  AppendQuoted(line, run.program.wstring());
  for (const auto& arg : run.args) {
    line += L' ';
    AppendQuoted(line, Wide(arg));
  }
  std::vector<wchar_t> lineBuffer(line.begin(), line.end());
  lineBuffer.push_back(L'\0');
  std::vector<wchar_t> environment = EnvironmentBlock(run.envName, run.envValue);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION info{};
  const std::wstring cwd = run.workDir.wstring();
  // A start refused for a moment (Wine under load has been seen to) is tried
  // again, a few times, before the step counts as not run.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(run.program.c_str(), lineBuffer.data(), nullptr, nullptr, TRUE,
                             CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment.data(), cwd.c_str(), &startup,
                             &info) != 0;
  }
  if (!started) return std::nullopt;
  Handle process(info.hProcess);
  Handle thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process.get(), &code) != 0;
  WaitUntilReleased(run.workDir);
  if (!ended) return std::nullopt;
  return static_cast<int>(code);
}

std::filesystem::path OwnDirectory(const char* argv0) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) break;
    if (n < name.size()) {
      name.resize(n);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
  std::error_code ec;
  return std::filesystem::absolute(argv0, ec).parent_path();
}

}  // namespace vort64::sim
