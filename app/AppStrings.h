#pragma once
// The message texts of the circulation window, by string table id.
#include "platform/ResourceStrings.h"

namespace vx::app {

enum StringId : int {
  sAppTitle = 1000,         // "Vellumdex System Down"
  sNoFileAssignedAtStart,   // "You must assign a file before you try to save any information!"
  sUnableToFind,            // "Unable to find "
  sCreateItNow,             // ". Would you like to create it now?"
  sNoWorkFileAssigned,      // status panel 0 without a workfile
  sTotal,                   // "Total: "
  sCurrent,                 // "Current: "
  sUnableToWrite,           // "Unable to write to the file"
  sRefreshReadError,        // "Unable to complete refresh due to File Read Error!"
  sExitQuestion,            // "Exit Vellumdex System Down?"
  sSelectWorkfile,          // title of the file-open dialog
  sWorkfileFilter,          // its filter
  sNotInCodePage,           // a typed character the workfile's code page lacks (%s: it)
  sItemLength,              // after a shortened item in the list (%s: its length)
  // Why a workfile cannot take more lines, and what to do: %1 the workfile's path.
  sWriteDiskFull,
  sWriteReadOnly,
  sWriteNoPermission,
  sWriteInUse,
  sWriteFolderMissing,
  sWriteFailed,             // %2 the runtime's error text
  sIsAFolder,               // a folder stands at the workfile's path
  sDictionaryUnusable,      // %1 the dictionary file's full path, %2 why it cannot be used
  sWorkfileNotRemembered,   // %1 the workfile, %2 why the registry could not keep it
  // The desk list's warnings and refusals (only when there is a desk list).
  sCardWithdrawn,           // %1 the card, %2 when the list was taken
  sCopyRefused,             // %1 the copy, %2 why (one of the four below)
  sWhyScrapped,
  sWhyRecordScrapped,
  sWhyLost,
  sWhyNotForLoan,
  sLooksLikeItem,           // %1 the barcode scanned into the borrower field
  sLooksLikeCard,           // %1 the barcode scanned into the item field
  sDeskListTaken,           // the status bar: %1 when the list was taken
  sDeskListOld,             // the same, for a list older than a week
};

// Registers the texts above in the string table; safe to call more than once.
void registerStrings();

inline QString appText(StringId id) { return res::loadResString(id); }

}  // namespace vx::app
