// The first start without any alias: the demo library database and its alias, set up in
// temporary XDG folders.
#include "db/library/DemoAlias.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace vx::db;
using vxtest::readAll;
using vxtest::writeAll;
namespace fs = std::filesystem;

using vxtest::ScopedEnv;

namespace {


class DemoAliasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The machine's alias file is read too; on a machine that has one, "no alias at all"
    // cannot be arranged here.
    if (fs::exists("/etc/vellumdex/aliases.ini"))
      GTEST_SKIP() << "/etc/vellumdex/aliases.ini exists on this machine";
  }

  std::string aliasFile() const { return dir_.file("config") + "/vellumdex/aliases.ini"; }
  std::string libraryFile() const { return dir_.file("data") + "/vellumdex/demo-library.sqlite"; }

  // The code of one refused loan (changes nothing) on the alias's database.
  int64_t loanCode(Session& session, const std::string& alias, const char* borrower,
                   const char* item) {
    library::installSqliteProcedures();
    Database db(session);
    db.databaseName = "VXDB";
    db.aliasName = alias;
    db.params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};  // a demo user
    db.open();
    StoredProc sp(session);
    sp.databaseName = "VXDB";
    sp.setProcName("IssueLoanAllBarcodes");
    sp.addParam("ServiceAtUnitId", DataType::Integer).setInteger(1);
    sp.addParam("LoanerBarCode", DataType::String).setString(borrower);
    sp.addParam("ItemBarCode", DataType::String).setString(item);
    for (const char* n : {"DueTime", "ServiceTime"})
      sp.addParam(n, DataType::DateTime, ParamDirection::InputOutput);
    for (const char* n : {"ServiceIdReserved", "DocumentGroupId", "ExId", "ErrorCode"})
      sp.addParam(n, DataType::Integer, ParamDirection::InputOutput);
    sp.execProc();
    return sp.paramByName("ErrorCode").asInteger();
  }

  std::vector<std::string> filesIn(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  vxtest::TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.file("config")};
  ScopedEnv data_{"XDG_DATA_HOME", dir_.file("data")};
  ScopedEnv named_{"VELLUMDEX_ALIASES", std::nullopt};
};

TEST_F(DemoAliasTest, FreshMachineGetsTheDemoDatabaseAndAliasOnce) {
  Session session("Test");
  ASSERT_TRUE(library::ensureDemoAlias(session));

  EXPECT_EQ(library::demoLibraryPath(), libraryFile());
  ASSERT_TRUE(fs::exists(libraryFile()));
  const auto aliases = parseAliases(readAll(aliasFile()), aliasFile());
  ASSERT_EQ(aliases.size(), 1u);
  EXPECT_EQ(aliases[0].name, "demo");
  EXPECT_EQ(aliases[0].driver, DriverKind::Sqlite);
  ASSERT_EQ(aliases[0].settings.size(), 1u);
  EXPECT_EQ(aliases[0].settings[0].second, libraryFile());

  // The session knows the alias at once, and the database holds the demo data.
  EXPECT_EQ(session.aliasNames(), std::vector<std::string>{"demo"});
  EXPECT_EQ(loanCode(session, "demo", "1001", "2002"), 2);
  // A new session (the next start) reads it from the file.
  Session next("Next");
  EXPECT_EQ(loanCode(next, "demo", "1999", "2001"), 12);

  // Nothing is left behind under temporary names.
  EXPECT_EQ(filesIn(dir_.file("data") + "/vellumdex"),
            std::vector<std::string>{"demo-library.sqlite"});
  EXPECT_EQ(filesIn(dir_.file("config") + "/vellumdex"), std::vector<std::string>{"aliases.ini"});

  // The second start finds the alias and touches nothing.
  const std::string before = readAll(aliasFile());
  const auto stamp = fs::last_write_time(libraryFile());
  Session again("Again");
  EXPECT_FALSE(library::ensureDemoAlias(again));
  EXPECT_EQ(readAll(aliasFile()), before);
  EXPECT_EQ(fs::last_write_time(libraryFile()), stamp);
}

