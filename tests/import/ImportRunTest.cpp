// The import run on the demo library: the files it leaves, the report, the posting of each
// line with its returns, cancelling, and the rule that no record is ever lost.
#include "import/ImportRun.h"
#include "import/RunJournal.h"
#include "tests/support/NeedsPrivilege.h"
#include "tests/support/CuttableLink.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestLibrary.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

using namespace vx::import;
using vxtest::Engine;
using vxtest::readAll;
using vxtest::writeAll;

namespace {

// Runs the test in a working directory of its own, as the run writes its files there.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedWorkingDirectory() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

// Counts what the run reports and cancels at a chosen line.
struct Recorder : ImportObserver {
  int cancelAt = 0;
  int started_ = 0;
  std::vector<int> percents;
  int lastIndex = 0;
  void started(int total) override { started_ = total; }
  void lineDone(int index, int, int, int percent) override {
    lastIndex = index;
    percents.push_back(percent);
  }
  bool cancelRequested() override { return cancelAt != 0 && lastIndex >= cancelAt; }
};

class ImportRunTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("out"));
    library_ = std::make_unique<vxtest::TestLibrary>(GetParam());
    db_ = library_->login("vxdesk", "vxdesk-demo");
    run_ = std::make_unique<ImportRun>(library_->session());
  }
  void TearDown() override {
    run_.reset();
    db_.reset();
    library_.reset();
  }
  std::string workfile(const std::string& bytes) {
    writeAll(dir_.file("work.csv"), bytes);
    return dir_.file("work.csv");
  }
  ImportOutcome import(const std::string& path, Recorder& recorder, int unit = 1) {
    ScopedWorkingDirectory cwd(dir_.file("out"));
    return run_->ImportToVXDBFromFile(path, unit, recorder);
  }
  std::string out(const std::string& name) { return readAll(dir_.file("out/" + name)); }
  int64_t loansOf(const std::string& item) {
    return library_->count(
        "SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id WHERE c.Barcode = '" + item + "'");
  }

  vxtest::TempDir dir_;
  std::unique_ptr<vxtest::TestLibrary> library_;
  std::unique_ptr<vx::db::Database> db_;
  std::unique_ptr<ImportRun> run_;
};

