#include "db/SqliteDriver.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>

#include "db/DbError.h"
#include "db/SqlText.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

namespace vx::db {

std::string ConnectParams::value(const std::string& name) const {
  for (const auto& [k, v] : values)
    if (sameName(k, name)) return v;
  return {};
}

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, Procedure, NoCaseLess>& registry() {
  static std::map<std::string, Procedure, NoCaseLess> r;
  return r;
}

Procedure findProcedure(const std::string& name) {
  std::lock_guard lock(registryMutex());
  const auto it = registry().find(name);
  if (it == registry().end()) throw DbError("no such procedure: " + name);
  return it->second;
}

// SQL functions, with the connections they are installed on.
struct FunctionEntry {
  std::string name;
  int nargs;
  std::shared_ptr<const ScalarFunction> function;
};
struct Rights;
struct LiveConnection {
  sqlite3* db;
  Connection* connection;
  Rights* rights;
};
std::vector<FunctionEntry>& functions() {
  static std::vector<FunctionEntry> f;
  return f;
}
std::vector<LiveConnection>& liveConnections() {
  static std::vector<LiveConnection> c;
  return c;
}

// What the logged-on user may do on one connection. The owner may do everything; every
// other user listed in Db_User has the rights the server grants its desk roles: read the
// library's tables (not the users' password hashes), add to the exception log, call the
// library's procedures and functions, and keep temporary objects of its own. A procedure or
// function of the library runs with its owner's rights, as the server's do, whoever calls it.
struct Rights {
  bool owner = true;
  int definer = 0;  // > 0 while a procedure or function of the library runs
};

class DefinerScope {
 public:
  explicit DefinerScope(Rights& r) : rights_(r) { ++rights_.definer; }
  ~DefinerScope() { --rights_.definer; }
  DefinerScope(const DefinerScope&) = delete;
  DefinerScope& operator=(const DefinerScope&) = delete;

