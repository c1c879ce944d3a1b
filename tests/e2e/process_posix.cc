#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "tests/e2e/process.h"

extern char** environ;

namespace vort64::e2e {
namespace {

constexpr auto kProcessTimeLimit = std::chrono::seconds(60);

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::filesystem::path& workDir,
                         const std::string& input) {
  // Output goes to files, so neither stream can fill a pipe and stall the child.
  char pattern[] = "/tmp/vort64-e2e-XXXXXX";
  const char* tmp = mkdtemp(pattern);
  if (!tmp) return {};
  const std::filesystem::path dir(tmp);
  const auto inPath = dir / "in", outPath = dir / "out", errPath = dir / "err";
  std::ofstream(inPath, std::ios::binary) << input;

  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const auto key = entry.substr(0, entry.find('='));
    if (!env.count(key)) envStrings.push_back(entry);
  }
  for (const auto& [key, value] : env) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings = {program.string()};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

  ProcessResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
    // A program that hangs (say, reading a pipe) is killed, so the test
    // fails instead of waiting forever.
    const auto deadline = std::chrono::steady_clock::now() + kProcessTimeLimit;
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 || (ended == -1 && errno == EINTR)) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        ended = waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ended == pid) result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return result;
}

}  // namespace vort64::e2e
