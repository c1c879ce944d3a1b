// Checks of the simulated machine's file layer: the faults parser and the
// file readers, each against the bytes it was given.
#ifndef VORT64_FUZZ_MACHINE_FILE_CHECKS_H_
#define VORT64_FUZZ_MACHINE_FILE_CHECKS_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace vort64::fuzz {

// Faults::Parse: stuck offsets inside the block, line ends of either kind
// and comments changing nothing, KeepStuckBytes touching stuck bytes only.
void CheckFaults(std::string_view text);

// The readers on a file that holds `bytes` (or, when `directory`, is a
// directory): each takes what its limit allows and says what it found.
void CheckFileReaders(const std::filesystem::path& path, std::span<const uint8_t> bytes, bool directory, size_t limit);

// ParseCount: decimal digits and a line break give the count (saturated),
// anything else nothing.
void CheckCount(std::string_view text);

}  // namespace vort64::fuzz

#endif  // VORT64_FUZZ_MACHINE_FILE_CHECKS_H_
