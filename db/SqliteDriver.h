#pragma once
// The embedded driver: a SQLite library database in one file.
//
// The file is the connection's main database; the owner prefix `NSU.` is rewritten to it,
// so both spellings reach the same tables within one page cache. `getdate()` and
// `CURRENT TIMESTAMP` give the local date and time as "YYYY-MM-DD HH:MM:SS.mmm";
// `connected_user()` (what `User` becomes in an insert) gives the logged-on user name.
//
// SQLite has no stored procedures: `call P (...)` and stored-procedure objects run
// procedures registered here in C++ by name.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/Driver.h"

namespace vx::db {

// A procedure: gets the connection it runs on and its arguments (in declaration order for
// a stored procedure, in written order for `call`); it writes results of in-out parameters
// back into `args` and may answer with rows.
using Procedure = std::function<ResultSet(Connection& connection, std::vector<Value>& args)>;

class SqliteDriver {
 public:
  // Registers (or replaces) a procedure under a name matched without regard to case.
  // Process-wide; connections look procedures up when a call is prepared.
  static void registerProcedure(const std::string& name, Procedure procedure);
  static void unregisterProcedure(const std::string& name);
  static bool hasProcedure(const std::string& name);

  // Opens the database file `params.value("PATH")`. The file must exist unless "CREATE" is
  // "1", "TRUE" or "YES"; "USER NAME" is the name `User` reads back.
  static std::unique_ptr<Connection> connect(const ConnectParams& params);
};

}  // namespace vx::db
