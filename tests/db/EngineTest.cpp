// The engine layer against real engines: a SQLite file, and the test run's PostgreSQL server
// (PgTestServer.h). Every case runs unchanged on both, as the program's statements must.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/SqliteDriver.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/PgTestDatabase.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TempDir.h"

using namespace vx::db;

namespace {

enum class Engine { Sqlite, Postgres };

const char* kSchema = R"(
CREATE TABLE NSU.Item (Id integer PRIMARY KEY, Name varchar(200), Added timestamp,
                       Note varchar(200));
CREATE TABLE NSU.Exception_Log (Exception_Time timestamp, Application varchar(255),
  User_name varchar(100), Exception_Msg varchar(1000), ExeVersion varchar(50),
  DBVersion varchar(50));
)";

// The same procedures as SQL on the server.
const char* kPgProcedures = R"(
CREATE PROCEDURE nsu.AddNumbers(IN a integer, IN b text, INOUT total integer, INOUT label text)
LANGUAGE plpgsql AS $$
BEGIN
  total := a + coalesce(total, 0);
  label := b || '!';
  INSERT INTO nsu.Item (Id, Name) VALUES (total, label);
END $$;
CREATE PROCEDURE nsu.ReturnLoanBasic(unit integer, barcode text, INOUT ErrorCode integer DEFAULT 0)
LANGUAGE plpgsql AS $$
BEGIN
  ErrorCode := CASE WHEN barcode = 'OK' THEN 0 ELSE unit END;
END $$;
CREATE FUNCTION nsu.getdate() RETURNS timestamp LANGUAGE sql AS $$ SELECT localtimestamp $$;
)";

// ... and in C++ for SQLite.
void registerSqliteProcedures() {
  SqliteDriver::registerProcedure("AddNumbers", [](Connection& c, std::vector<Value>& args) {
    args[2] = Value::integer(args[0].asInteger() + args[2].asInteger());
    args[3] = Value::text(args[1].asString() + "!");
    c.run("INSERT INTO NSU.Item (Id, Name) VALUES (:Id, :Name)", {args[2], args[3]});
    return ResultSet{};
  });
  SqliteDriver::registerProcedure("ReturnLoanBasic", [](Connection&, std::vector<Value>& args) {
    const int64_t code = args.at(1).asString() == "OK" ? 0 : args.at(0).asInteger();
    return ResultSet{{"ErrorCode"}, {{Value::integer(code)}}};
  });
}

class EngineTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    AliasSpec alias;
    alias.name = "test";
    if (GetParam() == Engine::Postgres) {
      const vxtest::PgTestServer server = vxtest::pgTestServer();
      if (!server.available()) GTEST_FAIL() << vxtest::kNoPgTestServer;
      user_ = server.user;
      pgDatabase_ = std::make_unique<vxtest::PgTestDatabase>(server, "vx_db_test");
      alias = pgDatabase_->alias("test");
    } else {
      user_ = "librarian";
      alias.driver = DriverKind::Sqlite;
      alias.settings = {{"PATH", dir_.file("library.vxdb")}, {"CREATE", "1"}};
      registerSqliteProcedures();
    }
    session_ = std::make_unique<Session>("Test", std::vector<AliasSpec>{alias});
    db_ = std::make_unique<Database>(*session_);
    db_->databaseName = "VXDB";
    db_->aliasName = "test";
    db_->params = {"USER NAME=" + user_, "PASSWORD=", "LANGDRIVER=ascii"};
    db_->open();
    if (GetParam() == Engine::Postgres) db_->executeScript("CREATE SCHEMA nsu");
    db_->executeScript(kSchema);
    if (GetParam() == Engine::Postgres) db_->executeScript(kPgProcedures);
  }

  void TearDown() override {
    db_.reset();
    session_.reset();
    pgDatabase_.reset();
  }

  std::unique_ptr<Query> query(const std::string& sql) {
    auto q = std::make_unique<Query>(*session_);
    q->databaseName = "VXDB";
    q->setSql(sql);
    return q;
  }

  void insertItem(int64_t id, const std::string& name) {
    auto q = query("INSERT INTO NSU.Item (Id, Name) VALUES (:Id, :Name)");
    q->paramByName("Id").setInteger(id);
    q->paramByName("Name").setString(name);
    q->execSql();
  }

  std::string nameOf(int64_t id, const char* table = "Item") {
    auto q = query(std::string("SELECT Name FROM ") + table + " WHERE Id = :Id");
    q->paramByName("Id").setInteger(id);
    q->open();
    return q->eof() ? "(no row)" : q->fieldByName("Name").asString();
  }

  vxtest::TempDir dir_;
  std::string user_;
  std::unique_ptr<vxtest::PgTestDatabase> pgDatabase_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Database> db_;
};

