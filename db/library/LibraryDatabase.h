#pragma once
// The library database: the objects the program relies on (tables, lending and return
// procedures, the access and language functions) on either engine.
//
// On PostgreSQL the procedures and functions are the server's own (postgres/procedures.sql).
// The embedded engine has none, so the program supplies them in C++, with the lending rules of
// data/db/RULES.md in the same order as the server applies them, so that both engines give the
// same code for the same data.
#include <string_view>

#include "db/Database.h"
#include "db/SqlText.h"

namespace vx::db::library {

// The SQL scripts of the library database, embedded in the program at build time from data/db/.
enum class Script { Schema, Procedures, Demo };  // Procedures is empty for SQLite
std::string_view script(Dialect dialect, Script which);

// Registers the library's procedures and functions for the embedded engine
// (IssueLoanAllBarcodes, ReturnLoanBasic, and the SQL functions VXAccess(text),
// GetDbLanguage()) — idempotent. The functions reach open connections too.
//
// The procedures never raise for the library's own reasons: every refusal is a code, and any
// failure inside one (incomplete loan terms, an engine error) undoes what the call changed and
// gives the code 666, its cause written to standard error. Each call is one transaction, or a
// savepoint within the caller's.
void installSqliteProcedures();

// Creates the library database's objects on an open database (schema, procedures, and the demo
// data when asked). The schema replaces the library's tables with empty ones. On PostgreSQL the
// demo data also creates the demo roles, which needs a role that may create roles. Raises
// DbError with the engine's message; what ran before the failure stays.
void createLibraryDatabase(Database& db, bool withDemoData);

}  // namespace vx::db::library