INSTANTIATE_TEST_SUITE_P(Engines, ImportRunTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

TEST_P(ImportRunTest, AcceptedLinesLeaveTheWorkfileAndRejectedOnesStayUnchanged) {
  // Accepted, rejected (scrapped), on loan to another (returned, then lent), the 1417 notes,
  // a third field, a blank line inside, and an item barcode in the workfile's code page.
  const std::string path = workfile("1001,2001\r\n1001,2002,x\r\n\r\n1001,2004\r\n1003,2009\r\n1001,2\xF8\r\n");
  Recorder recorder;
  const ImportOutcome r = import(path, recorder);
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_EQ(r.total, 5);
  EXPECT_EQ(r.processed, 5);
  EXPECT_EQ(r.accepted, 3);
  EXPECT_EQ(r.alreadyOnLoan, 1);
  EXPECT_EQ(recorder.percents, (std::vector<int>{20, 40, 60, 80, 100}));
  EXPECT_EQ(readAll(path), "1001,2002,x\r\n1001,2\xF8\r\n");  // the rejected lines, byte for byte
  EXPECT_EQ(out("work.old"), "1001,2001\r\n1001,2002,x\r\n\r\n1001,2004\r\n1003,2009\r\n1001,2\xF8\r\n");
  EXPECT_EQ(loansOf("2004"), 1);

  const std::string log = out("work.log");
  EXPECT_NE(log.find(" \r\n-----------------------------------\r\nBorrower barcode=1001, Item barcode=2001\r\n"
                     "Issue loan OK\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Borrower barcode=1001, Item barcode=2002\r\n--->>Error: Loan is not possible!\r\n"
                     "Copy is SCRAPPED!\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Attempts to return the book and let current Borrower get it.\r\nReturn loan OK\r\n"
                     "Issue loan OK\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Issue loan OK\r\nReduced loan period, booking exists!\r\nNext reserved also available!\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Item barcode=2\xF8\r\n--->>Error: Loan is not possible!\r\nUnknown item barcode!"),
            std::string::npos);

  const std::string report = out("work.rpt");
  EXPECT_EQ(report.substr(0, report.find("Start : ")),
            " \r\n-----------------------------------\r\n               REPORT              \r\n"
            "-----------------------------------\r\n \r\nProcessed 5 items\r\nRejected 2 items\r\n"
            "Accepted 3 items\r\nAlready on loan 1 item\r\n \r\n");
  EXPECT_EQ(report.find("All accepted records"), std::string::npos);

  // Again on the shortened workfile: new names beside the first run's files.
  Recorder again;
  const ImportOutcome second = import(path, again);
  EXPECT_EQ(second.status, ImportOutcome::Status::Finished);
  EXPECT_EQ(second.logFile, "work_1.log");
  EXPECT_EQ(second.oldFile, "work_1.old");
  EXPECT_EQ(readAll(path), "1001,2002,x\r\n1001,2\xF8\r\n");
}

// The desk writes its barcodes in code page 1252; the database gets them as they were typed.
TEST_P(ImportRunTest, BarcodesInTheWorkfilesCodePageReachTheDatabaseAsTyped) {
  library_->arrange("UPDATE NSU.Copy SET Barcode = 'Bøk2' WHERE Barcode = '2001';");
  Recorder recorder;
  const ImportOutcome r = import(workfile("1001,B\xF8k2\r\n"), recorder);
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_EQ(r.accepted, 1);
  EXPECT_EQ(loansOf("Bøk2"), 1);
}

TEST_P(ImportRunTest, CancelKeepsTheRestAndLinesAppendedAfterTheCountStay) {
  std::string bytes;
  for (int i = 0; i < 6; ++i) bytes += "1999,2001\r\n";  // unknown borrower: rejected
  const std::string path = workfile("1001,2001\r\n1001,2012\r\n" + bytes);
  Recorder recorder;
  recorder.cancelAt = 2;
  const ImportOutcome r = import(path, recorder);
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(r.processed, 2);
  EXPECT_EQ(r.accepted, 2);
  EXPECT_EQ(readAll(path), bytes);
  const std::string report = out("work.rpt");
  EXPECT_NE(report.find("The import was cancelled by the user.\r\nCompleted 2 of 8 items\r\n \r\nProcessed 2 items"),
            std::string::npos);
  EXPECT_NE(report.find("All accepted records removed from the import file.\r\n"
                        "Please try to import after examining the log.\r\n"),
            std::string::npos);
}

}  // namespace

TEST(ImportRunNames, UniqueNamesAndExtensions) {
  vxtest::TempDir dir;
  ScopedWorkingDirectory cwd(dir.path());
  EXPECT_EQ(ImportRun::changeExtension("work.csv", ".log"), "work.log");
  EXPECT_EQ(ImportRun::changeExtension("work", ".log"), "work.log");
  EXPECT_EQ(ImportRun::changeExtension("a.b.csv", ".err"), "a.b.err");
  EXPECT_EQ(ImportRun::Rename_if_exists("work.log"), "work.log");
  writeAll("work.log", "");
  EXPECT_EQ(ImportRun::Rename_if_exists("work.log"), "work_1.log");
  writeAll("work_1.log", "");
  EXPECT_EQ(ImportRun::Rename_if_exists("work.log"), "work_2.log");
  writeAll(" my file .log", "");
  EXPECT_EQ(ImportRun::Rename_if_exists(" my file .log"), "my file_1.log");
}

// A run on the demo library (SQLite) that goes wrong: the library, the desk's login, the run
// and a temporary folder.
class ImportRunFailures : public ::testing::Test {
 protected:
  vxtest::TestLibrary library{Engine::Sqlite};
  std::unique_ptr<vx::db::Database> db = library.login("vxdesk", "vxdesk-demo");
  ImportRun run{library.session()};
  vxtest::TempDir dir;
};

