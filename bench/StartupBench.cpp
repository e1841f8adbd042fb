// The time from starting vxdown to the first paint of its circulation window, and its resident
// memory at that moment, beside the same figures for a bare Qt main window (the floor that Qt
// itself costs on this machine).
//
// Each start runs the real program with QT_QPA_PLATFORM=offscreen and VX_REPORT_FIRST_PAINT=1
// in a temporary machine of its own (HOME, the XDG folders, the registry folder): the clock is
// read just before posix_spawn, so the figure includes exec and dynamic linking, and the
// program reports its own clock and VmRSS at the first paint (platform/FirstPaintProbe.h).
//
//   first start   a fresh machine: vxdown sets up the demo library and its alias
//   warm          later starts on the same machine: median, min and max of --starts
//   no workfile   warm starts without a workfile in the registry (the desk's first start:
//                 "No work file assigned" follows the paint)
//
//   bench_startup [--starts N] [--program NAME=PATH]...
//
// Every program is started in turn, start by start, so a noisy machine weighs on all alike.
// Without --program: vxdown and the floor window built beside this benchmark; extra programs
// (an older vxdown copied beside the new one, say) are named with --program.
#include "workfile/Workfile.h"
#include "platform/Registry.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace stdfs = std::filesystem;

long long monotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// A temporary machine: every folder a start may read or write.
struct Machine {
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  std::string root;
  bool withWorkfile;

  Machine(const std::string& name, bool assignWorkfile) : withWorkfile(assignWorkfile) {
    root = (stdfs::temp_directory_path() / ("vx-startup-" + std::to_string(getpid()) + "-" + name))
               .string();
    stdfs::remove_all(root);
    for (const char* d : {"home", "config", "data", "cache", "registry", "runtime"})
      stdfs::create_directories(root + "/" + d);
    stdfs::permissions(root + "/runtime", stdfs::perms::owner_all);
    if (withWorkfile) {
      // A desk that has recorded before: its workfile is named in the registry and exists.
      const std::string workfile = root + "/home/loans.txt";
      std::ofstream(workfile) << "1001,2001\r\n";
      // The program opens only a valid workfile at start; anything else would time a start
      // without one.
      if (!vx::workfile::checkFile(workfile).valid) throw std::runtime_error("not a valid workfile: " + workfile);
      setenv("VELLUMDEX_REGISTRY_DIR", (root + "/registry").c_str(), 1);
      if (!vx::reg::writeValue(vx::reg::Hive::CurrentUser, "Software\\Vellumdex\\vxdown\\General",
                               "FileLocation", vx::reg::Value::sz(workfile)))
        throw std::runtime_error("cannot write the registry in " + root);
      unsetenv("VELLUMDEX_REGISTRY_DIR");
    }
  }
  ~Machine() { stdfs::remove_all(root); }

  std::vector<std::string> environment() const {
    static const char* const kOwn[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                       "XDG_CACHE_HOME", "VELLUMDEX_REGISTRY_DIR",
                                       "XDG_RUNTIME_DIR", "VELLUMDEX_ALIASES", "QT_QPA_PLATFORM",
                                       "VX_REPORT_FIRST_PAINT"};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('='));
      if (std::find(std::begin(kOwn), std::end(kOwn), name) == std::end(kOwn)) env.push_back(entry);
    }
    env.push_back("HOME=" + root + "/home");
    env.push_back("XDG_CONFIG_HOME=" + root + "/config");
    env.push_back("XDG_DATA_HOME=" + root + "/data");
    env.push_back("XDG_CACHE_HOME=" + root + "/cache");
    env.push_back("VELLUMDEX_REGISTRY_DIR=" + root + "/registry");
    env.push_back("XDG_RUNTIME_DIR=" + root + "/runtime");
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("VX_REPORT_FIRST_PAINT=1");
    return env;
  }
};

struct Start {
  double ms = 0;
  long rssKb = 0;
};

