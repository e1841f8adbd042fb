#include "import/ImportStrings.h"

#include <map>

namespace vx::import {

namespace {

// The loan codes with a reason text, and the notes, by string id.
const std::map<int, const char*>& loanReasons() {
  static const std::map<int, const char*> reasons = {
      {1, "Unknown item barcode!"},
      {2, "Copy is SCRAPPED!"},
      {3, "Copy.Permit_Loan = False!"},
      {4, "On loan, return first"},
      {5, "Reserved for:"},
      {6, "MARC record is SCRAPPED"},
      {7, "No applicable Loan terms were found"},
      {8, "Terms do not allow loan"},
      {9, "Max no. of loans is reached"},
      {10, "Already on loan to this borrower"},
      {11, "Copy is recorded as lost!"},
      {12, "Unknown borrower barcode!"},
      {13, "Item is booked."},
      {666, "Unknown database error"},
  };
  return reasons;
}

enum NoteId : int {
  sNoteBooking = 3080,  // "Reduced loan period, booking exists!"
  sNoteNextReserved,    // "Next reserved also available!"
  sNoteIll,             // "Reduced loan period, ILL loan!"
  sNoteIllLoan,         // "This is an ILL Loan"
};

}  // namespace

const std::vector<std::pair<int, const char*>>& followUpTexts() {
  static const std::vector<std::pair<int, const char*>> texts = {
      {sFollowUpMisScan, "Check for a mis-scan: unknown barcode"},
      {sFollowUpRefused, "Lent although the database refuses the loan"},
      {sFollowUpReserved, "Reserved or booked for someone else"},
      {sFollowUpTaken, "Taken from another borrower and lent to this one"},
      {sFollowUpFailed, "Failed with a database error"},
      {sToDoMisScan, "Check the card and the item, correct the barcode in the workfile and import the line again."},
      {sToDoRefused, "Lend the item by hand in the library system, or take the item back."},
      {sToDoReserved, "The item is held for someone else: lend it by hand, or take it back."},
      {sToDoTaken, "Tell the previous borrower that the loan has ended, or check the shelf."},
      {sToDoFailed, "Import the line again."},
      {sTakenHappened, "Returned from the previous borrower and lent to this one."},
      {sColumnLine, "Line"},
      {sColumnGroup, "Group"},
      {sColumnBorrower, "Borrower"},
      {sColumnBorrowerName, "Borrower's name"},
      {sColumnItem, "Item"},
      {sColumnTitle, "Title"},
      {sColumnPrevious, "Previous borrower"},
      {sColumnPreviousName, "Previous borrower's name"},
      {sColumnHappened, "What happened"},
      {sColumnToDo, "What to do"},
      {sReservedHappened, "Set aside for another borrower."},
      {sBookedHappened, "Booked by another borrower now."},
      {sToDoIncompleteData,
       "The library's data is incomplete (loan terms without a loan period): ask the administrator to "
       "mend it, then import the line again."},
  };
  return texts;
}

void registerStrings() {
  using res::registerString;
  registerString(sCouldNotImport, "Could not import. Another process keeps the file open.");
  registerString(sSeparator, "-----------------------------------");
  registerString(sReportHeading, "               REPORT              ");
  registerString(sCancelledByUser, "The import was cancelled by the user.");
  registerString(sCompleted, "Completed ");
  registerString(sOf, " of ");
  registerString(sItems, " items");
  registerString(sItem, " item");
  registerString(sProcessed, "Processed ");
  registerString(sRejected, "Rejected ");
  registerString(sAccepted, "Accepted ");
  registerString(sAlreadyOnLoan, "Already on loan ");
  registerString(sStart, "Start : ");
  registerString(sFinished, "Finished : ");
  registerString(sAllAcceptedRemoved, "All accepted records removed from the import file.");
  registerString(sPleaseTryAgain, "Please try to import after examining the log.");
  registerString(sBorrowerBarcode, "Borrower barcode=");
  registerString(sItemBarcode, ", Item barcode=");
  registerString(sReturnForCurrent, "Attempts to return the book and let current Borrower get it.");
  registerString(sReturnForReloan, "Attempts to return the book and let the Borrower reloan it.");
  registerString(sIssueLoanOk, "Issue loan OK");
  registerString(sErrorArrow, "--->>");
  registerString(sError, "Error: ");
  registerString(sLoanNotPossible, "Loan is not possible!");
  registerString(sReturnLoanOk, "Return loan OK");
  registerString(sItemNotOnLoan, "Item is not recorded as on loan");
  registerString(sReportTooLarge,
                 "The result file is too large to view here. Please open it with another editor.");
  registerString(sNotReplaced, "The workfile could not be replaced: ");
  registerString(sImportRunning, "An import of this workfile is running on %s since %s.");
  registerString(sJournalDoesNotMatch,
                 "The workfile was changed after an import of it was interrupted: the journal of "
                 "that import (%s) no longer matches it. Nothing was imported, so that no line is "
                 "posted twice. The help topic \"After an interrupted import\" tells what to do.");
  registerString(sResumedRun, "This run finished an import that was interrupted.");
  registerString(sPostedBefore, "Posted before the interruption ");
  registerString(sPostedBeforeLog, "Posted before the interruption: ");
  registerString(sFoundOnLoan,
                 "Posted before the interruption: the item is on loan to this borrower, not posted again.");
  registerString(sAnotherDesk, "another desk");
  registerString(sWorkfileDamaged,
                 "The workfile %1 is damaged at line %2: an end-of-file mark stands there, so no "
                 "more loans can be added to it.\n\nThe lines before line %2 are safe. Import them "
                 "with Import ... (F5), then choose a new workfile with Workfile ... and go on "
                 "scanning.");
  registerString(sLoanGaveNoCode,
                 "The loan procedure answered no result code, so nothing says the loan was made. "
                 "Check the item, then import the line again.");
  registerString(sReturnGaveNoCode,
                 "The return answered no result code, so nothing says the item came back: it was "
                 "not lent again.");
  registerString(sNotReplacedKept,
                 "Every line is still in the workfile. The next import finishes this one through "
                 "its journal and posts no line twice.");
  registerString(sReportNotWritten,
                 "The loans are posted and the workfile replaced, but the report could not be "
                 "written: %s. The details log is in %s.");
  for (const auto& [code, reason] : loanReasons()) registerString(sLoanCodeBase + code, reason);
  for (const auto& [id, english] : followUpTexts()) registerString(id, english);
  registerString(sNoteBooking, "Reduced loan period, booking exists!");
  registerString(sNoteNextReserved, "Next reserved also available!");
  registerString(sNoteIll, "Reduced loan period, ILL loan!");
  registerString(sNoteIllLoan, "This is an ILL Loan");
}

std::string text(int id) { return res::loadResString(id).toStdString(); }

std::string loanReason(int code) {
  return loanReasons().count(code) ? text(sLoanCodeBase + code) : std::string();
}

std::vector<std::string> loanNotes(int code) {
  switch (code) {
    case 14: return {text(sNoteBooking)};
    case 17: return {text(sNoteNextReserved)};
    case 18: return {text(sNoteIll)};
    case 180: return {text(sNoteIllLoan)};
    case 1417: return {text(sNoteBooking), text(sNoteNextReserved)};
    default: return {};
  }
}

std::string returnText(int code) {
  switch (code) {
    case 0: return text(sReturnLoanOk);
    case 1:
    case 2:
    case 4:
    case 7:
    case 666: return loanReason(code == 4 ? 11 : code);  // 4: "Copy is recorded as lost!"
    case 3: return text(sItemNotOnLoan);
    default: return std::string();
  }
}

bool isAcceptingLoanCode(int code) {
  switch (code) {
    case 0:
    case 14:
    case 17:
    case 18:
    case 180:
    case 1417: return true;
    default: return false;
  }
}

}  // namespace vx::import