 private:
  Rights& rights_;
};

// The server's words for the last refusal on this thread: SQLite itself only says "not
// authorized". The authorizer runs while a statement is prepared, on the preparing thread.
thread_local std::string lastRefusal;

std::string lowered(const char* name) {
  std::string s = name ? name : "";
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int refuse(std::string message) {
  lastRefusal = std::move(message);
  return SQLITE_DENY;
}

bool isTemp(const char* database) { return database && std::string_view(database) == "temp"; }

// SQLite asks about its catalog first when a statement creates, alters or drops an object;
// the question about the object itself follows and decides. (The catalog cannot be written
// directly while writable_schema is off, which only the owner may turn on.)
bool isCatalog(const char* table) {
  const std::string_view t = table ? table : "";
  return t == "sqlite_master" || t == "sqlite_temp_master" || t == "sqlite_schema" ||
         t == "sqlite_temp_schema";
}

int authorize(void* data, int action, const char* a1, const char* a2, const char* database,
              const char*) {
  const Rights& rights = *static_cast<const Rights*>(data);
  if (rights.owner || rights.definer > 0) return SQLITE_OK;
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_DROP_TEMP_TRIGGER:
      return SQLITE_OK;
    case SQLITE_READ:
      if (!isTemp(database) && sameName(a1 ? a1 : "", "Db_User"))
        return refuse("permission denied for table " + lowered(a1));
      return SQLITE_OK;
    case SQLITE_INSERT:
      if (isTemp(database) || isCatalog(a1) || sameName(a1 ? a1 : "", "Exception_Log")) return SQLITE_OK;
      return refuse("permission denied for table " + lowered(a1));
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
      if (isTemp(database) || isCatalog(a1)) return SQLITE_OK;
      return refuse("permission denied for table " + lowered(a1));
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VTABLE:
      return refuse("permission denied for schema nsu");
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_VTABLE:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
      return refuse("must be owner of table " + lowered(action == SQLITE_ALTER_TABLE ? a2 : a1));
    case SQLITE_DROP_VIEW:
      return refuse("must be owner of view " + lowered(a1));
    case SQLITE_DROP_INDEX:
      return refuse("must be owner of index " + lowered(a1));
    case SQLITE_DROP_TRIGGER:
      return refuse("must be owner of table " + lowered(a2));
    case SQLITE_PRAGMA:
      // Reading a setting is everyone's; changing one (writable_schema, journal_mode, ...)
      // would change the file for all.
      if (!a2) return SQLITE_OK;
      return refuse("permission denied to set parameter \"" + lowered(a1) + "\"");
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
      return refuse("permission denied to attach a database");
    default:
      return refuse("permission denied");
  }
}

// The engine's message, or the server's words for a refusal of the rights above.
std::string errorMessage(sqlite3* db, const char* message) {
  if (sqlite3_errcode(db) == SQLITE_AUTH && !lastRefusal.empty()) return lastRefusal;
  return trimMessage(message);
}

[[noreturn]] void fail(sqlite3* db) { throw DbError(errorMessage(db, sqlite3_errmsg(db))); }

void bindValue(sqlite3* db, sqlite3_stmt* st, int index, const Value& v) {
  int rc = SQLITE_OK;
  switch (v.type()) {
    case DataType::Unknown: rc = sqlite3_bind_null(st, index); break;
    case DataType::Integer: rc = sqlite3_bind_int64(st, index, v.asInteger()); break;
    case DataType::Float: rc = sqlite3_bind_double(st, index, v.asFloat()); break;
    case DataType::String:
    case DataType::DateTime: {
      const std::string s = v.asString();
      rc = sqlite3_bind_text64(st, index, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
  }
  if (rc != SQLITE_OK) fail(db);
}

Value columnValue(sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return Value::integer(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return Value::floating(sqlite3_column_double(st, i));
    case SQLITE_NULL: return Value::null();
    default: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
      const int n = sqlite3_column_bytes(st, i);
      return Value::text(p ? std::string(p, static_cast<size_t>(n)) : std::string());
    }
  }
}

Value argumentValue(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Value::integer(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Value::floating(sqlite3_value_double(v));
    case SQLITE_NULL: return Value::null();
    default: {
      const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
      const int n = sqlite3_value_bytes(v);
      return Value::text(p ? std::string(p, static_cast<size_t>(n)) : std::string());
    }
  }
}

// What a function installed on one connection calls: the connection and the function.
struct FunctionBinding {
  Connection* connection;
  Rights* rights;
  std::shared_ptr<const ScalarFunction> function;
};

void callFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* b = static_cast<const FunctionBinding*>(sqlite3_user_data(ctx));
  try {
    std::vector<Value> args;
    args.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(argumentValue(argv[i]));
    const DefinerScope definer(*b->rights);
    const Value r = (*b->function)(*b->connection, args);
    switch (r.type()) {
      case DataType::Unknown: sqlite3_result_null(ctx); break;
      case DataType::Integer: sqlite3_result_int64(ctx, r.asInteger()); break;
      case DataType::Float: sqlite3_result_double(ctx, r.asFloat()); break;
      case DataType::String:
      case DataType::DateTime: {
        const std::string t = r.asString();
        sqlite3_result_text64(ctx, t.data(), t.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      }
    }
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

void destroyBinding(void* p) { delete static_cast<FunctionBinding*>(p); }

// SQLite owns the binding from here on (it destroys it also when the call fails).
int installFunction(const LiveConnection& c, const FunctionEntry& f) {
  return sqlite3_create_function_v2(c.db, f.name.c_str(), f.nargs, SQLITE_UTF8,
                                    new FunctionBinding{c.connection, c.rights, f.function}, callFunction,
                                    nullptr, nullptr, destroyBinding);
}

// PBKDF2-HMAC-SHA256 password hashes, "pbkdf2-sha256$<iterations>$<salt hex>$<key hex>".
constexpr size_t kKeyBytes = 32;
constexpr long kMaxIterations = 10'000'000;  // a damaged row must not hang the login

bool fromHex(std::string_view hex, std::vector<unsigned char>& out) {
  if (hex.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (size_t k = i; k < i + 2; ++k) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(hex[k])));
      v *= 16;
      if (c >= '0' && c <= '9') v += c - '0';
      else if (c >= 'a' && c <= 'f') v += c - 'a' + 10;
      else return false;
    }
    out.push_back(static_cast<unsigned char>(v));
  }
  return true;
}

bool passwordMatches(const std::string& password, const std::string& stored) {
  std::vector<std::string_view> parts;
  std::string_view rest = stored;
  for (size_t dollar; (dollar = rest.find('$')) != std::string_view::npos;) {
    parts.push_back(rest.substr(0, dollar));
    rest.remove_prefix(dollar + 1);
  }
  parts.push_back(rest);
  if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return false;
  if (parts[1].empty() || parts[1].size() > 8 ||
      !std::all_of(parts[1].begin(), parts[1].end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return false;
  const long iterations = std::stol(std::string(parts[1]));
  std::vector<unsigned char> salt, key;
  if (iterations < 1 || iterations > kMaxIterations || !fromHex(parts[2], salt) ||
      salt.empty() || !fromHex(parts[3], key) || key.size() != kKeyBytes)
    return false;
  unsigned char computed[kKeyBytes];
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                        static_cast<int>(salt.size()), static_cast<int>(iterations),
                        EVP_sha256(), static_cast<int>(kKeyBytes), computed) != 1)
    return false;
  return CRYPTO_memcmp(computed, key.data(), kKeyBytes) == 0;
}

// One prepared sqlite3 statement with its parameters bound by position.
class SqliteStmt {
 public:
  SqliteStmt(sqlite3* db, const std::string& sql) : db_(db) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st_, &tail) !=
        SQLITE_OK)
      fail(db);
    if (!st_) throw DbError("The statement is empty");
    for (const char* p = tail; p && *p; ++p)
      if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') {
        sqlite3_finalize(st_);
        throw DbError("Only one statement may be run at a time");
      }
  }
  ~SqliteStmt() { sqlite3_finalize(st_); }
  SqliteStmt(const SqliteStmt&) = delete;
  SqliteStmt& operator=(const SqliteStmt&) = delete;

  ResultSet execute(const std::vector<Value>& args) {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    const int count = sqlite3_bind_parameter_count(st_);
    for (int i = 0; i < count && static_cast<size_t>(i) < args.size(); ++i)
      bindValue(db_, st_, i + 1, args[static_cast<size_t>(i)]);
    ResultSet r;
    const int cols = sqlite3_column_count(st_);
    for (int i = 0; i < cols; ++i) {
      const char* n = sqlite3_column_name(st_, i);
      r.columns.emplace_back(n ? n : "");
    }
    for (;;) {
      const int rc = sqlite3_step(st_);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        // The message belongs to the failed step; take it before reset clears the state.
        const std::string msg = errorMessage(db_, sqlite3_errmsg(db_));
        sqlite3_reset(st_);
        throw DbError(msg);
      }
      std::vector<Value> row;
      row.reserve(static_cast<size_t>(cols));
      for (int i = 0; i < cols; ++i) row.push_back(columnValue(st_, i));
      r.rows.push_back(std::move(row));
    }
    sqlite3_reset(st_);
    return r;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
};