TEST_F(ImportRunFailures, NothingIsTouchedWhenTheRunCannotStart) {
  std::filesystem::create_directories(dir.file("out"));
  ScopedWorkingDirectory cwd(dir.file("out"));
  Recorder recorder;
  for (const std::string& bytes : {std::string(), std::string("\r\n  \r\n")}) {
    writeAll(dir.file("w.csv"), bytes);
    const ImportOutcome r = run.ImportToVXDBFromFile(dir.file("w.csv"), 1, recorder);
    EXPECT_EQ(r.status, ImportOutcome::Status::NothingToImport);
    EXPECT_EQ(r.message, "Could not import. Another process keeps the file open.");
    EXPECT_EQ(readAll(dir.file("w.csv")), bytes);
  }
  // A working directory where nothing can be created (it was removed while in use, which
  // refuses root as well): nothing posted, nothing moved, no file left.
  writeAll(dir.file("w.csv"), "1001,2001\r\n");
  std::filesystem::create_directories(dir.file("gone"));
  {
    ScopedWorkingDirectory inGone(dir.file("gone"));
    std::filesystem::remove(dir.file("gone"));
    const ImportOutcome r = run.ImportToVXDBFromFile(dir.file("w.csv"), 1, recorder);
    EXPECT_EQ(r.status, ImportOutcome::Status::NotOpened);
    EXPECT_NE(r.message.find("Cannot create"), std::string::npos) << r.message;
  }
  EXPECT_EQ(readAll(dir.file("w.csv")), "1001,2001\r\n");
  EXPECT_EQ(library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                          "WHERE c.Barcode = '2001'"),
            0);
}

// The rule a librarian relies on, checked after a run that went wrong: each record of the
// workfile as it was is accepted in the database and absent from the workfile, or still in
// the workfile (once); the workfile is whole.
void expectNothingLost(const std::vector<std::string>& records, const std::string& workfileAfter,
                       const std::function<bool(const std::string& item)>& onLoan) {
  for (const std::string& r : records) {
    const std::string item = r.substr(r.find(',') + 1);
    std::size_t times = 0;
    for (std::size_t at = 0; (at = workfileAfter.find(r + "\r\n", at)) != std::string::npos; ++at) ++times;
    EXPECT_LE(times, 1u) << r << " twice in the workfile";
    EXPECT_TRUE(times == 1 || onLoan(item)) << r << " is neither lent nor in the workfile";
  }
}

TEST_F(ImportRunFailures, AFullDiskStopsTheRunAndKeepsTheWorkfile) {
  const std::string small = dir.file("small");
  std::filesystem::create_directories(small);
  VX_NEEDS_PRIVILEGE(::mount("vxfull", small.c_str(), "tmpfs", 0, "size=16k") == 0,
                     "cannot mount a file system here (needs root)");
  std::vector<std::string> records = {"1001,2001", "1001,2012"};
  std::string bytes = "1001,2001\r\n1001,2012\r\n";
  for (int i = 0; i < 3000; ++i) {
    records.push_back("1999,2" + std::to_string(100000 + i));  // rejected: the log grows fast
    bytes += records.back() + "\r\n";
  }
  writeAll(dir.file("w.csv"), bytes);
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(small);
    Recorder recorder;
    r = run.ImportToVXDBFromFile(dir.file("w.csv"), 1, recorder);
  }
  const bool reportLeft = std::filesystem::exists(small + "/w.rpt");
  ::umount(small.c_str());
  EXPECT_EQ(r.status, ImportOutcome::Status::NotReplaced);
  EXPECT_NE(r.message.find("No space left on device"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("Every line is still in the workfile. The next import finishes this one"),
            std::string::npos) << r.message;
  EXPECT_FALSE(reportLeft);  // an empty report would read as a run without a result
  EXPECT_LT(r.processed, 3002);  // stopped early, not after posting everything
  const std::string after = readAll(dir.file("w.csv"));
  EXPECT_EQ(after, bytes);  // whole, nothing lost
  expectNothingLost(records, after, [&](const std::string& item) {
    return library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                         "WHERE c.Barcode = '" + item + "'") == 1;
  });
}

