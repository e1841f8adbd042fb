#include "db/Query.h"

#include <atomic>

#include "db/DbError.h"
#include "db/Session.h"
#include "db/SqlText.h"

namespace vx::db {

DataSetBase::~DataSetBase() {
  if (attached_) attached_->detach(this);
}

Param& DataSetBase::paramByName(const std::string& name) {
  for (auto& p : params_)
    if (sameName(p.name(), name)) return p;
  throw DbError("Parameter '" + name + "' not found");
}

Database& DataSetBase::database() {
  if (attached_ && attached_->connected()) return *attached_;
  Database* d = session_.findDatabase(databaseName);
  if (!d) throw DbError("Unknown database: " + databaseName);
  d->open();
  if (attached_ != d) {
    releaseConnection();
    d->attach(this);
    attached_ = d;
  }
  return *d;
}

void DataSetBase::releaseConnection() {
  dropPrepared();
  if (attached_) attached_->detach(this);
  attached_ = nullptr;
}

// ---- Query

Query::Query(Session& session) : DataSetBase(session) {}

Query::~Query() { dropPrepared(); }

std::string Query::text() const {
  std::string t;
  for (size_t i = 0; i < sql_.size(); ++i) {
    if (i) t += '\n';
    t += sql_[i];
  }
  return t;
}

void Query::setSql(std::vector<std::string> lines) {
  close();
  unprepare();
  sql_ = std::move(lines);
  std::vector<Param> fresh;
  for (const std::string& name : parameterNames(text())) {
    Param p(name, DataType::Unknown);
    for (const auto& old : params_)
      if (sameName(old.name(), name) && old.isBound()) p = old;
    fresh.push_back(std::move(p));
  }
  params_ = std::move(fresh);
}

void Query::prepare() {
  if (statement_) return;
  Database& db = database();
  if (statement_) return;  // opening the database may not drop what we just made
  statement_ = db.connection().prepare(text());
}

void Query::unprepare() { statement_.reset(); }

void Query::dropPrepared() {
  close();
  unprepare();
}

std::vector<Value> Query::arguments() const {
  std::vector<Value> args;
  for (const auto& p : params_) {
    if (!p.isBound()) throw DbError("No value for parameter '" + p.name() + "'");
    args.push_back(p.value());
  }
  return args;
}

void Query::open() {
  if (active_) return;
  const std::vector<Value> args = arguments();
  prepare();
  ++statementCounter();
  result_ = statement_->execute(args);
  row_ = 0;
  active_ = true;
}

void Query::execSql() {
  close();
  const std::vector<Value> args = arguments();
  prepare();
  ++statementCounter();
  statement_->execute(args);
}

void Query::close() {
  active_ = false;
  result_ = ResultSet{};
  row_ = 0;
}

void Query::next() {
  requireActive();
  if (row_ < result_.rows.size()) ++row_;
}

void Query::requireActive() const {
  if (!active_) throw DbError("Cannot perform this operation on a closed dataset");
}

Field Query::field(size_t index) const {
  requireActive();
  if (index >= result_.columns.size())
    throw DbError("Field index " + std::to_string(index) + " out of range");
  Value v = eof() ? Value::null() : result_.rows[row_][index];
  return Field(result_.columns[index], std::move(v));
}

Field Query::fieldByName(const std::string& name) const {
  requireActive();
  for (size_t i = 0; i < result_.columns.size(); ++i)
    if (sameName(result_.columns[i], name)) return field(i);
  throw DbError("Field '" + name + "' not found");
}

// ---- StoredProc

StoredProc::StoredProc(Session& session) : DataSetBase(session) {}

StoredProc::~StoredProc() { dropPrepared(); }

void StoredProc::setProcName(std::string name) {
  unprepare();
  procName_ = std::move(name);
}

Param& StoredProc::addParam(const std::string& name, DataType type, ParamDirection direction) {
  unprepare();
  params_.emplace_back(name, type, direction);
  return params_.back();
}

void StoredProc::prepare() {
  if (call_) return;
  if (procName_.empty()) throw DbError("The stored procedure has no name");
  Database& db = database();
  std::vector<ProcParamDecl> decls;
  for (const auto& p : params_) decls.push_back({p.name(), p.dataType(), p.direction()});
  call_ = db.connection().prepareProcedure(procName_, decls);
}

void StoredProc::unprepare() { call_.reset(); }

void StoredProc::dropPrepared() { unprepare(); }

void StoredProc::execProc() {
  prepare();
  std::vector<Value> args;
  for (const auto& p : params_) args.push_back(p.value());
  ++statementCounter();
  answer_ = {};
  answer_ = call_->execute(args);
  for (size_t i = 0; i < params_.size() && i < args.size(); ++i)
    if (params_[i].direction() == ParamDirection::InputOutput) params_[i].setValue(args[i]);
}

bool StoredProc::answered(const std::string& name) const {
  // The answer's row holds the in-out parameters in their declared order.
  if (answer_.rows.empty()) return false;
  const std::vector<Value>& row = answer_.rows.front();
  size_t column = 0;
  for (const auto& p : params_) {
    if (p.direction() != ParamDirection::InputOutput) continue;
    if (sameName(p.name(), name)) return column < row.size() && !row[column].isNull();
    ++column;
  }
  return false;
}

}  // namespace vx::db