class SqliteConnection;

// A statement kept prepared for the library's own procedures, which run the same few texts
// over and over: parsing them again for every call was most of a call's time. `busy` is set
// while it runs, so that a statement reached again from inside itself (through a function it
// calls) is prepared afresh rather than reset under its own feet.
struct KeptStatement {
  explicit KeptStatement(sqlite3* db, const std::string& sql) : stmt(db, sql) {}
  SqliteStmt stmt;
  bool busy = false;
};

class KeptStatementUse : public Statement {
 public:
  explicit KeptStatementUse(std::shared_ptr<KeptStatement> kept) : kept_(std::move(kept)) {}
  ResultSet execute(const std::vector<Value>& args) override {
    kept_->busy = true;
    struct Release {
      KeptStatement& k;
      ~Release() { k.busy = false; }
    } release{*kept_};
    return kept_->stmt.execute(args);
  }

 private:
  std::shared_ptr<KeptStatement> kept_;
};

class PlainStatement : public Statement {
 public:
  PlainStatement(sqlite3* db, const std::string& sql) : stmt_(db, sql) {}
  ResultSet execute(const std::vector<Value>& args) override { return stmt_.execute(args); }

 private:
  SqliteStmt stmt_;
};

// `call P (args)`: the arguments are evaluated by a SELECT, then the procedure runs.
class CallStatement : public Statement {
 public:
  CallStatement(Connection& c, Rights& rights, sqlite3* db, const Translation& t)
      : conn_(c), rights_(rights), procedure_(findProcedure(t.procedure)) {
    if (!t.sql.empty()) args_ = std::make_unique<SqliteStmt>(db, t.sql);
  }
  ResultSet execute(const std::vector<Value>& args) override {
    std::vector<Value> values;
    if (args_) {
      ResultSet r = args_->execute(args);
      if (!r.rows.empty()) values = std::move(r.rows.front());
    }
    const DefinerScope definer(rights_);
    return procedure_(conn_, values);
  }

