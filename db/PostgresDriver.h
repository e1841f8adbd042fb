#pragma once
// The server driver: PostgreSQL through libpq.
//
// Connection parameters: "SERVER NAME" (host or socket folder), "PORT", "DATABASE NAME",
// "USER NAME", "PASSWORD", "CONNECT TIMEOUT", and any other libpq keyword by its own name
// (sslmode, keepalives_idle, ...); other names are engine settings of no meaning here and are
// ignored.
//
// A server or network that goes silent must not freeze a desk: unless the alias says
// otherwise, a connection gives up connecting after kDefaultConnectTimeout seconds and uses
// TCP keepalives and a TCP user timeout, so that a dead peer is noticed within a minute also
// in the middle of a call (the call then fails with libpq's message).
// The session runs with schema nsu first on the search path, ISO dates and UTF-8.
// `call P (...)` runs CALL P (...) and answers with the row of the procedure's in-out
// parameters; stored-procedure objects run CALL too, and the in-out parameters take that row.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/Driver.h"

namespace vx::db {

inline constexpr int kDefaultConnectTimeout = 10;  // seconds

class PostgresDriver {
 public:
  static std::unique_ptr<Connection> connect(const ConnectParams& params);

  // The settings every connection starts from, as libpq keywords and values; an alias's own
  // lines replace them.
  static std::vector<std::pair<std::string, std::string>> defaultSettings();

  // Whether a line of a POSTGRES alias names something the driver passes on (one of the
  // names above or a libpq keyword), compared without regard to case.
  static bool knowsSetting(const std::string& name);
};

}  // namespace vx::db
