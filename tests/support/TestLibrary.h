#pragma once
// A fresh library database for a test, with the demo data, on SQLite or on the test run's
// PostgreSQL server: made by its creator (on PostgreSQL the superuser of the test server),
// with logins to it. On PostgreSQL, loading the demo data resets the demo roles of the whole
// cluster: tests that do so take turns (RESOURCE_LOCK vx_pg_demo_roles).
#include "db/Database.h"
#include "db/Driver.h"
#include "db/Session.h"
#include "db/Value.h"
#include "db/library/LibraryDatabase.h"
#include "tests/support/PgTestDatabase.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace vxtest {

enum class Engine { Sqlite, Postgres };

inline std::string engineName(Engine e) { return e == Engine::Sqlite ? "Sqlite" : "Postgres"; }

class TestLibrary {
 public:
  explicit TestLibrary(Engine engine, bool demo = true) : engine_(engine) {
    vx::db::AliasSpec alias{"library", vx::db::DriverKind::Sqlite, {}};
    if (engine == Engine::Postgres) {
      const PgTestServer server = pgTestServer();
      creatorUser_ = server.user;
      pgDatabase_ = std::make_unique<PgTestDatabase>(server, "vx_library_test");
      alias = pgDatabase_->alias("library");
    } else {
      vx::db::library::installSqliteProcedures();
      creatorUser_ = "creator";
      alias.settings = {{"PATH", dir_.file("library.vxdb")}, {"CREATE", "1"}};
    }
    session_ = std::make_unique<vx::db::Session>("Test", std::vector<vx::db::AliasSpec>{alias});
    creator_ = login(creatorUser_, "", "VXSetup");
    vx::db::library::createLibraryDatabase(*creator_, demo);
  }
  ~TestLibrary() {
    creator_.reset();
    session_.reset();
  }

  vx::db::Session& session() { return *session_; }
  Engine engine() const { return engine_; }

  // Opens a database object on the library; raises the engine's error.
  std::unique_ptr<vx::db::Database> login(const std::string& user, const std::string& password,
                                  const std::string& databaseName = "VXDB") {
    auto db = std::make_unique<vx::db::Database>(*session_);
    db->databaseName = databaseName;
    db->aliasName = "library";
    db->params = {"USER NAME=" + user, "PASSWORD=" + password};
    db->open();
    return db;
  }

  // Runs a script as the library's creator (arranging data the demo does not have).
  void arrange(const std::string& sql) { creator_->executeScript(sql); }

  // The rows of the tables that lending and returning change, as text.
  std::string circulationState() {
    std::string s;
    for (const char* table : {"Loan", "Loan_History", "Reservation", "Booking", "Copy"}) {
      const vx::db::ResultSet r = creator_->connection().run(std::string("SELECT * FROM NSU.") + table +
                                                     " ORDER BY 1");
      s += table;
      s += ":\n";
      for (const auto& row : r.rows) {
        for (const auto& v : row) s += (v.isNull() ? std::string("NULL") : v.asString()) + "|";
        s += "\n";
      }
    }
    return s;
  }

  int64_t count(const std::string& sql, const std::vector<vx::db::Value>& args = {}) {
    return creator_->connection().run(sql, args).rows.at(0).at(0).asInteger();
  }
  std::string text(const std::string& sql) {
    return creator_->connection().run(sql).rows.at(0).at(0).asString();
  }

 private:
  Engine engine_;
  TempDir dir_;
  std::string creatorUser_;
  std::unique_ptr<PgTestDatabase> pgDatabase_;  // outlives the session on it
  std::unique_ptr<vx::db::Session> session_;
  std::unique_ptr<vx::db::Database> creator_;
};


}  // namespace vxtest
