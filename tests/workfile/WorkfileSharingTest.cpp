// Two processes on one workfile: the sharing rules of the opening modes, and desks that
// record into the same file at the same time.
#include "workfile/Workfile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include <sstream>
#include <thread>

using namespace vx;
using namespace vx::workfile;
using vxtest::readAll;
using vxtest::TempDir;
using vxtest::writeAll;

namespace {

enum class HoldMode { Read, Write, Append };

// A child process that holds the file open in one mode until told to let go.
class Holder {
 public:
  Holder(const std::string& path, HoldMode mode) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      char ok = '1';
      try {
        TextFile f(path);
        if (mode == HoldMode::Read) f.reset();
        if (mode == HoldMode::Write) f.rewrite();
        if (mode == HoldMode::Append) f.append();
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(release[0], &c, 1);
      } catch (const IoError&) {
        ok = '0';
        (void)!write(ready[1], &ok, 1);
      }
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    releaseFd_ = release[1];
    char c = '0';
    (void)!read(ready[0], &c, 1);
    close(ready[0]);
    opened_ = c == '1';
  }
  ~Holder() {
    char c = 'x';
    (void)!write(releaseFd_, &c, 1);
    close(releaseFd_);
    waitpid(pid_, nullptr, 0);
  }
  bool opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  int releaseFd_ = -1;
  bool opened_ = false;
};

}  // namespace

TEST(WorkfileSharing, AReaderLetsOthersReadButNotWrite) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n");
  Holder reader(path, HoldMode::Read);
  ASSERT_TRUE(reader.opened());

  EXPECT_EQ(wf.getFileLength(path), 1);
  std::vector<std::string> items;
  EXPECT_TRUE(wf.findBorrowersBooks(path, "1001", items).ok);
  EXPECT_FALSE(wf.writeToFile(path, "1001,2003"));
  const auto r = checkFile(path);  // its appending test is refused
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(r.ioError);
  EXPECT_EQ(*r.ioError, "I/O error 32");
  EXPECT_FALSE(wf.createFile(path, true));
  EXPECT_EQ(readAll(path), "1001,2002\r\n");  // a refused create cuts nothing
}

TEST(WorkfileSharing, AWriterShutsEveryoneOut) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n");
  for (HoldMode mode : {HoldMode::Append, HoldMode::Write}) {
    Holder writer(path, mode);
    ASSERT_TRUE(writer.opened());
    EXPECT_EQ(wf.getFileLength(path), 0);
    std::vector<std::string> items;
    EXPECT_FALSE(wf.findBorrowersBooks(path, "1001", items).ok);
    EXPECT_FALSE(wf.writeToFile(path, "1001,2003"));
    const auto r = checkFile(path);
    EXPECT_FALSE(r.valid);
    ASSERT_TRUE(r.ioError);
    EXPECT_EQ(*r.ioError, "I/O error 32");
    try {
      TextFile f(path);
      f.reset();
      ADD_FAILURE() << "reading while another process writes was allowed";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), 32);
    }
  }
  // Once the writers have gone, the file is free again.
  EXPECT_TRUE(wf.writeToFile(path, "1001,2003"));
}

// A desk that waits in the lock's queue gets the file as soon as the holder lets go; one
// whose wait runs out fails as at once, and the wait it gave up never keeps the file.
TEST(WorkfileSharing, AWaitingDeskGetsItsTurnAndAnAbandonedWaitLetsGo) {
  using namespace std::chrono;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "");
  Workfile desk;
  desk.setLockWait(seconds(10));
  for (auto holdFor : {milliseconds(0), milliseconds(150)}) {
    auto writer = std::make_unique<Holder>(path, HoldMode::Append);
    ASSERT_TRUE(writer->opened());
    std::thread release([&] {
      std::this_thread::sleep_for(holdFor);
      writer.reset();
    });
    const auto start = steady_clock::now();
    EXPECT_TRUE(desk.writeToFile(path, "1001,200" + std::to_string(holdFor.count())));
    EXPECT_GE(steady_clock::now() - start, holdFor);
    EXPECT_LT(steady_clock::now() - start, seconds(5));
    release.join();
  }
  desk.setLockWait(milliseconds(60));
  {
    Holder writer(path, HoldMode::Append);
    ASSERT_TRUE(writer.opened());
    const auto start = steady_clock::now();
    WriteError error;
    EXPECT_FALSE(desk.writeToFile(path, "1001,2002", &error));
    EXPECT_EQ(error.code, winerr::SharingViolation);
    EXPECT_GE(steady_clock::now() - start, milliseconds(60));
  }
  // The abandoned wait is still queued; it must let go once it gets the file.
  desk.setLockWait(seconds(10));
  EXPECT_TRUE(desk.writeToFile(path, "1001,2003"));
  EXPECT_EQ(readAll(path), "1001,2000\r\n1001,200150\r\n1001,2003\r\n");
}

