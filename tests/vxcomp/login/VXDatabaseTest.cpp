// The login's database connection: engine settings kept in the registry in line with the
// database, and the version readers. Each case runs on SQLite, and on PostgreSQL when the
// test run provides a server (VX_TEST_PG_SOCKET_DIR, VX_TEST_PG_PORT, VX_TEST_PG_USER).
#include "db/DbError.h"
#include "db/Query.h"
#include "platform/Assertion.h"
#include "platform/Registry.h"
#include "tests/support/PgTestDatabase.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "vxcomp/login/VXDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace vx;
using namespace vx::db;
using vxtest::TempDir;

namespace {

// Where the engine parameters of the alias "lib" live.
const std::string kParamsKey = "Software\\Vellumdex\\Login\\lib\\Params";

enum class Engine { Sqlite, Postgres };

class VXDatabaseSync : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    AliasSpec alias;
    alias.name = "lib";
    if (GetParam() == Engine::Postgres) {
      const auto server = vxtest::pgTestServer();
      if (!server.available()) GTEST_FAIL() << vxtest::kNoPgTestServer;
      user_ = server.user;
      pgDatabase_ = std::make_unique<vxtest::PgTestDatabase>(server, "vx_login_test");
      alias = pgDatabase_->alias("lib");
    } else {
      user_ = "librarian";
      alias.driver = DriverKind::Sqlite;
      alias.settings = {{"PATH", dir_.file("library.vxdb")}, {"CREATE", "1"}};
    }
    session_ = std::make_unique<Session>("Test", std::vector<AliasSpec>{alias});
    // The library's settings tables, made through a plain connection.
    Database setup(*session_);
    setup.databaseName = "Setup";
    setup.aliasName = "lib";
    setup.params = {"USER NAME=" + user_};
    setup.open();
    if (GetParam() == Engine::Postgres) setup.executeScript("CREATE SCHEMA nsu");
    setup.executeScript(
        "CREATE TABLE Db_Info (Version VARCHAR(20), Beta_Version VARCHAR(20), Upgrading INTEGER);"
        "CREATE TABLE BDE_Config (Param VARCHAR(64), Value VARCHAR(255));"
        "INSERT INTO Db_Info VALUES ('2.5003', '', 0);"
        "INSERT INTO BDE_Config VALUES ('LANGDRIVER', 'first');"
        "INSERT INTO BDE_Config VALUES ('SQLQRYMODE', 'SERVER');"
        "INSERT INTO BDE_Config VALUES ('BLANK', '');"
        "INSERT INTO BDE_Config VALUES ('PASSWORD', 'from-the-table');"
        "INSERT INTO BDE_Config VALUES ('LANGDRIVER', 'DBWINUS0');");
    setup.close();

    db_ = std::make_unique<TVXDatabase>(*session_);
    db_->databaseName = "VXDB";
    db_->aliasName = "lib";
    db_->params = {"USER NAME=" + user_, "PASSWORD=secret", "LANGDRIVER=ascii"};
  }

  void TearDown() override {
    db_.reset();
    session_.reset();
    pgDatabase_.reset();
  }

  void run(const std::string& sql) {
    Query q(*session_);
    q.databaseName = "VXDB";
    q.setSql(sql);
    q.execSql();
  }
  std::optional<std::string> stored(const std::string& name) {
    auto v = reg::readValue(reg::Hive::CurrentUser, kParamsKey, name);
    if (!v) return std::nullopt;
    return v->text;
  }

  TempDir dir_;
  std::string user_;
  std::unique_ptr<vxtest::PgTestDatabase> pgDatabase_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<TVXDatabase> db_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, VXDatabaseSync, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& p) { return p.param == Engine::Sqlite ? "Sqlite" : "Postgres"; });

TEST_P(VXDatabaseSync, ADifferingRowRewritesTheRegistryAndAgreesAfterReconnecting) {
  db_->SkipRegistry = false;
  db_->open();
  EXPECT_FALSE(db_->WriteDatabaseSettings());
  // Every row of the table, the later of two rows of one name, no empty value, no password.
  EXPECT_EQ(stored("LANGDRIVER"), "DBWINUS0");
  EXPECT_EQ(stored("SQLQRYMODE"), "SERVER");
  EXPECT_EQ(stored("BLANK"), std::nullopt);
  EXPECT_EQ(stored("PASSWORD"), std::nullopt);
  EXPECT_EQ(paramValue(db_->params, "LANGDRIVER"), "ascii");  // Params itself unchanged

  // A value the registry held before, but the table does not prescribe, goes.
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kParamsKey, "STALE",
                              reg::Value::sz("x")));
  db_->close();  // compares again, and rewrites
  EXPECT_EQ(stored("STALE"), std::nullopt);
  db_->open();   // reads the prescribed values into Params
  EXPECT_EQ(paramValue(db_->params, "LANGDRIVER"), "DBWINUS0");
  EXPECT_EQ(paramValue(db_->params, "PASSWORD"), "secret");
  EXPECT_TRUE(db_->WriteDatabaseSettings());

  // The password typed at the login never reached the registry file.
  EXPECT_EQ(vxtest::readAll(reg::hiveFilePath(reg::Hive::CurrentUser)).find("secret"), std::string::npos);
}

