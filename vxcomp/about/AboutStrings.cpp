#include "vxcomp/about/AboutStrings.h"

namespace vx::about {

void registerStrings() { res::registerString(sBetaSuffix, " (beta)"); }

}  // namespace vx::about
