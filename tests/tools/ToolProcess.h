#pragma once
// Runs one of the built command-line tools as a process, the way an administrator would, and
// collects what it printed. The tools lie in $VX_TEST_BIN_DIR (the build's bin folder), or
// else beside the test executable.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vxtest {

struct ToolRun {
  int exitCode = -1;  // the exit status; 128 + signal when a signal ended it
  std::string out;
  std::string err;
};

// Environment changes for the child: a value sets the variable, nullopt removes it.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Runs `tool` with `args`, stdin from /dev/null and stdout and stderr captured through files
// in `scratchDir`. Throws std::runtime_error when the process cannot be started.
ToolRun runTool(const std::string& tool, const std::vector<std::string>& args,
                const EnvChanges& env, const std::string& scratchDir);

}  // namespace vxtest
