#include "tests/support/PgTestDatabase.h"

#include <unistd.h>

namespace vxtest {

namespace {

vx::db::AliasSpec aliasFor(const PgTestServer& server, const std::string& aliasName,
                           const std::string& database) {
  return {aliasName, vx::db::DriverKind::Postgres,
          {{"SERVER NAME", server.socketDir}, {"PORT", server.port}, {"DATABASE NAME", database}}};
}

}  // namespace

PgTestDatabase::PgTestDatabase(const PgTestServer& server, const std::string& prefix)
    : server_(server), name_(prefix + "_" + std::to_string(getpid())) {
  // The server's maintenance database, logged on as the test server's superuser.
  adminSession_ = std::make_unique<vx::db::Session>(
      "Admin", std::vector<vx::db::AliasSpec>{aliasFor(server_, "admin", "postgres")});
  admin_ = std::make_unique<vx::db::Database>(*adminSession_);
  admin_->databaseName = "Admin";
  admin_->aliasName = "admin";
  admin_->params = {"USER NAME=" + server_.user};
  admin_->open();
  admin_->executeScript("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  admin_->executeScript("CREATE DATABASE " + name_);
}

PgTestDatabase::~PgTestDatabase() {
  try {
    admin_->executeScript("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  } catch (const std::exception&) {
    // The next run drops it before it makes it again.
  }
}

vx::db::AliasSpec PgTestDatabase::alias(const std::string& aliasName) const {
  return aliasFor(server_, aliasName, name_);
}

}  // namespace vxtest
