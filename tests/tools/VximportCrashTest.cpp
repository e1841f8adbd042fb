// vximport as desks sharing one workfile meet it, on both engines: killed at each step of its
// closing sequence and at random moments while it posts, then run again; two runs started
// together; desks recording into the workfile throughout a run. After every rerun each line of
// the workfile is lent exactly once (one current loan, no history: a line posted twice would
// have been returned and lent again) or is still in the workfile, once.
#include "workfile/Workfile.h"
#include "import/RunLock.h"
#include "tests/support/TestLibrary.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

using vxtest::Engine;
using vxtest::readAll;
using vxtest::writeAll;

namespace {

std::vector<std::string> linesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string l; std::getline(in, l, '\n');) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) lines.push_back(l);
  }
  return lines;
}

std::string binDir() {
  if (const char* d = std::getenv("VX_TEST_BIN_DIR"); d && *d) return d;
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

std::size_t countOf(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

constexpr int kLinesPerTrial = 60;

class VximportExactlyOnce : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    library_ = std::make_unique<vxtest::TestLibrary>(GetParam());
    std::filesystem::create_directories(dir_.file("run"));
    // Copies of their own, 3,000 of them, and borrowers without a loan limit that could stop a line.
    std::string sql = "UPDATE NSU.Loan_Terms SET Max_Loans = NULL;";
    for (int i = 0; i < 3000; ++i)
      sql += "INSERT INTO NSU.Copy (Copy_Id, Barcode, Record_Id, Document_Group_Id, Owner_Unit_Id) VALUES (" +
             std::to_string(1000 + i) + ", '" + std::to_string(30000 + i) + "', 1, 1, 1);";
    library_->arrange(sql);
    std::string aliases = "[library]\nDRIVER=" + std::string(GetParam() == Engine::Sqlite ? "SQLITE" : "POSTGRES") + "\n";
    for (const auto& [k, v] : library_->session().alias("library").settings)
      if (k != "CREATE") aliases += k + "=" + v + "\n";
    writeAll(dir_.file("aliases.ini"), aliases);
  }

  // A workfile of `lines` records on copies not used before; every fifth is refused
  // (an unknown borrower), the others are lent to the four demo borrowers in turn.
  std::string freshWorkfile(const std::string& name, int lines) {
    static const char* borrowers[] = {"1001", "1003", "1005", "1002"};
    std::string bytes;
    for (int i = 0; i < lines; ++i, ++nextCopy_)
      bytes += std::string(i % 5 == 4 ? "1999" : borrowers[i % 4]) + "," + std::to_string(30000 + nextCopy_) + "\r\n";
    writeAll(dir_.file(name), bytes);
    return dir_.file(name);
  }

  // Starts vximport on `work` in the working directory `cwd`; `killAt` names a fault point.
  pid_t start(const std::string& work, const std::string& cwd, const std::string& killAt = "",
              const std::string& errFile = "/dev/null") {
    std::filesystem::create_directories(cwd);
    const pid_t child = fork();
    if (child != 0) return child;
    (void)!chdir(cwd.c_str());
    setenv("VELLUMDEX_ALIASES", dir_.file("aliases.ini").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.file("run").c_str(), 1);
    setenv("VX_PASSWORD", "vxdesk-demo", 1);
    if (!killAt.empty()) setenv("VX_IMPORT_KILL_AT", killAt.c_str(), 1);
    const int null = open("/dev/null", O_RDWR);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 0), dup2(null, 1), dup2(err, 2);
    const std::string tool = binDir() + "/vximport";
    execl(tool.c_str(), "vximport", work.c_str(), "--alias", "library", "--user", "vxdesk", "--unit", "1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return exitCodeOf(status);
  }
  int run(const std::string& work, const std::string& cwd, const std::string& killAt = "") {
    return wait(start(work, cwd, killAt));
  }

  int64_t loans(const std::string& borrower, const std::string& item) {
    return library_->count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                           "JOIN NSU.Borrower b ON b.Borrower_Id = l.Borrower_Id WHERE c.Barcode = '" +
                           item + "' AND b.Barcode = '" + borrower + "'");
  }
  int64_t history(const std::string& item) {
    return library_->count("SELECT COUNT(*) FROM NSU.Loan_History h JOIN NSU.Copy c ON c.Copy_Id = h.Copy_Id "
                           "WHERE c.Barcode = '" + item + "'");
  }

  // Each record is lent at most once and never returned; the workfile holds only records it
  // held, each once, and every record is lent or still in it. `finished`: no run is left to
  // finish, so a record is in the workfile exactly when it is not lent.
  void expectEachLineOnce(const std::vector<std::string>& records, const std::string& work, bool finished,
                          const std::string& when) {
    const std::vector<std::string> after = linesOf(readAll(work));
    std::map<std::string, int> times;
    for (const std::string& l : after) ++times[l];
    for (const auto& [l, n] : times) {
      EXPECT_TRUE(std::find(records.begin(), records.end(), l) != records.end()) << when << ": a line from nowhere: " << l;
      EXPECT_EQ(n, 1) << when << ": " << l << " more than once in the workfile";
    }
    for (const std::string& r : records) {
      const std::string borrower = r.substr(0, r.find(',')), item = r.substr(r.find(',') + 1);
      const int64_t lent = loans(borrower, item);
      const bool kept = times.count(r) != 0;
      EXPECT_LE(lent, 1) << when << ": " << r;
      EXPECT_EQ(history(item), 0) << when << ": " << r << " was posted twice";
      EXPECT_TRUE(kept || lent == 1) << when << ": " << r << " is neither lent nor in the workfile";
      if (finished) {
        EXPECT_NE(kept, lent == 1) << when << ": " << r;
      }
    }
  }

  std::unique_ptr<vxtest::TestLibrary> library_;
  vxtest::TempDir dir_;
  int nextCopy_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Engines, VximportExactlyOnce, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