// The report is the last file a run writes: a disk full by then leaves the loans posted and
// the workfile replaced, and says so with the details log's name; no empty report stays.
TEST_F(ImportRunFailures, AReportThatCannotBeWrittenSaysWhereTheDetailsAre) {
  std::filesystem::create_directories(dir.file("out"));
  writeAll(dir.file("w.csv"), "1001,2002\r\n");
  // From the last line on, no file may grow past 250 bytes: the details log of one line, the
  // rejected line, the old workfile and the journal stay below that (about 150 bytes), the
  // report (about 310) does not.
  // Only the soft limit: the hard one could not be raised again without privilege.
  struct rlimit before {};
  ::getrlimit(RLIMIT_FSIZE, &before);
  struct LimitAtTheEnd : Recorder {
    rlim_t hard = RLIM_INFINITY;
    void lineDone(int index, int accepted, int total, int percent) override {
      Recorder::lineDone(index, accepted, total, percent);
      if (index != total) return;
      const struct rlimit small {250, hard};
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
  } recorder;
  recorder.hard = before.rlim_max;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(dir.file("out"));
    r = run.ImportToVXDBFromFile(dir.file("w.csv"), 1, recorder);
  }
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_EQ(r.status, ImportOutcome::Status::ReportFailed) << r.message;
  EXPECT_NE(r.message.find("The loans are posted and the workfile replaced, but the report could not be written: "),
            std::string::npos) << r.message;
  EXPECT_NE(r.message.find("The details log is in w.log."), std::string::npos) << r.message;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/w.rpt")));  // neither empty nor cut short
  EXPECT_EQ(readAll(dir.file("w.csv")), "1001,2002\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/w.log")));
}

TEST(ImportRunPostgres, TheServerGoneMidRunRejectsTheRestWhichStaysInTheWorkfile) {
  vxtest::TestLibrary library(Engine::Postgres);
  auto db = library.login("vxdesk", "vxdesk-demo");
  ImportRun run(library.session());
  vxtest::TempDir dir;
  const std::vector<std::string> records = {"1001,2001", "1001,2012", "1002,2001", "1003,2009", "1005,2005"};
  std::string bytes;
  for (const auto& r : records) bytes += r + "\r\n";
  writeAll(dir.file("work.csv"), bytes);
  // After the second line the server ends the desk's session.
  struct Stopper : Recorder {
    vxtest::TestLibrary* library = nullptr;
    void lineDone(int index, int accepted, int total, int percent) override {
      Recorder::lineDone(index, accepted, total, percent);
      if (index == 2)
        library->arrange("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'vxdesk'");
    }
  } stopper;
  stopper.library = &library;
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(dir.path());
    r = run.ImportToVXDBFromFile(dir.file("work.csv"), 1, stopper);
  }
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_EQ(r.accepted, 2);
  EXPECT_EQ(r.processed, 5);
  const std::string after = readAll(dir.file("work.csv"));
  EXPECT_EQ(after, "1002,2001\r\n1003,2009\r\n1005,2005\r\n");
  EXPECT_NE(readAll(dir.file("work.log")).find("--->>Error: Loan is not possible!\r\n"), std::string::npos);
  expectNothingLost(records, after, [&](const std::string& item) {
    return library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                         "WHERE c.Barcode = '" + item + "'") == 1;
  });
}

