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

// Environment changes for the child: a value sets the variable, nullopt removes it; the first
// change of a name counts.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Where `tool` is run from: a name with a '/' is a path and taken as it is; a bare name is a
// built tool in $VX_TEST_BIN_DIR, or else beside the test executable.
std::string toolPath(const std::string& tool);

// Runs `tool` with `args`, stdin from /dev/null and stdout and stderr captured through files
// in `scratchDir`. With `killAfterSeconds` above 0, a tool still running after that long is
// killed (its exit code then says so). Throws std::runtime_error when the process cannot be
// started.
ToolRun runTool(const std::string& tool, const std::vector<std::string>& args,
                const EnvChanges& env, const std::string& scratchDir, int killAfterSeconds = 0);

// A run on a terminal, and the terminal's echo setting as the tool left it.
struct TerminalRun {
  int exitCode = -1;              // as in ToolRun
  std::string shown;              // everything the tool wrote to the terminal
  bool answered = false;          // the tool showed the awaited text and the answer was typed
  bool echoWhenAnswered = false;  // whether the terminal echoed input at that moment
  bool echoAtEnd = false;         // whether it echoes input after the tool has ended
};

// Runs `tool` with a new pseudo-terminal as its standard input, output and error (and its
// controlling terminal). When the tool has shown `awaited`, `typed` is typed on the terminal.
// A tool still running after 60 seconds is killed. Throws std::runtime_error when the
// process cannot be started.
TerminalRun runToolOnTerminal(const std::string& tool, const std::vector<std::string>& args,
                              const EnvChanges& env, const std::string& awaited,
                              const std::string& typed);

}  // namespace vxtest
