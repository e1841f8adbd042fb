#pragma once
// A database of its own on the test run's PostgreSQL server, for one test: made afresh when
// the object is made, dropped (with whoever is still connected) when it goes. The database
// objects and sessions that use it must be gone first.
#include "db/AliasConfig.h"
#include "db/Database.h"
#include "db/Session.h"
#include "tests/support/PgTestServer.h"

#include <memory>
#include <string>

namespace vxtest {

class PgTestDatabase {
 public:
  // The database is named `prefix` + "_" + this process's id, so that test executables
  // running at once never share one.
  PgTestDatabase(const PgTestServer& server, const std::string& prefix);
  ~PgTestDatabase();
  PgTestDatabase(const PgTestDatabase&) = delete;
  PgTestDatabase& operator=(const PgTestDatabase&) = delete;

  const std::string& name() const { return name_; }
  // A PostgreSQL alias of that name for this database.
  vx::db::AliasSpec alias(const std::string& aliasName) const;

 private:
  PgTestServer server_;
  std::string name_;
  std::unique_ptr<vx::db::Session> adminSession_;
  std::unique_ptr<vx::db::Database> admin_;
};

}  // namespace vxtest
