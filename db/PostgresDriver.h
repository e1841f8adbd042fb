#pragma once
// The server driver: PostgreSQL through libpq.
//
// Connection parameters: "SERVER NAME" (host or socket folder), "PORT", "DATABASE NAME",
// "USER NAME", "PASSWORD", and any other libpq keyword by its own name (sslmode,
// connect_timeout, ...); other names are engine settings of no meaning here and are ignored.
// The session runs with schema nsu first on the search path, ISO dates and UTF-8.
// `call P (...)` runs CALL P (...) and answers with the row of the procedure's in-out
// parameters; stored-procedure objects run CALL too, and the in-out parameters take that row.
#include <memory>

#include "db/Driver.h"

namespace vx::db {

class PostgresDriver {
 public:
  static std::unique_ptr<Connection> connect(const ConnectParams& params);
};

}  // namespace vx::db
