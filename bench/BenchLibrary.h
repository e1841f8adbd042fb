#pragma once
// A demo library database for a benchmark, on SQLite in a temporary folder, or on the
// PostgreSQL server that VX_TEST_PG_SOCKET_DIR (with VX_TEST_PG_PORT, VX_TEST_PG_USER) names,
// in a database of its own that is dropped at the end. Its session holds the alias "library".
#include "db/Database.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace vxbench {

using namespace vx::db;

inline std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A demo library database on one engine, with its session.
struct Library {
  std::string folder;
  std::unique_ptr<Session> session;
  std::unique_ptr<Database> creator;
  std::string pgDatabase;
  std::unique_ptr<Session> adminSession;
  std::unique_ptr<Database> admin;

  explicit Library(bool postgres, const std::string& name = "bench") {
    folder = std::filesystem::temp_directory_path() / ("vx-" + name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    AliasSpec alias{"library", DriverKind::Sqlite, {{"PATH", folder + "/library.vxdb"}, {"CREATE", "1"}}};
    std::string creatorUser = "creator";
    if (postgres) {
      const std::vector<std::pair<std::string, std::string>> server = {
          {"SERVER NAME", env("VX_TEST_PG_SOCKET_DIR")}, {"PORT", env("VX_TEST_PG_PORT")}};
      pgDatabase = "vx_" + name + "_" + std::to_string(getpid());
      AliasSpec maintenance{"maintenance", DriverKind::Postgres, server};
      maintenance.settings.emplace_back("DATABASE NAME", "postgres");
      adminSession = std::make_unique<Session>("Admin", std::vector<AliasSpec>{maintenance});
      admin = std::make_unique<Database>(*adminSession);
      admin->databaseName = "Admin";
      admin->aliasName = "maintenance";
      admin->params = {"USER NAME=" + env("VX_TEST_PG_USER")};
      admin->open();
      admin->executeScript("CREATE DATABASE " + pgDatabase);
      alias = {"library", DriverKind::Postgres, server};
      alias.settings.emplace_back("DATABASE NAME", pgDatabase);
      creatorUser = env("VX_TEST_PG_USER");
    } else {
      library::installSqliteProcedures();
    }
    session = std::make_unique<Session>("Bench", std::vector<AliasSpec>{alias});
    creator = std::make_unique<Database>(*session);
    creator->databaseName = "Setup";
    creator->aliasName = "library";
    creator->params = {"USER NAME=" + creatorUser};
    creator->open();
    library::createLibraryDatabase(*creator, true);
  }
  ~Library() {
    creator.reset();
    session.reset();
    if (admin) admin->executeScript("DROP DATABASE " + pgDatabase + " WITH (FORCE)");
    std::filesystem::remove_all(folder);
  }
};

}  // namespace vxbench
