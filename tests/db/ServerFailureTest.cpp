// A PostgreSQL server that is not there, or that goes away in the middle of the work: the
// engine's own message reaches the caller, and the connection can be opened again.
#include "db/Database.h"
#include "db/DbError.h"
#include "db/PostgresDriver.h"
#include "db/Query.h"
#include "db/Session.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A server that accepts the connection and then says nothing must not freeze the desk: the
// connect gives up after the alias's timeout with libpq's message. Without one in the alias,
// the driver's default applies, and it is at most 15 seconds.
TEST(PostgresFailure, ASilentServerTimesOut) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);  // the kernel completes the handshake; nobody answers
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string port = std::to_string(ntohs(address.sin_port));

  AliasSpec alias{"silent", DriverKind::Postgres,
                  {{"SERVER NAME", "127.0.0.1"}, {"PORT", port}, {"DATABASE NAME", "x"},
                   {"CONNECT TIMEOUT", "2"}}};
  Session session("Test", {alias});
  Database db(session);
  db.databaseName = "VXDB";
  db.aliasName = "silent";
  db.params = {"USER NAME=nobody", "PASSWORD=x"};
  const auto start = std::chrono::steady_clock::now();
  try {
    db.open();
    ADD_FAILURE() << "connected to a server that never answered";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("timeout"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  ::close(listener);

  int defaultTimeout = 0;
  for (const auto& [key, value] : PostgresDriver::defaultSettings())
    if (key == "connect_timeout") defaultTimeout = std::stoi(value);
  EXPECT_GT(defaultTimeout, 0);
  EXPECT_LE(defaultTimeout, 15);
}
