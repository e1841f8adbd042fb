#pragma once
// The embedded driver: a SQLite library database in one file.
//
// The file is the connection's main database; the owner prefix `NSU.` is rewritten to it,
// so both spellings reach the same tables within one page cache. `getdate()` and
// `CURRENT TIMESTAMP` give the local date and time as "YYYY-MM-DD HH:MM:SS.mmm";
// `connected_user()` (what `User` becomes in an insert) gives the logged-on user name;
// `in_transaction()` gives 1 inside an explicit transaction, else 0.
//
// SQLite has no stored procedures: `call P (...)` and stored-procedure objects run
// procedures registered here in C++ by name; SQL functions of the library database
// (VXAccess, ...) are registered here in C++ too.
//
// Users: a library file with a table Db_User (User_Name, Password_Hash, Is_Owner) that holds at least
// one row admits only the users it lists, with their passwords; anybody else is refused with
// "password authentication failed for user "<name>"", the server's own words. A file without
// that table, or with an empty one (a library database just created, not yet given users),
// admits every name. Password_Hash is "pbkdf2-sha256$<iterations>$<salt hex>$<key hex>":
// PBKDF2-HMAC-SHA256 over the password, with a 32-byte key.
//
// Rights: the owner of the file may do everything. The owner is a listed user whose Is_Owner
// is 1, or anybody at all while the file lists no users. Every other listed user has the
// rights the server's library database grants its desk roles: read the library's tables but
// not Db_User, insert into Exception_Log, call the library's procedures and functions (which
// run with the owner's rights), and keep temporary tables; anything else is refused at
// prepare with the server's words ("permission denied for table loan", "must be owner of
// table loan", ...).
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

// A SQL function: gets the connection it runs on and its arguments, and gives its value. A
// DbError (or other exception) it raises fails the statement with the error's message.
using ScalarFunction =
    std::function<Value(Connection& connection, const std::vector<Value>& args)>;

class SqliteDriver {
 public:
  // Registers (or replaces) a procedure under a name matched without regard to case.
  // Process-wide; connections look procedures up when a call is prepared.
  static void registerProcedure(const std::string& name, Procedure procedure);
  static void unregisterProcedure(const std::string& name);
  static bool hasProcedure(const std::string& name);

  // Registers (or replaces) a SQL function of `nargs` arguments (-1: any number) on every
  // connection, those open now and those opened later; SQLite matches function names without
  // regard to case. Process-wide; register before connections are in use on other threads.
  static void registerFunction(const std::string& name, int nargs, ScalarFunction function);

  // Whether `password` is the one `storedHash` (the Db_User form above) was made from. A
  // malformed hash matches no password.
  static bool verifyPassword(const std::string& password, const std::string& storedHash);
  // A new hash of `password` in that form, with a random salt.
  static std::string hashPassword(const std::string& password);

  // Opens the database file `params.value("PATH")`. The file must exist unless "CREATE" is
  // "1", "TRUE" or "YES", which makes a missing file with mode 0600 (whatever the umask; its
  // journals get the same mode); "USER NAME" is the name `User` reads back; "PASSWORD" its
  // password when the file has users (above).
  static std::unique_ptr<Connection> connect(const ConnectParams& params);
};

}  // namespace vx::db
