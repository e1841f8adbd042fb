#pragma once
// The program's SQL dialect and its translation for each engine.
//
// Statements are written once, in the dialect the library database has always spoken:
// `:Name` parameters, `NSU.` before table names (or not), `call P (...)`, `CURRENT TIMESTAMP`,
// `User` for the connected user in an insert, `getdate()`. translate() turns such a text into
// what one engine runs. Only code is rewritten: string literals, quoted identifiers and
// comments pass through untouched, so a ':' or a 'User' inside them stays text.
//
// Plain C++ without Qt or engine headers.
#include "platform/TextCompare.h"

#include <string>
#include <string_view>
#include <vector>

namespace vx::db {

enum class Dialect { Sqlite, Postgres };

// The distinct parameter names of `sql` in order of first appearance, as first written.
// Names compare without regard to case: ":Id" and ":ID" are one parameter.
std::vector<std::string> parameterNames(std::string_view sql);

struct Translation {
  // The text for the engine. Parameter i (0-based, in `parameters` order) appears as
  // ?<i+1> (SQLite) or $<i+1> (PostgreSQL), once for every place it was written.
  // For a SQLite `call`, the text is "SELECT <arguments>" (empty when there are none): the
  // driver evaluates the arguments with it and hands them to the procedure.
  std::string sql;
  std::vector<std::string> parameters;
  bool isCall = false;    // SQLite only: the statement was `call <procedure> (...)`
  std::string procedure;  // the called procedure's name, without an owner prefix
};

// Translates one statement. Raises DbError for a `call` that is not `call Name (args)`.
Translation translate(std::string_view sql, Dialect dialect);

// Translates a script of several statements without parameters (schema and data files):
// on SQLite only the owner prefix is rewritten; on PostgreSQL the text is unchanged.
std::string translateScript(std::string_view sql, Dialect dialect);

}  // namespace vx::db