TEST_F(DemoAliasTest, AnAliasFileWithoutSectionsKeepsItsTextAndGainsTheAlias) {
  fs::create_directories(dir_.file("config") + "/vellumdex");
  writeAll(aliasFile(), "; aliases of this desk\n# none yet");
  Session session("Test");
  ASSERT_TRUE(library::ensureDemoAlias(session));
  const std::string text = readAll(aliasFile());
  EXPECT_EQ(text.rfind("; aliases of this desk\n# none yet\n\n[demo]\n", 0), 0u) << text;
  EXPECT_EQ(parseAliases(text, aliasFile()).size(), 1u);
}

TEST_F(DemoAliasTest, AConfiguredAliasMeansNoSetUp) {
  fs::create_directories(dir_.file("config") + "/vellumdex");
  const std::string text = "[swe]\nDRIVER=POSTGRES\nSERVER NAME=db.example.org\n";
  writeAll(aliasFile(), text);
  Session session("Test");
  EXPECT_FALSE(library::ensureDemoAlias(session));
  EXPECT_EQ(readAll(aliasFile()), text);
  EXPECT_FALSE(fs::exists(libraryFile()));

  // Also a session that was given its aliases is left alone.
  writeAll(aliasFile(), "");
  Session given("Given", {AliasSpec{"x", DriverKind::Sqlite, {{"PATH", "/nowhere"}}}});
  EXPECT_FALSE(library::ensureDemoAlias(given));
  EXPECT_FALSE(fs::exists(libraryFile()));
}

TEST_F(DemoAliasTest, AMalformedAliasFileIsAnErrorAndStaysAsItWas) {
  fs::create_directories(dir_.file("config") + "/vellumdex");
  const std::string text = "DRIVER=SQLITE\n[demo\n";
  writeAll(aliasFile(), text);
  Session session("Test");
  EXPECT_THROW(library::ensureDemoAlias(session), DbError);
  EXPECT_EQ(readAll(aliasFile()), text);
  EXPECT_FALSE(fs::exists(libraryFile()));
}

TEST_F(DemoAliasTest, AnExistingLibraryFileIsKeptAndTheAliasPointsAtIt) {
  // The user removed the alias file but not the data: the data stays as it is.
  fs::create_directories(dir_.file("data") + "/vellumdex");
  {
    Session setup("Setup", {AliasSpec{"x", DriverKind::Sqlite,
                                       {{"PATH", libraryFile()}, {"CREATE", "1"}}}});
    Database db(setup);
    db.databaseName = "Setup";
    db.aliasName = "x";
    db.open();
    library::createLibraryDatabase(db, true);
    db.executeScript("UPDATE NSU.Copy SET Scrapped = 1 WHERE Barcode = '2001'");
  }
  Session session("Test");
  ASSERT_TRUE(library::ensureDemoAlias(session));
  // 2001 is on the shelf in fresh demo data (code 0); in the kept file it is scrapped.
  EXPECT_EQ(loanCode(session, "demo", "1001", "2001"), 2);
  EXPECT_EQ(parseAliases(readAll(aliasFile()), aliasFile()).at(0).settings.at(0).second,
            libraryFile());
}

TEST_F(DemoAliasTest, TheFileNamedByVellumdexAliasesIsTheOneWritten) {
  const std::string named = dir_.file("named.ini");
  ScopedEnv env("VELLUMDEX_ALIASES", named);
  Session session("Test");
  ASSERT_TRUE(library::ensureDemoAlias(session));
  EXPECT_EQ(library::userAliasFile(), named);
  EXPECT_EQ(parseAliases(readAll(named), named).at(0).name, "demo");
  EXPECT_FALSE(fs::exists(aliasFile()));
}

TEST_F(DemoAliasTest, AFailedSetUpLeavesNoAliasBehind) {
  // The data folder cannot be made: a file stands where it belongs.
  writeAll(dir_.file("data"), "not a folder");
  Session session("Test");
  EXPECT_THROW(library::ensureDemoAlias(session), DbError);
  EXPECT_FALSE(fs::exists(aliasFile()));
  EXPECT_TRUE(session.aliasNames().empty());
}

}  // namespace
