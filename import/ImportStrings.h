#pragma once
// The texts of the import: its messages, the details log and the report, by string table id,
// so that the dictionary translates them.
#include "platform/ResourceStrings.h"

#include <string>
#include <vector>

namespace vx::import {

enum StringId : int {
  sCouldNotImport = 3000,   // "Could not import. Another process keeps the file open."
  sSeparator,               // 35 hyphens
  sReportHeading,           // "               REPORT              "
  sCancelledByUser,         // "The import was cancelled by the user."
  sCompleted,               // "Completed "
  sOf,                      // " of "
  sItems,                   // " items"
  sProcessed,               // "Processed "
  sRejected,                // "Rejected "
  sAccepted,                // "Accepted "
  sAlreadyOnLoan,           // "Already on loan "
  sStart,                   // "Start : "
  sFinished,                // "Finished : "
  sAllAcceptedRemoved,      // "All accepted records removed from the import file."
  sPleaseTryAgain,          // "Please try to import after examining the log."
  sBorrowerBarcode,         // "Borrower barcode="
  sItemBarcode,             // ", Item barcode="
  sReturnForCurrent,        // "Attempts to return the book and let current Borrower get it."
  sReturnForReloan,         // "Attempts to return the book and let the Borrower reloan it."
  sIssueLoanOk,             // "Issue loan OK"
  sErrorArrow,              // "--->>"
  sError,                   // "Error: "
  sLoanNotPossible,         // "Loan is not possible!"
  sReturnLoanOk,            // "Return loan OK"
  sItemNotOnLoan,           // "Item is not recorded as on loan"
  sReportTooLarge,          // "The result file is too large to view here. Please open it with another editor."
  sNotReplaced,             // "The workfile could not be replaced: "
  sItem,                    // " item": ends a count line whose count is 1
  sImportRunning,           // "An import of this workfile is running on %s since %s."
  sJournalDoesNotMatch,     // the journal of an interrupted run no longer matches (%s: journal)
  sResumedRun,              // "This run finished an import that was interrupted."
  sPostedBefore,            // "Posted before the interruption "
  sPostedBeforeLog,         // "Posted before the interruption: "
  sFoundOnLoan,             // the line in doubt was found lent to its borrower
  sAnotherDesk,             // "another desk": the holder of a lock that has not said its name
  sWorkfileDamaged,         // %1 the workfile, %2 the line of its end-of-file mark
  sLoanGaveNoCode,          // the loan procedure answered no result code
  sReturnGaveNoCode,        // the return answered no result code
  sNotReplacedKept,         // after sNotReplaced: every line is still in the workfile
  sReportNotWritten,        // %s why, %s the details log
  sLoanCodeBase = 3100,     // 3100 + code: the loan codes' texts and notes (see ImportStrings.cpp)
  // The follow-up list: the groups' headings, what to do in each, and the columns.
  sFollowUpMisScan = 3200,  // (the loan codes use 3101 to 3118 and a few above)
                            // "Check for a mis-scan: unknown barcode"
  sFollowUpRefused,         // "Lent although the database refuses the loan"
  sFollowUpReserved,        // "Reserved or booked for someone else"
  sFollowUpTaken,           // "Taken from another borrower and lent to this one"
  sFollowUpFailed,          // "Failed with a database error"
  sToDoMisScan,             // what to do, one per group in the same order
  sToDoRefused,
  sToDoReserved,
  sToDoTaken,
  sToDoFailed,
  sTakenHappened,           // "Returned from the previous borrower and lent to this one."
  sColumnLine,              // the columns of the list
  sColumnGroup,
  sColumnBorrower,
  sColumnBorrowerName,
  sColumnItem,
  sColumnTitle,
  sColumnPrevious,
  sColumnPreviousName,
  sColumnHappened,
  sColumnToDo,
  sReservedHappened,        // "Set aside for another borrower." (code 5)
  sBookedHappened,          // "Booked by another borrower now." (code 13)
  sToDoIncompleteData,      // what to do after code 666: the library's data needs mending
};

void registerStrings();

// The follow-up list's texts, by id, in English.
const std::vector<std::pair<int, const char*>>& followUpTexts();

// The translated text of an id, as UTF-8.
std::string text(int id);

// The reason text of a loan code ("" for a code without one), and the notes of an accepting
// code, in order.
std::string loanReason(int code);
std::vector<std::string> loanNotes(int code);
// The text of a return code ("" for a code outside the table).
std::string returnText(int code);
bool isAcceptingLoanCode(int code);

}  // namespace vx::import
