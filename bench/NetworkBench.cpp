// What a branch library's desk waits for on a slow link to the central PostgreSQL server,
// counted in round trips.
//
// The server of VX_TEST_PG_SOCKET_DIR (with VX_TEST_PG_PORT, VX_TEST_PG_USER) is reached
// through a DelayRelay that holds every chunk for the one-way delay in each direction. For
// each delay, on a demo library database made directly on the server:
//   rtt           a prepared "SELECT 1" on an open connection (median of 20): the round trip
//                 as the program sees it, the timers' overshoot included
//   bare connect  Database::open() without any check (median of 5): the handshake and the
//                 driver's session set-up
//   login         Connected = true to connected and verified, with the engine settings in
//                 step (median of 5); disconnect: Connected = false
//   first login   the first login of a desk, whose stored engine settings are missing: it
//                 stores them and connects again
//   unit tree     Active = true of the unit tree on an open connection (median of 5); unit
//                 button: "Change Unit >>" of the login dialog, which opens its own
//                 connection and then the tree
//   import        a run over a workfile of three-line cycles (return and loan, return and
//                 loan, a refusal), with the procedure calls it sent
// Beside each figure its floor: the handshakes and round trips the work cannot do without,
// and the ratio of the figure to it.
//
//   eval "export $(scripts/pg-test-cluster.sh start /tmp/vxpg-netbench | tail -3 | tr '\n' ' ')"
//   bench_network [--delays 0,12.5,50] [--lines 1000]
//   bench_network --desk-list [--delays 12.5]   the desk list of a library of 100,000 borrowers
//                                                and 1,000,000 copies: taken, read, refusals
//   scripts/pg-test-cluster.sh stop /tmp/vxpg-netbench
// The delays are one-way, in milliseconds. At a delay of 50 ms the import runs over 200 lines
// unless --lines is given (1,000 lines take about four minutes there).
#include "bench/BenchLibrary.h"
#include "bench/DeskLogin.h"
#include "bench/DelayRelay.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/StatementCount.h"
#include "desklist/DeskList.h"
#include "import/ImportRun.h"
#include "platform/Registry.h"
#include "tools/common/Arguments.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/VXLogin.h"
#include "vxcomp/login/ui/LoginForm.h"
#include "vxcomp/login/ui/UnitTreeView.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace vx::db;
using vxbench::env;

