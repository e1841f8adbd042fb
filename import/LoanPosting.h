#pragma once
// Posting one workfile line as a loan: the library database's loan procedure, and for an item
// still on loan (to another borrower, code 4, or to this one, code 10) its return and one more
// loan. Decides whether the line is accepted and writes the line's block to the details log.
//
// The procedure (spLoan) and the return (qryReturn) are prepared on first use and reused for
// every line; each call stands alone (no transaction is opened here).
//
// Where a return does not give 0 the line is rejected with the return's own text as the reason
// (its error message when it failed), and no return code, whatever its number, makes a line
// accepted: only the code of a loan does.
#include "db/Query.h"
#include "db/Session.h"
#include "import/FollowUp.h"
#include "import/OutputFile.h"

#include <optional>
#include <string>

namespace vx::import {

class LoanPosting {
 public:
  explicit LoanPosting(vx::db::Session& session, const std::string& databaseName = "VXDB");

  // Posts one line (barcodes as UTF-8) and writes its block to `log`. True when accepted.
  bool insertdata(int unitId, const std::string& borrower, const std::string& item,
                  std::string& resultText, OutputFile& log);
  // One call of the loan procedure; engine errors reach the caller. False when the procedure
  // answered no code (no row, or a null): `code` then keeps its value, and the line is an
  // error, never accepted.
  bool LoanItem(int unitId, const std::string& borrower, const std::string& item, int& code);
  // One return; writes its text (or the error's message) as one line to `log`. True when the
  // call completed with a code, whatever its number; `code` keeps its value when the call
  // failed or answered none (no row, no ErrorCode column, or a null).
  bool ReturnItem(int unitId, const std::string& item, int& code, OutputFile& log,
                  std::string& text);

  // Whether the library database has `item` on loan to `borrower` now: asked for a line whose
  // posting an interrupted run began without recording how it ended. Nothing when the
  // database cannot tell (its tables are not the ones this asks about).
  std::optional<bool> isOnLoanTo(const std::string& borrower, const std::string& item);

  // How the last insertdata ended, for the follow-up list.
  const LineOutcome& lastOutcome() const { return last_; }

  int AlreadyOnLoanCount = 0;
  vx::db::StoredProc& spLoan() { return spLoan_; }

 private:
  LineOutcome last_;
  vx::db::StoredProc spLoan_;
  vx::db::Query qryReturn_;
  vx::db::Session& session_;
  std::string databaseName_;
};

}  // namespace vx::import
