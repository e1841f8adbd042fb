#include "db/library/SqliteProcedures.h"

#include <iostream>
#include <optional>
#include <string>

#include "db/DbError.h"

namespace vx::db::library {

namespace {

// The codes of the procedures (RULES.md).
constexpr int64_t kUnknownItem = 1, kScrapped = 2, kNotForLoan = 3, kOnLoanElsewhere = 4,
                  kSetAside = 5, kRecordScrapped = 6, kNoTerms = 7, kForbidden = 8,
                  kMaxLoans = 9, kOnLoanHere = 10, kLost = 11, kUnknownBorrower = 12,
                  kBooked = 13, kBookingCut = 14, kAlsoReady = 17, kIllCut = 18,
                  kIll = 180, kBookingCutAlsoReady = 1417, kError = 666;
constexpr int64_t kReturnLost = 4, kReturnNotOnLoan = 3;

// The first row of a statement, or nothing.
std::optional<std::vector<Value>> firstRow(Connection& c, const std::string& sql,
                                           const std::vector<Value>& args = {}) {
  ResultSet r = c.run(sql, args);
  if (r.rows.empty()) return std::nullopt;
  return std::move(r.rows.front());
}

bool exists(Connection& c, const std::string& sql, const std::vector<Value>& args) {
  return firstRow(c, "SELECT EXISTS (" + sql + ")", args)->at(0).asInteger() != 0;
}

// "Now" of one call: the local time to the second, the same for every step.
std::string now(Connection& c) {
  return firstRow(c, "SELECT datetime('now', 'localtime')")->at(0).asString();
}

Value timeValue(const Value& text) {
  if (text.isNull()) return text;
  const auto t = DateTime::parse(text.asString());
  return t ? Value::dateTime(*t) : text;
}

bool inTransaction(Connection& c) {
  return firstRow(c, "SELECT in_transaction()")->at(0).asInteger() != 0;
}

// One call as one transaction: its own when the caller has none, else a savepoint within the
// caller's. Its own begins IMMEDIATE: the write lock is taken before the first read, so that
// two desks lending at once are served one after the other (the second waits its turn)
// rather than both reading and then refusing each other the write. Undone unless committed.
class CallTransaction {
 public:
  explicit CallTransaction(Connection& c) : c_(c), nested_(inTransaction(c)) {
    c_.run(nested_ ? "SAVEPOINT vx_library_call" : "BEGIN IMMEDIATE");
    open_ = true;
  }
  ~CallTransaction() {
    try {
      rollback();
    } catch (const std::exception& e) {
      std::cerr << "vxdown: could not undo a library procedure: " << e.what() << "\n";
    }
  }
  CallTransaction(const CallTransaction&) = delete;
  CallTransaction& operator=(const CallTransaction&) = delete;

  void commit() {
    if (!open_) return;
    c_.run(nested_ ? "RELEASE vx_library_call" : "COMMIT");
    open_ = false;
  }
  // Raises when the engine cannot undo: the caller must then not report "nothing changed".
  void rollback() {
    if (!open_) return;
    open_ = false;
    // Some engine errors (a full disk, an I/O error) have undone the transaction already.
    if (!inTransaction(c_)) return;
    if (nested_) {
      c_.run("ROLLBACK TO vx_library_call");
      c_.run("RELEASE vx_library_call");
    } else {
      c_.run("ROLLBACK");
    }
  }

