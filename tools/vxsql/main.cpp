// vxsql: runs one statement or one stored procedure on the library database of an alias,
// through the same engine layer as the program, and prints what came back.
//
// Exit status: 0 done, 1 the statement failed (the engine's message is printed), 2 bad
// arguments (the usage is printed) or a password file that cannot be read.
#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/library/DemoAlias.h"
#include "db/library/LibraryDatabase.h"
#include "tools/common/PasswordSource.h"
#include "tools/common/ProgramVersion.h"
#include "tools/vxsql/CommandLine.h"

using namespace vx::db;
using namespace vx::tools::vxsql;

namespace {

std::string usage() {
  return "usage: vxsql ALIAS [-U user] [--password-file FILE] [-p Name=value ...]\n"
         "             [--type Name=TYPE ...] \"SQL\"\n"
         "       vxsql ALIAS [-U user] [--password-file FILE] --proc NAME\n"
         "             [-p Name=value | --inout Name[=value]]... [--type Name=TYPE ...]\n"
         "       vxsql --help | --version\n"
         "\n"
         "  SQL            one statement in the program's dialect; :Name parameters take the -p values\n"
         "                 (bound, never pasted into the text). Rows are printed as a table.\n"
         "  --proc NAME    runs the stored procedure NAME with the parameters in the order given:\n"
         "                 -p is an input, --inout an input and output (null when no value is given).\n"
         "                 The in-out values are printed after the call, one Name=value a line.\n"
         "  --type N=TYPE  integer, string or datetime (YYYY-MM-DD[ HH:MM[:SS]]). Without it a value\n"
         "                 written as a plain integer (no sign but '-', no leading zero) is an integer\n"
         "                 and anything else a string.\n"
         "  -U             the user to log on as (PostgreSQL also takes libpq's PGUSER).\n"
         "  --             ends the options (for a statement that begins with '-').\n"
         "\n" +
         vx::tools::passwordHelp("-P PASSWORD") +
         "\n"
         "A null prints as NULL.\n"
         "\n"
         "  --help         this text\n"
         "  --version      vxsql's own version\n";
}

std::string shown(const Value& v) {
  if (v.isNull()) return "NULL";
  std::string s = v.asString();
  // One value, one line: control characters would break the table.
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

// Characters, not bytes: UTF-8 continuation bytes take no column.
size_t columns(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

void printTable(const ResultSet& r) {
  std::vector<size_t> width;
  for (const auto& c : r.columns) width.push_back(columns(c));
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : r.rows) {
    std::vector<std::string> line;
    for (size_t i = 0; i < r.columns.size(); ++i) {
      line.push_back(i < row.size() ? shown(row[i]) : std::string());
      width[i] = std::max(width[i], columns(line.back()));
    }
    cells.push_back(std::move(line));
  }
  auto printLine = [&](const std::vector<std::string>& line) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i) out += " | ";
      out += line[i];
      if (i + 1 < line.size()) out += std::string(width[i] - columns(line[i]), ' ');
    }
    std::cout << out << "\n";
  };
  printLine(r.columns);
  std::string rule;
  for (size_t i = 0; i < width.size(); ++i) rule += (i ? "-+-" : "") + std::string(width[i], '-');
  std::cout << rule << "\n";
  for (const auto& line : cells) printLine(line);
  std::cout << r.rows.size() << " row(s)\n";
}

int runStatement(Session& session, const Options& o) {
  Query q(session);
  q.databaseName = "VXDB";
  q.setSql(*o.sql);
  for (const auto& p : o.params) q.paramByName(p.name).setValue(valueOf(p));
  q.open();
  ResultSet r;
  for (size_t i = 0; i < q.fieldCount(); ++i) r.columns.push_back(q.field(i).name());
  for (q.first(); !q.eof(); q.next()) {
    std::vector<Value> row;
    for (size_t i = 0; i < q.fieldCount(); ++i) row.push_back(q.field(i).value());
    r.rows.push_back(std::move(row));
  }
  if (r.columns.empty())
    std::cout << "Done.\n";
  else
    printTable(r);
  return 0;
}

int runProcedure(Session& session, const Options& o) {
  StoredProc sp(session);
  sp.databaseName = "VXDB";
  sp.setProcName(*o.proc);
  for (const auto& p : o.params) sp.addParam(p.name, p.type, p.direction);
  // Prepared with the declared types only: a parameter without --type is left to the
  // engine to type from the procedure, whatever its value looks like.
  sp.prepare();
  for (const auto& p : o.params)
    if (p.value) sp.paramByName(p.name).setValue(valueOf(p));
  sp.execProc();
  for (const auto& p : sp.params())
    if (p.direction() == ParamDirection::InputOutput)
      std::cout << p.name() << "=" << shown(p.value()) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options o;
  try {
    o = parse(args);
    // Values are checked before anything connects.
    for (const auto& p : o.params)
      if (p.value) valueOf(p);
  } catch (const UsageError& e) {
    if (std::string_view(e.what()).empty()) {
      std::cout << usage();
      return 0;
    }
    std::cerr << "vxsql: " << e.what() << "\n" << usage();
    return 2;
  }
  if (o.version) return vx::tools::printProgramVersion("vxsql");
  std::optional<std::string> password;
  try {
    password = vx::tools::readPassword(
        {o.password, o.passwordFile, o.user.has_value(),
         "Password for " + o.user.value_or("") + " on " + o.alias + ": "});
  } catch (const vx::tools::PasswordFileError& e) {
    std::cerr << "vxsql: " << e.what() << "\n";
    return 2;
  }
  try {
    Session session("Default");
    // A first start sets up the demo alias; a failure here (a malformed alias file, a data
    // folder that cannot be written) leaves no alias to work with and ends the run.
    library::ensureDemoAlias(session);
    if (session.alias(o.alias).driver == DriverKind::Sqlite) library::installSqliteProcedures();
    Database db(session);
    db.databaseName = "VXDB";
    db.aliasName = o.alias;
    if (o.user) db.params.push_back("USER NAME=" + *o.user);
    if (password) db.params.push_back("PASSWORD=" + *password);
    db.open();
    return o.proc ? runProcedure(session, o) : runStatement(session, o);
  } catch (const DbError& e) {
    std::cerr << "vxsql: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "vxsql: " << e.what() << "\n";
    return 1;
  }
}
