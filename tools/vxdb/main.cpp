// vxdb: creates, seeds and drops the library database behind an alias, and lists the aliases.
//
// Exit status: 0 done, 1 the operation failed (the engine's message is printed), 2 bad
// arguments (the usage is printed) or a password file that cannot be read.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/vxdb/CommandLine.h"
#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/SqliteDriver.h"
#include "db/library/DemoAlias.h"
#include "db/library/LibraryDatabase.h"
#include "desklist/DeskList.h"
#include "tools/common/PasswordSource.h"
#include "tools/common/ProgramVersion.h"
#include "platform/FileSystem.h"

using namespace vx::db;
using namespace vx::tools::vxdb;

namespace {

std::string usage() {
  return "usage: vxdb create ALIAS [--user U] [--password-file FILE] [--demo | --no-demo]\n"
         "       vxdb seed ALIAS [--user U] [--password-file FILE]\n"
         "       vxdb drop ALIAS [--user U] [--password-file FILE]\n"
         "       vxdb desk-list ALIAS FILE [--user U] [--password-file FILE]\n"
         "       vxdb list\n"
         "       vxdb --help | --version\n"
         "\n"
         "  create  makes the library database of ALIAS: a SQLite alias gets its file (which must\n"
         "          not exist yet); a PostgreSQL alias gets its DATABASE NAME created on the server\n"
         "          (through the server's \"postgres\" database). Then the tables and the\n"
         "          procedures, and the demo data: on SQLite unless --no-demo, on PostgreSQL only\n"
         "          with --demo. On PostgreSQL the demo data creates the demo users, roles of the\n"
         "          whole server with published passwords, so it is never loaded there unasked;\n"
         "          it needs a role that may create roles.\n"
         "  seed    loads the demo data (and so the demo users) into an existing, empty library\n"
         "          database.\n"
         "  drop    removes the library database: the SQLite file, or DROP DATABASE on the server.\n"
         "          Only a library database is dropped, and only by its owner.\n"
         "  desk-list  takes the desk list from the library database of ALIAS into FILE (made\n"
         "          private to the user): the withdrawn cards, the copies the database would refuse\n"
         "          (scrapped, lost, not for loan), the shapes of its barcodes, and when it was taken.\n"
         "          No names. The desks read it as desk-list.vxdl beside their workfile and warn at\n"
         "          the scan during the next outage.\n"
         "  list    the configured aliases with their drivers and databases.\n"
         "\n"
         "On SQLite the user who creates the file (--user) becomes its owner, who alone may\n"
         "change and drop it; the other users get the rights a server gives its desk users.\n"
         "\n"
         "--user logs on as that user (PostgreSQL also takes libpq's PGUSER). --user, --password\n"
         "and --password-file also take their value as --user=U.\n"
         "\n" +
         vx::tools::passwordHelp("--password P") +
         "\n"
         "Aliases come from $VELLUMDEX_ALIASES, or ~/.config/vellumdex/aliases.ini and\n"
         "/etc/vellumdex/aliases.ini.\n"
         "\n"
         "  --help     this text\n"
         "  --version  vxdb's own version\n";
}

std::string setting(const AliasSpec& a, const std::string& name) {
  for (const auto& [k, v] : a.settings)
    if (vx::sameName(k, name)) return v;
  return {};
}

std::vector<std::string> loginParams(const Options& o) {
  std::vector<std::string> p;
  if (o.user) p.push_back("USER NAME=" + *o.user);
  if (o.password) p.push_back("PASSWORD=" + *o.password);
  return p;
}

// A PostgreSQL identifier, quoted: the name is taken exactly as the alias writes it, which is
// also how libpq connects to it.
std::string quoteIdentifier(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string pgDatabaseName(const AliasSpec& a) {
  const std::string name = setting(a, "DATABASE NAME");
  if (name.empty())
    throw DbError("The alias " + a.name + " names no database (DATABASE NAME)");
  return name;
}

// A connection to the server's maintenance database with the alias's server settings.
std::unique_ptr<Database> openMaintenance(Session& session, const Options& o) {
  auto db = std::make_unique<Database>(session);
  db->databaseName = "VXAdmin";
  db->aliasName = o.alias;
  db->params = loginParams(o);
  setParamValue(db->params, "DATABASE NAME", "postgres");
  db->open();
  return db;
}

std::unique_ptr<Database> openLibrary(Session& session, const Options& o,
                                      std::vector<std::string> extra = {}) {
  auto db = std::make_unique<Database>(session);
  db->databaseName = "VXDB";
  db->aliasName = o.alias;
  db->params = loginParams(o);
  for (const auto& line : extra) db->params.push_back(line);
  db->open();
  return db;
}

// Whether the open database holds the library's tables. On SQLite a file that is not a
// database at all fails here with the engine's message.
bool isLibraryDatabase(Database& db) {
  const char* sql = db.connection().dialect() == Dialect::Sqlite
                        ? "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                          "lower(name) IN ('db_info', 'unit', 'copy', 'loan', 'borrower')"
                        : "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = 'nsu' "
                          "AND tablename IN ('db_info', 'unit', 'copy', 'loan', 'borrower')";
  const ResultSet r = db.connection().run(sql);
  return !r.rows.empty() && r.rows[0][0].asInteger() == 5;
}

void removeFileIfPresent(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    throw DbError("Cannot remove " + path + ": " + std::strerror(errno));
}

int create(Session& session, const Options& o) {
  const AliasSpec& alias = session.alias(o.alias);
  // The demo users of a server are roles of the whole cluster, with published passwords, and
  // outlive the database: a library made on a server gets them only when asked. A SQLite file
  // keeps its users inside itself, where they admit to nothing but that file, which whoever
  // may open it reads without logging on.
  const bool demo = o.demo.value_or(alias.driver == DriverKind::Sqlite);
  if (alias.driver == DriverKind::Sqlite) {
    const std::string path = setting(alias, "PATH");
    // The database holds the password hashes: its file (and the journals SQLite makes
    // beside it, which take its mode) and the folders made for it are private to the user.
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
      std::string error;
      if (!vx::fs::makePrivateFolders(folder.string(), &error)) throw DbError(error);
    }
    // Claim the name first: a file that exists is never built over (the schema would
    // empty its tables).
    const int fd = vx::fs::createPrivateFile(path, O_WRONLY);
    if (fd < 0) {
      if (errno == EEXIST)
        throw DbError(path + " exists already; drop it first, or seed it if it is empty");
      throw DbError("Cannot create " + path + ": " + std::strerror(errno));
    }
    ::close(fd);
    try {
      auto db = openLibrary(session, o);
      library::createLibraryDatabase(*db, demo);
      // The creator owns the file: a listed user marked as owner, with the password given
      // (a demo user of that name becomes the owner). Without --user nobody is listed as
      // owner, and once the file lists users, none of them may change or drop it.
      if (o.user)
        db->connection().run(
            "INSERT INTO Db_User (User_Name, Password_Hash, Is_Owner) VALUES (?, ?, 1) "
            "ON CONFLICT (User_Name) DO UPDATE SET Password_Hash = excluded.Password_Hash, Is_Owner = 1",
            {Value::text(*o.user), Value::text(SqliteDriver::hashPassword(o.password.value_or("")))});
    } catch (...) {
      ::unlink(path.c_str());
      throw;
    }
    std::cout << "Created the library database " << path << (demo ? " with demo data" : "")
              << (o.user ? ", owned by " + *o.user : std::string()) << "\n";
    return 0;
  }

  const std::string name = pgDatabaseName(alias);
  auto admin = openMaintenance(session, o);
  admin->executeScript("CREATE DATABASE " + quoteIdentifier(name));
  try {
    auto db = openLibrary(session, o);
    library::createLibraryDatabase(*db, demo);
  } catch (const DbError& e) {
    // A half-made database is of no use, and would make the next create fail.
    std::string cleanup;
    try {
      admin->executeScript("DROP DATABASE IF EXISTS " + quoteIdentifier(name));
    } catch (const DbError& dropError) {
      cleanup = " (and the new database could not be dropped again: " +
                std::string(dropError.what()) + ")";
    }
    throw DbError(e.what() + cleanup);
  }
  std::cout << "Created the library database " << name
            << (demo ? " with demo data" : " without the demo data and users (--demo loads them)")
            << "\n";
  return 0;
}

int deskList(Session& session, const Options& o) {
  auto db = openLibrary(session, o);
  const vx::desklist::DeskList list = vx::desklist::takeDeskList(session, db->databaseName);
  std::string error;
  if (!list.write(o.file, error)) throw DbError("The desk list could not be written: " + error);
  std::cout << "Desk list of " << o.alias << " taken " << list.takenShown() << " into " << o.file << ": "
            << list.withdrawnCards.size() << " withdrawn cards, " << list.refusedCopies.size()
            << " copies to be refused\n";
  return 0;
}

int seed(Session& session, const Options& o) {
  auto db = openLibrary(session, o);
  if (!isLibraryDatabase(*db))
    throw DbError("The database of alias " + o.alias +
                  " is not a library database; create it with vxdb create");
  // The demo rows come with fixed keys and a one-row Db_Info: loading them over other data
  // would fail half-way or leave two rows where the program relies on one.
  const ResultSet r = db->connection().run(
      "SELECT (SELECT count(*) FROM NSU.Db_Info) + (SELECT count(*) FROM NSU.Unit)");
  if (!r.rows.empty() && r.rows[0][0].asInteger() != 0)
    throw DbError("The library database of alias " + o.alias +
                  " already holds data; seed loads the demo data only into an empty one");
  const Dialect dialect = db->connection().dialect();
  db->executeScript(std::string(library::script(dialect, library::Script::Demo)));
  std::cout << "Loaded the demo data into the library database of alias " << o.alias << "\n";
  return 0;
}

int drop(Session& session, const Options& o) {
  const AliasSpec& alias = session.alias(o.alias);
  if (alias.driver == DriverKind::Sqlite) {
    const std::string path = setting(alias, "PATH");
    if (!std::filesystem::exists(path)) throw DbError(path + " does not exist");
    {
      std::unique_ptr<Database> db;
      bool library = false;
      try {
        db = openLibrary(session, o);
        library = isLibraryDatabase(*db);
      } catch (const DbError& e) {
        throw DbError("Refusing to drop " + path + ": " + e.what());
      }
      if (!library)
        throw DbError("Refusing to drop " + path + ": it is not a library database");
      // Only the owner may: asked as the engine asks it, by preparing (never running) a
      // statement only the owner may run.
      try {
        db->connection().prepare("DROP TABLE NSU.Db_Info");
      } catch (const DbError& e) {
        throw DbError("Refusing to drop " + path + ": only its owner may (" + e.what() + ")");
      }
    }
    removeFileIfPresent(path);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) removeFileIfPresent(path + suffix);
    std::cout << "Dropped the library database " << path << "\n";
    return 0;
  }

