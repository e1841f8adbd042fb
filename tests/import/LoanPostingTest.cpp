// Posting one line through every branch, against a loan procedure and a return whose answers
// the test scripts: each answer is a code, a null, no row, no ErrorCode column, or an error.
#include "db/Database.h"
#include "db/DbError.h"
#include "db/Session.h"
#include "db/SqliteDriver.h"
#include "import/LoanPosting.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <deque>
#include <variant>

using namespace vx::db;
using vx::import::LoanPosting;
using vx::import::OutputFile;

namespace {

struct Null {};
struct NoRow {};
struct NoColumn {};
struct Raise {};
using Answer = std::variant<int, Null, NoRow, NoColumn, Raise>;

// The scripted database: each call takes the next answer and notes itself (L: loan, R: return).
struct Script {
  std::deque<Answer> answers;
  std::string calls;

  ResultSet answer(char call, std::vector<std::string> columns, std::vector<Value>& args, std::size_t codeAt) {
    calls += call;
    if (answers.empty()) throw DbError("the script has no answer left");
    const Answer a = answers.front();
    answers.pop_front();
    if (std::holds_alternative<Raise>(a)) throw DbError("scripted failure");
    ResultSet r{columns, {}};
    if (std::holds_alternative<NoRow>(a)) return r;
    if (std::holds_alternative<NoColumn>(a)) r.columns.back() = "Code";
    const Value code = std::holds_alternative<Null>(a) ? Value::null() : Value::integer(std::get_if<int>(&a) ? std::get<int>(a) : 0);
    if (codeAt < args.size()) args[codeAt] = code;
    std::vector<Value> row(columns.size(), Value::null());
    row.back() = code;
    r.rows.push_back(row);
    return r;
  }
};

Script* script = nullptr;

class LoanPostingBranches : public ::testing::Test {
 protected:
  void SetUp() override {
    script = &script_;
    SqliteDriver::registerProcedure("IssueLoanAllBarcodes", [](Connection&, std::vector<Value>& a) {
      return script->answer('L', {"DueTime", "ServiceTime", "ServiceIdReserved", "DocumentGroupId", "ExId", "ErrorCode"}, a, 8);
    });
    SqliteDriver::registerProcedure("ReturnLoanBasic", [](Connection&, std::vector<Value>& a) {
      return script->answer('R', {"ErrorCode"}, a, 2);
    });
    session_ = std::make_unique<Session>(
        "Scripted", std::vector<AliasSpec>{{"scripted", DriverKind::Sqlite, {{"PATH", dir_.file("db.sqlite")}, {"CREATE", "1"}}}});
    db_ = std::make_unique<Database>(*session_);
    db_->databaseName = "VXDB";
    db_->aliasName = "scripted";
    db_->open();
    std::string error;
    ASSERT_TRUE(log_.create(dir_.file("details.log"), error)) << error;
  }
  void TearDown() override {
    db_.reset();
    session_.reset();
    SqliteDriver::unregisterProcedure("IssueLoanAllBarcodes");
    SqliteDriver::unregisterProcedure("ReturnLoanBasic");
    script = nullptr;
  }

  vxtest::TempDir dir_;
  Script script_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Database> db_;
  OutputFile log_;
};

}  // namespace

TEST_F(LoanPostingBranches, EachAnswerOfTheLoanAndTheReturn) {
  struct Case {
    const char* name;
    std::vector<Answer> answers;
    bool accepted;
    std::string calls;
    int returnedFirst;  // returns that gave 0
    std::string says;   // within the line's result text
  };
  const std::vector<Case> cases = {
      {"lent", {0}, true, "L", 0, "Issue loan OK"},
      {"lent with a note", {14}, true, "L", 0, "Issue loan OK"},
      {"taken from another borrower", {4, 0, 0}, true, "LRL", 1, "Issue loan OK"},
      {"lent again to the same borrower", {10, 0, 0}, true, "LRL", 1, "Issue loan OK"},
      {"another borrower's, then the same one's", {4, 0, 10, 0, 0}, true, "LRLRL", 2, "Issue loan OK"},
      {"refused", {2}, false, "L", 0, "Copy is SCRAPPED!"},
      {"the return refused", {4, 3}, false, "LR", 0, "Item is not recorded as on loan"},
      {"the return raised an error", {4, Raise{}}, false, "LR", 0, "scripted failure"},
      {"the loan raised an error", {Raise{}}, false, "L", 0, "scripted failure"},
      {"a code outside the table", {77}, false, "L", 0, "Loan is not possible!"},
      {"a null code", {Null{}}, false, "L", 0, "The loan procedure answered no result code"},
      {"no row", {NoRow{}}, false, "L", 0, "The loan procedure answered no result code"},
      {"the second loan answered null", {4, 0, Null{}}, false, "LRL", 1, "The loan procedure answered no result code"},
      {"the return answered null", {4, Null{}}, false, "LR", 0, "The return answered no result code"},
      {"the return answered no row", {10, NoRow{}}, false, "LR", 0, "The return answered no result code"},
      {"the return answered no ErrorCode", {4, NoColumn{}}, false, "LR", 0, "The return answered no result code"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script_.answers.assign(c.answers.begin(), c.answers.end());
    script_.calls.clear();
    LoanPosting posting(*session_);
    std::string result;
    EXPECT_EQ(posting.insertdata(1, "1001", "2002", result, log_), c.accepted) << result;
    EXPECT_EQ(script_.calls, c.calls);
    EXPECT_TRUE(script_.answers.empty());
    EXPECT_EQ(posting.AlreadyOnLoanCount, c.returnedFirst);
    EXPECT_NE(result.find(c.says), std::string::npos) << result;
    if (!c.accepted) {
      EXPECT_EQ(result.rfind("--->>Error: Loan is not possible!\r\n", 0), 0u) << result;
    }
  }
}
