// A PostgreSQL server that is not there, or that goes away in the middle of the work: the
// engine's own message reaches the caller, and the connection can be opened again.
#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace vx::db;

namespace {

AliasSpec pgAlias(const std::string& socketDir, const std::string& port) {
  return AliasSpec{"lib", DriverKind::Postgres,
                   {{"SERVER NAME", socketDir}, {"PORT", port}, {"DATABASE NAME", "postgres"}}};
}

}  // namespace

TEST(PostgresFailure, AServerThatIsDownGivesLibpqsMessage) {
  vxtest::TempDir dir;  // a socket folder where no server listens
  Session session("Test", {pgAlias(dir.path(), "5432")});
  Database db(session);
  db.databaseName = "VXDB";
  db.aliasName = "lib";
  db.params = {"USER NAME=nobody"};
  try {
    db.open();
    FAIL() << "connected to a server that does not run";
  } catch (const DbError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(dir.path()), std::string::npos) << message;  // names the socket
    EXPECT_NE(message.find("failed"), std::string::npos) << message;
  }
  EXPECT_FALSE(db.connected());
}

TEST(PostgresFailure, AServerThatGoesAwayMidCallIsReportedAndReconnectable) {
  const auto server = vxtest::pgTestServer();
  if (!server.available()) GTEST_FAIL() << vxtest::kNoPgTestServer;
  Session session("Test", {pgAlias(server.socketDir, server.port)});
  Database db(session);
  db.databaseName = "VXDB";
  db.aliasName = "lib";
  db.params = {"USER NAME=" + server.user};
  db.open();

  Query pid(session);
  pid.databaseName = "VXDB";
  pid.setSql("SELECT pg_backend_pid() AS Pid");
  pid.open();
  const int64_t backend = pid.fieldByName("Pid").asInteger();
  pid.close();

  // The administrator ends the desk's session while a call is under way: a second thread,
  // with a connection of its own, waits until the call runs on the server and ends it.
  std::thread administrator([&server, backend] {
    Session adminSession("Admin", {pgAlias(server.socketDir, server.port)});
    Database admin(adminSession);
    admin.databaseName = "Admin";
    admin.aliasName = "lib";
    admin.params = {"USER NAME=" + server.user};
    admin.open();
    Query running(adminSession);
    running.databaseName = "Admin";
    running.setSql(
        "SELECT count(*) AS N FROM pg_stat_activity WHERE pid = :Pid AND state = 'active' "
        "AND query LIKE '%pg_sleep%'");
    running.paramByName("Pid").setInteger(backend);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      running.open();
      const bool busy = running.fieldByName("N").asInteger() == 1;
      running.close();
      if (busy || std::chrono::steady_clock::now() > deadline) break;
    }
    Query kill(adminSession);
    kill.databaseName = "Admin";
    kill.setSql("SELECT pg_terminate_backend(:Pid)");
    kill.paramByName("Pid").setInteger(backend);
    kill.open();
  });
  Query slow(session);
  slow.databaseName = "VXDB";
  slow.setSql("SELECT pg_sleep(10), :X AS X");
  slow.paramByName("X").setString("x");
  const auto started = std::chrono::steady_clock::now();
  try {
    slow.open();
    ADD_FAILURE() << "a call whose session was ended succeeded";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("terminat"), std::string::npos) << e.what();
  }
  administrator.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));  // it was cut short

  // Closing and opening again gives a working connection.
  slow.setSql("SELECT :X AS X");
  slow.paramByName("X").setString("x");
  db.close();
  db.open();
  slow.open();
  EXPECT_EQ(slow.fieldByName("X").asString(), "x");
}
