// Fuzzes the SQL text rewriter with the input as a statement, and as the contents of a string
// literal, a quoted identifier, a comment and a dollar-quoted body inside a fixed statement.
//  - translate() raises nothing but DbError, and that only for a SQLite `call`;
//  - its parameters are parameterNames() of the text: non-empty, distinct without regard to
//    case; a SQLite call names a procedure and runs "SELECT <arguments>" or nothing;
//  - no parameter is left in the translation: every placeholder stands apart from the code
//    around it, and what was a literal, an identifier or a comment still is one;
//  - a literal, identifier, comment or body passes through untouched, whatever it holds,
//    and the code around it is rewritten exactly as without it.
#include "db/DbError.h"
#include "db/SqlText.h"
#include "platform/TextCompare.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vx::db::Dialect;

[[noreturn]] void fail(const char* what, std::string_view sql) {
  std::fprintf(stderr, "%s: [%.*s]\n", what, int(sql.size()), sql.data());
  std::abort();
}

bool startsCall(std::string_view sql) {
  // The first word of the code, as the rewriter finds it (after blanks and comments).
  size_t i = 0;
  for (;;) {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    if (sql.substr(i, 2) == "--") {
      const auto nl = sql.find('\n', i);
      i = nl == std::string_view::npos ? sql.size() : nl;
    } else if (sql.substr(i, 2) == "/*") {
      const auto end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  if (!vx::sameName(sql.substr(i, 4), "CALL")) return false;
  if (i + 4 >= sql.size()) return true;
  const auto c = static_cast<unsigned char>(sql[i + 4]);
  return !(std::isalnum(c) || c == '_' || c == '$' || c >= 0x80);
}

// The translation with a blank between a placeholder and a '.' after it: read again, "?1.x"
// would be taken for one number (as neither engine reads it), and the word after it would
// lose its start.
std::string placeholdersApart(std::string_view sql) {
  std::string out;
  for (size_t i = 0; i < sql.size(); ++i) {
    out += sql[i];
    if (sql[i] != '?' && sql[i] != '$') continue;
    size_t k = i + 1;
    while (k < sql.size() && std::isdigit(static_cast<unsigned char>(sql[k]))) ++k;
    if (k == i + 1 || k == sql.size() || sql[k] != '.') continue;
    out.append(sql.substr(i + 1, k - i - 1)) += ' ';
    i = k - 1;
  }
  return out;
}

void checkStatement(std::string_view sql, Dialect d) {
  vx::db::Translation t;
  try {
    t = vx::db::translate(sql, d);
  } catch (const vx::db::DbError&) {
    if (d != Dialect::Sqlite || !startsCall(sql)) fail("DbError for a statement that is no SQLite call", sql);
    return;
  }
  if (t.parameters != vx::db::parameterNames(sql)) fail("parameters differ from parameterNames()", sql);
  for (size_t i = 0; i < t.parameters.size(); ++i) {
    if (t.parameters[i].empty()) fail("empty parameter name", sql);
    for (size_t k = 0; k < i; ++k)
      if (vx::sameName(t.parameters[i], t.parameters[k])) fail("one parameter listed twice", sql);
  }
  if (t.isCall != (d == Dialect::Sqlite && startsCall(sql))) fail("isCall wrong", sql);
  if (t.isCall) {
    if (t.procedure.empty()) fail("a call without a procedure name", sql);
    if (!t.sql.empty() && t.sql.rfind("SELECT ", 0) != 0) fail("a call's arguments without SELECT", sql);
    return;
  }
  if (!t.procedure.empty()) fail("a procedure name outside a call", sql);
  if (!vx::db::parameterNames(placeholdersApart(t.sql)).empty()) fail("a parameter left in the translation", sql);
}

std::string doubled(std::string_view s, char q) {
  std::string out(1, q);
  for (char c : s) {
    out += c;
    if (c == q) out += c;
  }
  return out + q;
}

// Whether `close` first occurs in `s + close` at its end, so that it closes a run holding `s`.
bool closesAtEnd(std::string_view s, std::string_view close) {
  return (std::string(s) + std::string(close)).find(close) == s.size();
}

void checkPassesThrough(const std::string& piece, std::string_view input) {
  const std::string insert = "INSERT INTO NSU.t VALUES (:p, " + piece + ", User, CURRENT TIMESTAMP, :P)";
  const auto lite = vx::db::translate(insert, Dialect::Sqlite);
  if (lite.sql != "INSERT INTO main.t VALUES (?1, " + piece + ", connected_user(), getdate(), ?1)" ||
      lite.parameters != std::vector<std::string>{"p"})
    fail("a quoted run inside an insert is not left alone (SQLite)", input);
  const auto pg = vx::db::translate(insert, Dialect::Postgres);
  if (pg.sql != "INSERT INTO NSU.t VALUES ($1, " + piece + ", CURRENT_USER, LOCALTIMESTAMP, $1)" ||
      pg.parameters != std::vector<std::string>{"p"})
    fail("a quoted run inside an insert is not left alone (PostgreSQL)", input);
  const auto call = vx::db::translate("call NSU.P (" + piece + ", :a)", Dialect::Sqlite);
  if (!call.isCall || call.procedure != "P" || call.sql != "SELECT " + piece + ", ?1")
    fail("a quoted run inside a call's arguments is not left alone", input);
  const std::string script = "CREATE TABLE NSU.t (a " + piece + "); SELECT NSU.u";
  if (vx::db::translateScript(script, Dialect::Sqlite) != "CREATE TABLE main.t (a " + piece + "); SELECT main.u")
    fail("a quoted run inside a script is not left alone", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  checkStatement(input, Dialect::Sqlite);
  checkStatement(input, Dialect::Postgres);
  if (vx::db::translateScript(input, Dialect::Postgres) != input) fail("a PostgreSQL script was changed", input);
  (void)vx::db::translateScript(input, Dialect::Sqlite);

  checkPassesThrough(doubled(input, '\''), input);
  checkPassesThrough(doubled(input, '"'), input);
  if (closesAtEnd(input, "*/")) checkPassesThrough("/*" + std::string(input) + "*/", input);
  if (input.find('\n') == std::string_view::npos) checkPassesThrough("--" + std::string(input) + "\n", input);
  if (closesAtEnd(input, "$q$")) checkPassesThrough("$q$" + std::string(input) + "$q$", input);
  return 0;
}
