#include "tests/tools/ToolProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/TempDir.h"

extern char** environ;

namespace vxtest {

std::string toolPath(const std::string& tool) {
  if (tool.find('/') != std::string::npos) return tool;
  std::string binDir;
  if (const char* named = std::getenv("VX_TEST_BIN_DIR"); named && *named)
    binDir = named;
  else
    binDir = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  return binDir + "/" + tool;
}

namespace {

// Strings that outlive the argv and envp arrays pointing into them.
struct ProcessImage {
  std::vector<std::string> argStrings, envStrings;
  std::vector<char*> argv, envp;

  ProcessImage(const std::string& exe, const std::vector<std::string>& args,
               const EnvChanges& env) {
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('='));
      bool changed = false;
      for (const auto& [n, v] : env) changed = changed || n == name;
      if (!changed) envStrings.push_back(entry);
    }
    // The first change of a name counts.
    std::vector<std::string> seen;
    for (const auto& [n, v] : env) {
      if (std::find(seen.begin(), seen.end(), n) != seen.end()) continue;
      seen.push_back(n);
      if (v) envStrings.push_back(n + "=" + *v);
    }
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    argStrings.push_back(exe);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
  }
};

int exitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int waitFor(pid_t pid, const std::string& exe) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) throw std::runtime_error("waitpid failed for " + exe);
  return exitCodeOf(status);
}

bool echoes(int terminal) {
  termios t{};
  return ::tcgetattr(terminal, &t) == 0 && (t.c_lflag & ECHO) != 0;
}

}  // namespace

ToolRun runTool(const std::string& tool, const std::vector<std::string>& args,
                const EnvChanges& env, const std::string& scratchDir, int killAfterSeconds) {
  const std::string exe = toolPath(tool);
  ProcessImage image(exe, args, env);
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
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, image.argv.data(),
                             image.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + exe + ": " + std::strerror(rc));
  ToolRun run;
  bool reaped = false;
  if (killAfterSeconds > 0) {
    // Polled: the tests that set a limit run for a second or less.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(killAfterSeconds);
    int status = 0;
    for (;;) {
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        run.exitCode = exitCodeOf(status);
        reaped = true;
        break;
      }
      if (done < 0 && errno != EINTR) throw std::runtime_error("waitpid failed for " + exe);
      if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(pid, SIGKILL);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (!reaped) run.exitCode = waitFor(pid, exe);
  run.out = readAll(outPath);
  run.err = readAll(errPath);
  return run;
}

TerminalRun runToolOnTerminal(const std::string& tool, const std::vector<std::string>& args,
                              const EnvChanges& env, const std::string& awaited,
                              const std::string& typed) {
  const std::string exe = toolPath(tool);
  ProcessImage image(exe, args, env);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) throw std::runtime_error("forkpty failed: " + std::string(std::strerror(errno)));
  if (pid == 0) {
    ::execve(exe.c_str(), image.argv.data(), image.envp.data());
    ::_exit(127);
  }
  TerminalRun run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{terminal, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) == 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    char buffer[512];
    const ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EIO: the tool has closed its end of the terminal
    run.shown.append(buffer, std::size_t(n));
    if (!run.answered && run.shown.find(awaited) != std::string::npos) {
      run.answered = true;
      run.echoWhenAnswered = echoes(terminal);
      if (::write(terminal, typed.data(), typed.size()) != ssize_t(typed.size()))
        throw std::runtime_error("cannot type on the terminal of " + exe);
    }
  }
  run.exitCode = waitFor(pid, exe);
  // The master side reads the settings of the tool's side, which stay after the tool ends.
  run.echoAtEnd = echoes(terminal);
  ::close(terminal);
  return run;
}

}  // namespace vxtest
