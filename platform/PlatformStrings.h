#pragma once
// The message texts of the platform's own dialogs (the file-open checks, the help window), by
// string table id, so that the dictionary translates them like every other message.
#include "platform/ResourceStrings.h"

namespace vx::res {

enum PlatformStringId : int {
  sPathDoesNotExist = 100,  // "%1\nPath does not exist.\nCheck the path and try again."
  sFileDoesNotExist,        // "%1\nThis file does not exist.\nCreate the file?"
  sFileIsReadOnly,          // "%1\nThis file is read-only.\nUse a different file name."
  sHelpTopicNotFound,       // "Help topic %1 of %2 was not found."
  sHelpWindowTitle,         // "Help - %1"
};

// Registers the texts above; safe to call more than once.
void registerPlatformStrings();

}  // namespace vx::res