TEST(ImportRunPostgres, ANetworkCutInTheMiddleOfACallFailsThatLineInTimeAndTheRunGoesOn) {
  vxtest::TestLibrary library(Engine::Postgres);
  const vxtest::PgTestServer server = vxtest::pgTestServer();
  vxtest::CuttableLink link(server.socketDir + "/.s.PGSQL." + server.port);
  VX_NEEDS_PRIVILEGE(link.available(),
                     "cannot make a network namespace here (needs root): " << link.whyUnavailable());
  // The desk reaches the server over TCP, with the keepalive settings an alias can carry made
  // short for the test: a probe after 1 s of silence, two more 1 s apart, 3 s for unanswered data.
  vx::db::Database db(library.session());
  db.databaseName = "VXDB";
  db.aliasName = "library";
  db.params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo", "SERVER NAME=127.0.0.1",
               "PORT=" + std::to_string(link.port()), "keepalives_idle=1", "keepalives_interval=1",
               "keepalives_count=2", "tcp_user_timeout=3000"};
  link.connectInside([&] { db.open(); });
  ImportRun run(library.session());
  vxtest::TempDir dir;
  const std::vector<std::string> records = {"1001,2001", "1001,2012", "1002,2001", "1003,2009", "1005,2005"};
  std::string bytes;
  for (const auto& r : records) bytes += r + "\r\n";
  writeAll(dir.file("work.csv"), bytes);
  // The third line's call reaches the server; its answer never comes back.
  struct Cutter : Recorder {
    vxtest::CuttableLink* link = nullptr;
    void lineDone(int index, int accepted, int total, int percent) override {
      Recorder::lineDone(index, accepted, total, percent);
      if (index == 2) link->cutAfterNextRequest();
    }
  } cutter;
  cutter.link = &link;
  const auto start = std::chrono::steady_clock::now();
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(dir.path());
    r = run.ImportToVXDBFromFile(dir.file("work.csv"), 1, cutter);
  }
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(link.isCut());
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_LT(seconds, 20.0) << "the run waited for a dead link";
  EXPECT_EQ(r.accepted, 2);
  EXPECT_EQ(r.processed, 5);
  const std::string after = readAll(dir.file("work.csv"));
  EXPECT_EQ(after, "1002,2001\r\n1003,2009\r\n1005,2005\r\n");
  // The cut line fails with the engine's own words, the ones after it at once.
  const std::string log = readAll(dir.file("work.log"));
  EXPECT_NE(log.find("Item barcode=2001\r\n--->>Error: Loan is not possible!\r\ncould not receive data from server"),
            std::string::npos) << log;
  expectNothingLost(records, after, [&](const std::string& item) {
    return library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                         "WHERE c.Barcode = '" + item + "'") == 1;
  });
}

TEST_F(ImportRunFailures, OutputsOnAnotherFileSystemThanTheWorkfile) {
  const std::string other = dir.file("other");
  std::filesystem::create_directories(other);
  VX_NEEDS_PRIVILEGE(::mount("vxother", other.c_str(), "tmpfs", 0, "size=1m") == 0,
                     "cannot mount a file system here (needs root)");
  const std::string path = other + "/w.csv";
  writeAll(path, "1001,2001\r\n1001,2002\r\n");
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(dir.path());  // the outputs on the temporary folder's file system
    Recorder recorder;
    r = run.ImportToVXDBFromFile(path, 1, recorder);
  }
  const std::string after = readAll(path);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(other)) left.push_back(e.path().filename());
  ::umount(other.c_str());
  EXPECT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_EQ(after, "1001,2002\r\n");
  EXPECT_EQ(readAll(dir.file("w.old")), "1001,2001\r\n1001,2002\r\n");
  EXPECT_EQ(left, std::vector<std::string>{"w.csv"});  // no temporary left beside it
  EXPECT_FALSE(std::filesystem::exists(dir.file("w.err")));
}