template <typename F>
std::string errorOf(F&& f) {
  return vxtest::errorOf<DbError>(std::forward<F>(f));
}

TEST_P(EngineTest, ParametersBindByNameAndKeepHostileTextUnchanged) {
  const std::vector<std::string> texts = {
      "O'Brien; DROP TABLE Item; --", "'); DELETE FROM Item; --", ":Name and ?1 and $1",
      "\"quoted\" \\ backslash", "Blåbærsyltetøy", ""};
  int64_t id = 1;
  for (const auto& t : texts) {
    auto q = query("INSERT INTO nsu.item (ID, NAME) VALUES (:id, :NAME)");
    q->paramByName("ID").setInteger(id);  // names match without regard to case
    q->paramByName("name").setString(t);
    q->execSql();
    EXPECT_EQ(nameOf(id), t);
    ++id;
  }
  auto count = query("SELECT COUNT(*) AS n FROM Item");
  count->open();
  EXPECT_EQ(count->field(0).asInteger(), static_cast<int64_t>(texts.size()));
}

TEST_P(EngineTest, ParameterProblemsRaise) {
  auto q = query("SELECT Name FROM Item WHERE Id = :Id");
  EXPECT_EQ(errorOf([&] { q->paramByName("Unit"); }), "Parameter 'Unit' not found");
  EXPECT_EQ(errorOf([&] { q->open(); }), "No value for parameter 'Id'");
}

TEST_P(EngineTest, ColonInsideLiteralIsText) {
  insertItem(5, "five");
  auto q = query("SELECT ':Name' AS Literal, Name FROM NSU.Item WHERE Id = :Id");
  ASSERT_EQ(q->params().size(), 1u);
  q->paramByName("Id").setInteger(5);
  q->open();
  EXPECT_EQ(q->fieldByName("literal").asString(), ":Name");
  EXPECT_EQ(q->fieldByName("NAME").asString(), "five");
}

TEST_P(EngineTest, PrefixedAndBareNamesAreOneTable) {
  insertItem(1, "through prefix");
  EXPECT_EQ(nameOf(1, "Item"), "through prefix");
  auto bare = query("INSERT INTO Item (Id, Name) VALUES (2, 'bare')");
  bare->execSql();
  EXPECT_EQ(nameOf(2, "NSU.Item"), "bare");
  // One transaction writing through both names.
  db_->executeScript(
      "BEGIN; INSERT INTO NSU.Item (Id, Name) VALUES (3, 'a'); "
      "UPDATE Item SET Name = 'b' WHERE Id = 3; COMMIT;");
  EXPECT_EQ(nameOf(3, "nsu.Item"), "b");
}

TEST_P(EngineTest, FieldsByNameAndPositionWithNullsAndRows) {
  insertItem(1, "one");
  insertItem(2, "two");
  auto q = query("SELECT Id, Name, Note, Added FROM Item ORDER BY Id");
  q->open();
  ASSERT_EQ(q->fieldCount(), 4u);
  EXPECT_EQ(q->field(0).asInteger(), 1);
  EXPECT_EQ(q->field(1).asString(), "one");
  EXPECT_TRUE(q->fieldByName("note").isNull());
  EXPECT_EQ(q->fieldByName("Note").asString(), "");
  EXPECT_EQ(q->fieldByName("Note").asInteger(), 0);
  EXPECT_EQ(q->fieldByName("Added").asDateTime(), DateTime{});
  EXPECT_EQ(errorOf([&] { q->fieldByName("Nope"); }), "Field 'Nope' not found");
  EXPECT_NE(errorOf([&] { q->field(4); }), "(no error)");
  q->next();
  EXPECT_FALSE(q->eof());
  EXPECT_EQ(q->fieldByName("Id").asInteger(), 2);
  q->next();
  EXPECT_TRUE(q->eof());
  q->close();
  EXPECT_EQ(errorOf([&] { q->fieldByName("Id"); }),
            "Cannot perform this operation on a closed dataset");
}

