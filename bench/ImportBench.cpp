// The import run, timed: lines per second of a whole run beside the same procedure calls made
// directly through the engine layer, and the peak memory of a run over a large workfile.
//
// The workfile repeats three lines: 1001 takes 2001 from 1002 (on loan to another: return,
// then loan), 1002 takes it back the same way, and 1001 asks for the scrapped copy 2002
// (rejected). So every line of a cycle is posted the way the run posts it: 3, 3 and 1 calls.
// The bare run makes exactly those calls, with the same prepared objects, without the files,
// the log texts and the observer; the run updates its observer after every line.
//
//   bench_import                         50,000 lines on SQLite, and on PostgreSQL when
//                                        VX_TEST_PG_SOCKET_DIR (with VX_TEST_PG_PORT,
//                                        VX_TEST_PG_USER) names a server
//   bench_import --desks 8 60           eight desks appending to the workfile as fast as they
//                                        can during a run of about 60 seconds: failed writes,
//                                        lines lost or doubled
//   bench_import --memory 1000000        the peak memory of runs over 100,000 and 1,000,000
//                                        lines, each in a process of its own (PostgreSQL when
//                                        it names a server, else SQLite)
#include "workfile/Workfile.h"
#include "bench/BenchLibrary.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "import/ImportRun.h"
#include "import/RunJournal.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>
#include <memory>
#include <string>

using namespace vx::db;
using vxbench::env;

namespace {

// The demo library, and the desk's login to it.
struct Library : vxbench::Library {
  std::unique_ptr<Database> desk;
  explicit Library(bool postgres) : vxbench::Library(postgres, "import_bench") {
    desk = std::make_unique<Database>(*session);
    desk->databaseName = "VXDB";
    desk->aliasName = "library";
    desk->params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};
    desk->open();
  }
  ~Library() { desk.reset(); }
};

const char* const kCycle[3][2] = {{"1001", "2001"}, {"1002", "2001"}, {"1001", "2002"}};

// The benchmark's workfile; with `oneCall` every line is refused at the first call (an unknown
// borrower), for the memory runs, whose size is what counts.
std::string writeWorkfile(const std::string& path, int lines, bool oneCall = false) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < lines; ++i)
    if (oneCall)
      out << "1999," << (2000000 + i) << "\r\n";
    else
      out << kCycle[i % 3][0] << ',' << kCycle[i % 3][1] << "\r\n";
  return path;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The same calls as the run, through the engine layer and nothing else.
double bareLinesPerSecond(Library& lib, int lines) {
  vx::import::LoanPosting posting(*lib.session);  // only for its prepared objects
  Query qryReturn(*lib.session);
  qryReturn.databaseName = "VXDB";
  qryReturn.setSql("call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i) {
    int code = 0;
    posting.LoanItem(1, kCycle[i % 3][0], kCycle[i % 3][1], code);
    if (code == 4 || code == 10) {
      qryReturn.paramByName("ServiceAtUnitId").setInteger(1);
      qryReturn.paramByName("ItemBarCode").setString(kCycle[i % 3][1]);
      qryReturn.open();
      const int returned = int(qryReturn.fieldByName("ErrorCode").asInteger());
      qryReturn.close();
      if (returned == 0) posting.LoanItem(1, kCycle[i % 3][0], kCycle[i % 3][1], code);
    }
  }
  return lines / seconds(start);
}

struct Counting : vx::import::ImportObserver {
  int lines = 0;
  void lineDone(int index, int, int, int) override { lines = index; }
};

