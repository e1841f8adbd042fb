// Loan calls per second through the engine layer, beside the same calls made one level lower,
// so that the figure shows what the engine layer itself costs (the target: at most 10% fewer
// calls per second than the bare calls).
//
// Engine: a StoredProc of IssueLoanAllBarcodes prepared once; every call sets the three inputs
// by name, runs it and reads ErrorCode by name, as the import posts a line.
//
// Bare baselines:
//   SQLite      the driver's own ProcedureCall, prepared once on the same connection, run with
//               a vector of values by position: no Param objects, no name lookup, no copying
//               of in-out values back. (SQLite has no server-side procedures: both ways run
//               the same registered C++ procedure and its statements, so the difference is
//               exactly what StoredProc adds.)
//   PostgreSQL  libpq on a connection of its own: PQprepare of the same
//               "CALL IssueLoanAllBarcodes($1, ..., $9)" once, then PQexecPrepared with the
//               values as text and ErrorCode read from the answered row.
//
// The refused call (1001 lends 2002: copy scrapped, code 2) changes nothing, so every call
// does the same work. The accepted call (1001 lends 2001, code 0) runs inside a transaction
// that is rolled back after each call, both ways.
//
// SQLite runs always, on a demo library database in a temporary folder. PostgreSQL runs when
// VX_TEST_PG_SOCKET_DIR (with VX_TEST_PG_PORT, VX_TEST_PG_USER) names a server, for instance
//   eval "export $(scripts/pg-test-cluster.sh start /tmp/vxpg-bench | tr '\n' ' ')"
// on a database of its own that is dropped at the end.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"

using namespace vx::db;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Every measured run of each benchmark, for the summary at the end: wall-clock calls per
// second, and this process's CPU time per call (the engine layer's own cost shows there
// without the noise of the server's scheduling).
struct Measured {
  std::vector<double> callsPerSecond;
  std::vector<double> cpuMicroseconds;
};
std::map<std::string, Measured>& rates() {
  static std::map<std::string, Measured> r;
  return r;
}

// The console output, and beside it the wall-clock rate of every final run (not the short
// runs that estimate the iteration count, which reporters never see).
class RateCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred &&
          run.real_accumulated_time > 0)
      {
        const double n = static_cast<double>(run.iterations);
        Measured& m = rates()[run.run_name.function_name];
        m.callsPerSecond.push_back(n / run.real_accumulated_time);
        m.cpuMicroseconds.push_back(run.cpu_accumulated_time / n * 1e6);
      }
    ConsoleReporter::ReportRuns(runs);
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<ProcParamDecl> loanParams() {
  return {{"ServiceAtUnitId", DataType::Integer, ParamDirection::Input},
          {"LoanerBarCode", DataType::String, ParamDirection::Input},
          {"ItemBarCode", DataType::String, ParamDirection::Input},
          {"DueTime", DataType::DateTime, ParamDirection::InputOutput},
          {"ServiceTime", DataType::DateTime, ParamDirection::InputOutput},
          {"ServiceIdReserved", DataType::Integer, ParamDirection::InputOutput},
          {"DocumentGroupId", DataType::Integer, ParamDirection::InputOutput},
          {"ExId", DataType::Integer, ParamDirection::InputOutput},
          {"ErrorCode", DataType::Integer, ParamDirection::InputOutput}};
}

// One library database with an open engine connection and a prepared StoredProc.
struct Target {
  std::unique_ptr<Session> session;
  std::unique_ptr<Database> db;
  std::unique_ptr<StoredProc> proc;
  std::unique_ptr<ProcedureCall> bareCall;  // SQLite: the driver-level call
  PGconn* pg = nullptr;                     // PostgreSQL: the libpq baseline's connection
  std::string pgStatement;

  ~Target() {
    proc.reset();
    bareCall.reset();
    db.reset();
    if (pg) PQfinish(pg);
  }
};

void openTarget(Target& t, const AliasSpec& alias, const std::string& user) {
  t.session = std::make_unique<Session>("Bench", std::vector<AliasSpec>{alias});
  t.db = std::make_unique<Database>(*t.session);
  t.db->databaseName = "VXDB";
  t.db->aliasName = alias.name;
  if (!user.empty()) t.db->params = {"USER NAME=" + user};
  t.db->open();
}

void prepareEngine(Target& t) {
  t.proc = std::make_unique<StoredProc>(*t.session);
  t.proc->databaseName = "VXDB";
  t.proc->setProcName("IssueLoanAllBarcodes");
  for (const auto& p : loanParams()) t.proc->addParam(p.name, p.type, p.direction);
  t.proc->prepare();
}

std::string sqliteFolder;
std::unique_ptr<Target> sqliteTarget;

std::string pgDatabase;
std::unique_ptr<Target> pgTarget;
std::unique_ptr<Session> pgAdminSession;
std::unique_ptr<Database> pgAdmin;