TEST_P(EngineTest, DateTimeParametersRoundTrip) {
  const DateTime when{2024, 2, 29, 13, 45, 10, 250};
  auto q = query("INSERT INTO Item (Id, Added) VALUES (:Id, :Added)");
  q->paramByName("Id").setInteger(9);
  q->paramByName("Added").setDateTime(when);
  q->execSql();
  auto r = query("SELECT Added FROM NSU.Item WHERE Added = :When");
  r->paramByName("When").setDateTime(when);
  r->open();
  ASSERT_FALSE(r->eof());
  EXPECT_EQ(r->field(0).asDateTime(), when);
}

TEST_P(EngineTest, ErrorsCarryTheEngineMessage) {
  const std::string msg = errorOf([&] { query("SELECT * FROM missing_table")->open(); });
  EXPECT_NE(msg.find("missing_table"), std::string::npos) << msg;
  EXPECT_NE(msg.find(GetParam() == Engine::Sqlite ? "no such table" : "does not exist"),
            std::string::npos)
      << msg;
  EXPECT_NE(msg.back(), '\n');
  insertItem(1, "one");
  const std::string dup = errorOf([&] { insertItem(1, "again"); });
  EXPECT_NE(dup.find(GetParam() == Engine::Sqlite ? "UNIQUE constraint failed" : "duplicate key"),
            std::string::npos)
      << dup;
}

TEST_P(EngineTest, StoredProcedureReturnsInOutValues) {
  StoredProc sp(*session_);
  sp.databaseName = "VXDB";
  sp.setProcName("AddNumbers");
  sp.addParam("a", DataType::Integer);
  sp.addParam("b", DataType::String);
  sp.addParam("total", DataType::Integer, ParamDirection::InputOutput);
  sp.addParam("label", DataType::String, ParamDirection::InputOutput);
  sp.paramByName("A").setInteger(40);
  sp.paramByName("b").setString("it's");
  sp.prepare();
  sp.execProc();  // total goes in as null
  EXPECT_EQ(sp.paramByName("total").asInteger(), 40);
  EXPECT_EQ(sp.paramByName("label").asString(), "it's!");
  // The same object again: the in-out values of the last call go back in.
  sp.paramByName("a").setInteger(2);
  sp.execProc();
  EXPECT_EQ(sp.paramByName("total").asInteger(), 42);
  EXPECT_EQ(nameOf(42), "it's!");
  StoredProc missing(*session_);
  missing.databaseName = "VXDB";
  missing.setProcName("NoSuchProcedure");
  EXPECT_NE(errorOf([&] {
              missing.prepare();
              missing.execProc();
            }),
            "(no error)");
}

TEST_P(EngineTest, CallStatementAnswersWithOneRow) {
  auto q = query("call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )");
  q->paramByName("serviceatunitid").setInteger(7);
  q->paramByName("ItemBarCode").setString("BAD");
  q->prepare();
  q->open();
  EXPECT_EQ(q->fieldByName("ErrorCode").asInteger(), 7);
  q->close();
  q->paramByName("ItemBarCode").setString("OK");
  q->open();
  EXPECT_EQ(q->fieldByName("ErrorCode").asInteger(), 0);
}

TEST_P(EngineTest, InsertWithCurrentTimestampAndUser) {
  const int64_t before = DateTime::now().toEpochMilliseconds();
  auto q = std::make_unique<Query>(*session_);
  q->databaseName = "VXDB";
  q->setSql({"INSERT INTO NSU.Exception_Log",
             " (Exception_Time, Application, User_name, Exception_Msg, ExeVersion, DBVersion)",
             " VALUES (CURRENT TIMESTAMP, :Application, User, :Message, :ExeVer, :DBVer)"});
  for (const char* p : {"Application", "Message", "ExeVer", "DBVer"})
    q->paramByName(p).setString(std::string("it's ") + p);
  q->execSql();
  auto r = query("SELECT Exception_Time, User_name, Exception_Msg FROM Exception_Log");
  r->open();
  ASSERT_FALSE(r->eof());
  EXPECT_EQ(r->fieldByName("User_name").asString(), user_);
  EXPECT_EQ(r->fieldByName("Exception_Msg").asString(), "it's Message");
  const int64_t stamped = r->fieldByName("Exception_Time").asDateTime().toEpochMilliseconds();
  // Local time on both sides: within a minute (the server clock is the machine's here).
  EXPECT_LT(std::llabs(stamped - before), 60000) << r->field(0).asString();
}

