// vxdown's start-up probe (VX_REPORT_FIRST_PAINT), which bench_startup times the start with:
// the program ends by itself at the circulation window's first paint and reports the moment
// and its memory in one well-formed line, also when a message box follows the paint.
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <regex>

namespace {

long long monotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

TEST(FirstPaintProbe, VxdownReportsItsFirstPaintAndEnds) {
  vxtest::TempDir dir;
  for (const char* d : {"home", "config", "data", "cache", "runtime", "registry"})
    std::filesystem::create_directories(dir.file(d));
  ::chmod(dir.file("runtime").c_str(), 0700);
  // No workfile is assigned: "No work file assigned" follows the paint, and must not hold
  // the program up.
  const vxtest::EnvChanges env = {
      {"VX_REPORT_FIRST_PAINT", "1"},           {"QT_QPA_PLATFORM", "offscreen"},
      {"HOME", dir.file("home")},               {"XDG_CONFIG_HOME", dir.file("config")},
      {"XDG_DATA_HOME", dir.file("data")},      {"XDG_CACHE_HOME", dir.file("cache")},
      {"XDG_RUNTIME_DIR", dir.file("runtime")}, {"VELLUMDEX_REGISTRY_DIR", dir.registryDir()},
      {"VELLUMDEX_ALIASES", std::nullopt}};

  const long long before = monotonicNs();
  const auto run = vxtest::runTool("vxdown", {}, env, dir.path(), 60);
  const long long after = monotonicNs();

  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.err, m,
                                std::regex("(^|\n)vx-first-paint monotonic_ns=([0-9]+) "
                                           "vmrss_kb=([0-9]+)\n")))
      << run.err;
  const long long painted = std::stoll(m[2]);
  EXPECT_GT(painted, before);
  EXPECT_LT(painted, after);
  EXPECT_GT(std::stol(m[3]), 1000);  // a Qt program holds megabytes
}

}  // namespace
