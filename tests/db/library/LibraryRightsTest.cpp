// The rights of the library database's users, the same on both engines: what the desk roles
// vxdesk and vxguest may do, and what only the owner may. On the server the roles' grants
// decide; the embedded database enforces the same rights itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/SqliteDriver.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TestLibrary.h"

using namespace vx::db;
using vxtest::Engine;

namespace {

struct Case {
  const char* sqlite;    // the statement on the embedded engine
  const char* postgres;  // on the server; nullptr: the same
  const char* desk;      // what vxdesk and vxguest get: nullptr allowed, else the refusal
};

// In order: later statements rely on what the owner did in earlier ones (the scratch table).
const Case kCases[] = {
    {"SELECT count(*) FROM NSU.Loan", nullptr, nullptr},
    {"SELECT User_Name, Access_Level FROM NSU.Module_Access", nullptr, nullptr},
    {"SELECT VXAccess('System Down Import')", nullptr, nullptr},
    {"INSERT INTO NSU.Exception_Log (Application) SELECT 'x' WHERE 1 = 0", nullptr, nullptr},
    {"INSERT INTO NSU.Module_Access (User_Name, Module_Id, Access_Level) SELECT 'vxguest', 1, 1 WHERE 1 = 0",
     nullptr, "permission denied for table module_access"},
    {"UPDATE NSU.Copy SET Barcode = Barcode WHERE 1 = 0", nullptr, "permission denied for table copy"},
    {"DELETE FROM NSU.Loan WHERE 1 = 0", nullptr, "permission denied for table loan"},
    {"SELECT Password_Hash FROM NSU.Db_User", "SELECT rolpassword FROM pg_authid",
     nullptr /* the table differs: below */},
    {"CREATE TABLE NSU.Scratch (X integer)", nullptr, "permission denied for schema nsu"},
    {"ALTER TABLE NSU.Scratch ADD COLUMN Y integer", nullptr, "must be owner of table scratch"},
    {"DROP TABLE NSU.Scratch", nullptr, "must be owner of table scratch"},
    {"CREATE TEMP TABLE Mine (X integer)", nullptr, nullptr},
    {"INSERT INTO Mine (X) VALUES (1)", nullptr, nullptr},
};

class LibraryRights : public ::testing::TestWithParam<Engine> {};

TEST_P(LibraryRights, DeskUsersAndTheOwnerGetTheSameAnswersOnBothEngines) {
  const Engine engine = GetParam();
  if (engine == Engine::Postgres && !vxtest::pgTestServer().available())
    GTEST_FAIL() << vxtest::kNoPgTestServer;
  vxtest::TestLibrary library(engine);
  // The owner: the server's creator of the database; on the embedded engine a listed user
  // marked as owner.
  std::unique_ptr<Database> owner;
  if (engine == Engine::Postgres) {
    owner = library.login(vxtest::pgTestServer().user, "", "Owner");
  } else {
    library.arrange("INSERT INTO Db_User (User_Name, Password_Hash, Is_Owner) VALUES ('keeper', '" +
                    SqliteDriver::hashPassword("keeper-pw") + "', 1)");
    owner = library.login("keeper", "keeper-pw", "Owner");
  }
  auto vxdesk = library.login("vxdesk", "vxdesk-demo", "Desk");
  auto vxguest = library.login("vxguest", "vxguest-demo", "Guest");
  for (const Case& c : kCases) {
    const std::string sql = engine == Engine::Postgres && c.postgres ? c.postgres : c.sqlite;
    std::string desk = c.desk ? c.desk : vxtest::kNoError;
    if (std::string(c.sqlite).find("Db_User") != std::string::npos)
      desk = engine == Engine::Postgres ? "permission denied for table pg_authid"
                                        : "permission denied for table db_user";
    // The server's words; the driver adds where in the statement the server found the fault.
    const auto outcome = [&](Database& db) {
      std::string e = vxtest::errorOf<DbError>([&] { db.connection().run(sql); });
      if (const auto at = e.find(" at character "); at != std::string::npos) e.erase(at);
      return e;
    };
    EXPECT_EQ(outcome(*vxdesk), desk) << "vxdesk: " << sql;
    EXPECT_EQ(outcome(*vxguest), desk) << "vxguest: " << sql;
    EXPECT_EQ(outcome(*owner), vxtest::kNoError) << "owner: " << sql;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, LibraryRights, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

// A library file made before owners were marked: its users log on as before, as desk users.
TEST(SqliteLibraryRights, AFileWithoutOwnerMarksAdmitsItsUsersAsDeskUsers) {
  vxtest::TestLibrary library(Engine::Sqlite);
  library.arrange("ALTER TABLE Db_User DROP COLUMN Is_Owner");
  auto vxdesk = library.login("vxdesk", "vxdesk-demo");
  EXPECT_EQ(vxtest::errorOf<DbError>([&] { vxdesk->connection().run("DELETE FROM NSU.Loan"); }),
            "permission denied for table loan");
}

// The embedded engine keeps its procedures' statements prepared; one prepared with the
// procedure's rights never answers the desk's own statement of the same text.
TEST(LibraryRightsSqlite, AProceduresKeptStatementNeverServesTheDesk) {
  vxtest::TestLibrary library(Engine::Sqlite);
  auto vxdesk = library.login("vxdesk", "vxdesk-demo", "Desk");
  const ResultSet returned = vxdesk->connection().run("call ReturnLoanBasic (:Unit, :Item)",
                                                      {Value::integer(1), Value::text("2004")});
  ASSERT_EQ(returned.rows.at(0).at(0).asString(), "0") << "2004 is on loan in the demo";
  EXPECT_EQ(vxtest::errorOf<DbError>([&] {
              vxdesk->connection().run("DELETE FROM Loan WHERE Loan_Id = :Loan", {Value::integer(1)});
            }),
            "permission denied for table loan");
}

}  // namespace