namespace {

// Round trips after the handshake that a steady login cannot do without, because each
// depends on the answer of the one before: the database's state (upgrade flag, version,
// prescribed engine settings), then for a database fit to use the user's access to the
// module, then the unit and the clock.
constexpr int kLoginStages = 3;
// A desk's first login: the stages of a steady login, the settings written from the
// prescribed ones, and one more check on the second connection, opened with those settings.
constexpr int kFirstLoginStages = kLoginStages + 1;
constexpr int kFirstLoginHandshakes = 2;
// The disconnect: the comparison of the settings before the connection closes.
constexpr int kDisconnectStages = 1;
// The unit tree: whether the units carry the ILL flag (the version), then the units.
constexpr int kUnitTreeStages = 2;

constexpr int kRttSamples = 20;
constexpr int kConnectSamples = 5;
constexpr int kLogins = 5;
constexpr int kDefaultLines = 1000;
constexpr int kLinesAtLongDelay = 200;
constexpr double kLongDelayMs = 50;

const char* const kCycle[3][2] = {{"1001", "2001"}, {"1002", "2001"}, {"1001", "2002"}};

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double timedMs(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return msSince(start);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::unique_ptr<Database> deskDatabase(Session& session, const std::string& databaseName) {
  auto db = std::make_unique<Database>(session);
  db->databaseName = databaseName;
  db->aliasName = "library";
  db->params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};
  return db;
}

// The times of one delay, in milliseconds.
struct Figures {
  double rtt = 0, handshake = 0, login = 0, firstLogin = 0, disconnect = 0, unitTree = 0,
         unitButton = 0, importMs = 0;
  uint64_t loginStatements = 0, importCalls = 0;
  int lines = 0;
};

double roundTrip(Session& remote) {
  auto db = deskDatabase(remote, "VXRtt");
  db->open();
  Query query(remote);
  query.databaseName = "VXRtt";
  query.setSql("SELECT 1");
  query.prepare();
  std::vector<double> samples;
  for (int i = 0; i <= kRttSamples; ++i) {
    const double ms = timedMs([&] {
      query.open();
      query.close();
    });
    if (i > 0) samples.push_back(ms);  // the first one warms the path
  }
  return median(samples);
}

double bareConnect(Session& remote) {
  std::vector<double> samples;
  for (int i = 0; i < kConnectSamples; ++i) {
    auto db = deskDatabase(remote, "VXBare");
    samples.push_back(timedMs([&] { db->open(); }));
  }
  return median(samples);
}

void requireConnected(TVXLogin& login, const char* which) {
  if (!login.Connected()) throw std::runtime_error(std::string(which) + " did not connect");
}

void measureLogins(Session& remote, Figures& f) {
  // The first login of a desk: nothing stored yet, so it stores what the database prescribes
  // and connects again with it.
  const std::string key = TVXDatabase::paramsKey("library");
  if (const auto cleared = vx::reg::replaceKey(vx::reg::Hive::CurrentUser, key, {}); !cleared)
    throw std::runtime_error("cannot clear the stored engine settings: " + cleared.why());
  {
    auto first = vxbench::deskLogin(remote);
    f.firstLogin = timedMs([&] { first->setConnected(true); });
    requireConnected(*first, "the first login");
    first->setConnected(false);
  }
  if (vx::reg::listValues(vx::reg::Hive::CurrentUser, key).empty())
    throw std::runtime_error("the first login stored no engine settings");
  std::vector<double> logins, disconnects;
  for (int i = 0; i < kLogins; ++i) {
    auto login = vxbench::deskLogin(remote);
    const uint64_t before = statementsSent();
    logins.push_back(timedMs([&] { login->setConnected(true); }));
    f.loginStatements = statementsSent() - before;
    requireConnected(*login, "a login");
    disconnects.push_back(timedMs([&] { login->setConnected(false); }));
  }
  f.login = median(logins);
  f.disconnect = median(disconnects);
}

void measureUnitTree(Session& remote, Figures& f) {
  {
    auto db = deskDatabase(remote, "VXLoginDb");
    db->open();
    TVXUnitTreeView tree;
    tree.setSession(remote);
    tree.setDatabaseName("VXLoginDb");
    std::vector<double> samples;
    for (int i = 0; i < kConnectSamples; ++i) {
      samples.push_back(timedMs([&] { tree.setActive(true); }));
      if (tree.UnitList().size() == 0) throw std::runtime_error("the unit tree holds no unit");
      tree.setActive(false);
    }
    f.unitTree = median(samples);
  }
  // "Change Unit >>" of the login dialog: its own connection, then the tree; pressed again it
  // closes them.
  TLoginForm form(remote);
  form.DbCombo()->addItem("library");
  form.DbCombo()->setCurrentIndex(0);
  form.UserEdit()->setText("vxdesk");
  form.PasswordEdit()->setText("vxdesk-demo");
  std::vector<double> samples;
  for (int i = 0; i < kConnectSamples; ++i) {
    samples.push_back(timedMs([&] { form.UnitBitBtnClick(); }));
    if (!form.TreeShown()) throw std::runtime_error("the login dialog shows no unit tree");
    form.UnitBitBtnClick();
  }
  f.unitButton = median(samples);
}

void measureImport(vxbench::Library& lib, Session& remote, Figures& f) {
  auto desk = deskDatabase(remote, "VXDB");
  desk->open();
  const std::string work = lib.folder + "/work.csv";
  {
    std::ofstream out(work, std::ios::binary);
    for (int i = 0; i < f.lines; ++i) out << kCycle[i % 3][0] << ',' << kCycle[i % 3][1] << "\r\n";
  }
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(lib.folder);  // the run writes its files beside it
  vx::import::ImportRun run(remote);
  vx::import::ImportObserver observer;
  vx::import::ImportOutcome outcome;
  const uint64_t before = statementsSent();
  f.importMs = timedMs([&] { outcome = run.ImportToVXDBFromFile(work, 1, observer); });
  f.importCalls = statementsSent() - before;
  std::filesystem::current_path(cwd);
  if (outcome.status != vx::import::ImportOutcome::Status::Finished || outcome.processed != f.lines)
    throw std::runtime_error("the import did not finish every line (" + std::to_string(outcome.processed) +
                             " of " + std::to_string(f.lines) + "): " + outcome.message);
}

Figures measure(int round, double delayMs, int lines) {
  vxbench::Library lib(true, "network_bench" + std::to_string(round));
  const int serverPort = std::atoi(env("VX_TEST_PG_PORT").c_str());
  const int port = serverPort > 0 ? serverPort : 5432;  // any number names the relay's own socket
  vxbench::DelayRelay relay(env("VX_TEST_PG_SOCKET_DIR") + "/.s.PGSQL." + env("VX_TEST_PG_PORT"),
                            std::chrono::microseconds(std::llround(delayMs * 1000)), port);
  AliasSpec alias{"library",
                  DriverKind::Postgres,
                  {{"SERVER NAME", relay.socketDir()},
                   {"PORT", std::to_string(relay.port())},
                   {"DATABASE NAME", lib.pgDatabase}}};
  Session remote("Remote", {alias});
  Figures f;
  f.lines = lines;
  f.rtt = roundTrip(remote);
  f.handshake = bareConnect(remote);
  measureLogins(remote, f);
  measureUnitTree(remote, f);
  measureImport(lib, remote, f);
  return f;
}

// The desk list of a large library through the relay: 100,000 borrowers (one in fifty
// withdrawn, one in 2,000 of an odd shape) and 1,000,000 copies in two formats (a few percent
// scrapped, lost or not for loan), made on the server directly. The time to take it, the time
// to read the file at a desk's start, and how many real barcodes its shapes would refuse.
void measureDeskList(double delayMs) {
  vxbench::Library lib(true, "desk_list_bench");
  lib.creator->executeScript(
      "INSERT INTO NSU.Marc_Record (Record_Id, Title, Author) "
      "  SELECT 1000 + g, 'Title ' || g, '' FROM generate_series(1, 100000) g;"
      "INSERT INTO NSU.Borrower (Borrower_Id, Barcode, Name, Card_State) "
      "  SELECT 1000 + g, CASE WHEN g % 2000 = 0 THEN (g * 7)::text ELSE '2' || lpad(g::text, 9, '0') END,"
      "         'Borrower ' || g, CASE WHEN g % 50 = 0 THEN 'W' ELSE 'A' END FROM generate_series(1, 100000) g;"
      "INSERT INTO NSU.Copy (Copy_Id, Barcode, Record_Id, Document_Group_Id, Owner_Unit_Id, Scrapped, Permit_Loan, Lost) "
      "  SELECT 1000 + g, CASE WHEN g % 10 < 7 THEN '0' || lpad(g::text, 13, '0') ELSE '3' || lpad(g::text, 7, '0') END,"
      "         1001 + g % 100000, 1, 1, (g % 40 = 0)::int, (g % 97 <> 0)::int, (g % 101 = 0)::int"
      "  FROM generate_series(1, 1000000) g;"
      "ANALYZE;");
  vxbench::DelayRelay relay(env("VX_TEST_PG_SOCKET_DIR") + "/.s.PGSQL." + env("VX_TEST_PG_PORT"),
                            std::chrono::microseconds(std::llround(delayMs * 1000)),
                            std::atoi(env("VX_TEST_PG_PORT").c_str()));
  Session remote("Remote", {{"library",
                             DriverKind::Postgres,
                             {{"SERVER NAME", relay.socketDir()},
                              {"PORT", std::to_string(relay.port())},
                              {"DATABASE NAME", lib.pgDatabase}}}});
  const double rtt = roundTrip(remote);
  auto desk = deskDatabase(remote, "VXDB");
  desk->open();
  vx::desklist::DeskList list;
  std::vector<double> takes;
  for (int i = 0; i < 3; ++i) takes.push_back(timedMs([&] { list = vx::desklist::takeDeskList(remote, "VXDB"); }));
  const std::string path = lib.folder + "/desk-list.vxdl";
  std::string error;
  if (!list.write(path, error)) throw std::runtime_error(error);
  std::vector<double> reads;
  for (int i = 0; i < 9; ++i) reads.push_back(timedMs([&] {
    if (!vx::desklist::DeskList::read(path)) throw std::runtime_error("the desk list does not read back");
  }));
  // Every real barcode in its own field, asked directly of the server.
  uint64_t refused = 0, barcodes = 0;
  for (const auto& [sql, kind] : {std::pair{"SELECT Barcode FROM NSU.Borrower", vx::desklist::BarcodeKind::Borrower},
                                  std::pair{"SELECT Barcode FROM NSU.Copy", vx::desklist::BarcodeKind::Item}})
    for (const auto& row : lib.creator->connection().run(sql).rows) {
      ++barcodes;
      refused += list.shapes.looksLike(row[0].asString(), kind) != kind;
    }
  desk.reset();
  // What the dialog's taking does to a run that starts at once: the same import alone, and with
  // the list taken beside it on a connection of its own, as the dialog takes it after its login.
  const auto importMs = [&](bool beside) {
    Figures f;
    f.lines = 150;
    std::thread taker;
    if (beside)
      taker = std::thread([&] {
        Session own("DeskList", {remote.alias("library")});
        auto db = deskDatabase(own, "VXDB");
        db->open();
        (void)vx::desklist::takeDeskList(own, "VXDB");
      });
    measureImport(lib, remote, f);
    if (taker.joinable()) taker.join();
    return f.importMs;
  };
  const double alone = importMs(false), beside = importMs(true), aloneAgain = importMs(false);
  std::printf("  a 150-line import alone %.0f / %.0f ms, with the list taken beside it %.0f ms: %+.1f%%\n",
              alone, aloneAgain, beside, 100.0 * (beside / ((alone + aloneAgain) / 2) - 1));
  std::printf("desk list, one-way delay %.1f ms (rtt %.1f ms): 100,000 borrowers, 1,000,000 copies\n"
              "  taken in %.0f ms (median of 3; %.1f rt of time): %zu withdrawn cards, %zu copies to refuse, %zu bytes\n"
              "  read at start in %.2f ms (median of 9)\n"
              "  real barcodes refused by the shapes: %llu of %llu\n",
              delayMs, rtt, median(takes), median(takes) / rtt, list.withdrawnCards.size(), list.refusedCopies.size(),
              list.serialize().size(), median(reads), static_cast<unsigned long long>(refused),
              static_cast<unsigned long long>(barcodes));
}

void print(double delayMs, const Figures& f, bool linesChosen) {
  const double rt = f.rtt, h = f.handshake;
  const auto beyond = [&](double ms, int handshakes) { return (ms - handshakes * h) / rt; };
  const auto floorOf = [&](int handshakes, int stages) { return handshakes * h + stages * rt; };
  std::printf("one-way delay %.1f ms (round trip %.1f ms)\n", delayMs, 2 * delayMs);
  std::printf("  rtt           %8.2f ms\n", rt);
  std::printf("  bare connect  %8.2f ms  (%.1f rt)\n", h, h / rt);
  const double loginFloor = floorOf(1, kLoginStages);
  std::printf("  login         %8.2f ms  = handshake + %.1f rt  (floor h+%d: %.1f ms, %.2fx); %llu statements\n",
              f.login, beyond(f.login, 1), kLoginStages, loginFloor, f.login / loginFloor,
              static_cast<unsigned long long>(f.loginStatements));
  const double firstFloor = floorOf(kFirstLoginHandshakes, kFirstLoginStages);
  std::printf("  first login   %8.2f ms  = %d handshakes + %.1f rt  (floor %dh+%d: %.1f ms, %.2fx)\n",
              f.firstLogin, kFirstLoginHandshakes, beyond(f.firstLogin, kFirstLoginHandshakes),
              kFirstLoginHandshakes, kFirstLoginStages, firstFloor, f.firstLogin / firstFloor);
  const double disconnectFloor = floorOf(0, kDisconnectStages);
  std::printf("  disconnect    %8.2f ms  = %.1f rt  (floor %d rt: %.1f ms, %.2fx)\n", f.disconnect,
              f.disconnect / rt, kDisconnectStages, disconnectFloor, f.disconnect / disconnectFloor);
  const double treeFloor = floorOf(0, kUnitTreeStages);
  std::printf("  unit tree     %8.2f ms  = %.1f rt on an open connection  (floor %d rt: %.1f ms, %.2fx)\n",
              f.unitTree, f.unitTree / rt, kUnitTreeStages, treeFloor, f.unitTree / treeFloor);
  const double buttonFloor = floorOf(1, kUnitTreeStages);
  std::printf("  unit button   %8.2f ms  = handshake + %.1f rt  (floor h+%d: %.1f ms, %.2fx)\n",
              f.unitButton, beyond(f.unitButton, 1), kUnitTreeStages, buttonFloor, f.unitButton / buttonFloor);
  const double calls = double(f.importCalls);
  const double importFloor = calls * rt;
  std::printf("  import        %d lines%s, %llu calls: %.2f s, %.2f rt/call, floor %.2f s, %.2fx\n",
              f.lines, linesChosen || delayMs < kLongDelayMs ? "" : " (fewer at this delay; --lines to choose)",
              static_cast<unsigned long long>(f.importCalls), f.importMs / 1000,
              f.importMs / calls / rt, importFloor / 1000, f.importMs / importFloor);
  std::fflush(stdout);
}

std::vector<double> parseDelays(const std::string& text) {
  std::vector<double> delays;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    char* end = nullptr;
    const double d = std::strtod(item.c_str(), &end);
    if (item.empty() || *end != '\0' || !(d >= 0 && d <= 10000))
      throw vx::tools::UsageError("--delays: not a delay in milliseconds: '" + item + "'");
    delays.push_back(d);
    at = comma + 1;
  }
  return delays;
}