TEST_P(EngineTest, GetdateIsTheLocalTimeNow) {
  auto q = query("SELECT getdate()");
  q->open();
  const int64_t diff = q->field(0).asDateTime().toEpochMilliseconds() -
                       DateTime::now().toEpochMilliseconds();
  EXPECT_LT(std::llabs(diff), 60000) << q->field(0).asString();
}

TEST_P(EngineTest, ClosingTheDatabaseClosesItsQueries) {
  insertItem(1, "one");
  auto q = query("SELECT Name FROM Item WHERE Id = :Id");
  q->paramByName("Id").setInteger(1);
  q->open();
  ASSERT_TRUE(q->prepared());
  db_->close();
  EXPECT_FALSE(q->active());
  EXPECT_FALSE(q->prepared());
  // The query finds its database again by name and opens it.
  q->open();
  EXPECT_TRUE(db_->connected());
  EXPECT_EQ(q->field(0).asString(), "one");
}

TEST_P(EngineTest, SessionFindsDatabasesByName) {
  EXPECT_EQ(session_->findDatabase("vxdb"), db_.get());
  EXPECT_EQ(session_->findDatabase("VXLoginDb"), nullptr);
  Query q(*session_);
  q.databaseName = "VXLoginDb";
  q.setSql("SELECT 1");
  EXPECT_EQ(errorOf([&] { q.open(); }), "Unknown database: VXLoginDb");
  Database twin(*session_);
  twin.databaseName = "VXDB";
  twin.aliasName = "test";
  EXPECT_EQ(errorOf([&] { twin.open(); }), "Duplicate database name 'VXDB'");
}

TEST_P(EngineTest, LoginHandlerFillsUserAndPassword) {
  Database login(*session_);
  login.databaseName = "VXLoginDb";
  login.aliasName = "test";
  login.params = {"user name=nobody"};
  login.loginPrompt = true;
  std::string offered;
  login.onLogin = [&](Database&, std::vector<std::string>& p) {
    offered = paramValue(p, "USER NAME");
    setParamValue(p, "User Name", user_);
  };
  login.open();
  EXPECT_EQ(offered, "nobody");
  EXPECT_EQ(login.connection().userName(), user_);
}

std::string engineName(const ::testing::TestParamInfo<Engine>& p) {
  return p.param == Engine::Sqlite ? "Sqlite" : "Postgres";
}

// Statements announced ahead get the answers they would have got alone, errors included;
// a different statement, other arguments or a change in between never see a kept answer.
TEST_P(EngineTest, AnnouncedStatementsGetTheAnswersTheyWouldHaveGotAlone) {
  insertItem(1, "one");
  insertItem(2, "two");
  const std::string byId = "SELECT Name FROM NSU.Item WHERE Id = :Id";
  const std::string missing = "SELECT * FROM missing_table";
  const std::string alone = errorOf([&] { query(missing)->open(); });

  db_->prefetch({{byId, {Value::integer(1)}}, {missing, {}}, {byId, {Value::integer(2)}}});
  EXPECT_EQ(nameOf(1), "one");
  EXPECT_EQ(errorOf([&] { query(missing)->open(); }), alone);
  EXPECT_EQ(nameOf(2), "two");

  db_->prefetch({{byId, {Value::integer(1)}}, {byId, {Value::integer(2)}}});
  EXPECT_EQ(nameOf(2), "two");  // out of order: asked again
  EXPECT_EQ(nameOf(1), "one");

  db_->prefetch({{byId, {Value::integer(1)}}, {byId, {Value::integer(2)}}});
  EXPECT_EQ(nameOf(1), "one");
  auto rename = query("UPDATE NSU.Item SET Name = 'zwei' WHERE Id = 2");
  rename->execSql();
  EXPECT_EQ(nameOf(2), "zwei");
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         engineName);

