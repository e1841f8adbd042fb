// vxdb and vxsql run as processes on real library databases: a SQLite file in a temporary
// folder, and a database on the PostgreSQL server of the test run when there is one
// (tests/support/PgTestServer.h). Alias files, config and data
// folders are temporary too, so nothing reaches the real user's settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/support/PgTestServer.h"
#include "desklist/DeskList.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"

using vxtest::readAll;
using vxtest::ToolRun;
using vxtest::writeAll;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The value of "Name=value" in vxsql's output of a procedure call.
std::string inoutValue(const ToolRun& run, const std::string& name) {
  for (const auto& l : lines(run.out))
    if (l.rfind(name + "=", 0) == 0) return l.substr(name.size() + 1);
  return "(no " + name + " in: " + run.out + run.err + ")";
}

// The rows of vxsql's table of a one-column result: the lines between the rule under the
// header and the "N row(s)" line.
std::vector<std::string> singleColumn(const ToolRun& run) {
  const auto all = lines(run.out);
  if (all.size() < 3) return {"(no table in: " + run.out + run.err + ")"};
  return {all.begin() + 2, all.end() - 1};
}

class ToolsTest : public ::testing::Test {
 protected:
  std::string aliasFile() const { return dir_.file("aliases.ini"); }
  std::string libraryFile() const { return dir_.file("lib.sqlite"); }

  vxtest::EnvChanges environment() const {
    return {{"VELLUMDEX_ALIASES", aliasFile()},
            {"XDG_CONFIG_HOME", dir_.file("config")},
            {"XDG_DATA_HOME", dir_.file("data")},
            {"HOME", dir_.path()}};
  }
  // The tools log on as user_ (the demo data's users admit only themselves) unless told not
  // to; list takes no log-on.
  ToolRun vxdb(std::vector<std::string> args, bool logOn = true) const {
    if (logOn && !args.empty() && args[0] != "list") {
      args.insert(args.end(), {"--user", user_});
      if (!password_.empty()) args.insert(args.end(), {"--password", password_});
    }
    return vxtest::runTool("vxdb", args, environment(), dir_.path());
  }
  ToolRun vxsql(std::vector<std::string> args, bool logOn = true) const {
    if (logOn) {
      args.insert(args.end(), {"-U", user_});
      if (!password_.empty()) args.insert(args.end(), {"-P", password_});
    }
    return vxtest::runTool("vxsql", args, environment(), dir_.path());
  }

  void writeSqliteAlias() {
    writeAll(aliasFile(), "[lib]\nDRIVER=SQLITE\nPATH=" + libraryFile() + "\n");
  }
  void createLibrary(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"create", "lib"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ToolRun r = vxdb(args);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }

