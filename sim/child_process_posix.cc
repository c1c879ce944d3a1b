#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "sim/child_process.h"

extern char** environ;

namespace vort64::sim {

std::optional<int> RunChild(const ChildRun& run) {
  std::vector<std::string> envStrings;
  const std::string prefix = run.envName + "=";
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    if (!entry.starts_with(prefix)) envStrings.push_back(entry);
  }
  envStrings.push_back(prefix + run.envValue);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings = {run.program.string()};
  argStrings.insert(argStrings.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  // The output files are new: never an existing file, never through a link.
  constexpr int kNewFile = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  const int out = open(run.outFile.c_str(), kNewFile, 0600);
  const int err = out < 0 ? -1 : open(run.errFile.c_str(), kNewFile, 0600);
  if (out < 0 || err < 0) {
    if (out >= 0) close(out);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  posix_spawn_file_actions_addchdir_np(&actions, run.workDir.c_str());

  std::optional<int> exitCode;
  pid_t pid = 0;
  if (posix_spawn(&pid, run.program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, 0)) == -1 && errno == EINTR) {
    }
    // posix_spawn reports a program that cannot be executed as exit code
    // 127 of the child.
    if (ended == pid && WIFEXITED(status)) exitCode = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out);
  close(err);
  return exitCode;
}

std::filesystem::path OwnDirectory(const char* argv0) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
  return std::filesystem::absolute(argv0, ec).parent_path();
}

}  // namespace vort64::sim
