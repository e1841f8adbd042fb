#include "platform/PlatformStrings.h"

namespace vx::res {

void registerPlatformStrings() {
  registerString(sPathDoesNotExist, "%1\nPath does not exist.\nCheck the path and try again.");
  registerString(sFileDoesNotExist, "%1\nThis file does not exist.\nCreate the file?");
  registerString(sFileIsReadOnly, "%1\nThis file is read-only.\nUse a different file name.");
  registerString(sHelpTopicNotFound, "Help topic %1 of %2 was not found.");
  // The program's name ends the title: the desktop adds it to a title that does not end
  // with it, which would name the program twice.
  registerString(sHelpWindowTitle, "Help - %1");
}

}  // namespace vx::res
