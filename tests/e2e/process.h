// Runs the real programs the way a user or a deployment script does, and
// captures what they leave behind.
#ifndef VORT64_TESTS_E2E_PROCESS_H_
#define VORT64_TESTS_E2E_PROCESS_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vort64::e2e {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `args` in `workDir`, with `env` added to the
// environment, standard input from `input`.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::filesystem::path& workDir,
                         const std::string& input = "");

}  // namespace vort64::e2e

#endif  // VORT64_TESTS_E2E_PROCESS_H_
