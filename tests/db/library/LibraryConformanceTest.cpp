// The library database on both engines, through the engine layer as the import runs it: the
// loan procedure as a stored-procedure object prepared once, the return as a `call` query.
// Every case starts from a freshly created library database with the demo data, whose codes
// are listed at the top of data/db/postgres/demo.sql.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/SqliteDriver.h"
#include "db/library/LibraryDatabase.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/PgTestDatabase.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TestLibrary.h"
#include "tests/support/TempDir.h"

using namespace vx::db;

namespace {

using vxtest::Engine;
using vxtest::engineName;

template <typename F>
std::string errorOf(F&& f) {
  return vxtest::errorOf<DbError>(std::forward<F>(f));
}

constexpr const char* kWrongPassword = "password authentication failed for user \"vxdesk\"";

using Library = vxtest::TestLibrary;

// The desk: logged in as vxdesk, with the import's loan procedure and return query.
class Desk {
 public:
  explicit Desk(Library& library)
      : db_(library.login("vxdesk", "vxdesk-demo")), spLoan_(library.session()),
        qryReturn_(library.session()) {
    spLoan_.databaseName = "VXDB";
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
    spLoan_.prepare();
    qryReturn_.databaseName = "VXDB";
    qryReturn_.setSql("call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )");
  }

  int64_t loan(int64_t unit, const std::string& borrower, const std::string& item) {
    spLoan_.paramByName("ServiceAtUnitId").setInteger(unit);
    spLoan_.paramByName("LoanerBarCode").setString(borrower);
    spLoan_.paramByName("ItemBarCode").setString(item);
    spLoan_.paramByName("ErrorCode").setInteger(0);
    spLoan_.execProc();
    return spLoan_.paramByName("ErrorCode").asInteger();
  }

  int64_t giveBack(int64_t unit, const std::string& item) {
    qryReturn_.close();
    qryReturn_.paramByName("serviceatunitid").setInteger(unit);
    qryReturn_.paramByName("ItemBarCode").setString(item);
    qryReturn_.open();
    const int64_t code = qryReturn_.fieldByName("ErrorCode").asInteger();
    qryReturn_.close();
    return code;
  }

  const Param& out(const char* name) { return spLoan_.paramByName(name); }

  // Whole days from the service date to the due date of the last loan.
  int64_t loanDays() {
    const auto noon = [](DateTime t) {
      return DateTime{t.year, t.month, t.day, 12}.toEpochMilliseconds();
    };
    const int64_t ms = noon(out("DueTime").asDateTime()) - noon(out("ServiceTime").asDateTime());
    return (ms + 43'200'000) / 86'400'000;
  }

  Database& db() { return *db_; }

 private:
  std::unique_ptr<Database> db_;
  StoredProc spLoan_;
  Query qryReturn_;
};

bool lent(int64_t code) {
  return code == 0 || code == 14 || code == 17 || code == 18 || code == 180 || code == 1417;
}

// Fixtures skip the PostgreSQL cases when the run has no server (a binary run by hand).
template <typename Param>
class OnEngine : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    if (engine() == Engine::Postgres && !vxtest::pgTestServer().available())
      GTEST_FAIL() << vxtest::kNoPgTestServer;
    library_ = std::make_unique<Library>(engine());
  }
  virtual Engine engine() const = 0;
  std::unique_ptr<Library> library_;
};

// ---- Every loan code of the demo barcodes

struct LoanCase {
  int64_t unit;
  const char* borrower;
  const char* item;
  int64_t code;
  int64_t days;  // of a loan made; -1 when refused
};

