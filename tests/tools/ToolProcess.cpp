#include "tests/tools/ToolProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tests/support/TempDir.h"

extern char** environ;

namespace vxtest {

ToolRun runTool(const std::string& tool, const std::vector<std::string>& args,
                const EnvChanges& env, const std::string& scratchDir) {
  // The tools are built beside the test executables; VX_TEST_BIN_DIR names that folder
  // when the environment sets it.
  std::string binDir;
  if (const char* named = std::getenv("VX_TEST_BIN_DIR"); named && *named)
    binDir = named;
  else
    binDir = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  const std::string exe = binDir + "/" + tool;

  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool changed = false;
    for (const auto& [n, v] : env) changed = changed || n == name;
    if (!changed) envStrings.push_back(entry);
  }
  for (const auto& [n, v] : env)
    if (v) envStrings.push_back(n + "=" + *v);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{exe};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const std::string outPath = scratchDir + "/tool-stdout.txt";
  const std::string errPath = scratchDir + "/tool-stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + exe + ": " + std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) throw std::runtime_error("waitpid failed for " + exe);
  ToolRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = readAll(outPath);
  run.err = readAll(errPath);
  return run;
}

}  // namespace vxtest