void setUpSqlite() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vxbench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw DbError("mkdtemp failed");
  sqliteFolder = tmpl;
  library::installSqliteProcedures();
  AliasSpec alias{"bench", DriverKind::Sqlite,
                  {{"PATH", sqliteFolder + "/library.sqlite"}, {"CREATE", "1"}}};
  sqliteTarget = std::make_unique<Target>();
  openTarget(*sqliteTarget, alias, "vxdesk");
  library::createLibraryDatabase(*sqliteTarget->db, true);
  prepareEngine(*sqliteTarget);
  sqliteTarget->bareCall =
      sqliteTarget->db->connection().prepareProcedure("IssueLoanAllBarcodes", loanParams());
}

void setUpPostgres() {
  const std::string socket = env("VX_TEST_PG_SOCKET_DIR");
  const std::string port = env("VX_TEST_PG_PORT");
  const std::string user = env("VX_TEST_PG_USER").empty() ? "postgres" : env("VX_TEST_PG_USER");
  pgDatabase = "vx_bench_loans_" + std::to_string(getpid());
  AliasSpec alias{"bench", DriverKind::Postgres,
                  {{"SERVER NAME", socket}, {"PORT", port}, {"DATABASE NAME", "postgres"}}};
  pgAdminSession = std::make_unique<Session>("BenchAdmin", std::vector<AliasSpec>{alias});
  pgAdmin = std::make_unique<Database>(*pgAdminSession);
  pgAdmin->databaseName = "Admin";
  pgAdmin->aliasName = "bench";
  pgAdmin->params = {"USER NAME=" + user};
  pgAdmin->open();
  pgAdmin->executeScript("CREATE DATABASE " + pgDatabase);

  alias.settings[2].second = pgDatabase;
  pgTarget = std::make_unique<Target>();
  openTarget(*pgTarget, alias, user);
  library::createLibraryDatabase(*pgTarget->db, true);
  prepareEngine(*pgTarget);

  const char* keys[] = {"host", "port", "dbname", "user", nullptr};
  const char* values[] = {socket.c_str(), port.c_str(), pgDatabase.c_str(), user.c_str(),
                          nullptr};
  PGconn* c = PQconnectdbParams(keys, values, 0);
  pgTarget->pg = c;
  if (PQstatus(c) != CONNECTION_OK) throw DbError(PQerrorMessage(c));
  PQclear(PQexec(c, "SET search_path TO nsu, public"));
  // The same parameter types as the engine's declaration above.
  const Oid types[] = {23, 25, 25, 1114, 1114, 23, 23, 23, 23};
  pgTarget->pgStatement = "bench_loan";
  PGresult* r = PQprepare(c, pgTarget->pgStatement.c_str(),
                          "CALL IssueLoanAllBarcodes($1, $2, $3, $4, $5, $6, $7, $8, $9)", 9,
                          types);
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  if (!ok) throw DbError(PQerrorMessage(c));
}

void tearDown() {
  sqliteTarget.reset();
  if (!sqliteFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(sqliteFolder, ec);
  }
  pgTarget.reset();
  if (pgAdmin) {
    try {
      pgAdmin->executeScript("DROP DATABASE IF EXISTS " + pgDatabase + " WITH (FORCE)");
    } catch (const DbError& e) {
      std::fprintf(stderr, "could not drop %s: %s\n", pgDatabase.c_str(), e.what());
    }
  }
  pgAdmin.reset();
  pgAdminSession.reset();
}

enum Engine : int { kSqlite, kPostgres };

// Runs `call` once per iteration; `accepted` wraps each call in a transaction rolled back
// after it. BEGIN and ROLLBACK are timed with the call, the same both ways.
template <typename Call, typename Begin, typename Rollback>
void timeCalls(benchmark::State& state, int64_t expected, Call call, Begin begin,
               Rollback rollback, bool accepted) {
  for (auto _ : state) {
    if (accepted) begin();
    const int64_t code = call();
    if (accepted) rollback();
    if (code != expected) {
      state.SkipWithError(("ErrorCode " + std::to_string(code) + ", expected " +
                           std::to_string(expected))
                              .c_str());
      return;
    }
  }
  state.counters["calls/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void engineCalls(benchmark::State& state, Engine engine, bool accepted) {
  Target* t = engine == kSqlite ? sqliteTarget.get() : pgTarget.get();
  const char* item = accepted ? "2001" : "2002";
  StoredProc& sp = *t->proc;
  Database& db = *t->db;
  timeCalls(
      state, accepted ? 0 : 2,
      [&] {
        sp.paramByName("ServiceAtUnitId").setInteger(1);
        sp.paramByName("LoanerBarCode").setString("1001");
        sp.paramByName("ItemBarCode").setString(item);
        sp.execProc();
        return sp.paramByName("ErrorCode").asInteger();
      },
      [&] { db.executeScript("BEGIN"); }, [&] { db.executeScript("ROLLBACK"); }, accepted);
}

void bareSqliteCalls(benchmark::State& state, bool accepted) {
  Target* t = sqliteTarget.get();
  Connection& conn = t->db->connection();
  ProcedureCall& call = *t->bareCall;
  std::vector<Value> args(9);
  const char* item = accepted ? "2001" : "2002";
  timeCalls(
      state, accepted ? 0 : 2,
      [&] {
        args[0] = Value::integer(1);
        args[1] = Value::text("1001");
        args[2] = Value::text(item);
        call.execute(args);
        return args[8].asInteger();
      },
      [&] { conn.executeScript("BEGIN"); }, [&] { conn.executeScript("ROLLBACK"); }, accepted);
}

void barePostgresCalls(benchmark::State& state, bool accepted) {
  Target* t = pgTarget.get();
  PGconn* c = t->pg;
  const char* item = accepted ? "2001" : "2002";
  const char* values[9] = {"1", "1001", item, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr};
  auto exec = [c](const char* sql) { PQclear(PQexec(c, sql)); };
  timeCalls(
      state, accepted ? 0 : 2,
      [&]() -> int64_t {
        PGresult* r = PQexecPrepared(c, t->pgStatement.c_str(), 9, values, nullptr, nullptr, 0);
        int64_t code = -1;
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1 && PQnfields(r) == 6)
          code = std::atoll(PQgetvalue(r, 0, 5));
        PQclear(r);
        return code;
      },
      [&] { exec("BEGIN"); }, [&] { exec("ROLLBACK"); }, accepted);
}

