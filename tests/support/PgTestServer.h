#pragma once
// The PostgreSQL server of the test run. CTest starts a throwaway cluster (tests/db's fixture
// "pg") and writes its VX_TEST_PG_SOCKET_DIR, VX_TEST_PG_PORT and VX_TEST_PG_USER lines to
// a file in the build folder, whose path the build compiles in (VX_PG_TEST_ENV_FILE); set in
// the environment, those variables win (a server of one's own).
#include <string>

namespace vxtest {

struct PgTestServer {
  std::string socketDir;  // empty: no server for this run
  std::string port;
  std::string user;  // the superuser that logs in over the socket without a password
  bool available() const { return !socketDir.empty(); }
};

PgTestServer pgTestServer();

// Why a test of the server fails when there is none: a missing server never passes for green,
// so the tests fail instead of skipping.
inline constexpr const char* kNoPgTestServer =
    "no PostgreSQL test server: run under CTest, or set VX_TEST_PG_SOCKET_DIR, VX_TEST_PG_PORT "
    "and VX_TEST_PG_USER";

}  // namespace vxtest
