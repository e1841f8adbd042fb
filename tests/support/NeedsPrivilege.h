#pragma once
// For a test that needs what an ordinary machine may not give (mounting a file system, a
// network namespace): skipped without it, but failed when CI is set, so that a green CI run
// never hides a test that did not run.
#include <gtest/gtest.h>

#include <cstdlib>

#define VX_NEEDS_PRIVILEGE(available, why)                                                   \
  do {                                                                                       \
    if (!(available)) {                                                                      \
      const char* ci = std::getenv("CI");                                                    \
      if (ci && *ci) GTEST_FAIL() << why << " (CI is set, so this test must run)";           \
      GTEST_SKIP() << why;                                                                   \
    }                                                                                        \
  } while (0)
