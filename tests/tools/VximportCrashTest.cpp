// vximport killed with SIGKILL at many points of a run on the PostgreSQL server: after each
// kill the workfile is whole, and every record it held is either lent in the database and
// logged as accepted, or still in the workfile (once). The next run starts from what is there.
#include "tests/support/TestLibrary.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <thread>

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

}  // namespace

TEST(VximportPostgres, KilledAtAnyPointLosesNothing) {
  vxtest::TestLibrary library(vxtest::Engine::Postgres);
  vxtest::TempDir dir;
  std::filesystem::create_directories(dir.file("run"));
  std::filesystem::create_directories(dir.file("out"));
  // 400 copies of their own, lent in turn to four borrowers; every fifth line is refused.
  std::string sql, bytes;
  const char* borrowers[] = {"1001", "1003", "1005", "1002"};
  for (int i = 0; i < 400; ++i) {
    sql += "INSERT INTO NSU.Copy (Copy_Id, Barcode, Record_Id, Document_Group_Id, Owner_Unit_Id) VALUES (" +
           std::to_string(1000 + i) + ", '" + std::to_string(30000 + i) + "', 1, 1, 1);";
    bytes += std::string(i % 5 == 4 ? "1999" : borrowers[i % 4]) + "," + std::to_string(30000 + i) + "\r\n";
  }
  library.arrange(sql);
  const vx::db::AliasSpec& alias = library.session().alias("library");
  std::string aliases = "[library]\nDRIVER=POSTGRES\n";
  for (const auto& [k, v] : alias.settings) aliases += k + "=" + v + "\n";
  writeAll(dir.file("aliases.ini"), aliases);
  const std::string work = dir.file("work.csv");
  writeAll(work, bytes);

  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delayMs(0, 250);  // within a run of 400 lines
  int trials = 0, killedMidRun = 0;
  for (; trials < 12 && !readAll(work).empty(); ++trials) {
    const std::vector<std::string> before = linesOf(readAll(work));
    const int delay = delayMs(random);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      (void)!chdir(dir.file("out").c_str());
      setenv("VELLUMDEX_ALIASES", dir.file("aliases.ini").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
      setenv("VX_PASSWORD", "vxdesk-demo", 1);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0), dup2(null, 1), dup2(null, 2);
      const std::string tool = binDir() + "/vximport";
      execl(tool.c_str(), "vximport", work.c_str(), "--alias", "library", "--user", "vxdesk", "--unit",
            "1", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killedMidRun;

    // The workfile is whole: only records it held, each once.
    const std::vector<std::string> after = linesOf(readAll(work));
    std::set<std::string> seen;
    for (const std::string& l : after) {
      EXPECT_TRUE(std::find(before.begin(), before.end(), l) != before.end()) << "a line from nowhere: " << l;
      EXPECT_TRUE(seen.insert(l).second) << l << " twice in the workfile";
    }
    // Every record gone from it is lent in the database and logged as accepted.
    std::string logs;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("out")))
      if (e.path().extension() == ".log") logs += readAll(e.path());
    for (const std::string& r : before) {
      if (seen.count(r)) continue;
      const std::string borrower = r.substr(0, r.find(','));
      const std::string item = r.substr(r.find(',') + 1);
      EXPECT_EQ(library.count("SELECT COUNT(*) FROM NSU.Loan l JOIN NSU.Copy c ON c.Copy_Id = l.Copy_Id "
                              "JOIN NSU.Borrower b ON b.Borrower_Id = l.Borrower_Id WHERE c.Barcode = '" +
                              item + "' AND b.Barcode = '" + borrower + "'"),
                1)
          << r << " left the workfile without a loan (trial " << trials << ", " << delay << " ms)";
      // Logged as accepted: a block of this line that ends in "Issue loan OK" (a line posted
      // again after a kill gets its return and second loan logged before it).
      bool logged = false;
      const std::string header = "Borrower barcode=" + borrower + ", Item barcode=" + item + "\r\n";
      for (auto at = logs.find(header); at != std::string::npos && !logged; at = logs.find(header, at + 1)) {
        const auto end = logs.find("\r\n \r\n", at);
        const std::string block = logs.substr(at, end == std::string::npos ? std::string::npos : end - at);
        logged = block.find("\r\nIssue loan OK") != std::string::npos;
      }
      EXPECT_TRUE(logged) << r << " left the workfile without being logged as accepted";
    }
  }
  EXPECT_GE(trials, 3);
  EXPECT_GE(killedMidRun, 3) << "the kills came too late to test anything";
}