TEST_F(ImportRunFailures, ReadOnlyFileSystemsAreReportedAndTheWorkfileKept) {
  const std::string ro = dir.file("ro");
  std::filesystem::create_directories(ro);
  VX_NEEDS_PRIVILEGE(::mount("vxro", ro.c_str(), "tmpfs", 0, "size=1m") == 0,
                     "cannot mount a file system here (needs root)");
  writeAll(ro + "/w.csv", "1001,2001\r\n1001,2002\r\n");
  ASSERT_EQ(::mount("vxro", ro.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
  Recorder recorder;
  // A working directory on it: nothing can be created, nothing is posted.
  ImportOutcome r;
  {
    ScopedWorkingDirectory cwd(ro);
    r = run.ImportToVXDBFromFile(ro + "/w.csv", 1, recorder);
  }
  EXPECT_EQ(r.status, ImportOutcome::Status::NotOpened);
  EXPECT_NE(r.message.find("Read-only file system"), std::string::npos) << r.message;
  // The workfile on it, the outputs elsewhere: the workfile could never be replaced, and the
  // run cannot note its lines beside it, so nothing is posted and the workfile is kept.
  {
    ScopedWorkingDirectory cwd(dir.path());
    r = run.ImportToVXDBFromFile(ro + "/w.csv", 1, recorder);
  }
  const std::string after = readAll(ro + "/w.csv");
  ::umount(ro.c_str());
  EXPECT_EQ(r.status, ImportOutcome::Status::NotOpened);
  EXPECT_NE(r.message.find("Read-only file system"), std::string::npos) << r.message;
  EXPECT_EQ(after, "1001,2001\r\n1001,2002\r\n");
  EXPECT_EQ(library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                          "WHERE c.Barcode = '2001'"),
            0);
}

// A symbolic link at the workfile path: the run works on the file it names, which then holds
// the rejected lines; ".old" is a copy of the workfile, not a second link; the link stays.
TEST_F(ImportRunFailures, ASymbolicLinkAtTheWorkfilePathIsFollowed) {
  std::filesystem::create_directories(dir.file("share"));
  std::filesystem::create_directories(dir.file("out"));
  writeAll(dir.file("share/w.csv"), "1001,2001\r\n1001,2002\r\n");
  std::filesystem::create_symlink("share/w.csv", dir.file("link.csv"));
  ScopedWorkingDirectory cwd(dir.file("out"));
  Recorder recorder;
  const ImportOutcome r = run.ImportToVXDBFromFile(dir.file("link.csv"), 1, recorder);
  ASSERT_EQ(r.status, ImportOutcome::Status::Finished) << r.message;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.csv")));
  EXPECT_EQ(readAll(dir.file("share/w.csv")), "1001,2002\r\n");
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("out/w.old")));
  EXPECT_EQ(readAll(dir.file("out/w.old")), "1001,2001\r\n1001,2002\r\n");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.file("share"))) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"w.csv"});  // no lock or journal left beside it
}

// The journal read back: whole records kept, a record torn at the end dropped, a bad record
// before good ones makes the journal damaged.
TEST(RunJournalFormat, TornAndDamagedRecords) {
  vxtest::TempDir dir;
  const std::string path = dir.file("w.csv.import-journal");
  {
    RunJournal j;
    std::string error;
    ASSERT_TRUE(j.open(path, 0, 42, 0644, error)) << error;
    j.posting(0, "1001,2001");
    j.posted(0, true, 1);
    j.posting(11, "1001,2002");
  }
  const std::string whole = readAll(path);
  const JournalContents c = parseJournal(whole);
  EXPECT_FALSE(c.damaged);
  EXPECT_EQ(c.wellFormed, off_t(whole.size()));
  ASSERT_EQ(c.lines.size(), 2u);
  EXPECT_EQ(c.lines.at(0).outcome, JournalLine::Outcome::Accepted);
  EXPECT_EQ(c.lines.at(0).returns, 1);
  EXPECT_EQ(c.lines.at(11).outcome, JournalLine::Outcome::InDoubt);
  EXPECT_EQ(c.workfileInode, 42u);
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t lines;
    bool damaged;
  };
  const std::size_t lastRecord = whole.rfind('\n', whole.size() - 2) + 1;
  std::string flipped = whole;
  flipped[lastRecord - 5] ^= 1;  // a checksum digit of the record before the last
  for (const Case& k : {Case{"torn", whole.substr(0, whole.size() - 4), 1, false},
                        Case{"changed in the middle", flipped, 1, true}}) {
    SCOPED_TRACE(k.name);
    const JournalContents p = parseJournal(k.bytes);
    EXPECT_EQ(p.damaged, k.damaged);
    if (!k.damaged) {
      EXPECT_EQ(p.lines.size(), k.lines);
      EXPECT_EQ(p.wellFormed, off_t(lastRecord));
    }
  }
}