void bareCalls(benchmark::State& state, Engine engine, bool accepted) {
  if (engine == kSqlite)
    bareSqliteCalls(state, accepted);
  else
    barePostgresCalls(state, accepted);
}

void printSummary() {
  std::printf("\nIssueLoanAllBarcodes calls per second, median of the runs (engine layer vs "
              "bare):\n");
  for (const char* engine : {"sqlite", "postgres"})
    for (const char* kind : {"refused", "accepted"}) {
      const std::string suffix = std::string("/") + engine + "/" + kind;
      const auto e = rates().find("LoanCall/engine" + suffix);
      const auto b = rates().find("LoanCall/bare" + suffix);
      if (e == rates().end() || b == rates().end()) continue;
      const double engineRate = median(e->second.callsPerSecond);
      const double bareRate = median(b->second.callsPerSecond);
      const double overhead = (bareRate - engineRate) / bareRate * 100.0;
      // The engine layer's extra CPU per call, against the whole time of a bare call.
      const double extraCpu = median(e->second.cpuMicroseconds) - median(b->second.cpuMicroseconds);
      const double cpuOverhead = extraCpu / (1e6 / bareRate) * 100.0;
      std::printf("  %-8s %-8s engine %7.0f/s  bare %7.0f/s  overhead %5.1f%%  |  client CPU "
                  "per call engine %6.1f us, bare %6.1f us: %+5.1f%% of a bare call  (%zu runs)\n",
                  engine, kind, engineRate, bareRate, overhead,
                  median(e->second.cpuMicroseconds), median(b->second.cpuMicroseconds),
                  cpuOverhead, e->second.callsPerSecond.size());
    }
}

}  // namespace

int main(int argc, char** argv) {
  // One run each is at the mercy of whatever else the machine does: by default every case
  // runs five times, engine and bare interleaved, and the summary takes the medians.
  std::vector<char*> args(argv, argv + argc);
  bool repetitionsGiven = false;
  for (int i = 1; i < argc; ++i)
    repetitionsGiven = repetitionsGiven || std::string(argv[i]).find("repetitions") != std::string::npos;
  std::string repetitions = "--benchmark_repetitions=5";
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  if (!repetitionsGiven) {
    args.push_back(repetitions.data());
    args.push_back(interleave.data());
  }
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  argc = count;
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    setUpSqlite();
    if (!env("VX_TEST_PG_SOCKET_DIR").empty())
      setUpPostgres();
    else
      std::fprintf(stderr, "PostgreSQL: not measured (VX_TEST_PG_SOCKET_DIR is not set)\n");
  } catch (const DbError& e) {
    std::fprintf(stderr, "set-up failed: %s\n", e.what());
    tearDown();
    return 1;
  }
  std::vector<Engine> engines{kSqlite};
  if (pgTarget) engines.push_back(kPostgres);
  for (Engine engine : engines)
    for (bool accepted : {false, true}) {
      const std::string suffix = std::string(engine == kSqlite ? "/sqlite" : "/postgres") +
                                 (accepted ? "/accepted" : "/refused");
      benchmark::RegisterBenchmark(("LoanCall/engine" + suffix).c_str(),
                                   [=](benchmark::State& s) { engineCalls(s, engine, accepted); })
          ->UseRealTime();
      benchmark::RegisterBenchmark(("LoanCall/bare" + suffix).c_str(),
                                   [=](benchmark::State& s) { bareCalls(s, engine, accepted); })
          ->UseRealTime();
    }
  RateCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printSummary();
  tearDown();
  benchmark::Shutdown();
  return 0;
}