// One run of `work` in the library's folder; its time in seconds.
// With `followUp`, also the time the run's follow-up list takes to read its names and titles
// (the same statements again, on a copy of the list as the run noted it).
double timedRun(Library& lib, const std::string& work, vx::import::ImportOutcome& outcome,
                double* followUp = nullptr, size_t* followUpRows = nullptr) {
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(lib.folder);
  vx::import::ImportRun run(*lib.session);
  Counting observer;
  const auto start = std::chrono::steady_clock::now();
  outcome = run.ImportToVXDBFromFile(work, 1, observer);
  const double took = seconds(start);
  if (followUp) {
    vx::import::FollowUpList list = run.followUp();
    const auto names = std::chrono::steady_clock::now();
    list.readNames(*lib.session, "VXDB");
    *followUp = seconds(names);
    *followUpRows = list.rows().size();
  }
  std::filesystem::current_path(cwd);
  return took;
}

double runLinesPerSecond(Library& lib, int lines, vx::import::ImportOutcome& outcome,
                         bool oneCall = false) {
  const std::string work = writeWorkfile(lib.folder + "/work.csv", lines, oneCall);
  return lines / timedRun(lib, work, outcome);
}

// The journal's part of a run: the same records for the same number of lines (a note before
// each posting and one after it, synced every tenth of a second), written alone, in seconds.
double journalSeconds(const std::string& folder, int lines) {
  vx::import::RunJournal journal;
  std::string error;
  const std::string path = folder + "/bench.import-journal";
  std::filesystem::remove(path);
  if (!journal.open(path, 0, 1, 0644, error)) {
    std::printf("(journal: %s)\n", error.c_str());
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  off_t offset = 0;
  for (int i = 0; i < lines; ++i) {
    const std::string line = std::string(kCycle[i % 3][0]) + "," + kCycle[i % 3][1];
    journal.posting(offset, line);
    journal.posted(offset, i % 3 != 2, i % 3 != 2 ? 1 : 0);
    journal.syncIfDue();
    offset += off_t(line.size() + 2);
  }
  const double took = seconds(start);
  journal.remove();
  return took;
}

void compare(bool postgres, int lines) {
  Library lib(postgres);
  // Warm both paths once, then measure the bare calls and the run alternately, twice.
  vx::import::ImportOutcome outcome;
  (void)bareLinesPerSecond(lib, 300);
  double bare = 0, full = 0;
  for (int round = 0; round < 2; ++round) {
    bare += bareLinesPerSecond(lib, lines);
    full += runLinesPerSecond(lib, lines, outcome);
  }
  bare /= 2;
  full /= 2;
  // What the run would do without its journal: its time less the journal's own, measured here.
  const double journal = journalSeconds(lib.folder, lines);
  const double withoutJournal = lines / (lines / full - journal);
  std::printf("%-10s %d lines: journal %.1f us a line; run %.0f lines/s with it, %.0f without: %.1f%%\n",
              postgres ? "PostgreSQL" : "SQLite", lines, 1e6 * journal / lines, full, withoutJournal,
              100.0 * full / withoutJournal);
  std::printf("%-10s %d lines: run %.0f lines/s, bare calls %.0f lines/s: %.1f%% (accepted %d, "
              "rejected %d, returned first %d)\n",
              postgres ? "PostgreSQL" : "SQLite", lines, full, bare, 100.0 * full / bare, outcome.accepted,
              outcome.processed - outcome.accepted, outcome.alreadyOnLoan);
  // The follow-up list's part of a run: every line of this workfile needs a person (a scrapped
  // copy, or an item taken from another borrower), so the list is as long as it gets.
  double names = 0;
  size_t rows = 0;
  const double run = timedRun(lib, writeWorkfile(lib.folder + "/work.csv", lines), outcome, &names, &rows);
  std::printf("%-10s %d lines: the follow-up list (%zu rows) reads its names in %.3f s, %.2f%% of the run "
              "(%.1f s)\n",
              postgres ? "PostgreSQL" : "SQLite", lines, rows, names, 100.0 * names / run, run);
}

// Desks recording into the workfile as fast as they can while a run of about `seconds` posts it:
// their failed writes, and their lines lost or doubled in the workfile afterwards.
void desksDuringARun(int desks, double seconds_) {
  Library lib(!env("VX_TEST_PG_SOCKET_DIR").empty());
  vx::import::ImportOutcome outcome;
  const double rate = runLinesPerSecond(lib, 600, outcome);  // how long a line takes here
  const int lines = int(rate * seconds_);
  const std::string work = writeWorkfile(lib.folder + "/shared.csv", lines);
  const std::string stop = lib.folder + "/stop";
  std::vector<pid_t> children;
  for (int d = 0; d < desks; ++d) {
    const pid_t child = fork();
    if (child == 0) {
      vx::workfile::Workfile file;
      file.setLockWait(vx::workfile::Workfile::kDeskLockWait);
      int written = 0, failed = 0;
      while (!std::filesystem::exists(stop)) {
        const auto r = file.appendRecord(work, "1999", "D" + std::to_string(d) + "-" + std::to_string(written + failed),
                                         vx::workfile::Workfile::deskPause());
        (r.written ? written : failed)++;
      }
      std::ofstream(lib.folder + "/desk" + std::to_string(d)) << written << ' ' << failed;
      _exit(0);
    }
    children.push_back(child);
  }
  const double took = timedRun(lib, work, outcome);
  std::ofstream(stop) << "";
  for (pid_t c : children) waitpid(c, nullptr, 0);
  std::ifstream in(work, std::ios::binary);
  std::map<std::string, int> times;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.rfind("1999,D", 0) == 0) ++times[l];
  }
  long written = 0, failed = 0, lost = 0, doubled = 0;
  for (int d = 0; d < desks; ++d) {
    int w = 0, f = 0;
    std::ifstream(lib.folder + "/desk" + std::to_string(d)) >> w >> f;
    written += w;
    failed += f;
    for (int n = 0; n < w + f; ++n) {
      const auto it = times.find("1999,D" + std::to_string(d) + "-" + std::to_string(n));
      const int t = it == times.end() ? 0 : it->second;
      // A failed write is not in the file; a written one is, once.
      if (t == 0) ++lost;
      if (t > 1) ++doubled;
    }
  }
  lost -= failed;  // the failed ones were never written
  std::printf("%d desks recording during a run of %d lines (%.1f s, %s): %ld lines written, %ld failed "
              "writes, %ld lost, %ld doubled; run %s\n",
              desks, lines, took, env("VX_TEST_PG_SOCKET_DIR").empty() ? "SQLite" : "PostgreSQL", written, failed,
              lost, doubled, outcome.status == vx::import::ImportOutcome::Status::Finished ? "finished" : outcome.message.c_str());
}