int parseLines(const std::string& text) {
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || n < 1 || n > 10000000)
    throw vx::tools::UsageError("--lines: not a number of lines: '" + text + "'");
  return int(n);
}

// Keeps the registry, the shared login record and the user's files of the run in a folder of
// its own, removed at the end.
struct PrivateHome {
  std::string path = std::filesystem::temp_directory_path() /
                     ("vx-network-bench-home-" + std::to_string(getpid()));
  PrivateHome() {
    std::filesystem::create_directories(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    for (const char* sub : {"config", "data", "runtime"}) {
      std::filesystem::create_directories(path + "/" + sub);
      std::filesystem::permissions(path + "/" + sub, std::filesystem::perms::owner_all);
    }
    unsetenv("VELLUMDEX_REGISTRY_DIR");  // HKEY_CURRENT_USER under XDG_CONFIG_HOME
    setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (path + "/data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (path + "/runtime").c_str(), 1);
  }
  ~PrivateHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> delays = {0, 12.5, 50};
  int lines = 0;  // not chosen
  bool deskList = false;
  try {
    vx::tools::Arguments args(std::vector<std::string>(argv + 1, argv + argc));
    while (args.next()) {
      if (const auto v = args.value("--delays", true))
        delays = parseDelays(*v);
      else if (const auto n = args.value("--lines", true))
        lines = parseLines(*n);
      else if (args.is({"--desk-list"}))
        deskList = true;
      else
        args.unknownOption();
    }
  } catch (const vx::tools::UsageError& e) {
    std::fprintf(stderr, "bench_network: %s\nusage: bench_network [--delays 0,12.5,50] [--lines N] [--desk-list]\n", e.what());
    return 2;
  }
  for (const char* name : {"VX_TEST_PG_SOCKET_DIR", "VX_TEST_PG_PORT", "VX_TEST_PG_USER"})
    if (env(name).empty()) {
      std::fprintf(stderr,
                   "bench_network: %s is not set; it measures a PostgreSQL server, for instance one of\n"
                   "  eval \"export $(scripts/pg-test-cluster.sh start /tmp/vxpg-netbench | tail -3 | tr '\\n' ' ')\"\n",
                   name);
      return 1;
    }
  PrivateHome home;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  int failures = 0;
  if (deskList) {
    for (double d : delays) try {
        measureDeskList(d);
      } catch (const std::exception& e) {
        std::printf("desk list, one-way delay %.1f ms: failed: %s\n", d, e.what());
        ++failures;
      }
    return failures ? 1 : 0;
  }
  for (std::size_t i = 0; i < delays.size(); ++i) {
    const int n = lines ? lines : delays[i] >= kLongDelayMs ? kLinesAtLongDelay : kDefaultLines;
    try {
      print(delays[i], measure(int(i), delays[i], n), lines != 0);
    } catch (const std::exception& e) {
      std::printf("one-way delay %.1f ms: failed: %s\n", delays[i], e.what());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
