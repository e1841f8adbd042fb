#include "db/PostgresDriver.h"

#include <libpq-fe.h>

#include <cctype>
#include <memory>

#include "db/DbError.h"
#include "db/SqlText.h"

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

// The server's message without the place in the statement that libpq adds for a statement
// it sent with its text ("LINE 1: ..." and a caret under the spot): the program's messages
// name what failed, never the statement's text.
std::string withoutPosition(const PGresult* r) {
  std::string msg = PQresultErrorMessage(r);
  if (!PQresultErrorField(r, PG_DIAG_STATEMENT_POSITION)) return msg;
  const size_t line = msg.find("\nLINE ");
  if (line == std::string::npos) return msg;
  const size_t text = msg.find('\n', line + 1);
  const size_t caret = text == std::string::npos ? std::string::npos : msg.find('\n', text + 1);
  return msg.erase(line, caret == std::string::npos ? std::string::npos : caret - line);
}

// Raises the server's message unless `res` reports success.
void check(PGconn* c, const ResultHandle& res) {
  const auto status = res.r ? PQresultStatus(res.r) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
  std::string msg = res.r ? trimMessage(withoutPosition(res.r)) : std::string();
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

// The parameters of one execution as libpq takes them: text, or a null pointer for NULL.
struct WireArgs {
  std::vector<std::string> texts;
  std::vector<const char*> ptrs;
  WireArgs(const std::vector<Value>& args, size_t count) : texts(count), ptrs(count, nullptr) {
    for (size_t i = 0; i < count && i < args.size(); ++i) {
      if (args[i].isNull()) continue;
      texts[i] = args[i].asString();
      ptrs[i] = texts[i].c_str();
    }
  }
  bool operator==(const WireArgs& o) const { return texts == o.texts && nullsOf() == o.nullsOf(); }
  std::vector<bool> nullsOf() const {
    std::vector<bool> v;
    for (const char* p : ptrs) v.push_back(p == nullptr);
    return v;
  }
};

// One answer sent ahead (Connection::prefetch) and not yet asked for.
struct KeptAnswer {
  std::string sql;
  WireArgs args;
  PGresult* result;  // owned; null when the connection failed before it was answered
};

// How statements reach the server: each execution is one unnamed statement with its
// parameters bound (parse, bind and execute in one message flight: one round trip, nothing
// left on the server afterwards), or the answer kept from an announcement.
class PgChannel {
 public:
  explicit PgChannel(PGconn* c) : conn_(c) {}
  ~PgChannel() { dropKept(); }
  PgChannel(const PgChannel&) = delete;
  PgChannel& operator=(const PgChannel&) = delete;

  PGconn* conn() const { return conn_; }

  ResultSet execute(const std::string& sql, const std::vector<Oid>& types, const WireArgs& args) {
    PGresult* kept = takeKept(sql, args);
    ResultHandle res(kept ? kept
                          : PQexecParams(conn_, sql.c_str(), int(args.ptrs.size()),
                                         types.empty() ? nullptr : types.data(), args.ptrs.data(),
                                         nullptr, nullptr, 0));
    check(conn_, res);
    return toResultSet(res.r);
  }

  // Sends every planned statement in one flight (libpq's pipeline mode, each statement in a
  // transaction of its own as when sent alone) and keeps the answers in order. Whatever goes
  // wrong here only loses the head start: the statements are then sent one by one.
  void prefetch(const std::vector<PlannedStatement>& planned) {
    dropKept();
    if (planned.size() < 2 || PQstatus(conn_) != CONNECTION_OK) return;
    if (!PQenterPipelineMode(conn_)) return;
    std::vector<KeptAnswer> answers;
    for (const PlannedStatement& p : planned) {
      const Translation t = translate(p.sql, Dialect::Postgres);
      KeptAnswer a{t.sql, WireArgs(p.args, t.parameters.size()), nullptr};
      if (PQsendQueryParams(conn_, a.sql.c_str(), int(a.args.ptrs.size()), nullptr,
                            a.args.ptrs.data(), nullptr, nullptr, 0) != 1)
        break;
      answers.push_back(std::move(a));
      if (PQpipelineSync(conn_) != 1) break;
    }
    // Each statement answers with its result, then a null, then the mark of its sync.
    size_t index = 0, syncs = 0;
    int nullsInARow = 0;
    while (syncs < answers.size() && nullsInARow < 2) {
      PGresult* r = PQgetResult(conn_);
      if (!r) {
        ++nullsInARow;
        if (PQstatus(conn_) != CONNECTION_OK) break;
        continue;
      }
      nullsInARow = 0;
      if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
        PQclear(r);
        index = ++syncs;
        continue;
      }
      if (index < answers.size() && !answers[index].result)
        answers[index].result = r;
      else
        PQclear(r);
    }
    // A flight cut short (the connection lost) keeps the answers that came; the first
    // statement without one is sent alone and meets the failure as it would have.
    if (!PQexitPipelineMode(conn_)) {
      for (auto& a : answers) PQclear(a.result);
      return;
    }
    kept_ = std::move(answers);
    next_ = 0;
  }

  void dropKept() {
    for (size_t i = next_; i < kept_.size(); ++i) PQclear(kept_[i].result);
    kept_.clear();
    next_ = 0;
  }

 private:
  // The next kept answer when it is for this statement with these arguments; otherwise
  // every kept answer is dropped and null returned.
  PGresult* takeKept(const std::string& sql, const WireArgs& args) {
    if (next_ >= kept_.size()) return nullptr;
    KeptAnswer& a = kept_[next_];
    if (a.sql != sql || !(a.args == args) || !a.result) {
      dropKept();
      return nullptr;
    }
    ++next_;
    PGresult* r = a.result;
    a.result = nullptr;
    if (next_ == kept_.size()) dropKept();
    return r;
  }

  PGconn* conn_;
  std::vector<KeptAnswer> kept_;
  size_t next_ = 0;
};

