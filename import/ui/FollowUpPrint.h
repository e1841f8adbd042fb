#pragma once
// The printed follow-up list: a heading with the library unit, the user, the date and the
// run's totals, then each group that has rows, with its heading and a table of its rows.
// Every value is written as text (escaped), never read as markup. The texts come from the
// string table: the dialog's own (DialogStringId) and the import's (ImportStrings.h), which
// TVXImport's constructor registers.
#include "import/FollowUp.h"

#include <QDateTime>
#include <QString>

class QPrinter;

namespace vx::import {

struct FollowUpHeader {
  QString unit;   // the library unit's name
  QString user;   // who ran the import
  QDateTime finished;  // when the run finished (the page's date)
  int processed = 0, accepted = 0, rejected = 0;
};

// The page as HTML, in the librarian's language.
QString followUpHtml(const FollowUpList& list, const FollowUpHeader& header);

// Prints the page on `printer` as it is set up (the caller chooses the paper and the
// orientation: the import dialog asks for A4 landscape before the print dialog). A printer
// that cannot start (no such file, no such printer) prints nothing; false then.
bool printFollowUp(QPrinter& printer, const FollowUpList& list, const FollowUpHeader& header);

}  // namespace vx::import