  const std::string name = pgDatabaseName(alias);
  {
    auto db = openLibrary(session, o);
    if (!isLibraryDatabase(*db))
      throw DbError("Refusing to drop the database " + name + ": it is not a library database");
  }
  auto admin = openMaintenance(session, o);
  admin->executeScript("DROP DATABASE " + quoteIdentifier(name));
  std::cout << "Dropped the library database " << name << "\n";
  return 0;
}

int list(Session& session) {
  struct Row {
    std::string name, driver, where;
  };
  std::vector<Row> rows;
  size_t width = 5;
  for (const std::string& name : session.aliasNames()) {
    const AliasSpec& a = session.alias(name);
    Row r{a.name, a.driver == DriverKind::Sqlite ? "SQLITE" : "POSTGRES", ""};
    if (a.driver == DriverKind::Sqlite) {
      r.where = setting(a, "PATH");
    } else {
      const std::string server = setting(a, "SERVER NAME");
      const std::string port = setting(a, "PORT");
      r.where = (server.empty() ? "(default server)" : server) + (port.empty() ? "" : ":" + port) +
                " / " + setting(a, "DATABASE NAME");
    }
    width = std::max(width, r.name.size());
    rows.push_back(std::move(r));
  }
  if (rows.empty()) {
    std::cout << "No alias is configured.\n";
    return 0;
  }
  auto pad = [](const std::string& s, size_t w) { return s + std::string(w - s.size() + 2, ' '); };
  std::cout << pad("ALIAS", width) << pad("DRIVER", 8) << "DATABASE\n";
  for (const Row& r : rows) std::cout << pad(r.name, width) << pad(r.driver, 8) << r.where << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << usage();
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") return vx::tools::printProgramVersion("vxdb");
  Options o;
  try {
    o = parse(args);
  } catch (const UsageError& e) {
    std::cerr << "vxdb: " << e.what() << "\n" << usage();
    return 2;
  }
  if (o.command != "list") {
    try {
      // From here on o.password is the password to log on with, whichever way gave it.
      o.password = vx::tools::readPassword(
          {o.password, o.passwordFile, o.user.has_value(),
           "Password for " + o.user.value_or("") + " on " + o.alias + ": "});
    } catch (const vx::tools::PasswordFileError& e) {
      std::cerr << "vxdb: " << e.what() << "\n";
      return 2;
    }
  }
  try {
    Session session("Default");
    // A first start sets up the demo alias; a failure here (a malformed alias file, a data
    // folder that cannot be written) leaves no alias to work with and ends the run.
    library::ensureDemoAlias(session);
    if (o.command == "list") return list(session);
    if (o.command == "create") return create(session, o);
    if (o.command == "seed") return seed(session, o);
    if (o.command == "desk-list") return deskList(session, o);
    return drop(session, o);
  } catch (const DbError& e) {
    std::cerr << "vxdb: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "vxdb: " << e.what() << "\n";
    return 1;
  }
}