// Two desks recording into one file at once. What is promised: every line a desk was told is
// written is in the file exactly once, whole and unmixed, in that desk's order; every line it
// was not told is written was reported to it as not written (with the I/O error) and is not in
// the file. How many lines get through the 251 attempts depends on how busy the machine is, so
// the test does not count on all of them.
TEST(WorkfileSharing, TwoDesksAppendingAtOnceLoseAndMixNothing) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  ASSERT_TRUE(Workfile().createFile(path, true));
  constexpr int kLines = 300;
  const char* const desks[2] = {"DESK-A", "DESK-B"};
  // Per line, what the desk learnt: '1' written, '0' not written and told why, 'E' not
  // written and told nothing.
  auto desk = [&](const std::string& borrower) {
    Workfile wf;
    std::string outcome(kLines, '?');
    for (int i = 0; i < kLines; ++i) {
      const auto r = wf.appendRecord(path, borrower, std::to_string(100000 + i), [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      });
      outcome[std::size_t(i)] = r.written ? '1' : (r.error ? '0' : 'E');
      // A reader in between, as the window's refresh does after each scan.
      (void)wf.getFileLength(path);
    }
    return outcome;
  };
  int pipes[2][2];
  pid_t pids[2];
  for (int d = 0; d < 2; ++d) {
    ASSERT_EQ(pipe(pipes[d]), 0);
    pids[d] = fork();
    ASSERT_GE(pids[d], 0);
    if (pids[d] == 0) {
      const std::string outcome = desk(desks[d]);
      (void)!write(pipes[d][1], outcome.data(), outcome.size());
      _exit(0);
    }
    close(pipes[d][1]);
  }
  std::map<std::string, std::vector<int>> acknowledged;  // desk -> items told written, in order
  for (int d = 0; d < 2; ++d) {
    std::string outcome;
    char buf[512];
    for (ssize_t n; (n = read(pipes[d][0], buf, sizeof buf)) > 0;) outcome.append(buf, std::size_t(n));
    close(pipes[d][0]);
    int status = 0;
    waitpid(pids[d], &status, 0);
    ASSERT_EQ(outcome.size(), std::size_t(kLines)) << desks[d] << " did not finish";
    EXPECT_EQ(outcome.find('E'), std::string::npos) << desks[d] << ": a failed line without its error";
    auto& mine = acknowledged[desks[d]];
    for (int i = 0; i < kLines; ++i)
      if (outcome[std::size_t(i)] == '1') mine.push_back(100000 + i);
    EXPECT_FALSE(mine.empty()) << desks[d] << " got no line through";
  }

  // The file, line by line: whole lines of the two desks only, and per desk exactly the lines
  // it was told are written, in its order (so none lost, duplicated or unacknowledged).
  std::istringstream in(readAll(path));
  std::map<std::string, std::vector<int>> inFile{{desks[0], {}}, {desks[1], {}}};
  int total = 0;
  for (std::string line; std::getline(in, line, '\n');) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r') << line;
    line.pop_back();
    const auto comma = line.find(',');
    ASSERT_NE(comma, std::string::npos) << line;
    const std::string who = line.substr(0, comma), item = line.substr(comma + 1);
    ASSERT_TRUE(inFile.count(who)) << line;
    ASSERT_EQ(item.size(), 6u) << line;
    ASSERT_EQ(item.find_first_not_of("0123456789"), std::string::npos) << line;
    inFile[who].push_back(std::stoi(item));
    ++total;
  }
  EXPECT_EQ(inFile, acknowledged);
  EXPECT_EQ(Workfile().getFileLength(path), total);
}

// The import puts a new workfile in the old one's place while holding the old one open; a
// desk that opened the path just before that rename and locks just after must not write into
// the replaced file, where its line would be lost from the workfile.
TEST(WorkfileSharing, AppendsDuringReplacementsLandInTheFileAtThePath) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  ASSERT_TRUE(Workfile().createFile(path, true));
  std::atomic<bool> done{false};
  std::atomic<int> replacements{0};
  std::thread importer([&] {
    const std::string next = dir.file("w.new");
    while (!done) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        if (fd >= 0) ::close(fd);
        continue;
      }
      writeAll(next, readAll(path));
      ::rename(next.c_str(), path.c_str());
      ::close(fd);
      ++replacements;
    }
  });
  // The desk records until the importer has replaced the file often enough for the race to
  // have been run many times, however busy the machine is.
  constexpr int kReplacements = 300;
  std::vector<std::string> written;
  Workfile wf;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  for (int i = 0; (i < 1000 || replacements < kReplacements) && std::chrono::steady_clock::now() < deadline; ++i) {
    const std::string item = std::to_string(100000 + i);
    if (wf.appendRecord(path, "DESK", item, [] { std::this_thread::yield(); }).written)
      written.push_back("DESK," + item + "\r\n");
  }
  done = true;
  importer.join();
  ASSERT_GE(replacements, kReplacements) << "the importer hardly ran";
  // Every line told written is in the file at the path, once and in order.
  const std::string file = readAll(path);
  std::string lost;
  std::size_t at = 0;
  for (const auto& line : written) {
    const auto found = file.find(line, at);
    if (found == std::string::npos)
      lost += line;
    else
      at = found + line.size();
  }
  EXPECT_EQ(lost, "");
  EXPECT_EQ(Workfile().getFileLength(path), static_cast<int>(written.size()));
}
