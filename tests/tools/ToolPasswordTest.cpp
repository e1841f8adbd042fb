// Where vxsql, vxdb and vximport take the password of their login from, run as processes on an
// embedded library database whose demo users admit only their own passwords.
#include "db/Database.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <signal.h>

using vxtest::writeAll;

namespace {

class ToolsPassword : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("run"));
    std::filesystem::create_directories(dir_.file("out"));
    writeAll(dir_.file("aliases.ini"),
             "[library]\nDRIVER=SQLITE\nPATH=" + dir_.file("library.vxdb") + "\n");
  }
  // A fresh library with the demo users (a run of vxdb drops it), owned by vxdesk.
  void makeLibrary() {
    std::filesystem::remove(dir_.file("library.vxdb"));
    vx::db::library::installSqliteProcedures();
    vx::db::Session session("Setup", {{"library", vx::db::DriverKind::Sqlite,
                                       {{"PATH", dir_.file("library.vxdb")}, {"CREATE", "1"}}}});
    vx::db::Database creator(session);
    creator.databaseName = "Setup";
    creator.aliasName = "library";
    creator.params = {"USER NAME=creator"};
    creator.open();
    vx::db::library::createLibraryDatabase(creator, true);
    // vxdesk owns it, so that vxdb may drop it as vxdesk.
    creator.connection().run("UPDATE Db_User SET Is_Owner = 1 WHERE User_Name = 'vxdesk'");
  }
  vxtest::EnvChanges environment(const std::optional<std::string>& vxPassword) const {
    return {{"VELLUMDEX_ALIASES", dir_.file("aliases.ini")},
            {"XDG_CONFIG_HOME", dir_.file("config")},
            {"XDG_DATA_HOME", dir_.file("data")},
            {"XDG_RUNTIME_DIR", dir_.file("run")},
            {"HOME", dir_.path()},
            {"VX_PASSWORD", vxPassword}};
  }
  vxtest::TempDir dir_;
};

TEST_F(ToolsPassword, EachToolTakesThePasswordFromTheFirstWayThatGivesOne) {
  const std::string work = dir_.file("work.csv");
  struct Tool {
    const char* name;
    std::vector<std::string> args;  // logs on as vxdesk
    const char* commandLineOption;
    const char* done;  // in standard output when it logged on and did its work
  };
  const std::vector<Tool> tools = {
      {"vxsql", {"library", "-U", "vxdesk", "SELECT 'logged on' AS Answer"}, "-P", "logged on"},
      {"vxdb", {"drop", "library", "--user", "vxdesk"}, "--password", "Dropped the library"},
      {"vximport", {work, "--alias", "library", "--user", "vxdesk", "--unit", "1"}, "--password",
       "Accepted 1 item"},
  };
  const std::string right = "vxdesk-demo";
  writeAll(dir_.file("right.txt"), right + "\r\nvxguest-demo\n");  // the first line counts
  writeAll(dir_.file("wrong.txt"), "vxguest-demo\n");
  struct Way {
    const char* name;
    std::optional<std::string> commandLine, file, environment;
    int exit;           // 0: logged on with the right password
    const char* error;  // for another exit, in standard error
  };
  const std::vector<Way> ways = {
      {"VX_PASSWORD", std::nullopt, std::nullopt, right, 0, ""},
      {"--password-file before VX_PASSWORD", std::nullopt, dir_.file("right.txt"), "wrong", 0, ""},
      {"the command line before the others", right, dir_.file("wrong.txt"), "wrong", 0, ""},
      {"a password file that cannot be read", std::nullopt, dir_.file("missing.txt"), right, 2,
       "cannot read the password file"},
  };
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_.file("out"));  // vximport writes its files here
  for (const Tool& tool : tools) {
    for (const Way& way : ways) {
      SCOPED_TRACE(std::string(tool.name) + ", " + way.name);
      makeLibrary();
      writeAll(work, "1001,2001\r\n");
      std::vector<std::string> args = tool.args;
      if (way.commandLine) args.insert(args.end(), {tool.commandLineOption, *way.commandLine});
      if (way.file) args.insert(args.end(), {"--password-file", *way.file});
      const auto r = vxtest::runTool(tool.name, args, environment(way.environment), dir_.path());
      // vximport never takes the password from its command line.
      const bool refused = way.commandLine && std::string(tool.name) == "vximport";
      EXPECT_EQ(r.exitCode, refused ? 2 : way.exit) << r.out << r.err;
      if (refused)
        EXPECT_NE(r.err.find("never given on the command line"), std::string::npos) << r.err;
      else if (way.exit == 0)
        EXPECT_NE(r.out.find(tool.done), std::string::npos) << r.out << r.err;
      else
        EXPECT_NE(r.err.find(way.error), std::string::npos) << r.err;
    }
  }
  std::filesystem::current_path(cwd);
}

TEST_F(ToolsPassword, OnATerminalThePasswordIsAskedForWithoutEcho) {
  makeLibrary();
  struct Case {
    const char* name;
    std::string typed;
    int exit;
    const char* shown;  // after the prompt
  };
  const std::vector<Case> cases = {
      {"answered", "vxdesk-demo\n", 0, "logged on"},
      {"interrupted with Ctrl-C", "\x03", 128 + SIGINT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = vxtest::runToolOnTerminal(
        "vxsql", {"library", "-U", "vxdesk", "SELECT 'logged on' AS Answer"},
        environment(std::nullopt), "Password for vxdesk on library: ", c.typed);
    ASSERT_TRUE(r.answered) << "no prompt in: " << r.shown;
    EXPECT_FALSE(r.echoWhenAnswered);
    EXPECT_TRUE(r.echoAtEnd) << "the terminal was left without echo";
    EXPECT_EQ(r.exitCode, c.exit) << r.shown;
    const std::string afterPrompt = r.shown.substr(r.shown.find("Password for"));
    EXPECT_EQ(afterPrompt.find("vxdesk-demo"), std::string::npos) << afterPrompt;
    EXPECT_NE(afterPrompt.find(c.shown), std::string::npos) << afterPrompt;
  }
}

}  // namespace
