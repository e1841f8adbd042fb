#include "db/PostgresDriver.h"

#include <libpq-fe.h>

#include <atomic>
#include <cctype>

#include "db/DbError.h"
#include "db/SqlText.h"
#include "db/StatementCount.h"

namespace vx::db {

namespace {

// Type OIDs of the built-in types this layer converts (pg_type.h).
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
              kFloat4 = 700, kFloat8 = 701, kTimestamp = 1114;

struct ResultHandle {
  PGresult* r;
  explicit ResultHandle(PGresult* res) : r(res) {}
  ~ResultHandle() { PQclear(r); }
  ResultHandle(const ResultHandle&) = delete;
  ResultHandle& operator=(const ResultHandle&) = delete;
};

// Raises the server's message unless `res` reports success.
void check(PGconn* c, const ResultHandle& res) {
  const auto status = res.r ? PQresultStatus(res.r) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
  std::string msg = res.r ? trimMessage(PQresultErrorMessage(res.r)) : std::string();
  if (msg.empty()) msg = trimMessage(PQerrorMessage(c));
  // libpq prefixes the severity ("ERROR:  "); the message proper follows it.
  if (msg.rfind("ERROR:", 0) == 0) msg = trimMessage(msg.substr(6));
  throw DbError(msg.empty() ? std::string("unknown server error") : msg);
}

Value fieldValue(PGresult* r, int row, int col) {
  if (PQgetisnull(r, row, col)) return Value::null();
  const std::string text(PQgetvalue(r, row, col), static_cast<size_t>(PQgetlength(r, row, col)));
  switch (PQftype(r, col)) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: return Value::integer(std::stoll(text));
    case kFloat4:
    case kFloat8: return Value::floating(std::stod(text));
    case kBool: return Value::integer(text == "t" ? 1 : 0);
    default: return Value::text(text);  // numeric keeps its exact digits as text
  }
}

ResultSet toResultSet(PGresult* r) {
  ResultSet rs;
  const int cols = PQnfields(r);
  for (int c = 0; c < cols; ++c) rs.columns.emplace_back(PQfname(r, c));
  const int rows = PQntuples(r);
  for (int i = 0; i < rows; ++i) {
    std::vector<Value> row;
    for (int c = 0; c < cols; ++c) row.push_back(fieldValue(r, i, c));
    rs.rows.push_back(std::move(row));
  }
  return rs;
}

std::string nextStatementName() {
  static std::atomic<unsigned> counter{0};
  return "vx_stmt_" + std::to_string(++counter);
}

// A server-side prepared statement; deallocated with the object.
class PgPrepared {
 public:
  PgPrepared(PGconn* c, const std::string& sql, const std::vector<Oid>& types, int nParams)
      : conn_(c), name_(nextStatementName()), nParams_(nParams) {
    ResultHandle res(PQprepare(c, name_.c_str(), sql.c_str(), nParams,
                               types.empty() ? nullptr : types.data()));
    check(c, res);
  }
  ~PgPrepared() {
    if (PQstatus(conn_) == CONNECTION_OK)
      PQclear(PQexec(conn_, ("DEALLOCATE " + name_).c_str()));
  }
  PgPrepared(const PgPrepared&) = delete;
  PgPrepared& operator=(const PgPrepared&) = delete;

  ResultSet execute(const std::vector<Value>& args) {
    std::vector<std::string> texts(static_cast<size_t>(nParams_));
    std::vector<const char*> ptrs(static_cast<size_t>(nParams_), nullptr);
    for (size_t i = 0; i < texts.size() && i < args.size(); ++i) {
      if (args[i].isNull()) continue;
      texts[i] = args[i].asString();
      ptrs[i] = texts[i].c_str();
    }
    ResultHandle res(PQexecPrepared(conn_, name_.c_str(), nParams_, ptrs.data(), nullptr,
                                    nullptr, 0));
    check(conn_, res);
    return toResultSet(res.r);
  }

 private:
  PGconn* conn_;
  std::string name_;
  int nParams_;
};

class PgStatement : public Statement {
 public:
  PgStatement(PGconn* c, const Translation& t)
      : prepared_(c, t.sql, {}, static_cast<int>(t.parameters.size())) {}
  ResultSet execute(const std::vector<Value>& args) override { return prepared_.execute(args); }

 private:
  PgPrepared prepared_;
};

Oid oidOf(DataType t) {
  switch (t) {
    case DataType::Integer: return kInt4;
    case DataType::String: return kText;
    case DataType::DateTime: return kTimestamp;
    case DataType::Float: return kFloat8;
    default: return 0;
  }
}

std::string callText(const std::string& name, size_t n) {
  std::string sql = "CALL " + name + "(";
  for (size_t i = 0; i < n; ++i) sql += (i ? ", $" : "$") + std::to_string(i + 1);
  return sql + ")";
}

std::vector<Oid> oidsOf(const std::vector<ProcParamDecl>& params) {
  std::vector<Oid> v;
  for (const auto& p : params) v.push_back(oidOf(p.type));
  return v;
}

class PgProcedureCall : public ProcedureCall {
 public:
  PgProcedureCall(PGconn* c, const std::string& name, const std::vector<ProcParamDecl>& params)
      : params_(params),
        prepared_(c, callText(name, params.size()), oidsOf(params),
                  static_cast<int>(params.size())) {}
  ResultSet execute(std::vector<Value>& args) override {
    args.resize(params_.size());
    ResultSet r = prepared_.execute(args);
    // CALL answers with one row holding the in-out parameters in declaration order.
    if (!r.rows.empty()) {
      size_t col = 0;
      for (size_t i = 0; i < params_.size() && col < r.rows[0].size(); ++i)
        if (params_[i].direction == ParamDirection::InputOutput) args[i] = r.rows[0][col++];
    }
    return r;
  }