 private:
  Connection& conn_;
  Rights& rights_;
  Procedure procedure_;
  std::unique_ptr<SqliteStmt> args_;
};

class SqliteProcedureCall : public ProcedureCall {
 public:
  SqliteProcedureCall(Connection& c, Rights& rights, const std::string& name, size_t count)
      : conn_(c), rights_(rights), procedure_(findProcedure(name)), count_(count) {}
  ResultSet execute(std::vector<Value>& args) override {
    args.resize(count_);
    const DefinerScope definer(rights_);
    return procedure_(conn_, args);
  }

 private:
  Connection& conn_;
  Rights& rights_;
  Procedure procedure_;
  size_t count_;
};

void getdateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const std::string s = DateTime::now().toString();
  sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void userFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* name = static_cast<const std::string*>(sqlite3_user_data(ctx));
  sqlite3_result_text(ctx, name->c_str(), static_cast<int>(name->size()), SQLITE_TRANSIENT);
}

// in_transaction(): 1 inside an explicit transaction, 0 in autocommit mode, so that a
// procedure can open the transaction it needs or nest a savepoint in the caller's.
void inTransactionFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int(ctx, sqlite3_get_autocommit(sqlite3_context_db_handle(ctx)) ? 0 : 1);
}

// How a library file keeps its commits. On a local disk it keeps a write-ahead log with
// one sync of the log per commit (a rollback journal costs three or four), so a commit is on
// disk when it returns, as before, and readers no longer wait for a writer; the log and its
// index beside the file take the file's mode, as the journal did. On a network folder, where
// several machines may open the file and the log's shared index cannot reach across them, the
// file keeps its rollback journal (and one brought there in log mode goes back to it). When
// another desk holds the file the mode stays as it is, and the file works in either.
void chooseJournal(sqlite3* db, const std::string& path) {
  if (path == ":memory:") return;
  const bool network = vx::fs::isNetworkFolder(vx::fs::folderOf(path));
  sqlite3_exec(db, network ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL", nullptr,
               nullptr, nullptr);
  sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
}

