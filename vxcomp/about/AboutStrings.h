#pragma once
// The about box's texts in the string table.
#include "platform/ResourceStrings.h"

namespace vx::about {

enum StringId : int {
  sBetaSuffix = 2200,  // " (beta)", after the beta version of a database
};

// Registers the texts above; safe to call more than once.
void registerStrings();

}  // namespace vx::about