class PgStatement : public Statement {
 public:
  PgStatement(PgChannel& channel, Translation t) : channel_(channel), t_(std::move(t)) {}
  ResultSet execute(const std::vector<Value>& args) override {
    return channel_.execute(t_.sql, {}, WireArgs(args, t_.parameters.size()));
  }

 private:
  PgChannel& channel_;
  Translation t_;
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
  PgProcedureCall(PgChannel& channel, const std::string& name, const std::vector<ProcParamDecl>& params)
      : channel_(channel), params_(params), sql_(callText(name, params.size())), types_(oidsOf(params)) {}
  ResultSet execute(std::vector<Value>& args) override {
    args.resize(params_.size());
    ResultSet r = channel_.execute(sql_, types_, WireArgs(args, params_.size()));
    // CALL answers with one row holding the in-out parameters in declaration order.
    if (!r.rows.empty()) {
      size_t col = 0;
      for (size_t i = 0; i < params_.size() && col < r.rows[0].size(); ++i)
        if (params_[i].direction == ParamDirection::InputOutput) args[i] = r.rows[0][col++];
    }
    return r;
  }

 private:
  PgChannel& channel_;
  std::vector<ProcParamDecl> params_;
  std::string sql_;
  std::vector<Oid> types_;
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
    // The session's settings travel with the connection request, so that they cost no
    // statement of their own: UTF-8, the library's schema first, ISO dates, and dirty reads
    // as the program's transactions expect. An alias's own "options" come after ours.
    std::string options = "-c search_path=nsu,\\ public -c DateStyle=ISO,\\ YMD "
                          "-c default_transaction_isolation=read\\ uncommitted";
    bool ownOptions = false;
    for (auto& e : kv)
      if (e.first == "options") {
        e.second = options + " " + e.second;
        ownOptions = true;
      }
    if (!ownOptions) kv.emplace_back("options", options);
    kv.emplace_back("client_encoding", "UTF8");
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
    channel_ = std::make_unique<PgChannel>(conn_);
    user_ = PQuser(conn_);
  }
  // Closing sends the server its last message and waits for nothing.
  ~PgConnection() override {
    channel_.reset();
    PQfinish(conn_);
  }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  Dialect dialect() const override { return Dialect::Postgres; }

  std::unique_ptr<Statement> prepare(const std::string& sql) override {
    return std::make_unique<PgStatement>(*channel_, translate(sql, Dialect::Postgres));
  }

  std::unique_ptr<ProcedureCall> prepareProcedure(
      const std::string& name, const std::vector<ProcParamDecl>& params) override {
    for (char c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.')
        throw DbError("Invalid procedure name: " + name);
    return std::make_unique<PgProcedureCall>(*channel_, name, params);
  }

  void executeScript(const std::string& sql) override {
    channel_->dropKept();
    ResultHandle res(PQexec(conn_, sql.c_str()));
    check(conn_, res);
  }

  std::string userName() const override { return user_; }

  void prefetch(const std::vector<PlannedStatement>& planned) override { channel_->prefetch(planned); }

 private:
  PGconn* conn_ = nullptr;
  std::unique_ptr<PgChannel> channel_;
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
