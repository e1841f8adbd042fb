#pragma once
// The running program's own file and version.
#include <string>

namespace vx::version {

// The full path of the running program's file; empty when the system does not tell it.
std::string runningProgramPath();

// The running program's file version from its own version information ("2.5.0.0"); empty when
// the file has none.
std::string runningProgramVersion();

}  // namespace vx::version
