#include "tools/common/ProgramVersion.h"

#include "vxcomp/version/VersionResource.h"

#include <cstdio>
#include <string>

namespace vx::tools {

int printProgramVersion(const char* program) {
  const std::string version = vx::version::runningProgramVersion();
  if (version.empty()) {
    std::fprintf(stderr, "%s: the program file holds no version information\n", program);
    return 1;
  }
  std::printf("%s %s\n", program, version.c_str());
  return 0;
}

}  // namespace vx::tools
