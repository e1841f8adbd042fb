#include "import/FaultPoint.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace vx::import {

void faultPoint(const char* name) {
  static const char* const chosen = std::getenv("VX_IMPORT_KILL_AT");
  if (chosen && std::strcmp(chosen, name) == 0) std::raise(SIGKILL);
}

}  // namespace vx::import
