// Machine files over the C++ streams, for the Windows build of the simulated
// machine: each file is opened for each read or write, so that none stays
// open (Windows removes no open file).
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

}  // namespace vort64::sim
