// The login and the unit tree, timed.
//
// BM_Login: from "Login" pressed (Connected = true with the credentials in place) to connected
// and verified, on the demo library: the engine settings already in step (the steady state of
// a desk), the access check of the import, the unit and the clocks. Beside it BM_BareConnect,
// the same connection opened without any check, so that the figure shows what the checks
// cost. The counter "statements" is what one login sends to the engine (the driver's session
// set-up included).
//
// BM_UnitTree: opening the unit tree (Active = true: the version test, the query, the
// placing) on the demo library with 10,000 units more, 100 under the library and 99 under
// each of those.
// Beside it BM_UnitTreeLinearSearch, the same placing with the first entry of a key found by
// a search from the front of the list, the way a branch library's hundred units were found.
//
// SQLite always; PostgreSQL when VX_TEST_PG_SOCKET_DIR (with VX_TEST_PG_PORT, VX_TEST_PG_USER)
// names a server, for instance
//   eval "export $(scripts/pg-test-cluster.sh start /tmp/vxpg-bench | tr '\n' ' ')"
#include "bench/BenchLibrary.h"
#include "bench/DeskLogin.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/UnitTree.h"
#include "vxcomp/login/VXLogin.h"
#include "vxcomp/login/ui/UnitTreeView.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace vx::db;
using vxbench::env;
using vxbench::Library;

namespace {

std::unique_ptr<TVXLogin> deskLogin(Library& lib) { return vxbench::deskLogin(*lib.session); }

void BM_Login(benchmark::State& state, bool postgres) {
  Library lib(postgres, "login_bench");
  {
    auto first = deskLogin(lib);  // stores the engine settings the database prescribes
    first->setConnected(true);
    if (!first->Connected()) state.SkipWithError("the first login failed");
  }
  uint64_t statements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto login = deskLogin(lib);
    const uint64_t before = statementsSent();
    state.ResumeTiming();
    login->setConnected(true);
    state.PauseTiming();
    statements = statementsSent() - before;
    if (!login->Connected()) state.SkipWithError("not connected");
    login->setConnected(false);
    login.reset();
    state.ResumeTiming();
  }
  state.counters["statements"] = double(statements);
}

void BM_BareConnect(benchmark::State& state, bool postgres) {
  Library lib(postgres, "login_bench");
  for (auto _ : state) {
    Database db(*lib.session);
    db.databaseName = "VXDB";
    db.aliasName = "library";
    db.params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};
    db.open();
    state.PauseTiming();
    db.close();
    state.ResumeTiming();
  }
}

// 10,000 more units beside the demo's: 100 under the library's root unit 1, and 99 under
// each of those.
void addUnits(Library& lib) {
  std::string sql = "BEGIN;";
  for (int branch = 0; branch < 100; ++branch) {
    const int branchId = 1000 + branch * 100;
    sql += "INSERT INTO NSU.Unit (Unit_Id, Name, Dept, Parent_Unit_Id, IsILL, This_Library) VALUES (" +
           std::to_string(branchId) + ", 'Branch " + std::to_string(branch) + "', 0, 1, 0, 1);";
    for (int dept = 1; dept < 100; ++dept)
      sql += "INSERT INTO NSU.Unit (Unit_Id, Name, Dept, Parent_Unit_Id, IsILL, This_Library) VALUES (" +
             std::to_string(branchId + dept) + ", 'Department " + std::to_string(dept) + "', " +
             std::to_string(dept % 2) + ", " + std::to_string(branchId) + ", 0, 1);";
  }
  lib.creator->executeScript(sql + "COMMIT;");
}

Database& openTreeDatabase(Library& lib, std::unique_ptr<Database>& db) {
  db = std::make_unique<Database>(*lib.session);
  db->databaseName = "VXLoginDb";
  db->aliasName = "library";
  db->params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};
  db->open();
  return *db;
}

void BM_UnitTree(benchmark::State& state, bool postgres) {
  Library lib(postgres, "login_bench");
  addUnits(lib);
  std::unique_ptr<Database> db;
  openTreeDatabase(lib, db);
  TVXUnitTreeView tree;
  tree.setSession(*lib.session);
  tree.setDatabaseName("VXLoginDb");
  int units = 0;
  for (auto _ : state) {
    tree.setActive(true);
    state.PauseTiming();
    units = int(tree.UnitList().size());
    tree.setActive(false);
    state.ResumeTiming();
  }
  state.counters["units"] = units;
}

// The placing with a search from the front for the first entry of each key.
void placeLinear(vx::login::UnitList& list, const std::string& key, int depth, int& placed) {
  std::size_t i = 0;
  while (i < list.size() && list.key(i) != key) ++i;
  for (; i < list.size() && list.key(i) == key; ++i) {
    ++placed;
    placeLinear(list, vx::login::ParentKey(list.unit(i).UnitId), depth + 1, placed);
  }
}

void BM_UnitTreeLinearSearch(benchmark::State& state, bool postgres) {
  Library lib(postgres, "login_bench");
  addUnits(lib);
  std::unique_ptr<Database> db;
  openTreeDatabase(lib, db);
  Query query(*lib.session);
  query.databaseName = "VXLoginDb";
  int placed = 0;
  for (auto _ : state) {
    const bool hasIll = vx::login::HasILLColumn(*lib.session, "VXLoginDb");
    query.setSql(vx::login::unitQueryLines(hasIll));
    vx::login::UnitList list;
    vx::login::LoadUnitList(query, 1, hasIll, list);
    placed = 0;
    placeLinear(list, "00000", 0, placed);
  }
  state.counters["units"] = placed;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string registry = std::filesystem::temp_directory_path() /
                               ("vx-login-bench-registry-" + std::to_string(getpid()));
  setenv("VELLUMDEX_REGISTRY_DIR", registry.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", registry.c_str(), 1);
  std::filesystem::create_directories(registry);
  std::filesystem::permissions(registry, std::filesystem::perms::owner_all);
  QApplication app(argc, argv);
  const bool postgres = !env("VX_TEST_PG_SOCKET_DIR").empty();
  for (bool pg : {false, true}) {
    if (pg && !postgres) continue;
    const std::string engine = pg ? "Postgres" : "Sqlite";
    benchmark::RegisterBenchmark(("BM_Login/" + engine).c_str(), BM_Login, pg)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_BareConnect/" + engine).c_str(), BM_BareConnect, pg)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_UnitTree/" + engine).c_str(), BM_UnitTree, pg)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_UnitTreeLinearSearch/" + engine).c_str(), BM_UnitTreeLinearSearch, pg)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(registry);
  return 0;
}
