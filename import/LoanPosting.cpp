#include "import/LoanPosting.h"

#include "import/ImportStrings.h"
#include "platform/TextCompare.h"

namespace vx::import {

using vx::db::DataType;
using vx::db::ParamDirection;

LoanPosting::LoanPosting(vx::db::Session& session, const std::string& databaseName)
    : spLoan_(session), qryReturn_(session), session_(session), databaseName_(databaseName) {
  registerStrings();
  spLoan_.databaseName = databaseName;
  spLoan_.setProcName("IssueLoanAllBarcodes");
  spLoan_.addParam("ServiceAtUnitId", DataType::Integer);
  spLoan_.addParam("LoanerBarCode", DataType::String);
  spLoan_.addParam("ItemBarCode", DataType::String);
  spLoan_.addParam("DueTime", DataType::DateTime, ParamDirection::InputOutput);
  spLoan_.addParam("ServiceTime", DataType::DateTime, ParamDirection::InputOutput);
  spLoan_.addParam("ServiceIdReserved", DataType::Integer, ParamDirection::InputOutput);
  spLoan_.addParam("DocumentGroupId", DataType::Integer, ParamDirection::InputOutput);
  spLoan_.addParam("ExId", DataType::Integer, ParamDirection::InputOutput);
  spLoan_.addParam("ErrorCode", DataType::Integer, ParamDirection::InputOutput);
  qryReturn_.databaseName = databaseName;
  qryReturn_.setSql("call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )");
}

bool LoanPosting::LoanItem(int unitId, const std::string& borrower, const std::string& item, int& code) {
  spLoan_.paramByName("ServiceAtUnitId").setInteger(unitId);
  spLoan_.paramByName("LoanerBarCode").setString(borrower);
  spLoan_.paramByName("ItemBarCode").setString(item);
  spLoan_.paramByName("ErrorCode").setInteger(0);
  if (!spLoan_.prepared()) spLoan_.prepare();
  spLoan_.execProc();
  if (!spLoan_.answered("ErrorCode")) return false;
  code = static_cast<int>(spLoan_.paramByName("ErrorCode").asInteger());
  return true;
}

std::optional<bool> LoanPosting::isOnLoanTo(const std::string& borrower, const std::string& item) {
  try {
    vx::db::Query q(session_);
    q.databaseName = databaseName_;
    q.setSql("SELECT COUNT(*) AS N FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
             "JOIN NSU.Borrower b ON b.Borrower_Id = l.Borrower_Id "
             "WHERE c.Barcode = :ItemBarCode AND b.Barcode = :LoanerBarCode");
    q.paramByName("ItemBarCode").setString(item);
    q.paramByName("LoanerBarCode").setString(borrower);
    q.open();
    const bool lent = q.fieldByName("N").asInteger() > 0;
    q.close();
    return lent;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool LoanPosting::ReturnItem(int unitId, const std::string& item, int& code, OutputFile& log,
                             std::string& returnText) {
  bool completed = true;
  try {
    qryReturn_.paramByName("ServiceAtUnitId").setInteger(unitId);
    qryReturn_.paramByName("ItemBarCode").setString(item);
    if (qryReturn_.active()) qryReturn_.close();
    if (!qryReturn_.prepared()) qryReturn_.prepare();
    qryReturn_.open();
    std::optional<int> returned;
    for (std::size_t i = 0; !qryReturn_.eof() && i < qryReturn_.fieldCount(); ++i)
      if (const auto f = qryReturn_.field(i); vx::sameName(f.name(), "ErrorCode") && !f.isNull())
        returned = static_cast<int>(f.asInteger());
    qryReturn_.close();
    if (returned) {
      code = *returned;
      returnText = vx::import::returnText(code);
      if (code == 0) ++AlreadyOnLoanCount;
    } else {
      // No row, no such column, or null: nothing says the item came back.
      returnText = text(sReturnGaveNoCode);
      completed = false;
    }
  } catch (const std::exception& e) {
    returnText = e.what();
    completed = false;
  }
  log.writeLine(returnText);
  return completed;
}

bool LoanPosting::insertdata(int unitId, const std::string& borrower, const std::string& item,
                             std::string& resultText, OutputFile& log) {
  try {
    log.writeLine(" ");
    log.writeLine(text(sSeparator));
    log.writeLine(text(sBorrowerBarcode) + borrower + text(sItemBarcode) + item);
    const std::string rejected = text(sErrorArrow) + text(sError) + text(sLoanNotPossible) + "\r\n";
    bool accepted = false;
    last_ = LineOutcome{};
    const int returnsBefore = AlreadyOnLoanCount;
    try {
      int code = 0;
      bool returnFailed = false, noCode = false;
      std::string reason;
      const auto lend = [&] {
        if (!LoanItem(unitId, borrower, item, code)) noCode = true;
      };
      lend();
      last_.code = code;
      last_.codeGiven = !noCode;
      // Returns the item and lends it once more; a return that does not give 0 ends the line.
      const auto returnAndLendAgain = [&](int attemptLine) {
        log.writeLine(text(attemptLine));
        std::string returned;
        const bool completed = ReturnItem(unitId, item, code, log, returned);
        if (!completed || code != 0) {
          last_.returnRefused = completed;
          returnFailed = true;
          reason = returned;
          return;
        }
        lend();
      };
      if (!noCode && code == 4) returnAndLendAgain(sReturnForCurrent);
      if (!noCode && !returnFailed && code == 10) returnAndLendAgain(sReturnForReloan);
      accepted = !noCode && !returnFailed && isAcceptingLoanCode(code);
      if (accepted) {
        resultText = text(sIssueLoanOk);
        for (const std::string& note : loanNotes(code)) resultText += "\r\n" + note;
      } else {
        last_.reason = returnFailed ? reason : noCode ? text(sLoanGaveNoCode) : loanReason(code);
        // A second loan that gave no code after a good return is a failure of the posting.
        if (noCode) last_.codeGiven = false;
        resultText = rejected + last_.reason;
      }
    } catch (const std::exception& e) {
      last_.reason = e.what();
      last_.codeGiven = false;
      resultText = rejected + e.what();
      accepted = false;
    }
    last_.accepted = accepted;
    last_.returns = AlreadyOnLoanCount - returnsBefore;
    log.writeLine(resultText);
    return accepted;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vx::import