  ToolRun loan(const std::string& alias, const std::string& borrower, const std::string& item) {
    std::vector<std::string> args{alias, "--proc", "IssueLoanAllBarcodes",
                                  "-p", "ServiceAtUnitId=1",
                                  "-p", "LoanerBarCode=" + borrower,
                                  "-p", "ItemBarCode=" + item,
                                  "--inout", "DueTime", "--inout", "ServiceTime",
                                  "--inout", "ServiceIdReserved", "--inout", "DocumentGroupId",
                                  "--inout", "ExId", "--inout", "ErrorCode"};
    return vxsql(args);
  }
  std::string loanCode(const std::string& alias, const std::string& borrower,
                       const std::string& item) {
    return inoutValue(loan(alias, borrower, item), "ErrorCode");
  }
  std::string returnCode(const std::string& alias, const std::string& item) {
    std::vector<std::string> args{alias, "call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )",
                                  "-p", "ServiceAtUnitId=1", "-p", "ItemBarCode=" + item};
    const ToolRun r = vxsql(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto rows = singleColumn(r);
    return rows.size() == 1 ? rows[0] : "(" + std::to_string(rows.size()) + " rows: " + r.out + ")";
  }

  vxtest::TempDir dir_;
  // A demo user of the library database.
  std::string user_ = "vxdesk";
  std::string password_ = "vxdesk-demo";
};

// ---- Arguments

TEST_F(ToolsTest, BadArgumentsPrintTheUsageAndExitWith2) {
  writeSqliteAlias();
  const std::vector<std::vector<std::string>> vxdbCases = {
      {}, {"frobnicate", "lib"}, {"create"}, {"drop", "lib", "extra"},
      {"create", "lib", "--user"}, {"seed", "lib", "--no-demo"}, {"list", "lib"},
      {"create", "lib", "--colour"}, {"create", "lib", "--demo", "--no-demo"}, {"desk-list", "lib"},
      {"desk-list", "lib", "a.vxdl", "b.vxdl"}};
  for (const auto& args : vxdbCases) {
    const ToolRun r = vxdb(args, false);
    EXPECT_EQ(r.exitCode, 2) << "vxdb " << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: vxdb"), std::string::npos) << r.err;
  }
  const std::vector<std::vector<std::string>> vxsqlCases = {
      {},
      {"lib"},
      {"lib", "SELECT 1", "--proc", "P"},
      {"lib", "SELECT :a", "-p", "a"},
      {"lib", "SELECT :a", "-p", "a=1", "-p", "A=2"},
      {"lib", "SELECT :a", "-p", "a=x", "--type", "a=integer"},
      {"lib", "SELECT :a", "-p", "a=x", "--type", "a=float"},
      {"lib", "SELECT :a", "-p", "a=tuesday", "--type", "a=datetime"},
      {"lib", "SELECT :a", "--type", "b=integer", "-p", "a=1"},
      {"lib", "SELECT 1", "--inout", "x"},
      {"lib", "SELECT 1", "SELECT 2"},
      {"lib", "SELECT 1", "-x"}};
  for (const auto& args : vxsqlCases) {
    const ToolRun r = vxsql(args, false);
    EXPECT_EQ(r.exitCode, 2) << "vxsql " << ::testing::PrintToString(args) << r.out << r.err;
    EXPECT_NE(r.err.find("usage: vxsql"), std::string::npos) << r.err;
  }
  // Nothing connected: the library file was not created by any of them.
  EXPECT_FALSE(std::filesystem::exists(libraryFile()));
}

TEST_F(ToolsTest, UnknownAliasesAndDriversAreErrorsWithTheirMessage) {
  writeSqliteAlias();
  ToolRun r = vxsql({"nope", "SELECT 1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unknown alias: nope"), std::string::npos) << r.err;
  r = vxdb({"create", "nope"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unknown alias: nope"), std::string::npos) << r.err;

  writeAll(aliasFile(), "[odd]\nDRIVER=ORACLE\n");
  for (const ToolRun& run : {vxsql({"odd", "SELECT 1"}), vxdb({"list"})}) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("unknown driver \"ORACLE\""), std::string::npos) << run.err;
  }
  // A malformed alias file is never taken for "no alias": no demo alias is added to it.
  EXPECT_EQ(readAll(aliasFile()), "[odd]\nDRIVER=ORACLE\n");
}

// ---- vxdb on SQLite

TEST_F(ToolsTest, CreateRefusesAnExistingFileAndDropRemovesOnlyLibraryDatabases) {
  writeSqliteAlias();
  createLibrary();
  ASSERT_TRUE(std::filesystem::exists(libraryFile()));
  ToolRun r = vxdb({"create", "lib"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("exists already"), std::string::npos) << r.err;
  EXPECT_EQ(loanCode("lib", "1001", "2002"), "2") << "the existing database was built over";

  r = vxdb({"drop", "lib"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(libraryFile()));
  r = vxdb({"drop", "lib"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;

  // Neither a text file nor an SQLite database of something else is dropped.
  writeAll(libraryFile(), "minutes of the library board\n");
  r = vxdb({"drop", "lib"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Refusing to drop"), std::string::npos) << r.err;
  EXPECT_EQ(readAll(libraryFile()), "minutes of the library board\n");

  std::filesystem::remove(libraryFile());
  ASSERT_EQ(vxsql({"lib", "SELECT 1"}).exitCode, 1);  // no CREATE: the file must exist
  writeAll(aliasFile(), "[lib]\nDRIVER=SQLITE\nCREATE=1\nPATH=" + libraryFile() + "\n");
  ASSERT_EQ(vxsql({"lib", "CREATE TABLE Notes (Text varchar(10))"}).exitCode, 0);
  r = vxdb({"drop", "lib"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a library database"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(libraryFile()));
}

// vxdb desk-list: the demo library's desk list, private to the user, read back whole.
TEST_F(ToolsTest, DeskListWritesTheListOfTheLibrary) {
  writeSqliteAlias();
  createLibrary({});
  const std::string file = dir_.file("desks/desk-list.vxdl");
  const ToolRun r = vxdb({"desk-list", "lib", file});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1 withdrawn cards"), std::string::npos) << r.out;
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto list = vx::desklist::DeskList::read(file);
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->withdrawnCards.count("1004"));
}

TEST_F(ToolsTest, CreateWithoutDemoThenSeedLoadsTheDemoDataOnce) {
  writeSqliteAlias();
  createLibrary({"--no-demo"});
  ToolRun r = vxsql({"lib", "SELECT count(*) AS Units FROM NSU.Unit"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"0"}) << r.out << r.err;
  EXPECT_EQ(loanCode("lib", "1001", "2001"), "1");  // no copies yet

  r = vxdb({"seed", "lib"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = vxsql({"lib", "SELECT count(*) AS Units FROM NSU.Unit"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"9"}) << r.out << r.err;

  r = vxdb({"seed", "lib"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("already holds data"), std::string::npos) << r.err;
  r = vxsql({"lib", "SELECT count(*) AS Rows FROM NSU.Db_Info"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"1"}) << r.out << r.err;
}

TEST_F(ToolsTest, ListShowsTheAliasesWithTheirDrivers) {
  writeAll(aliasFile(),
           "[lib]\nDRIVER=SQLITE\nPATH=" + libraryFile() +
               "\n[central]\nDRIVER=POSTGRES\nSERVER NAME=db.example.org\nPORT=5433\n"
               "DATABASE NAME=vellumdex\n");
  const ToolRun r = vxdb({"list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 3u) << r.out;
  EXPECT_EQ(l[1], "lib      SQLITE    " + libraryFile());
  EXPECT_EQ(l[2], "central  POSTGRES  db.example.org:5433 / vellumdex");
}

// The creator owns the file; a desk user may neither give itself rights, read or change the
// password hashes, nor drop the database.
TEST_F(ToolsTest, OnlyTheOwnerOfAnEmbeddedLibraryMayChangeOrDropIt) {
  writeSqliteAlias();
  createLibrary();  // as vxdesk, its owner
  const auto asGuest = [&](const std::string& sql) {
    return vxsql({"lib", sql, "-U", "vxguest", "-P", "vxguest-demo"}, false);
  };
  const struct {
    const char* sql;
    const char* refusal;
  } refused[] = {
      {"INSERT INTO NSU.Module_Access (User_Name, Module_Id, Access_Level) VALUES ('vxguest',1,1)",
       "permission denied for table module_access"},
      {"SELECT Password_Hash FROM NSU.Db_User", "permission denied for table db_user"},
      {"UPDATE NSU.Db_User SET Password_Hash = 'x' WHERE User_Name = 'vxdesk'", "permission denied for table db_user"},
  };
  for (const auto& c : refused) {
    const ToolRun r = asGuest(c.sql);
    EXPECT_EQ(r.exitCode, 1) << c.sql << r.out;
    EXPECT_NE(r.err.find(c.refusal), std::string::npos) << c.sql << ": " << r.err;
  }
  EXPECT_EQ(asGuest("SELECT count(*) AS Units FROM NSU.Unit").exitCode, 0);
  ToolRun r = vxdb({"drop", "lib", "--user", "vxguest", "--password", "vxguest-demo"}, false);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("only its owner may"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(libraryFile()));
  r = vxdb({"drop", "lib"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// ---- vxsql on SQLite

TEST_F(ToolsTest, LoanAndReturnCodesOfTheDemoBarcodes) {
  writeSqliteAlias();
  createLibrary();
  EXPECT_EQ(returnCode("lib", "2001"), "3");   // not on loan
  EXPECT_EQ(loanCode("lib", "1001", "2002"), "2");   // copy scrapped
  EXPECT_EQ(loanCode("lib", "1999", "2001"), "12");  // unknown borrower
  EXPECT_EQ(loanCode("lib", "1001", "2004"), "4");   // on loan to 1002

  const ToolRun r = loan("lib", "1001", "2001");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inoutValue(r, "ErrorCode"), "0");
  EXPECT_EQ(inoutValue(r, "ServiceIdReserved"), "101");  // new loans start at 101
  EXPECT_NE(inoutValue(r, "DueTime"), "NULL");
  // Every in-out value is printed, in the order given.
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 6u) << r.out;
  EXPECT_EQ(l[0].rfind("DueTime=", 0), 0u);
  EXPECT_EQ(l[5].rfind("ErrorCode=", 0), 0u);

  EXPECT_EQ(loanCode("lib", "1001", "2001"), "10");  // now lent to this borrower
  // The demo database admits its users with their passwords only.
  const ToolRun refused = vxsql({"lib", "SELECT 1", "-U", "vxdesk", "-P", "wrong"}, false);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("password authentication failed"), std::string::npos)
      << refused.err;
  EXPECT_EQ(returnCode("lib", "2004"), "0");
  EXPECT_EQ(loanCode("lib", "1001", "2004"), "0");   // returned, so it may go out again
}

TEST_F(ToolsTest, ParameterValuesRoundTripUnchanged) {
  writeSqliteAlias();
  createLibrary();
  const std::string hostile = "O'Brien; DROP TABLE Loan; -- \"quoted\" :Name ?1 \\ ";
  ToolRun r = vxsql({"lib",
                     "INSERT INTO NSU.Exception_Log (Exception_Time, Application, User_name, "
                     "Exception_Msg, ExeVersion, DBVersion) VALUES (CURRENT TIMESTAMP, :App, "
                     "User, :Msg, '2.5', '2.5003')",
                     "-p", "App=vxsql test", "-p", "Msg=" + hostile});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Done.\n");
  r = vxsql({"lib", "SELECT Exception_Msg FROM NSU.Exception_Log WHERE Application = :App",
             "-p", "App=vxsql test"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{hostile}) << r.out << r.err;
  r = vxsql({"lib", "SELECT User_name FROM Exception_Log"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"vxdesk"}) << r.out << r.err;
  r = vxsql({"lib", "SELECT count(*) FROM NSU.Loan"});
  EXPECT_EQ(r.exitCode, 0) << "the Loan table is gone: " << r.err;

  // Plain integers bind as integers, anything else (leading zeros, signs) as the text given;
  // --type decides when the guess is wrong.
  r = vxsql({"lib", "SELECT typeof(:a) || ' ' || :a AS v", "-p", "a=42"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"integer 42"}) << r.out << r.err;
  r = vxsql({"lib", "SELECT typeof(:a) || ' ' || :a AS v", "-p", "a=0042"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"text 0042"}) << r.out << r.err;
  r = vxsql({"lib", "SELECT typeof(:a) || ' ' || :a AS v", "-p", "a=42", "--type", "a=string"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"text 42"}) << r.out << r.err;
  r = vxsql({"lib", "SELECT :a AS v", "-p", "a=2024-02-29 13:45", "--type", "a=datetime"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"2024-02-29 13:45:00.000"}) << r.out;
  r = vxsql({"lib", "SELECT :a AS v", "-p", "a=two\nlines"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"two\\nlines"}) << r.out;
}

TEST_F(ToolsTest, TablesAlignColumnsAndStatementErrorsCarryTheEngineMessage) {
  writeSqliteAlias();
  createLibrary();
  ToolRun r = vxsql({"lib",
                     "SELECT Unit_Id, Name, Parent_Unit_Id FROM NSU.Unit WHERE Unit_Id IN (1, 4) "
                     "ORDER BY Unit_Id"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Unit_Id | Name                   | Parent_Unit_Id\n"
            "--------+------------------------+---------------\n"
            "1       | Vellumdex City Library | NULL\n"
            "4       | Children's Section     | 2\n"
            "2 row(s)\n");
  r = vxsql({"lib", "SELECT * FROM NSU.Unit WHERE Unit_Id = :Id", "-p", "Id=777"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out).back(), "0 row(s)");

  r = vxsql({"lib", "SELECT * FROM NoSuchTable"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no such table"), std::string::npos) << r.err;
  r = vxsql({"lib", "SELECT :a, :b", "-p", "a=1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("No value for parameter 'b'"), std::string::npos) << r.err;
  r = vxsql({"lib", "SELECT :a", "-p", "a=1", "-p", "c=2"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Parameter 'c' not found"), std::string::npos) << r.err;
  r = vxsql({"lib", "--proc", "NoSuchProcedure", "--inout", "x"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("NoSuchProcedure"), std::string::npos) << r.err;
}

// ---- First start: the tools set up the demo alias when none is configured

TEST_F(ToolsTest, WithoutAnyAliasTheToolsSetUpTheDemoDatabase) {
  ASSERT_FALSE(std::filesystem::exists(aliasFile()));
  EXPECT_EQ(loanCode("demo", "1001", "2002"), "2");
  EXPECT_EQ(returnCode("demo", "2004"), "0");
  const std::string demoFile = dir_.file("data") + "/vellumdex/demo-library.sqlite";
  EXPECT_TRUE(std::filesystem::exists(demoFile));
  EXPECT_NE(readAll(aliasFile()).find("PATH=" + demoFile), std::string::npos);

  const ToolRun r = vxdb({"list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out).at(1), "demo   SQLITE    " + demoFile);
  // The demo database keeps its data between runs: the return above stays done.
  EXPECT_EQ(returnCode("demo", "2004"), "3");
}

// ---- PostgreSQL

class PostgresToolsTest : public ToolsTest {
 protected:
  void SetUp() override {
    server_ = vxtest::pgTestServer();
    if (!server_.available()) GTEST_FAIL() << vxtest::kNoPgTestServer;
    user_ = server_.user;
    password_.clear();
    database_ = "vx_tools_test_" + std::to_string(getpid());
    writeAll(aliasFile(), "[central]\nDRIVER=POSTGRES\nSERVER NAME=" + server_.socketDir +
                              "\nPORT=" + server_.port + "\nDATABASE NAME=" + database_ + "\n");
  }
  void TearDown() override {
    if (!database_.empty()) vxdb({"drop", "central"});
  }
  vxtest::PgTestServer server_;
  std::string database_;
};

TEST_F(PostgresToolsTest, CreateLendAndDropOnTheServer) {
  ToolRun r = vxdb({"create", "central", "--demo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = vxdb({"create", "central", "--demo"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;

  EXPECT_EQ(loanCode("central", "1001", "2002"), "2");
  EXPECT_EQ(loanCode("central", "1999", "2001"), "12");
  r = loan("central", "1001", "2001");
  EXPECT_EQ(inoutValue(r, "ErrorCode"), "0") << r.err;
  EXPECT_EQ(inoutValue(r, "ServiceIdReserved"), "101");
  EXPECT_EQ(loanCode("central", "1001", "2001"), "10");
  EXPECT_EQ(returnCode("central", "2003"), "3");
  EXPECT_EQ(returnCode("central", "2004"), "0");

  r = vxdb({"drop", "central"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = vxsql({"central", "SELECT 1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(database_), std::string::npos) << r.err;
  database_.clear();
}

// The demo users are roles of the whole server with published passwords: a library created
// there gets them only when asked.
TEST_F(PostgresToolsTest, CreateMakesTheDemoUsersOnlyWithDemo) {
  writeAll(aliasFile(), readAll(aliasFile()) + "[maint]\nDRIVER=POSTGRES\nSERVER NAME=" +
                            server_.socketDir + "\nPORT=" + server_.port +
                            "\nDATABASE NAME=postgres\n");
  const auto demoLogin = [&](const std::string& alias) {
    return vxsql({alias, "SELECT 1 AS One", "-U", "vxdesk", "-P", "vxdesk-demo"}, false);
  };
  // Demo roles left by earlier tests lose their password, so that only this create can give
  // them one.
  ToolRun r = vxsql({"maint",
                     "DO $$ BEGIN IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vxdesk') THEN "
                     "ALTER ROLE vxdesk PASSWORD NULL; END IF; END $$"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(demoLogin("maint").exitCode, 1);

  r = vxdb({"create", "central"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = demoLogin("central");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("password authentication failed"), std::string::npos) << r.err;
  r = vxsql({"central", "SELECT count(*) AS Units FROM NSU.Unit"});
  EXPECT_EQ(singleColumn(r), std::vector<std::string>{"0"}) << r.out << r.err;

  ASSERT_EQ(vxdb({"drop", "central"}).exitCode, 0);
  r = vxdb({"create", "central", "--demo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = demoLogin("central");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(PostgresToolsTest, DropRefusesADatabaseThatIsNotALibraryDatabase) {
  writeAll(aliasFile(), "[maint]\nDRIVER=POSTGRES\nSERVER NAME=" + server_.socketDir +
                            "\nPORT=" + server_.port + "\nDATABASE NAME=postgres\n");
  const ToolRun r = vxdb({"drop", "maint"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a library database"), std::string::npos) << r.err;
  database_.clear();
}

}  // namespace
