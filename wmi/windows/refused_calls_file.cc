#include "wmi/windows/refused_calls_file.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <array>
#include <memory>

#include "wmi/refused_calls.h"

namespace vort64 {
namespace {

// Only SYSTEM and the Administrators, inherited by what the folder holds.
constexpr wchar_t kFolderAcl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr DWORD kFileLimit = 256;

struct LocalFreer {
  void operator()(void* p) const { LocalFree(p); }
};
struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Own(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

std::optional<std::wstring> Folder() {
  std::array<wchar_t, MAX_PATH> data{};
  const DWORD n = GetEnvironmentVariableW(L"ProgramData", data.data(), static_cast<DWORD>(data.size()));
  if (n == 0 || n >= data.size()) return std::nullopt;
  return std::wstring(data.data(), n) + L"\\Vort64";
}

std::wstring FileIn(const std::wstring& folder) {
  const std::string name = kRefusedCallsFileName;
  return folder + L"\\" + std::wstring(name.begin(), name.end());
}

// Whether `owner` is the account this process runs as (an administrator's
// own account owns what it makes where policy says so).
bool OwnedByThisAccount(PSID owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const UniqueHandle held = Own(token);
  alignas(TOKEN_USER) std::array<unsigned char, 256> data{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, data.data(), static_cast<DWORD>(data.size()), &size)) return false;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(data.data());
  return EqualSid(owner, user->User.Sid) != FALSE;
}

// Whether the folder is a folder (not a link to one) owned by SYSTEM, the
// Administrators or the account running this, so that no one else could
// have set its count.
bool Trusted(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, LocalFreer> held(descriptor);
  if (owner == nullptr) return false;
  if (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) return true;
  return OwnedByThisAccount(owner);
}

// The folder, made with its ACL when missing; nothing when it cannot be made
// or trusted.
std::optional<std::wstring> MadeFolder() {
  const auto folder = Folder();
  if (!folder) return std::nullopt;
  if (GetFileAttributesW(folder->c_str()) == INVALID_FILE_ATTRIBUTES) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderAcl, SDDL_REVISION_1, &descriptor, nullptr)) {
      return std::nullopt;
    }
    const std::unique_ptr<void, LocalFreer> held(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    if (!CreateDirectoryW(folder->c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return std::nullopt;
    }
  }
  if (!Trusted(*folder)) return std::nullopt;
  return folder;
}

}  // namespace

std::string CurrentWindowsStart(uint64_t machine) {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = GetTickCount64();
  const uint64_t since1601 = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr uint64_t k1970 = 116444736000000000ull;  // 1970-01-01 in 100 ns since 1601
  const int64_t nowSeconds = static_cast<int64_t>((since1601 - k1970) / 10000000ull);
  return FormatWindowsStart({machine, nowSeconds - static_cast<int64_t>(ticks / 1000), ticks});
}

std::optional<int> ReadRefusedCallsFile(const std::string& now) {
  const auto folder = Folder();
  if (!folder) return std::nullopt;
  if (GetFileAttributesW(folder->c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
    return 0;
  }
  if (!Trusted(*folder)) return std::nullopt;
  const std::wstring path = FileIn(*folder);
  const UniqueHandle file = Own(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(0) : std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || info.nFileSizeHigh != 0 || info.nFileSizeLow > kFileLimit) {
    return std::nullopt;
  }
  std::array<char, kFileLimit> data{};
  DWORD read = 0;
  if (!ReadFile(file.get(), data.data(), info.nFileSizeLow, &read, nullptr) || read != info.nFileSizeLow) {
    return std::nullopt;
  }
  const auto record = ParseRefusedCalls(std::string_view(data.data(), read));
  if (!record || !ParseWindowsStart(record->start)) return std::nullopt;
  return SameWindowsStart(record->start, now) ? record->refused : 0;
}

bool WriteRefusedCallsFile(const std::string& now, int count) {
  const auto folder = MadeFolder();
  if (!folder) return false;
  const std::wstring path = FileIn(*folder);
  const std::wstring temporary = path + L".new";
  const std::string text = FormatRefusedCalls({now, count});
  // A temporary left by a run that was killed is not ours to reuse: it goes.
  DeleteFileW(temporary.c_str());
  {
    const UniqueHandle file =
        Own(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace vort64
