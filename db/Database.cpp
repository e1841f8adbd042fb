#include "db/Database.h"
#include "db/Query.h"

#include <algorithm>

#include "db/DbError.h"
#include "db/PostgresDriver.h"
#include "db/Session.h"
#include "db/SqlText.h"
#include "db/SqliteDriver.h"

namespace vx::db {

namespace {

std::string lineName(const std::string& line) {
  const auto eq = line.find('=');
  return line.substr(0, eq);
}

}  // namespace

std::string paramValue(const std::vector<std::string>& lines, const std::string& name) {
  for (const auto& l : lines) {
    const auto eq = l.find('=');
    if (eq != std::string::npos && sameName(l.substr(0, eq), name)) return l.substr(eq + 1);
  }
  return {};
}

void setParamValue(std::vector<std::string>& lines, const std::string& name,
                   const std::string& value) {
  for (auto& l : lines)
    if (l.find('=') != std::string::npos && sameName(lineName(l), name)) {
      l = lineName(l) + "=" + value;
      return;
    }
  lines.push_back(name + "=" + value);
}

Database::Database(Session& session) : session_(session) { session_.attach(this); }

Database::~Database() {
  close();  // also lets go of the queries, which look the object up again when next used
  session_.detach(this);
}

void Database::open() {
  if (connection_) return;
  beforeConnect();
  if (databaseName.empty()) throw DbError("The database object has no database name");
  if (const Database* other = session_.findDatabase(databaseName);
      other && other != this && other->connected())
    throw DbError("Duplicate database name '" + databaseName + "'");
  const AliasSpec& alias = session_.alias(aliasName);

  ConnectParams cp;
  cp.values = alias.settings;
  for (const auto& line : params) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    // USER NAME and PASSWORD go through the login step below.
    if (sameName(name, "USER NAME") || sameName(name, "PASSWORD")) continue;
    bool replaced = false;
    for (auto& [k, v] : cp.values)
      if (sameName(k, name)) {
        v = line.substr(eq + 1);
        replaced = true;
      }
    if (!replaced) cp.values.emplace_back(name, line.substr(eq + 1));
  }
  std::vector<std::string> login{"USER NAME=" + paramValue(params, "USER NAME"),
                                 "PASSWORD=" + paramValue(params, "PASSWORD")};
  if (loginPrompt && onLogin) onLogin(*this, login);
  cp.values.emplace_back("USER NAME", paramValue(login, "USER NAME"));
  cp.values.emplace_back("PASSWORD", paramValue(login, "PASSWORD"));

  connection_ = alias.driver == DriverKind::Postgres ? PostgresDriver::connect(cp)
                                                     : SqliteDriver::connect(cp);
}

void Database::close() {
  if (!connection_) return;
  beforeDisconnect();
  for (DataSet* d : std::vector<DataSet*>(dataSets_)) d->releaseConnection();
  connection_.reset();
}

Connection& Database::connection() {
  if (!connection_) throw DbError("Database '" + databaseName + "' is not open");
  return *connection_;
}

void Database::executeScript(const std::string& sql) {
  ++statementCounter();
  connection().executeScript(sql);
}

void Database::attach(DataSet* d) {
  if (std::find(dataSets_.begin(), dataSets_.end(), d) == dataSets_.end()) dataSets_.push_back(d);
}

void Database::detach(DataSet* d) {
  dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), d), dataSets_.end());
}

void Database::prefetch(const std::vector<PlannedStatement>& planned) {
  if (connection_) connection_->prefetch(planned);
}

}  // namespace vx::db