const LoanCase kLoanCases[] = {
    {1, "1001", "2001", 0, 28},       {4, "1001", "2001", 0, 14},
    {5, "1001", "2001", 0, 28},       {21, "1001", "2001", 0, 21},
    {30, "1001", "2001", 7, -1},      {999, "1001", "2001", 7, -1},
    {1, "1001", "2999", 1, -1},       {1, "1001", "", 1, -1},
    {1, "1999", "2001", 12, -1},      {1, "1004", "2001", 12, -1},
    {1, "", "2001", 12, -1},          {1, "1999", "2999", 1, -1},
    {1, "1999", "2002", 12, -1},      {1, "1001", "2002", 2, -1},
    {1, "1001", "2003", 3, -1},       {1, "1001", "2004", 4, -1},
    {1, "1002", "2004", 10, -1},      {1, "1001", "2005", 5, -1},
    {1, "1005", "2005", 0, 28},       {1, "1001", "2006", 6, -1},
    {1, "1001", "2007", 8, -1},       {1, "1001", "2008", 5, -1},
    {1, "1003", "2008", 17, 28},      {1, "1003", "2001", 17, 28},
    {1, "1001", "2009", 14, 3},       {1, "1003", "2009", 1417, 3},
    {1, "1005", "2009", 17, 28},      {1, "1001", "2010", 7, -1},
    {1, "1001", "2011", 4, -1},       {1, "1002", "2012", 9, -1},
    {1, "1001", "2012", 0, 7},        {1, "1001", "2013", 11, -1},
    {1, "1001", "2014", 13, -1},      {1, "1005", "2014", 17, 28},
    {1, "1001", "2015", 180, 28},     {1, "1001", "2016", 18, 5},
    {1, "1001", "2017", 4, -1},       {1, "1001", "2018", 5, -1},
    {1, "1001", "2019", 666, -1},     {1, "1001", "2020", 4, -1},
};

class LoanCodes : public OnEngine<std::tuple<Engine, LoanCase>> {
 protected:
  Engine engine() const override { return std::get<0>(GetParam()); }
};

TEST_P(LoanCodes, GiveTheDocumentedCodeAndChangeNothingWhenRefused) {
  const LoanCase c = std::get<1>(GetParam());
  Desk desk(*library_);
  const std::string before = library_->circulationState();
  ASSERT_EQ(desk.loan(c.unit, c.borrower, c.item), c.code);
  if (lent(c.code)) {
    EXPECT_EQ(desk.loanDays(), c.days);
    EXPECT_EQ(desk.out("ServiceIdReserved").asInteger(), 101);  // new loans start at 101
    // ExId is the copy's id, which the demo data makes the barcode's last two digits.
    EXPECT_EQ(desk.out("ExId").asInteger(), std::stoi(c.item) - 2000);
    EXPECT_EQ(library_->count("SELECT count(*) FROM Loan WHERE Loan_Id = 101 AND Copy_Id = :Ex",
                              {desk.out("ExId").value()}),
              1);
  } else {
    EXPECT_EQ(library_->circulationState(), before);
    EXPECT_TRUE(desk.out("ServiceIdReserved").isNull());
    EXPECT_TRUE(desk.out("DueTime").isNull());
  }
  EXPECT_FALSE(desk.out("ServiceTime").isNull());
}

std::string barcodeName(const char* b) { return *b ? b : "none"; }

INSTANTIATE_TEST_SUITE_P(
    Demo, LoanCodes,
    ::testing::Combine(::testing::Values(Engine::Sqlite, Engine::Postgres),
                       ::testing::ValuesIn(kLoanCases)),
    [](const ::testing::TestParamInfo<LoanCodes::ParamType>& p) {
      const LoanCase& c = std::get<1>(p.param);
      return engineName(std::get<0>(p.param)) + "_unit" + std::to_string(c.unit) + "_" +
             barcodeName(c.borrower) + "_" + barcodeName(c.item);
    });

// ---- Every return code of the demo barcodes

struct ReturnCase {
  int64_t unit;
  const char* item;
  int64_t code;
};

const ReturnCase kReturnCases[] = {
    {1, "2004", 0}, {1, "2011", 0}, {1, "2001", 3},   {1, "2999", 1},   {1, "2002", 2},
    {1, "2013", 4}, {1, "2017", 7}, {1, "2020", 666}, {4, "2020", 666}, {30, "2004", 7},
};

class ReturnCodes : public OnEngine<std::tuple<Engine, ReturnCase>> {
 protected:
  Engine engine() const override { return std::get<0>(GetParam()); }
};

