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
  registerString(sWriteDiskFull,
                 "The disk that holds the workfile %1 is full, so this loan was not recorded.\n\n"
                 "Free some space on the disk, then press Enter to record the item again.");
  registerString(sWriteReadOnly,
                 "The workfile %1 is read-only, so this loan was not recorded.\n\nMake the file "
                 "writable, or choose another workfile with Workfile ..., then press Enter to "
                 "record the item again.");
  registerString(sWriteNoPermission,
                 "You have no permission to write to the workfile %1, so this loan was not "
                 "recorded.\n\nAsk for write access to the file, or choose another workfile with "
                 "Workfile ..., then press Enter to record the item again.");
  registerString(sWriteInUse,
                 "The workfile %1 is in use by another program, so this loan was not recorded."
                 "\n\nWait a moment, then press Enter to record the item again.");
  registerString(sWriteFolderMissing,
                 "The folder of the workfile %1 cannot be found, so this loan was not recorded."
                 "\n\nReconnect the drive that holds it, or choose another workfile with "
                 "Workfile ..., then press Enter to record the item again.");
  registerString(sWriteFailed,
                 "The workfile %1 could not be written (%2), so this loan was not recorded.\n\n"
                 "Check the file and its disk, then press Enter to record the item again.");
  registerString(sIsAFolder,
                 "%1 is a folder, not a workfile.\n\nChoose a workfile with Workfile ... on the "
                 "File menu.");
  registerString(sDictionaryUnusable,
                 "The dictionary %1 cannot be used, so the program is shown in English.\n\n"
                 "Reason: %2");
  registerString(sWorkfileNotRemembered,
                 "The workfile %1 is in use, but it could not be remembered for the next start: "
                 "%2.\n\nScanning goes on as usual; at the next start, choose the workfile again "
                 "with Workfile ...");
  registerString(sCardWithdrawn, "Card %1 was withdrawn (list of %2). Lend to this borrower anyway?");
  registerString(sCopyRefused,
                 "Copy %1 is recorded as %2: the loan will be refused when it is posted. Record it anyway?");
  registerString(sWhyScrapped, "scrapped");
  registerString(sWhyRecordScrapped, "scrapped (its title)");
  registerString(sWhyLost, "lost");
  registerString(sWhyNotForLoan, "not for loan");
  registerString(sLooksLikeItem,
                 "%1 looks like an item's barcode, not a borrower's card. Nothing was recorded: "
                 "scan the borrower's card.");
  registerString(sLooksLikeCard,
                 "%1 looks like a borrower's card, not an item's barcode. Nothing was recorded: "
                 "scan the item.");
  registerString(sDeskListTaken, "Desk list %1");
  registerString(sDeskListOld, "Desk list %1 (old)");
}

}  // namespace vx::app