TEST_P(VXDatabaseSync, BeforeVersion2_0015NothingIsCompared) {
  db_->SkipRegistry = false;
  db_->open();
  run("UPDATE NSU.Db_Info SET Version = '2.0014'");
  run("DROP TABLE NSU.BDE_Config");  // would fail the comparison if it were read
  EXPECT_TRUE(db_->WriteDatabaseSettings());
  EXPECT_EQ(stored("LANGDRIVER"), std::nullopt);

  run("UPDATE NSU.Db_Info SET Version = '2.0015'");
  EXPECT_THROW(db_->WriteDatabaseSettings(), DbError);  // the missing table now reaches the caller
  run("UPDATE NSU.Db_Info SET Version = 'two'");
  EXPECT_THROW(db_->WriteDatabaseSettings(), std::invalid_argument);
  db_->SkipRegistry = true;
}

TEST_P(VXDatabaseSync, SkipRegistryLeavesTheRegistryAlone) {
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kParamsKey, "LANGDRIVER",
                              reg::Value::sz("fromregistry")));
  db_->open();
  EXPECT_EQ(paramValue(db_->params, "LANGDRIVER"), "ascii");
  EXPECT_TRUE(db_->WriteDatabaseSettings());
  db_->close();
  EXPECT_EQ(stored("LANGDRIVER"), "fromregistry");
}

TEST_P(VXDatabaseSync, VersionReaders) {
  db_->open();
  EXPECT_FLOAT_EQ(TVXDatabase::GetDBVersion(*db_), 2.5003f);
  EXPECT_EQ(TVXDatabase::IntVer(TVXDatabase::GetDBVersion(*db_)), 25003);
  EXPECT_EQ(TVXDatabase::GetDBBetaVersion(*db_), 0.0f);  // '' is no number: 0
  run("UPDATE NSU.Db_Info SET Beta_Version = '2.5004'");
  EXPECT_FLOAT_EQ(TVXDatabase::GetDBBetaVersion(*db_), 2.5004f);
  run("DROP TABLE NSU.Db_Info");
  EXPECT_EQ(TVXDatabase::GetDBBetaVersion(*db_), 0.0f);
  EXPECT_THROW(TVXDatabase::GetDBVersion(*db_), DbError);
}

TEST(VXDatabase, RegistryValuesMergeIntoParamsAndEmptyOnesRemoveLines) {
  TempDir dir;
  const std::string& key = kParamsKey;
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "SERVER NAME", reg::Value::sz("central")));
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "langdriver", reg::Value::sz("")));
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "NEW", reg::Value::sz("1")));
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "NUMBER", reg::Value::fromDword(3)));
  Session session("Test", {});
  TVXDatabase db(session);
  db.aliasName = "lib";
  db.params = {"USER NAME=kari", "SERVER NAME=old", "LANGDRIVER=ascii", "OTHER=kept"};
  db.ReadDatabaseSettings();  // SkipRegistry: nothing
  EXPECT_EQ(db.params.size(), 4u);
  db.SkipRegistry = false;
  db.ReadDatabaseSettings();
  EXPECT_EQ(db.params, (std::vector<std::string>{"USER NAME=kari", "SERVER NAME=central", "OTHER=kept", "NEW=1"}));
}

TEST(VXDatabase, AnEmptyAliasIsAnAssertionFailure) {
  Session session("Test", {});
  TVXDatabase db(session);
  db.SkipRegistry = false;
  try {
    db.ReadDatabaseSettings();
    FAIL();
  } catch (const AssertionFailure& e) {
    EXPECT_STREQ(e.what(), "VXDatabase.ReadDatabaseSettings: AliasName is not set!");
  }
  try {
    db.WriteDatabaseSettings();
    FAIL();
  } catch (const AssertionFailure& e) {
    EXPECT_STREQ(e.what(), "TVXDatabase.WriteDatabaseSettings: AliasName is not set!");
  }
}

TEST(VXDatabase, VersionTextsFollowTheLocalesDecimalSeparator) {
  vxtest::ScopedEnv locale("LC_ALL", "nb_NO.UTF-8");
  EXPECT_FLOAT_EQ(TVXDatabase::VersionToFloat("2.5003"), 2.5003f);  // the "." is replaced first
  EXPECT_FLOAT_EQ(TVXDatabase::VersionToFloat("2,5003"), 2.5003f);
  locale.set("en_US.UTF-8");
  EXPECT_FLOAT_EQ(TVXDatabase::VersionToFloat(" 2.0015"), 2.0015f);
  EXPECT_THROW(TVXDatabase::VersionToFloat("2,5003"), std::invalid_argument);
  EXPECT_THROW(TVXDatabase::VersionToFloat(""), std::invalid_argument);
  EXPECT_THROW(TVXDatabase::VersionToFloat("2.5.1"), std::invalid_argument);
  locale.set(std::nullopt);
  EXPECT_EQ(TVXDatabase::IntVer(2.0015f), 20015);
  EXPECT_EQ(TVXDatabase::IntVer(2.0014f), 20014);
  EXPECT_EQ(TVXDatabase::IntVer(2.5003f), 25003);
}