TEST_P(ReturnCodes, GiveTheDocumentedCodeAndMoveOnlyAReturnedLoan) {
  const ReturnCase c = std::get<1>(GetParam());
  Desk desk(*library_);
  const std::string before = library_->circulationState();
  const Value copy = Value::integer(std::stoi(c.item) - 2000);
  const int64_t loansBefore =
      library_->count("SELECT count(*) FROM Loan WHERE Copy_Id = :Copy", {copy});
  ASSERT_EQ(desk.giveBack(c.unit, c.item), c.code);
  if (c.code == 0) {
    EXPECT_EQ(loansBefore, 1);
    EXPECT_EQ(library_->count("SELECT count(*) FROM Loan WHERE Copy_Id = :Copy", {copy}), 0);
    EXPECT_EQ(library_->count("SELECT count(*) FROM Loan_History WHERE Copy_Id = :Copy AND "
                              "Return_Unit_Id = :Unit",
                              {copy, Value::integer(c.unit)}),
              1);
  } else {
    EXPECT_EQ(library_->circulationState(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Demo, ReturnCodes,
    ::testing::Combine(::testing::Values(Engine::Sqlite, Engine::Postgres),
                       ::testing::ValuesIn(kReturnCases)),
    [](const ::testing::TestParamInfo<ReturnCodes::ParamType>& p) {
      const ReturnCase& c = std::get<1>(p.param);
      return engineName(std::get<0>(p.param)) + "_unit" + std::to_string(c.unit) + "_" + c.item;
    });

// ---- The import's sequences: loan, and for 4 and 10 return and loan again

struct Flow {
  const char* borrower;
  const char* item;
  std::vector<int64_t> codes;  // loan, return, loan, ... as the import calls them
};

const Flow kFlows[] = {
    {"1001", "2004", {4, 0, 0}},  // the other borrower's loan goes, this one's comes
    {"1002", "2004", {10, 0, 0}},
    {"1001", "2011", {4, 0, 0}},
    {"1001", "2017", {4, 7}},  // the return is refused: no second loan
    {"1001", "2020", {4, 666}},
};

class ImportFlows : public OnEngine<std::tuple<Engine, Flow>> {
 protected:
  Engine engine() const override { return std::get<0>(GetParam()); }
};

TEST_P(ImportFlows, ReturnThenLoanAgainWithTheSamePreparedObjects) {
  const Flow f = std::get<1>(GetParam());
  Desk desk(*library_);
  for (size_t i = 0; i < f.codes.size(); ++i)
    ASSERT_EQ(i % 2 == 0 ? desk.loan(1, f.borrower, f.item) : desk.giveBack(1, f.item),
              f.codes[i])
        << "call " << i + 1;
  const int64_t holders = library_->count(
      "SELECT count(*) FROM Loan l JOIN Borrower b ON b.Borrower_Id = l.Borrower_Id "
      "JOIN Copy c ON c.Copy_Id = l.Copy_Id WHERE b.Barcode = :B AND c.Barcode = :I",
      {Value::text(f.borrower), Value::text(f.item)});
  EXPECT_EQ(holders, lent(f.codes.back()) ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Demo, ImportFlows,
    ::testing::Combine(::testing::Values(Engine::Sqlite, Engine::Postgres),
                       ::testing::ValuesIn(kFlows)),
    [](const ::testing::TestParamInfo<ImportFlows::ParamType>& p) {
      const Flow& f = std::get<1>(p.param);
      return engineName(std::get<0>(p.param)) + "_" + f.borrower + "_" + f.item;
    });

// ---- The rest of the library's objects

class LibraryTest : public OnEngine<Engine> {
 protected:
  Engine engine() const override { return GetParam(); }
};

TEST_P(LibraryTest, VersionAndLanguage) {
  Desk desk(*library_);
  Query q(library_->session());
  q.databaseName = "VXDB";
  for (const char* sql : {"SELECT Version FROM NSU.Db_Info", "SELECT Version FROM db_info"}) {
    q.setSql(sql);
    q.open();
    EXPECT_EQ(q.fieldByName("Version").asString(), "2.5003") << sql;
    q.close();
  }
  q.setSql("SELECT GetDbLanguage() AS Lang");
  q.open();
  EXPECT_EQ(q.fieldByName("Lang").asString(), "English");
}

TEST_P(LibraryTest, AccessIsTheConnectedUsersLevelForTheModule) {
  const auto access = [&](const std::string& user, const std::string& module) {
    auto db = library_->login(user, user + "-demo");
    Query q(library_->session());
    q.databaseName = "VXDB";
    q.setSql({"SELECT VXAccess(Description) AS Access", "  FROM NSU.Module",
              " WHERE Description = :Description"});
    q.paramByName("Description").setString(module);
    q.open();
    return q.eof() ? int64_t{-1} : q.fieldByName("Access").asInteger();
  };
  EXPECT_EQ(access("vxdesk", "System Down Import"), 1);
  EXPECT_EQ(access("vxguest", "System Down Import"), 0);
  EXPECT_EQ(access("vxguest", "Cataloguing"), 2);
  EXPECT_EQ(access("vxdesk", "Cataloguing"), 0);
}

TEST_P(LibraryTest, WrongPasswordOrUnknownUserIsRefusedWithTheEnginesMessage) {
  const std::string wrong = errorOf([&] { library_->login("vxdesk", "vxguest-demo"); });
  const std::string none = errorOf([&] { library_->login("vxdesk", ""); });
  const std::string unknown = errorOf([&] { library_->login("nobody", "vxdesk-demo"); });
  if (engine() == Engine::Sqlite) {
    EXPECT_EQ(wrong, kWrongPassword);
    EXPECT_EQ(none, kWrongPassword);
    EXPECT_EQ(unknown, "password authentication failed for user \"nobody\"");
  } else {  // the server's message comes after where it was reached
    EXPECT_NE(wrong.find(kWrongPassword), std::string::npos) << wrong;
    EXPECT_NE(none.find("no password supplied"), std::string::npos) << none;  // libpq's own
    EXPECT_NE(unknown.find("password authentication failed for user \"nobody\""),
              std::string::npos)
        << unknown;
  }
  EXPECT_TRUE(library_->login("vxguest", "vxguest-demo")->connected());
}

TEST_P(LibraryTest, CallInsideTheCallersTransactionIsUndoneWithIt) {
  Desk desk(*library_);
  const std::string before = library_->circulationState();
  desk.db().executeScript("BEGIN");
  ASSERT_EQ(desk.loan(1, "1001", "2001"), 0);
  ASSERT_EQ(desk.giveBack(1, "2004"), 0);
  ASSERT_EQ(desk.loan(1, "1001", "2004"), 0);
  desk.db().executeScript("ROLLBACK");
  EXPECT_EQ(library_->circulationState(), before);
  // And without one, each call stands alone.
  ASSERT_EQ(desk.loan(1, "1001", "2001"), 0);
  EXPECT_EQ(library_->count("SELECT count(*) FROM Loan WHERE Copy_Id = 1"), 1);
}

TEST_P(LibraryTest, ErrorAfterTheLoanIsWrittenUndoesTheLoan) {
  // Collecting 2005 writes the loan, then marks 1005's reservation fulfilled; that fails here.
  if (engine() == Engine::Sqlite)
    library_->arrange(
        "CREATE TRIGGER fail_reservation AFTER UPDATE ON Reservation "
        "BEGIN SELECT RAISE(ABORT, 'disk on fire'); END;");
  else
    library_->arrange(
        "CREATE FUNCTION nsu.fail_reservation() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN RAISE EXCEPTION 'disk on fire'; END $$; "
        "CREATE TRIGGER fail_reservation AFTER UPDATE ON nsu.Reservation "
        "FOR EACH ROW EXECUTE FUNCTION nsu.fail_reservation();");
  Desk desk(*library_);
  const std::string before = library_->circulationState();
  EXPECT_EQ(desk.loan(1, "1005", "2005"), 666);
  EXPECT_EQ(library_->circulationState(), before);
  EXPECT_TRUE(desk.out("ServiceIdReserved").isNull());
  EXPECT_TRUE(desk.out("DueTime").isNull());
  EXPECT_EQ(desk.out("ExId").asInteger(), 5);  // the copy was found
  // The next call on the same objects works again.
  EXPECT_EQ(desk.loan(1, "1001", "2001"), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, LibraryTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& p) {
                           return engineName(p.param);
                         });

// ---- The embedded engine's users

TEST(SqliteLibrary, WithoutUsersEveryNameIsAdmitted) {
  Library library(Engine::Sqlite, false);
  EXPECT_TRUE(library.login("anybody", "")->connected());
  library.arrange(std::string(library::script(Dialect::Sqlite, library::Script::Demo)));
  EXPECT_EQ(errorOf([&] { library.login("anybody", ""); }),
            "password authentication failed for user \"anybody\"");
}

TEST(SqliteLibrary, MalformedHashesMatchNoPassword) {
  // The demo hash of vxdesk (made with `openssl kdf`), and damaged copies of it.
  const std::string good =
      "pbkdf2-sha256$100000$603c1acf1d5aad99d2b67281f5b18b10$"
      "6bb19f7e04417e78681ddc054c58067ecf210c57a05980a51c4ce914066a647b";
  EXPECT_TRUE(SqliteDriver::verifyPassword("vxdesk-demo", good));
  EXPECT_FALSE(SqliteDriver::verifyPassword("vxdesk-demO", good));
  std::string upper = good;
  for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  for (const std::string& bad :
       {std::string(""), good.substr(0, good.size() - 2), "pbkdf2-sha1" + good.substr(13),
        "pbkdf2-sha256$0$603c1acf1d5aad99d2b67281f5b18b10$" + good.substr(good.rfind('$') + 1),
        "pbkdf2-sha256$999999999$603c1acf1d5aad99d2b67281f5b18b10$" +
            good.substr(good.rfind('$') + 1),
        "pbkdf2-sha256$100000$$" + good.substr(good.rfind('$') + 1), good + "$",
        "pbkdf2-sha256$100000$603c1acf1d5aad99d2b67281f5b18b1g$" +
            good.substr(good.rfind('$') + 1)})
    EXPECT_FALSE(SqliteDriver::verifyPassword("vxdesk-demo", bad)) << bad;
}

// ---- The server's demo roles

// The demo script names the demo passwords only as SCRAM verifiers, which the server keeps as
// they are: the passwords themselves never reach it, and still admit the demo users.
TEST(PostgresLibrary, DemoRolesGetVerifiersNeverTheirPasswords) {
  const std::string demo(library::script(Dialect::Postgres, library::Script::Demo));
  Library library(Engine::Postgres);
  for (const std::string user : {"vxdesk", "vxguest"}) {
    SCOPED_TRACE(user);
    EXPECT_EQ(demo.find(user + "-demo"), std::string::npos);
    EXPECT_EQ(library.count("SELECT count(*) FROM pg_authid WHERE rolname = :User AND "
                            "rolpassword LIKE 'SCRAM-SHA-256$%' AND "
                            "position(rolpassword IN :Script) > 0",
                            {Value::text(user), Value::text(demo)}),
              1);
    EXPECT_TRUE(library.login(user, user + "-demo")->connected());
  }
}

TEST(SqliteLibrary, ScriptsAreEmbeddedWholeForBothEngines) {
  for (const Dialect d : {Dialect::Sqlite, Dialect::Postgres}) {
    const std::string_view schema = library::script(d, library::Script::Schema);
    EXPECT_NE(schema.find("CREATE TABLE Booking"), std::string_view::npos);
    const std::string_view demo = library::script(d, library::Script::Demo);
    EXPECT_EQ(demo.substr(demo.rfind("COMMIT;")), "COMMIT;\n");
  }
  EXPECT_TRUE(library::script(Dialect::Sqlite, library::Script::Procedures).empty());
  EXPECT_NE(library::script(Dialect::Postgres, library::Script::Procedures)
                .find("PROCEDURE ReturnLoanBasic"),
            std::string_view::npos);
}

}  // namespace