// One start of `program` on `machine`, up to its report. Throws when the program does not
// report within 60 seconds or ends without a well-formed report.
Start startOnce(const std::string& program, const Machine& machine) {
  std::vector<std::string> env = machine.environment();
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = program;
  char* argv[] = {exe.data(), nullptr};

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);

  pid_t pid = 0;
  const long long started = monotonicNs();
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  }

  std::string err;
  const long long deadline = started + 60'000'000'000LL;
  for (;;) {
    pollfd p{pipeFds[0], POLLIN, 0};
    const long long left = (deadline - monotonicNs()) / 1'000'000;
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
    char buf[4096];
    const ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n > 0) err.append(buf, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }

  long long paintedNs = 0;
  long rss = 0;
  const auto at = err.find("vx-first-paint ");
  if (at == std::string::npos ||
      std::sscanf(err.c_str() + at, "vx-first-paint monotonic_ns=%lld vmrss_kb=%ld", &paintedNs,
                  &rss) != 2)
    throw std::runtime_error(program + " gave no first-paint report; it wrote:\n" + err);
  return {static_cast<double>(paintedNs - started) / 1e6, rss};
}

struct Program {
  std::string name, path;
};

void printRow(const std::string& program, const std::string& kind, std::vector<Start> starts) {
  auto byMs = [](const Start& a, const Start& b) { return a.ms < b.ms; };
  std::sort(starts.begin(), starts.end(), byMs);
  std::vector<long> rss;
  for (const auto& s : starts) rss.push_back(s.rssKb);
  std::sort(rss.begin(), rss.end());
  const size_t mid = starts.size() / 2;
  std::printf("%-14s %-12s %3zu  %8.1f %8.1f %8.1f   %8.1f %8.1f %8.1f\n", program.c_str(),
              kind.c_str(), starts.size(), starts[mid].ms, starts.front().ms, starts.back().ms,
              rss[mid] / 1024.0, rss.front() / 1024.0, rss.back() / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  int starts = 15;
  std::vector<Program> programs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--starts" && i + 1 < argc) {
      starts = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--program" && i + 1 < argc) {
      const std::string named = argv[++i];
      const auto eq = named.find('=');
      if (eq == std::string::npos) {
        std::fprintf(stderr, "--program takes NAME=PATH\n");
        return 2;
      }
      programs.push_back({named.substr(0, eq), named.substr(eq + 1)});
    } else {
      std::fprintf(stderr, "usage: %s [--starts N] [--program NAME=PATH]...\n", argv[0]);
      return 2;
    }
  }
  const stdfs::path here = stdfs::read_symlink("/proc/self/exe").parent_path();
  programs.insert(programs.begin(), {{"vxdown", (here / "vxdown").string()},
                                     {"bare Qt", (here / "bench_startup_floor").string()}});

  try {
    std::printf("%-14s %-12s %3s  %8s %8s %8s   %8s %8s %8s\n", "program", "start", "n",
                "med ms", "min ms", "max ms", "med MB", "min MB", "max MB");
    std::vector<std::unique_ptr<Machine>> machines;
    std::vector<std::vector<Start>> warm(programs.size()), bare(programs.size());
    for (size_t p = 0; p < programs.size(); ++p) {
      machines.push_back(std::make_unique<Machine>("p" + std::to_string(p), true));
      printRow(programs[p].name, "first start", {startOnce(programs[p].path, *machines.back())});
      machines.push_back(std::make_unique<Machine>("p" + std::to_string(p) + "-bare", false));
      startOnce(programs[p].path, *machines.back());  // its demo library: not timed
    }
    for (int s = 0; s < starts; ++s)
      for (size_t p = 0; p < programs.size(); ++p) {
        warm[p].push_back(startOnce(programs[p].path, *machines[2 * p]));
        bare[p].push_back(startOnce(programs[p].path, *machines[2 * p + 1]));
      }
    for (size_t p = 0; p < programs.size(); ++p) {
      printRow(programs[p].name, "warm", warm[p]);
      printRow(programs[p].name, "no workfile", bare[p]);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_startup: %s\n", e.what());
    return 1;
  }
  return 0;
}
