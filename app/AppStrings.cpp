#include "app/AppStrings.h"

namespace vx::app {

void registerStrings() {
  using res::registerString;
  registerString(sAppTitle, "Vellumdex System Down");
  registerString(sNoFileAssignedAtStart,
                 "You must assign a file before you try to save any information!");
  registerString(sUnableToFind, "Unable to find ");
  registerString(sCreateItNow, ". Would you like to create it now?");
  registerString(sNoWorkFileAssigned, "No work file assigned");
  registerString(sTotal, "Total: ");
  registerString(sCurrent, "Current: ");
  registerString(sUnableToWrite, "Unable to write to the file");
  registerString(sRefreshReadError, "Unable to complete refresh due to File Read Error!");
  registerString(sExitQuestion, "Exit Vellumdex System Down?");
  registerString(sSelectWorkfile, "Select a workfile");
  registerString(sWorkfileFilter, "Comma Separated File (CSV)|*.CSV|All files|*.*");
  registerString(sNotInCodePage,
                 "The character \"%s\" cannot be stored in the workfile. Nothing was recorded; "
                 "please check the barcode.");
  registerString(sItemLength, "(%s characters)");
}

}  // namespace vx::app