// A kill at each step of the closing sequence, then a run from another working directory (as
// from another desk): the second finishes what the first began.
TEST_P(VximportExactlyOnce, KilledAtEachClosingStepThenRunAgain) {
  for (const char* point : {"posted", "outputs-closed", "old-linked", "replacement-noted", "appended-kept",
                            "replaced", "journal-removed", "reported"}) {
    SCOPED_TRACE(point);
    const std::string work = freshWorkfile(std::string("w-") + point + ".csv", kLinesPerTrial);
    const std::vector<std::string> records = linesOf(readAll(work));
    ASSERT_EQ(run(work, dir_.file(std::string("desk1-") + point), point), 128 + SIGKILL);
    expectEachLineOnce(records, work, false, "after the kill");
    const int again = run(work, dir_.file(std::string("desk2-") + point));
    EXPECT_TRUE(again == 0 || again == 1) << again;
    expectEachLineOnce(records, work, true, "after the rerun");
    EXPECT_FALSE(std::filesystem::exists(work + ".import-journal"));
    EXPECT_FALSE(std::filesystem::exists(work + ".import-lock"));
  }
}

// Kills at random moments while lines are posted: the journal shows how many were posted when
// the kill came, and the rerun posts only the rest.
TEST_P(VximportExactlyOnce, KilledAtRandomWhilePostingThenRunAgain) {
  std::mt19937 random(20261209);
  int landed = 0;
  for (int trial = 0; trial < 5; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::string work = freshWorkfile("r" + std::to_string(trial) + ".csv", 3 * kLinesPerTrial);
    const std::vector<std::string> records = linesOf(readAll(work));
    // In the first half, so that the run is still posting when a busy machine lets the kill
    // come late.
    const std::size_t killAfter = std::uniform_int_distribution<std::size_t>(1, records.size() / 2)(random);
    const pid_t child = start(work, dir_.file("kill" + std::to_string(trial)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (countOf(readAll(work + ".import-journal"), "\nD ") < killAfter &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    kill(child, SIGKILL);
    const int status = wait(child);
    const std::size_t posted = countOf(readAll(work + ".import-journal"), "\nD ");
    const bool whilePosting = status == 128 + SIGKILL && posted >= killAfter && posted < records.size();
    if (whilePosting) ++landed;
    // Where the kill landed; one that came after the run had ended tests only the rerun.
    std::printf("trial %d: %s with %zu of %zu lines posted (aimed after %zu)%s\n", trial,
                status == 128 + SIGKILL ? "killed" : "ended first", posted, records.size(), killAfter,
                whilePosting ? "" : ": not while posting");
    expectEachLineOnce(records, work, false, "after the kill");
    if (!whilePosting) continue;
    const int again = run(work, dir_.file("again" + std::to_string(trial)));
    EXPECT_TRUE(again == 0 || again == 1) << again;
    expectEachLineOnce(records, work, true, "after the rerun");
    // The rerun's report says it finished an interrupted run, with what that run had posted.
    const std::string report = readAll(dir_.file("again" + std::to_string(trial) + "/r" + std::to_string(trial) + ".rpt"));
    EXPECT_NE(report.find("This run finished an import that was interrupted."), std::string::npos) << report;
  }
  EXPECT_GE(landed, 1) << "no kill landed while lines were posted";
}

TEST_P(VximportExactlyOnce, TwoRunsStartedTogether) {
  for (int trial = 0; trial < 3; ++trial) {
    const std::string work = freshWorkfile("t" + std::to_string(trial) + ".csv", 2 * kLinesPerTrial);
    const std::vector<std::string> records = linesOf(readAll(work));
    const std::string errA = dir_.file("a.err.txt"), errB = dir_.file("b.err.txt");
    const pid_t a = start(work, dir_.file("deskA"), "", errA);
    const pid_t b = start(work, dir_.file("deskB"), "", errB);
    const int exitA = wait(a), exitB = wait(b);
    for (const auto& [code, err] : {std::pair{exitA, errA}, std::pair{exitB, errB}}) {
      EXPECT_TRUE(code == 0 || code == 1 || code == 4) << code << readAll(err);
      if (code == 4) {
        EXPECT_NE(readAll(err).find("An import of this workfile is running on "), std::string::npos) << readAll(err);
      }
    }
    EXPECT_FALSE(exitA == 4 && exitB == 4);
    expectEachLineOnce(records, work, true, "two runs together");
  }
}

TEST_P(VximportExactlyOnce, ARunningImportRefusesASecondAndADeadOneBlocksNothing) {
  const std::string work = freshWorkfile("busy.csv", 10);
  const std::vector<std::string> records = linesOf(readAll(work));
  {
    vx::import::RunLock held;
    ASSERT_EQ(held.acquire(work), vx::import::RunLock::Result::Acquired);
    const std::string err = dir_.file("busy.err.txt");
    EXPECT_EQ(wait(start(work, dir_.file("desk"), "", err)), 4);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_NE(readAll(err).find(std::string("An import of this workfile is running on ") + host + " since "),
              std::string::npos) << readAll(err);
    EXPECT_EQ(linesOf(readAll(work)), records);  // touched nothing
  }
  // A process that holds the lock and dies: the next run goes ahead.
  const pid_t holder = fork();
  if (holder == 0) {
    vx::import::RunLock lock;
    if (lock.acquire(work) != vx::import::RunLock::Result::Acquired) _exit(1);
    raise(SIGKILL);
  }
  ASSERT_EQ(wait(holder), 128 + SIGKILL);
  EXPECT_EQ(run(work, dir_.file("desk")), 1);
  expectEachLineOnce(records, work, true, "after the dead holder");
}

// A journal left by a killed run, and the workfile edited by hand before the next run: that run
// refuses and touches nothing; once the journal is set aside, the edited workfile imports.
TEST_P(VximportExactlyOnce, AJournalThatNoLongerMatchesIsRefused) {
  const std::string work = freshWorkfile("edited.csv", kLinesPerTrial);
  ASSERT_EQ(run(work, dir_.file("desk1"), "posted"), 128 + SIGKILL);
  const std::string edited = "1001,2001\r\n" + readAll(work);
  writeAll(work, edited);
  const std::string err = dir_.file("edited.err.txt");
  EXPECT_EQ(wait(start(work, dir_.file("desk2"), "", err)), 4);
  EXPECT_NE(readAll(err).find("no longer matches it"), std::string::npos) << readAll(err);
  EXPECT_EQ(readAll(work), edited);
  EXPECT_EQ(loans("1001", "2001"), 0);
}

// Eight desks append to the workfile as fast as they can throughout a run: no write fails,
// and every line they wrote is in the workfile afterwards, once.
TEST_P(VximportExactlyOnce, DesksRecordThroughoutARun) {
  const std::string work = freshWorkfile("shared.csv", 4 * kLinesPerTrial);
  const std::vector<std::string> records = linesOf(readAll(work));
  const pid_t import = start(work, dir_.file("desk0"));
  std::vector<pid_t> desks;
  const std::string stop = dir_.file("stop");
  for (int d = 1; d <= 8; ++d) {
    const pid_t desk = fork();
    if (desk == 0) {
      vx::workfile::Workfile file;
      file.setLockWait(vx::workfile::Workfile::kDeskLockWait);
      int failed = 0;
      for (int n = 0; !std::filesystem::exists(stop); ++n) {
        const auto r = file.appendRecord(work, "1999", "9" + std::to_string(d) + "-" + std::to_string(n),
                                         vx::workfile::Workfile::deskPause());
        if (!r.written) ++failed;
        writeAll(dir_.file("desk" + std::to_string(d) + ".count"), std::to_string(n + 1) + " " + std::to_string(failed));
      }
      _exit(0);
    }
    desks.push_back(desk);
  }
  const int imported = wait(import);
  writeAll(stop, "");
  for (pid_t desk : desks) EXPECT_EQ(wait(desk), 0);
  EXPECT_EQ(imported, 1);
  const std::vector<std::string> after = linesOf(readAll(work));
  std::map<std::string, int> times;
  for (const std::string& l : after) ++times[l];
  for (int d = 1; d <= 8; ++d) {
    std::istringstream counts(readAll(dir_.file("desk" + std::to_string(d) + ".count")));
    int written = 0, failed = 0;
    counts >> written >> failed;
    EXPECT_EQ(failed, 0) << "desk " << d;
    for (int n = 0; n < written; ++n)
      EXPECT_EQ(times["1999,9" + std::to_string(d) + "-" + std::to_string(n)], 1) << "desk " << d << " line " << n;
  }
  // The import's own lines, without the desks': each lent once or kept once.
  std::string imports;
  for (const std::string& l : after)
    if (l.find(",9") == std::string::npos) imports += l + "\r\n";
  writeAll(dir_.file("imports.csv"), imports);
  expectEachLineOnce(records, dir_.file("imports.csv"), true, "desks recording");
}

}  // namespace
