#include "vxcomp/version/RunningProgram.h"


#include <climits>

#include <unistd.h>

namespace vx::version {

std::string runningProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) return {};
  return std::string(path, static_cast<std::size_t>(n));
}

}  // namespace vx::version