class SqliteConnection : public Connection {
 public:
  explicit SqliteConnection(const ConnectParams& p) : user_(p.value("USER NAME")) {
    const std::string path = p.value("PATH");
    if (path.empty()) throw DbError("The alias names no database file (PATH)");
    const std::string create = p.value("CREATE");
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    bool madeFile = false;
    if (sameName(create, "1") || sameName(create, "TRUE") || sameName(create, "YES")) {
      if (path == ":memory:") {
        flags |= SQLITE_OPEN_CREATE;
      } else {
        // SQLite would make the file 0644 less the umask; a library database holds password
        // hashes, so the driver makes it private first (an empty file is an empty database).
        // The journals SQLite makes beside it take its mode. An existing file is opened as
        // it is; when the file cannot be made, SQLite's open below says why.
        const int fd = vx::fs::createPrivateFile(path, O_RDWR);
        if (fd >= 0) {
          ::close(fd);
          madeFile = true;
        }
      }
    }
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      const std::string msg =
          db_ ? trimMessage(sqlite3_errmsg(db_)) : std::string("out of memory");
      sqlite3_close(db_);
      if (madeFile) ::unlink(path.c_str());
      throw DbError(msg + ": " + path);
    }
    sqlite3_extended_result_codes(db_, 0);
    // Another desk may hold a write lock for a moment; wait for it rather than fail.
    sqlite3_busy_timeout(db_, 5000);
    const int textFlags = SQLITE_UTF8;
    if (sqlite3_create_function(db_, "getdate", 0, textFlags, nullptr, getdateFunction, nullptr,
                                nullptr) != SQLITE_OK ||
        sqlite3_create_function(db_, "connected_user", 0, textFlags | SQLITE_DETERMINISTIC,
                                &user_, userFunction, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function(db_, "in_transaction", 0, textFlags, nullptr,
                                inTransactionFunction, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db_, "PRAGMA foreign_keys = ON; PRAGMA read_uncommitted = 1", nullptr,
                     nullptr, nullptr) != SQLITE_OK) {
      const std::string msg = trimMessage(sqlite3_errmsg(db_));
      sqlite3_close(db_);
      throw DbError(msg);
    }
    chooseJournal(db_, path);
    try {
      rights_.owner = checkLogin(p.value("PASSWORD"));
      sqlite3_set_authorizer(db_, authorize, &rights_);
      std::lock_guard lock(registryMutex());
      const LiveConnection self{db_, this, &rights_};
      for (const auto& f : functions())
        if (installFunction(self, f) != SQLITE_OK) fail(db_);
      liveConnections().push_back(self);
    } catch (...) {
      sqlite3_close_v2(db_);
      throw;
    }
  }
  ~SqliteConnection() override {
    {
      std::lock_guard lock(registryMutex());
      auto& live = liveConnections();
      live.erase(std::remove_if(live.begin(), live.end(),
                                [this](const LiveConnection& c) { return c.connection == this; }),
                 live.end());
    }
    kept_.clear();
    sqlite3_close_v2(db_);
  }
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  Dialect dialect() const override { return Dialect::Sqlite; }

  std::unique_ptr<Statement> prepare(const std::string& sql) override {
    // Only the library's procedures and functions (running with the definer's rights) reuse
    // their statements: a statement is authorised when it is prepared, so one prepared
    // with those rights must never serve the user's own statements.
    if (rights_.definer > 0) {
      auto& kept = kept_[sql];
      if (kept && !kept->busy) return std::make_unique<KeptStatementUse>(kept);
      if (!kept) {
        const Translation t = translate(sql, Dialect::Sqlite);
        if (!t.isCall) {
          if (kept_.size() > kMaxKeptStatements) {
            kept_.clear();
            return prepare(sql);
          }
          try {
            kept = std::make_shared<KeptStatement>(db_, t.sql);
          } catch (...) {
            kept_.erase(sql);
            throw;
          }
          return std::make_unique<KeptStatementUse>(kept);
        }
        kept_.erase(sql);
      }
    }
    const Translation t = translate(sql, Dialect::Sqlite);
    if (t.isCall) return std::make_unique<CallStatement>(*this, rights_, db_, t);
    return std::make_unique<PlainStatement>(db_, t.sql);
  }

  std::unique_ptr<ProcedureCall> prepareProcedure(
      const std::string& name, const std::vector<ProcParamDecl>& params) override {
    std::string bare = name;
    if (const auto dot = bare.rfind('.'); dot != std::string::npos) bare = bare.substr(dot + 1);
    return std::make_unique<SqliteProcedureCall>(*this, rights_, bare, params.size());
  }