 private:
  std::vector<ProcParamDecl> params_;
  PgPrepared prepared_;
};

// Names by which the program's parameter lines reach libpq.
const char* libpqKeyword(const std::string& name) {
  if (sameName(name, "SERVER NAME")) return "host";
  if (sameName(name, "PORT")) return "port";
  if (sameName(name, "DATABASE NAME")) return "dbname";
  if (sameName(name, "USER NAME")) return "user";
  if (sameName(name, "PASSWORD")) return "password";
  if (sameName(name, "CONNECT TIMEOUT")) return "connect_timeout";
  return nullptr;
}

// The libpq keyword a parameter line of that name goes in as: one of the program's names
// above, or libpq's own keyword (compared without case); "" for a name libpq does not know.
std::string libpqName(const std::string& name) {
  if (const char* k = libpqKeyword(name)) return k;
  std::string key;
  PQconninfoOption* defaults = PQconndefaults();
  for (auto* o = defaults; o && o->keyword; ++o)
    if (sameName(name, o->keyword)) key = o->keyword;
  PQconninfoFree(defaults);
  return key;
}

class PgConnection : public Connection {
 public:
  explicit PgConnection(const ConnectParams& p) {
    // Only names libpq knows go through; a later line replaces an earlier one, and the
    // alias's lines replace the defaults.
    std::vector<std::pair<std::string, std::string>> kv = PostgresDriver::defaultSettings();
    for (const auto& [name, value] : p.values) {
      const std::string key = libpqName(name);
      if (key.empty() || value.empty()) continue;
      bool replaced = false;
      for (auto& e : kv)
        if (e.first == key) {
          e.second = value;
          replaced = true;
        }
      if (!replaced) kv.emplace_back(key, value);
    }
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : kv) {
      keys.push_back(k.c_str());
      values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    // expand_dbname = 0: a database name is a name, never a connection string.
    conn_ = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
      std::string msg = conn_ ? trimMessage(PQerrorMessage(conn_)) : "out of memory";
      PQfinish(conn_);
      conn_ = nullptr;
      throw DbError(msg);
    }
    // Notices ("... does not exist, skipping") are not failures; keep them off stderr.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    PQsetClientEncoding(conn_, "UTF8");
    // The session set-up: the encoding above and the three settings below.
    statementCounter() += 4;
    ResultHandle res(PQexec(conn_,
                            "SET search_path TO nsu, public; SET DateStyle TO ISO, YMD; "
                            "SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL "
                            "READ UNCOMMITTED"));
    try {
      check(conn_, res);
    } catch (...) {
      PQfinish(conn_);
      throw;
    }
    user_ = PQuser(conn_);
  }
  ~PgConnection() override { PQfinish(conn_); }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  Dialect dialect() const override { return Dialect::Postgres; }

  std::unique_ptr<Statement> prepare(const std::string& sql) override {
    return std::make_unique<PgStatement>(conn_, translate(sql, Dialect::Postgres));
  }

  std::unique_ptr<ProcedureCall> prepareProcedure(
      const std::string& name, const std::vector<ProcParamDecl>& params) override {
    for (char c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.')
        throw DbError("Invalid procedure name: " + name);
    return std::make_unique<PgProcedureCall>(conn_, name, params);
  }

  void executeScript(const std::string& sql) override {
    ResultHandle res(PQexec(conn_, sql.c_str()));
    check(conn_, res);
  }

  std::string userName() const override { return user_; }

 private:
  PGconn* conn_ = nullptr;
  std::string user_;
};

}  // namespace

std::unique_ptr<Connection> PostgresDriver::connect(const ConnectParams& params) {
  return std::make_unique<PgConnection>(params);
}

std::vector<std::pair<std::string, std::string>> PostgresDriver::defaultSettings() {
  // Idle: a probe after 10 s of silence, then every 5 s, given up after 4 unanswered ones
  // (30 s). Sending: unacknowledged data for 40 s ends the connection.
  return {{"connect_timeout", std::to_string(kDefaultConnectTimeout)},
          {"keepalives", "1"},
          {"keepalives_idle", "10"},
          {"keepalives_interval", "5"},
          {"keepalives_count", "4"},
          {"tcp_user_timeout", "40000"}};
}

bool PostgresDriver::knowsSetting(const std::string& name) {
  return !libpqName(name).empty();
}

}  // namespace vx::db