 private:
  Connection& c_;
  bool nested_ = false;
  bool open_ = false;
};

struct Terms {
  int64_t id = 0;
  Value loanDays, maxLoans;
  bool forbidLoan = false;
};

// The loan terms of a document group at a unit: the unit's own, else the nearest unit's above
// it, at most 32 steps up (a cycle of parents ends the search).
std::optional<Terms> applicableTerms(Connection& c, const Value& unit, const Value& group) {
  const auto row = firstRow(c,
                            "WITH RECURSIVE up (Unit_Id, Parent_Unit_Id, Depth) AS ("
                            " SELECT u.Unit_Id, u.Parent_Unit_Id, 0 FROM Unit u"
                            "  WHERE u.Unit_Id = :Unit"
                            " UNION ALL"
                            " SELECT p.Unit_Id, p.Parent_Unit_Id, up.Depth + 1"
                            "   FROM up JOIN Unit p ON p.Unit_Id = up.Parent_Unit_Id"
                            "  WHERE up.Depth < 32)"
                            " SELECT t.Terms_Id, t.Loan_Days, t.Max_Loans, t.Forbid_Loan"
                            "   FROM up JOIN Loan_Terms t"
                            "     ON t.Unit_Id = up.Unit_Id AND t.Document_Group_Id = :Grp"
                            "  ORDER BY up.Depth LIMIT 1",
                            {unit, group});
  if (!row) return std::nullopt;
  return Terms{(*row)[0].asInteger(), (*row)[1], (*row)[2], (*row)[3].asInteger() == 1};
}

// An error of the library's own data (the engine's errors are DbError too).
[[noreturn]] void incompleteTerms(const Terms& t) {
  throw DbError("Loan terms " + std::to_string(t.id) + " have no loan period");
}

std::string describe(const std::vector<Value>& args, size_t count) {
  std::string s;
  for (size_t i = 0; i < count && i < args.size(); ++i) {
    if (i) s += ", ";
    s += args[i].isNull() ? std::string("NULL") : args[i].asString();
  }
  return s;
}

void logFailure(const char* procedure, const std::vector<Value>& args, size_t count,
                const std::exception& e) {
  std::cerr << "vxdown: " << procedure << "(" << describe(args, count) << "): " << e.what()
            << "\n";
}

enum Arg : size_t {
  kUnitArg, kBorrowerArg, kItemArg, kDueTime, kServiceTime, kServiceIdReserved,
  kDocumentGroupId, kExId, kErrorCode, kLoanArgCount
};

// Steps 1 to 16 of lending, inside the call's transaction; sets the out values as it goes and
// gives the code. Raises on errors (step 17 is the caller's).
int64_t lend(Connection& c, std::vector<Value>& a, const std::string& nowText, bool& made) {
  const Value& unit = a[kUnitArg];
  const Value now = Value::text(nowText);
  // 1. The copy.
  const auto copy = firstRow(c,
                             "SELECT Copy_Id, Document_Group_Id, Record_Id, Scrapped, Lost,"
                             " Permit_Loan, Owner_Unit_Id, ILL_Due_Time"
                             " FROM Copy WHERE Barcode = :Item",
                             {a[kItemArg]});
  if (!copy) return kUnknownItem;
  const Value copyId = (*copy)[0], group = (*copy)[1];
  a[kExId] = copyId;
  a[kDocumentGroupId] = group;
  // 2. The borrower, with an active card.
  const auto borrower = firstRow(
      c, "SELECT Borrower_Id FROM Borrower WHERE Barcode = :Borrower AND Card_State = 'A'",
      {a[kBorrowerArg]});
  if (!borrower) return kUnknownBorrower;
  const Value borrowerId = (*borrower)[0];
  // 3 to 6. The copy's state.
  if ((*copy)[3].asInteger() == 1) return kScrapped;
  if (exists(c, "SELECT 1 FROM Marc_Record WHERE Record_Id = :Rec AND Scrapped = 1",
             {(*copy)[2]}))
    return kRecordScrapped;
  if ((*copy)[4].asInteger() == 1) return kLost;
  if ((*copy)[5].asInteger() == 0) return kNotForLoan;
  // 7. On loan.
  if (const auto holder = firstRow(c, "SELECT Borrower_Id FROM Loan WHERE Copy_Id = :Copy",
                                   {copyId}))
    return (*holder)[0] == borrowerId ? kOnLoanHere : kOnLoanElsewhere;
  // 8. Set aside for another borrower.
  if (exists(c,
             "SELECT 1 FROM Reservation WHERE Copy_Id = :Copy AND Status = 'A'"
             " AND Borrower_Id <> :Borrower",
             {copyId, borrowerId}))
    return kSetAside;
  // 9. Booked now by another borrower.
  if (exists(c,
             "SELECT 1 FROM Booking WHERE Copy_Id = :Copy AND Borrower_Id <> :Borrower"
             " AND From_Time <= :Now AND To_Time > :Now",
             {copyId, borrowerId, now}))
    return kBooked;
  // 10 to 13. The loan terms.
  const auto terms = applicableTerms(c, unit, group);
  if (!terms) return kNoTerms;
  if (terms->forbidLoan) return kForbidden;
  if (!terms->maxLoans.isNull()) {
    const int64_t current =
        firstRow(c,
                 "SELECT count(*) FROM Loan l JOIN Copy lc ON lc.Copy_Id = l.Copy_Id"
                 " WHERE l.Borrower_Id = :Borrower AND lc.Document_Group_Id = :Grp",
                 {borrowerId, group})
            ->at(0)
            .asInteger();
    if (current >= terms->maxLoans.asInteger()) return kMaxLoans;
  }
  if (terms->loanDays.isNull()) incompleteTerms(*terms);
  // 14. The due time, cut by another borrower's booking and by the ILL library's due time.
  std::string due = firstRow(c, "SELECT datetime(:Now, :Days)",
                             {now, Value::text("+" + terms->loanDays.asString() + " days")})
                        ->at(0)
                        .asString();
  bool bookingCut = false, illCut = false;
  const Value nextStart =
      firstRow(c,
               "SELECT min(From_Time) FROM Booking WHERE Copy_Id = :Copy"
               " AND Borrower_Id <> :Borrower AND From_Time > :Now AND From_Time < :Due",
               {copyId, borrowerId, now, Value::text(due)})
          ->at(0);
  if (!nextStart.isNull()) {
    due = nextStart.asString();
    bookingCut = true;
  }
  const bool isIll =
      exists(c, "SELECT 1 FROM Unit WHERE Unit_Id = :Owner AND IsILL = 1", {(*copy)[6]});
  const Value& illDue = (*copy)[7];
  if (isIll && !illDue.isNull() && illDue.asString() < due) {
    due = illDue.asString();
    illCut = true;
  }
  // 15. The loan; the copy set aside for this borrower has been collected.
  const Value loanId = firstRow(c,
                                "INSERT INTO Loan (Copy_Id, Borrower_Id, Service_Unit_Id,"
                                " Loan_Time, Due_Time)"
                                " VALUES (:Copy, :Borrower, :Unit, :Now, :Due) RETURNING Loan_Id",
                                {copyId, borrowerId, unit, now, Value::text(due)})
                           ->at(0);
  made = true;
  c.run("UPDATE Reservation SET Status = 'F'"
        " WHERE Copy_Id = :Copy AND Borrower_Id = :Borrower AND Status = 'A'",
        {copyId, borrowerId});
  const bool alsoReady =
      exists(c, "SELECT 1 FROM Reservation WHERE Borrower_Id = :Borrower AND Status = 'A'",
             {borrowerId});
  a[kDueTime] = timeValue(Value::text(due));
  a[kServiceIdReserved] = loanId;
  // 16. The code.
  if (isIll) return illCut || bookingCut ? kIllCut : kIll;
  if (bookingCut && alsoReady) return kBookingCutAlsoReady;
  if (bookingCut) return kBookingCut;
  if (alsoReady) return kAlsoReady;
  return 0;
}

// Steps 1 to 6 of returning, inside the call's transaction.
int64_t giveBack(Connection& c, const Value& unit, const Value& item,
                 const std::string& nowText) {
  const auto copy = firstRow(
      c, "SELECT Copy_Id, Document_Group_Id, Scrapped, Lost FROM Copy WHERE Barcode = :Item",
      {item});
  if (!copy) return kUnknownItem;
  if ((*copy)[2].asInteger() == 1) return kScrapped;
  if ((*copy)[3].asInteger() == 1) return kReturnLost;
  const auto loan = firstRow(c, "SELECT Loan_Id FROM Loan WHERE Copy_Id = :Copy", {(*copy)[0]});
  if (!loan) return kReturnNotOnLoan;
  // The terms at the returning unit govern the return; without them the desk settles it.
  const auto terms = applicableTerms(c, unit, (*copy)[1]);
  if (!terms) return kNoTerms;
  if (terms->loanDays.isNull()) incompleteTerms(*terms);
  c.run("INSERT INTO Loan_History (Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time,"
        " Due_Time, Return_Time, Return_Unit_Id)"
        " SELECT Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time, Due_Time, :Now,"
        " :Unit FROM Loan WHERE Loan_Id = :Loan",
        {Value::text(nowText), unit, (*loan)[0]});
  c.run("DELETE FROM Loan WHERE Loan_Id = :Loan", {(*loan)[0]});
  return 0;
}

}  // namespace

ResultSet issueLoanAllBarcodes(Connection& c, std::vector<Value>& a) {
  if (a.size() < kLoanArgCount) a.resize(kLoanArgCount);
  // The values passed in are ignored.
  a[kDueTime] = Value::null();
  a[kServiceIdReserved] = Value::null();
  a[kDocumentGroupId] = Value::null();
  a[kExId] = Value::null();
  a[kServiceTime] = Value::null();
  int64_t code = 0;
  std::optional<CallTransaction> t;
  try {
    t.emplace(c);
    const std::string nowText = now(c);
    a[kServiceTime] = timeValue(Value::text(nowText));
    bool made = false;
    code = lend(c, a, nowText, made);
    // A refusal changes nothing; nothing was written before one, and the rollback makes sure.
    if (made) t->commit();
    else t->rollback();
  } catch (const std::exception& e) {
    // Undone, or, when the engine cannot undo, its error reaches the caller: a code would
    // claim that nothing changed.
    if (t) t->rollback();
    logFailure("IssueLoanAllBarcodes", a, 3, e);
    a[kDueTime] = Value::null();
    a[kServiceIdReserved] = Value::null();
    code = kError;
  }
  a[kErrorCode] = Value::integer(code);
  ResultSet r;
  r.columns = {"DueTime", "ServiceTime", "ServiceIdReserved", "DocumentGroupId", "ExId",
               "ErrorCode"};
  r.rows.push_back({a[kDueTime], a[kServiceTime], a[kServiceIdReserved], a[kDocumentGroupId],
                    a[kExId], a[kErrorCode]});
  return r;
}

ResultSet returnLoanBasic(Connection& c, std::vector<Value>& a) {
  if (a.size() < 2) a.resize(2);
  int64_t code = 0;
  std::optional<CallTransaction> t;
  try {
    t.emplace(c);
    code = giveBack(c, a[0], a[1], now(c));
    if (code == 0) t->commit();
    else t->rollback();
  } catch (const std::exception& e) {
    if (t) t->rollback();
    logFailure("ReturnLoanBasic", a, 2, e);
    code = kError;
  }
  if (a.size() > 2) a[2] = Value::integer(code);
  return ResultSet{{"ErrorCode"}, {{Value::integer(code)}}};
}

Value vxAccess(Connection& c, const std::vector<Value>& args) {
  return firstRow(c,
                  "SELECT COALESCE((SELECT max(a.Access_Level) FROM Module m"
                  " JOIN Module_Access a ON a.Module_Id = m.Module_Id"
                  " WHERE m.Description = :Description AND a.User_Name = :UserName), 0)",
                  {args.at(0), Value::text(c.userName())})
      ->at(0);
}

Value getDbLanguage(Connection& c, const std::vector<Value>&) {
  const auto row = firstRow(c, "SELECT Db_Language FROM Global_Options LIMIT 1");
  return row ? row->at(0) : Value::null();
}

}  // namespace vx::db::library
