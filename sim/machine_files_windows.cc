// Machine files over the C++ streams, for the Windows build of the simulated
// machine: each file is opened for each read or write, so that none stays
// open (Windows removes no open file).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>
#include <utility>

#include "sim/machine_files.h"
#include "sim/machine_files_platform.h"

namespace vort64::sim {

FileRead ReadUpTo(const std::filesystem::path& path, size_t count) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return {FileState::kMissing, {}};
  // Only a regular file is read: a directory cannot be, and a pipe or a
  // device may never end.
  if (ec || status.type() != std::filesystem::file_type::regular) return {FileState::kUnreadable, {}};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {FileState::kUnreadable, {}};

  FileRead read{FileState::kRead, {}};
  std::array<char, 4096> chunk;
  while (read.bytes.size() < count) {
    const size_t want = std::min(chunk.size(), count - read.bytes.size());
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    const auto got = static_cast<size_t>(in.gcount());
    read.bytes.insert(read.bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < want) break;
  }
  if (in.bad()) return {FileState::kUnreadable, {}};
  return read;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

// Windows keeps no POSIX modes: the file inherits its directory's access list.
bool WritePrivateFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  return WriteFileBytes(path, bytes);
}

MachineFile::MachineFile(std::filesystem::path path) : path_(std::move(path)) {}

MachineFile::~MachineFile() = default;

FileRead MachineFile::ReadOfSize(size_t size) { return ReadFileOfSize(path_, size); }

bool MachineFile::Rewrite(const std::vector<uint8_t>& bytes) { return WriteFileBytes(path_, bytes); }

bool MachineFile::Write(const std::vector<uint8_t>& bytes) { return WriteFileBytes(path_, bytes); }

void MachineFile::Close() {}

AppendFile::AppendFile(std::filesystem::path path) : path_(std::move(path)) {}

AppendFile::~AppendFile() = default;

void AppendFile::Append(std::string_view line) {
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void AppendFile::Close() {}

FileLock::FileLock(std::filesystem::path path) : path_(std::move(path)) {}

// The file is opened for each lock and closed with its unlock: Windows
// removes no open file, nor the directory that holds it.
FileLock::~FileLock() { Unlock(); }

FileLock::Outcome FileLock::TryLock() { return Take(false); }

FileLock::Outcome FileLock::Lock() { return Take(true); }

FileLock::Outcome FileLock::Take(bool wait) {
  if (handle_ == -1) {
    const HANDLE h = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      const bool noPlace = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_DIRECTORY;
      return noPlace ? Outcome::kNoPlace : Outcome::kFailed;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
  }
  OVERLAPPED at{};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (!LockFileEx(reinterpret_cast<HANDLE>(handle_), flags, 0, 1, 0, &at)) {
    const Outcome outcome = GetLastError() == ERROR_LOCK_VIOLATION ? Outcome::kBusy : Outcome::kFailed;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    return outcome;
  }
  held_ = true;
  return Outcome::kHeld;
}

void FileLock::Unlock() {
  if (held_) {
    OVERLAPPED at{};
    UnlockFileEx(reinterpret_cast<HANDLE>(handle_), 0, 1, 0, &at);
  }
  held_ = false;
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

}  // namespace vort64::sim
