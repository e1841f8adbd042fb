// vximport as an administrator runs it: each exit status, the password never on the command
// line, the files and the report of a run.
#include "db/Database.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "platform/Registry.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "vxcomp/login/LoginData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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
  vxtest::ToolRun vximport(std::vector<std::string> args, const std::string& password = "vxdesk-demo",
                           vxtest::EnvChanges env = {}) {
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.file("out"));
    // `env` comes first: the child takes the first of a name.
  env.insert(env.end(), {{"VELLUMDEX_ALIASES", dir_.file("aliases.ini")},
                         {"XDG_RUNTIME_DIR", dir_.file("run")},
                         {"VX_PASSWORD", password}});
  auto run = runTool("vximport", args, env, dir_.path());
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
      {"not a workfile", "1001 2001\r\n1001,2012\r\n", desk, "vxdesk-demo", 4, "is not a workfile"},
      {"an end-of-file mark with lines after it", "1001,2001\r\n\x1a" + std::string(20 * 11, '1'), desk,
       "vxdesk-demo", 4, "is damaged at line 2"},
      {"all accepted", "1001,2001\r\n1001,2012\r\n", desk, "vxdesk-demo", 0, "Accepted 2 items"},
      {"some rejected", "1001,2002\r\n1001,2004\r\n", desk, "vxdesk-demo", 1, "Rejected 1 item"},
      {"a follow-up list that cannot be written", "1001,2999\r\n", with({"--follow-up", work + "/x.csv"}),
       "vxdesk-demo", 5, "the follow-up list could not be written"},
      {"a follow-up list", "1001,2999\r\n1001,2002\r\n", with({"--follow-up", "list.csv"}), "vxdesk-demo", 1,
       "Check for a mis-scan: unknown barcode: 1\n  Lent although the database refuses the loan: 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(work, c.bytes);
    const auto outputs = std::distance(std::filesystem::directory_iterator(dir_.file("out")), {});
    const auto r = vximport(c.args, c.password);
    EXPECT_EQ(r.exitCode, c.exit) << r.err;
    EXPECT_NE((r.err + r.out).find(c.says), std::string::npos) << r.err << r.out;
    if (c.exit >= 2 && c.exit <= 4) {  // nothing touched
      EXPECT_EQ(readAll(work), c.bytes);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.file("out")), {}), outputs);
    }
  }
  EXPECT_EQ(readAll(work), "1001,2999\r\n1001,2002\r\n");  // the last run's rejected lines
  EXPECT_NE(readAll(dir_.file("out/list.csv")).find("2999"), std::string::npos);
  // The run keeps its login to itself, so a runtime folder that cannot be used is no reason to fail.
  writeAll(work, "1001,2012\r\n");
  const auto noRuntime = vximport(desk, "vxdesk-demo", {{"XDG_RUNTIME_DIR", work}});
  EXPECT_EQ(noRuntime.exitCode, 0) << noRuntime.err;
  writeAll(work, "1001,2002\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/work.rpt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/work_1.old")));
  const auto help = vximport({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
}

// The desk's login as the librarian left it: the shared record of a program still running
// and the registry hive. An administrator's run beside it, at another unit, whether its login
// succeeds or fails, changes neither: the dialog's next Import posts at the librarian's unit.
TEST_F(Vximport, LeavesTheDesksLoginAsItWas) {
  using vx::reg::Hive;
  using vx::reg::Value;
  const std::string login = "Software\\Vellumdex\\Login";
  for (auto [key, name, value] : std::vector<std::array<std::string, 3>>{
           {login + "\\Default", "Database", "library"},
           {login + "\\Default", "User", "librarian1"},
           {login + "\\library\\librarian1", "UnitId", "5"},
           {login + "\\library\\librarian1", "UnitName", "Branch 5"}})
    ASSERT_TRUE(vx::reg::writeValue(Hive::CurrentUser, key, name, Value::sz(value)));
  vxtest::ScopedEnv runtime("XDG_RUNTIME_DIR", dir_.file("run"));
  TLoginData desk;  // the dialog's record, filled from the registry
  desk.setPassword("secret");
  desk.setLoggedIn(true);
  ASSERT_EQ(desk.UnitID(), 5);

  auto hive = [&] {
    std::map<std::string, std::string> files;
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir_.registryDir()))
      if (f.is_regular_file()) files[f.path()] = readAll(f.path());
    return files;
  };
  const auto before = hive();
  ASSERT_FALSE(before.empty());
  const std::string work = dir_.file("work.csv");
  for (auto [password, exit] : {std::pair{"vxdesk-demo", 0}, std::pair{"wrong", 3}}) {
    writeAll(work, "1001,2001\r\n");
    const auto r = vximport({work, "--alias", "library", "--user", "vxdesk", "--unit", "1"}, password);
    EXPECT_EQ(r.exitCode, exit) << r.err;
    EXPECT_EQ(hive(), before) << password;
    EXPECT_EQ(desk.UnitID(), 5);
    EXPECT_EQ(desk.UserName(), "librarian1");
    EXPECT_EQ(desk.Password(), "secret");
    EXPECT_TRUE(desk.LoggedIn());
  }
}
