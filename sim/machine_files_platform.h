// What reading and writing machine files takes from the operating system:
// POSIX file descriptors, or on Windows the C++ streams.
#ifndef VORT64_SIM_MACHINE_FILES_PLATFORM_H_
#define VORT64_SIM_MACHINE_FILES_PLATFORM_H_

#include <cstddef>
#include <filesystem>

#include "sim/machine_files.h"

namespace vort64::sim {

// Up to `count` bytes from the start of a regular file (missing: kMissing;
// not a regular file or not readable: kUnreadable).
FileRead ReadUpTo(const std::filesystem::path& path, size_t count);

// `read` (of up to size + 1 bytes) as a file that must hold exactly `size`
// bytes: kTooShort or kTooLong otherwise.
FileRead OfSize(FileRead read, size_t size);

}  // namespace vort64::sim

#endif  // VORT64_SIM_MACHINE_FILES_PLATFORM_H_
