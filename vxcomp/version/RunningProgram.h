#pragma once
// The running program's own file (its version: runningProgramVersion(), VersionResource.h).
#include <string>

namespace vx::version {

// The full path of the running program's file; empty when the system does not tell it.
std::string runningProgramPath();

}  // namespace vx::version
