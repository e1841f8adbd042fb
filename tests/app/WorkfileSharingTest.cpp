// Two processes on one workfile: the sharing rules of the opening modes, and desks that
// record into the same file at the same time.
#include "app/Workfile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
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
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n");
  Holder reader(path, HoldMode::Read);
  ASSERT_TRUE(reader.opened());

  EXPECT_EQ(getFileLength(path), 1);
  std::vector<std::string> items;
  EXPECT_TRUE(findBorrowersBooks(path, "1001", items).ok);
  TextFile handle;
  EXPECT_FALSE(writeToFile(handle, path, "1001,2003"));
  const auto r = checkFile(path);  // its appending test is refused
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(r.ioError);
  EXPECT_EQ(*r.ioError, "I/O error 32");
  EXPECT_FALSE(createFile(handle, path, true));
  EXPECT_EQ(readAll(path), "1001,2002\r\n");  // a refused create cuts nothing
}

TEST(WorkfileSharing, AWriterShutsEveryoneOut) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n");
  for (HoldMode mode : {HoldMode::Append, HoldMode::Write}) {
    Holder writer(path, mode);
    ASSERT_TRUE(writer.opened());
    EXPECT_EQ(getFileLength(path), 0);
    std::vector<std::string> items;
    EXPECT_FALSE(findBorrowersBooks(path, "1001", items).ok);
    TextFile handle;
    EXPECT_FALSE(writeToFile(handle, path, "1001,2003"));
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
  TextFile handle;
  EXPECT_TRUE(writeToFile(handle, path, "1001,2003"));
}

TEST(WorkfileSharing, TwoDesksAppendingAtOnceLoseAndMixNothing) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  TextFile create;
  ASSERT_TRUE(createFile(create, path, true));
  constexpr int kLines = 300;
  // Each desk records its lines as the item entry does: up to 251 attempts per line with
  // a short pause, and a line that still fails counts as not acknowledged.
  auto desk = [&](const std::string& borrower) {
    int acknowledged = 0;
    for (int i = 0; i < kLines; ++i) {
      const std::string line = borrower + "," + std::to_string(100000 + i);
      TextFile handle;
      for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (writeToFile(handle, path, line)) {
          ++acknowledged;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      // A reader in between, as the window's refresh does after each scan.
      (void)getFileLength(path);
    }
    return acknowledged;
  };
  int pipes[2][2];
  pid_t pids[2];
  for (int d = 0; d < 2; ++d) {
    ASSERT_EQ(pipe(pipes[d]), 0);
    pids[d] = fork();
    ASSERT_GE(pids[d], 0);
    if (pids[d] == 0) {
      int n = desk(d == 0 ? "DESK-A" : "DESK-B");
      (void)!write(pipes[d][1], &n, sizeof n);
      _exit(0);
    }
    close(pipes[d][1]);
  }
  int acknowledged[2] = {0, 0};
  for (int d = 0; d < 2; ++d) {
    (void)!read(pipes[d][0], &acknowledged[d], sizeof(int));
    close(pipes[d][0]);
    waitpid(pids[d], nullptr, 0);
  }
  EXPECT_EQ(acknowledged[0], kLines);
  EXPECT_EQ(acknowledged[1], kLines);

  // Every line whole, each desk's lines in its own order, none missing.
  std::istringstream in(readAll(path));
  std::string line;
  std::map<std::string, int> next{{"DESK-A", 100000}, {"DESK-B", 100000}};
  int total = 0;
  while (std::getline(in, line, '\n')) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r') << line;
    line.pop_back();
    const auto comma = line.find(',');
    ASSERT_NE(comma, std::string::npos) << line;
    const std::string who = line.substr(0, comma);
    ASSERT_TRUE(next.count(who)) << line;
    EXPECT_EQ(std::stoi(line.substr(comma + 1)), next[who]++) << line;
    ++total;
  }
  EXPECT_EQ(total, acknowledged[0] + acknowledged[1]);
  EXPECT_EQ(getFileLength(path), total);
}
