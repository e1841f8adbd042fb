// vximport as an administrator runs it: each exit status, the password never on the command
// line, the files and the report of a run.
#include "db/Database.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

using vxtest::readAll;
using vxtest::runTool;
using vxtest::writeAll;

namespace {

class Vximport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("run"));
    std::filesystem::create_directories(dir_.file("out"));
    vx::db::library::installSqliteProcedures();
    vx::db::Session session("Setup", {{"library", vx::db::DriverKind::Sqlite,
                                       {{"PATH", dir_.file("library.vxdb")}, {"CREATE", "1"}}}});
    vx::db::Database creator(session);
    creator.databaseName = "Setup";
    creator.aliasName = "library";
    creator.params = {"USER NAME=creator"};
    creator.open();
    vx::db::library::createLibraryDatabase(creator, true);
    creator.close();
    writeAll(dir_.file("aliases.ini"), "[library]\nDRIVER=SQLITE\nPATH=" + dir_.file("library.vxdb") + "\n");
  }
  vxtest::ToolRun vximport(std::vector<std::string> args, const std::string& password = "vxdesk-demo") {
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.file("out"));
    auto run = runTool("vximport", args,
                       {{"VELLUMDEX_ALIASES", dir_.file("aliases.ini")},
                        {"XDG_RUNTIME_DIR", dir_.file("run")},
                        {"VX_PASSWORD", password}},
                       dir_.path());
    std::filesystem::current_path(cwd);
    return run;
  }
  vxtest::TempDir dir_;
};

}  // namespace

TEST_F(Vximport, EachExitStatus) {
  const std::string work = dir_.file("work.csv");
  const std::vector<std::string> desk = {work, "--alias", "library", "--user", "vxdesk", "--unit", "1"};
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> args;
    std::string password;
    int exit;
    const char* says;  // in standard error (or standard output for 0 and 1)
  };
  auto with = [&](std::vector<std::string> extra) {
    auto a = desk;
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  std::vector<std::string> guest = desk;
  guest[4] = "vxguest";
  const std::vector<Case> cases = {
      {"usage", "", {"--alias", "library"}, "vxdesk-demo", 2, "no workfile given"},
      {"password on the command line", "", with({"--password", "x"}), "vxdesk-demo", 2,
       "never given on the command line"},
      {"wrong password", "1001,2001\r\n", desk, "wrong", 3, "password authentication failed"},
      {"no right to import", "1001,2001\r\n", guest, "vxguest-demo", 3,
       "You don't have permission to run Vellumdex System Down on database library"},
      {"empty workfile", "", desk, "vxdesk-demo", 4, "Could not import."},
      {"all accepted", "1001,2001\r\n1001,2012\r\n", desk, "vxdesk-demo", 0, "Accepted 2 items"},
      {"some rejected", "1001,2002\r\n1001,2004\r\n", desk, "vxdesk-demo", 1, "Rejected 1 item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(work, c.bytes);
    const auto r = vximport(c.args, c.password);
    EXPECT_EQ(r.exitCode, c.exit) << r.err;
    EXPECT_NE((r.err + r.out).find(c.says), std::string::npos) << r.err << r.out;
  }
  EXPECT_EQ(readAll(work), "1001,2002\r\n");  // the last run's rejected line
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/work.rpt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/work_1.old")));
  const auto help = vximport({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
}
