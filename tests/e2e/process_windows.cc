// RunProcess for the Windows build of the end-to-end tests (run under Wine
// when cross-built): CreateProcessW with the standard streams in files and
// no console of the child's own (DETACHED_PROCESS), as a deployment script
// runs the program with its output redirected.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/process.h"

namespace vort64::e2e {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The console's line ends are CR LF on Windows; the tests compare lines.
std::string WithLfLineEnds(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
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
    if (*it == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    line += *it;
  }
  line += L'"';
}

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

// The current environment with `env` put over it, as a CreateProcessW block.
std::vector<wchar_t> EnvironmentBlock(const std::map<std::string, std::string>& env) {
  std::vector<std::wstring> entries;
  std::vector<std::wstring> keys;
  for (const auto& [key, value] : env) keys.push_back(Upper(Wide(key)));
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
      const std::wstring entry(p);
      const size_t eq = entry.find(L'=', 1);  // "=C:=C:\x" entries start with '='
      const std::wstring key = Upper(entry.substr(0, eq));
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) entries.push_back(entry);
    }
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [key, value] : env) entries.push_back(Wide(key) + L"=" + Wide(value));
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

HANDLE OpenInheritable(const std::filesystem::path& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::filesystem::path& workDir,
                         const std::string& input) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("vort64-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const auto inPath = dir / "in", outPath = dir / "out", errPath = dir / "err";
  std::ofstream(inPath, std::ios::binary) << input;

  ProcessResult result;
  {
    Handle in(OpenInheritable(inPath, false));
    Handle out(OpenInheritable(outPath, true));
    Handle err(OpenInheritable(errPath, true));
    if (!in.valid() || !out.valid() || !err.valid()) return result;

    std::wstring line;
    AppendQuoted(line, program.wstring());
    for (const auto& arg : args) {
      line += L' ';
      AppendQuoted(line, Wide(arg));
    }
    std::vector<wchar_t> lineBuffer(line.begin(), line.end());
    lineBuffer.push_back(L'\0');
    std::vector<wchar_t> environment = EnvironmentBlock(env);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION info{};
    const std::wstring cwd = workDir.wstring();
    // Wine now and then fails to start a process while others start at the
    // same time; the program never ran then, so it is started again.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
      if (attempt > 0) Sleep(200);
      started = CreateProcessW(program.c_str(), lineBuffer.data(), nullptr, nullptr, TRUE,
                               CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment.data(), cwd.c_str(), &startup,
                               &info) != 0;
    }
    if (started) {
      Handle process(info.hProcess);
      Handle thread(info.hThread);
      WaitForSingleObject(process.get(), INFINITE);
      DWORD code = 0;
      if (GetExitCodeProcess(process.get(), &code)) result.exitCode = static_cast<int>(code);
      WaitUntilReleased(workDir);
    }
  }
  result.out = WithLfLineEnds(Slurp(outPath));
  result.err = WithLfLineEnds(Slurp(errPath));
  std::filesystem::remove_all(dir, ec);
  return result;
}

}  // namespace vort64::e2e
