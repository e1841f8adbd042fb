#include "tests/support/PgTestServer.h"

#include <cstdlib>
#include <fstream>
#include <map>

namespace vxtest {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

PgTestServer pgTestServer() {
  std::map<std::string, std::string> values;
  if (env("VX_TEST_PG_SOCKET_DIR").empty()) {
    // Absent while no cluster runs: then there is no server.
    std::ifstream in(VX_PG_TEST_ENV_FILE);
    for (std::string line; std::getline(in, line);)
      if (const auto eq = line.find('='); eq != std::string::npos)
        values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  const auto get = [&](const char* name, const char* fallback) {
    std::string v = env(name);
    if (v.empty() && values.count(name)) v = values[name];
    return v.empty() ? std::string(fallback) : v;
  };
  return {get("VX_TEST_PG_SOCKET_DIR", ""), get("VX_TEST_PG_PORT", "5432"),
          get("VX_TEST_PG_USER", "postgres")};
}

}  // namespace vxtest
