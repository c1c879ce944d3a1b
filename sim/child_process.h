// Runs another program to its end: the program a rehearsal drives against
// its twins, as an administrator's script would run it.
#ifndef VORT64_SIM_CHILD_PROCESS_H_
#define VORT64_SIM_CHILD_PROCESS_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vort64::sim {

// How to run one program: its arguments, its working directory, one
// environment variable put over the current environment, and the two new
// files its standard output and standard error go to (created here, never
// opened through a link or over an existing file). Standard input is empty.
struct ChildRun {
  std::filesystem::path program;
  std::vector<std::string> args;
  std::filesystem::path workDir;
  std::string envName;
  std::string envValue;
  std::filesystem::path outFile;
  std::filesystem::path errFile;
};

// The program's exit code; nothing when it could not be started (or its
// output files could not be made) or did not end by itself.
std::optional<int> RunChild(const ChildRun& run);

// The directory this program's own executable lies in (`argv0` where the
// system does not tell).
std::filesystem::path OwnDirectory(const char* argv0);

// The name of the vort64 executable beside vort-sim.
#ifdef _WIN32
inline constexpr char kProgramFileName[] = "Vort64.exe";
#else
inline constexpr char kProgramFileName[] = "vort64";
#endif

}  // namespace vort64::sim

#endif  // VORT64_SIM_CHILD_PROCESS_H_