  void executeScript(const std::string& sql) override {
    const std::string text = translateScript(sql, Dialect::Sqlite);
    char* err = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      const std::string msg = errorMessage(db_, err ? err : sqlite3_errmsg(db_));
      sqlite3_free(err);
      throw DbError(msg);
    }
  }

  std::string userName() const override { return user_; }

 private:
  static constexpr size_t kMaxKeptStatements = 256;
  // The library's statements kept prepared, by their text (see prepare()).
  std::map<std::string, std::shared_ptr<KeptStatement>> kept_;

  // Refuses the user unless the file lists no users, or lists this one with this password.
  // True when the user owns the database: every user of a file that lists none (a database
  // just created belongs to whoever opens it), and a listed user marked Is_Owner. A file made
  // before owners were marked has no owner among its listed users.
  bool checkLogin(const std::string& password) {
    SqliteStmt hasTable(db_,
                        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                        "name = 'Db_User' COLLATE NOCASE");
    if (hasTable.execute({}).rows.at(0).at(0).asInteger() == 0) return true;
    SqliteStmt users(db_, "SELECT count(*) FROM Db_User");
    if (users.execute({}).rows.at(0).at(0).asInteger() == 0) return true;
    SqliteStmt hasOwners(db_, "SELECT count(*) FROM pragma_table_info('Db_User') WHERE name = 'Is_Owner' COLLATE NOCASE");
    const bool ownersMarked = hasOwners.execute({}).rows.at(0).at(0).asInteger() != 0;
    SqliteStmt find(db_, ownersMarked
                             ? "SELECT Password_Hash, Is_Owner FROM Db_User WHERE User_Name = ?1"
                             : "SELECT Password_Hash, 0 FROM Db_User WHERE User_Name = ?1");
    const ResultSet r = find.execute({Value::text(user_)});
    // The same answer for an unknown user and a wrong password, as the server gives.
    if (r.rows.empty() || !passwordMatches(password, r.rows[0][0].asString()))
      throw DbError("password authentication failed for user \"" + user_ + "\"");
    return !r.rows[0][1].isNull() && r.rows[0][1].asInteger() == 1;
  }

  sqlite3* db_ = nullptr;
  std::string user_;  // the user data of connected_user(); lives as long as db_
  Rights rights_;     // the authorizer's data; lives as long as db_
};

}  // namespace

void SqliteDriver::registerProcedure(const std::string& name, Procedure procedure) {
  std::lock_guard lock(registryMutex());
  registry()[name] = std::move(procedure);
}

void SqliteDriver::unregisterProcedure(const std::string& name) {
  std::lock_guard lock(registryMutex());
  registry().erase(name);
}

void SqliteDriver::registerFunction(const std::string& name, int nargs,
                                    ScalarFunction function) {
  std::lock_guard lock(registryMutex());
  const FunctionEntry entry{name, nargs,
                            std::make_shared<const ScalarFunction>(std::move(function))};
  auto& all = functions();
  const auto it = std::find_if(all.begin(), all.end(), [&](const FunctionEntry& f) {
    return f.nargs == nargs && sameName(f.name, name);
  });
  if (it != all.end()) *it = entry;
  else all.push_back(entry);
  for (const auto& c : liveConnections())
    if (installFunction(c, entry) != SQLITE_OK) fail(c.db);
}

bool SqliteDriver::verifyPassword(const std::string& password, const std::string& storedHash) {
  return passwordMatches(password, storedHash);
}

std::string SqliteDriver::hashPassword(const std::string& password) {
  constexpr int kIterations = 100000;
  unsigned char salt[16];
  unsigned char key[kKeyBytes];
  if (RAND_bytes(salt, sizeof salt) != 1 ||
      PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, sizeof salt,
                        kIterations, EVP_sha256(), static_cast<int>(kKeyBytes), key) != 1)
    throw DbError("Cannot make a password hash");
  auto hex = [](const unsigned char* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
      out += digits[p[i] >> 4];
      out += digits[p[i] & 15];
    }
    return out;
  };
  return "pbkdf2-sha256$" + std::to_string(kIterations) + "$" + hex(salt, sizeof salt) + "$" +
         hex(key, kKeyBytes);
}

bool SqliteDriver::hasProcedure(const std::string& name) {
  std::lock_guard lock(registryMutex());
  return registry().count(name) != 0;
}

std::unique_ptr<Connection> SqliteDriver::connect(const ConnectParams& params) {
  return std::make_unique<SqliteConnection>(params);
}

}  // namespace vx::db
