#include "db/library/LibraryDatabase.h"

#include <mutex>
#include <string>

#include "db/SqliteDriver.h"
#include "db/library/EmbeddedScripts.h"
#include "db/library/SqliteProcedures.h"

namespace vx::db::library {

std::string_view script(Dialect dialect, Script which) {
  if (dialect == Dialect::Sqlite) {
    switch (which) {
      case Script::Schema: return embeddedScript("sqlite/schema.sql");
      case Script::Procedures: return {};
      case Script::Demo: return embeddedScript("sqlite/demo.sql");
    }
  } else {
    switch (which) {
      case Script::Schema: return embeddedScript("postgres/schema.sql");
      case Script::Procedures: return embeddedScript("postgres/procedures.sql");
      case Script::Demo: return embeddedScript("postgres/demo.sql");
    }
  }
  return {};
}

void installSqliteProcedures() {
  static std::once_flag once;
  std::call_once(once, [] {
    SqliteDriver::registerProcedure("IssueLoanAllBarcodes", issueLoanAllBarcodes);
    SqliteDriver::registerProcedure("ReturnLoanBasic", returnLoanBasic);
    SqliteDriver::registerFunction("VXAccess", 1, vxAccess);
    SqliteDriver::registerFunction("GetDbLanguage", 0, getDbLanguage);
  });
}

void createLibraryDatabase(Database& db, bool withDemoData) {
  const Dialect dialect = db.connection().dialect();
  if (dialect == Dialect::Sqlite) installSqliteProcedures();
  for (const Script s : {Script::Schema, Script::Procedures, Script::Demo}) {
    if (s == Script::Demo && !withDemoData) continue;
    const std::string_view text = script(dialect, s);
    if (!text.empty()) db.executeScript(std::string(text));
  }
  // The scripts set their own search path; the session goes on with the one it connected
  // with, the library schema first.
  if (dialect == Dialect::Postgres) db.executeScript("SET search_path TO nsu, public");
}

}  // namespace vx::db::library