long peakKilobytesOfRun(int lines, bool postgres) {
  const pid_t child = fork();
  if (child == 0) {
    Library lib(postgres);
    vx::import::ImportOutcome outcome;
    (void)runLinesPerSecond(lib, lines, outcome, true);
    _exit(outcome.processed == lines ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("(the run over %d lines did not process every line)\n", lines);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string registry = std::filesystem::temp_directory_path() /
                               ("vx-import-bench-registry-" + std::to_string(getpid()));
  std::filesystem::create_directories(registry);
  setenv("VELLUMDEX_REGISTRY_DIR", registry.c_str(), 1);
  if (argc == 4 && std::string(argv[1]) == "--desks") {
    desksDuringARun(std::atoi(argv[2]), std::atof(argv[3]));
  } else if (argc == 3 && std::string(argv[1]) == "--memory") {
    const int big = std::atoi(argv[2]);
    const bool postgres = !env("VX_TEST_PG_SOCKET_DIR").empty();
    for (int lines : {big / 10, big})
      std::printf("peak memory of a run over %d lines (%s): %.1f MB\n", lines,
                  postgres ? "PostgreSQL" : "SQLite", peakKilobytesOfRun(lines, postgres) / 1024.0);
  } else {
    const int lines = argc == 2 ? std::atoi(argv[1]) : 50000;
    compare(false, lines);
    if (!env("VX_TEST_PG_SOCKET_DIR").empty()) compare(true, lines);
  }
  std::filesystem::remove_all(registry);
  return 0;
}