TEST(SqliteEngine, MissingFileIsNotCreatedUnlessAsked) {
  vxtest::TempDir dir;
  AliasSpec alias{"a", DriverKind::Sqlite, {{"PATH", dir.file("none.vxdb")}}};
  Session s("S", {alias});
  Database d(s);
  d.databaseName = "D";
  d.aliasName = "a";
  EXPECT_EQ(errorOf([&] { d.open(); }), "unable to open database file: " + dir.file("none.vxdb"));
  d.aliasName = "nope";
  EXPECT_EQ(errorOf([&] { d.open(); }), "Unknown alias: nope");
}

}  // namespace

namespace {

// A file made with a rollback journal (as older versions made them) opens, keeps its rows,
// and from then on keeps a write-ahead log whose files are as private as the library file.
TEST(SqliteEngine, AnOlderFileOpensAndKeepsAPrivateWriteAheadLog) {
  vxtest::TempDir dir;
  const std::string path = dir.file("old.vxdb");
  {
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(old, "PRAGMA journal_mode = DELETE; CREATE TABLE T (X integer); "
                                "INSERT INTO T VALUES (7)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(old);
  }
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  AliasSpec alias{"a", DriverKind::Sqlite, {{"PATH", path}}};
  Session s("S", {alias});
  Database db(s);
  db.databaseName = "D";
  db.aliasName = "a";
  db.params = {"USER NAME=ada"};
  db.open();
  EXPECT_EQ(db.connection().run("PRAGMA journal_mode").rows.at(0).at(0), Value::text("wal"));
  EXPECT_EQ(db.connection().run("PRAGMA synchronous").rows.at(0).at(0), Value::integer(2));  // FULL
  db.executeScript("INSERT INTO T VALUES (8)");
  EXPECT_EQ(db.connection().run("SELECT sum(X) FROM T").rows.at(0).at(0), Value::integer(15));
  for (const char* companion : {"-wal", "-shm"}) {
    struct stat st {};
    ASSERT_EQ(::stat((path + companion).c_str(), &st), 0) << companion;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << companion;
  }
}

TEST(SqliteEngine, FunctionsReachOpenAndNewConnections) {
  vxtest::TempDir dir;
  AliasSpec alias{"a", DriverKind::Sqlite, {{"PATH", dir.file("f.vxdb")}, {"CREATE", "1"}}};
  Session s("S", {alias});
  Database first(s);
  first.databaseName = "First";
  first.aliasName = "a";
  first.params = {"USER NAME=ada"};
  first.open();
  SqliteDriver::registerFunction("vx_test_greet", 1, [](Connection& c, const std::vector<Value>& a) {
    if (a.at(0).isNull()) throw DbError("nobody to greet");
    return Value::text(a.at(0).asString() + ", " + c.userName());
  });
  EXPECT_EQ(first.connection().run("SELECT vx_test_greet('hello')").rows.at(0).at(0),
            Value::text("hello, ada"));
  Database second(s);
  second.databaseName = "Second";
  second.aliasName = "a";
  second.params = {"USER NAME=bo"};
  second.open();
  EXPECT_EQ(second.connection().run("SELECT VX_TEST_GREET(:Who)", {Value::text("hi")}).rows[0][0],
            Value::text("hi, bo"));
  EXPECT_EQ(errorOf([&] { second.connection().run("SELECT vx_test_greet(NULL)"); }),
            "nobody to greet");
  // in_transaction() tells a procedure whether the caller holds a transaction.
  EXPECT_EQ(second.connection().run("SELECT in_transaction()").rows[0][0], Value::integer(0));
  second.executeScript("BEGIN");
  EXPECT_EQ(second.connection().run("SELECT in_transaction()").rows[0][0], Value::integer(1));
  second.executeScript("ROLLBACK");
}

}  // namespace

// The session's settings come with the connection request: the library's schema first, ISO
// dates, dirty reads and UTF-8, as the program's statements expect.
class PostgresSessionTest : public EngineTest {};

TEST_P(PostgresSessionTest, SettingsComeWithTheConnection) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"search_path", "nsu, public"},
      {"DateStyle", "ISO, YMD"},
      {"default_transaction_isolation", "read uncommitted"},
      {"client_encoding", "UTF8"}};
  for (const auto& [name, value] : expected) {
    auto q = query("SHOW " + name);
    q->open();
    EXPECT_EQ(q->field(0).asString(), value) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Postgres, PostgresSessionTest, ::testing::Values(Engine::Postgres));
