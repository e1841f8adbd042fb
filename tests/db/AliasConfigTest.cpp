#include "db/AliasConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "db/DbError.h"
#include "db/Session.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace vx::db;

namespace {

std::string errorOf(const std::string& text) {
  try {
    parseAliases(text, "/etc/vellumdex/aliases.ini");
  } catch (const DbError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST(AliasFile, ReadsSectionsOfBothDrivers) {
  const auto aliases = parseAliases(
      "\xEF\xBB\xBF; the library's servers\r\n"
      "[swe]\r\n"
      "driver = postgres\r\n"
      "SERVER NAME=db.example.org\r\n"
      "port=5432\r\n"
      "DATABASE NAME = vellumdex \r\n"
      "sslmode=require\r\n"
      "# the desk's own copy\n"
      "[ demo ]\n"
      "DRIVER=SQLITE\n"
      "PATH=data/demo.vxdb\n"
      "path=demo2.vxdb\n"
      "[abs]\nDRIVER=SQLITE\nPATH=/var/lib/lib.vxdb",
      "/home/u/.config/vellumdex/aliases.ini");
  ASSERT_EQ(aliases.size(), 3u);
  EXPECT_EQ(aliases[0].name, "swe");
  EXPECT_EQ(aliases[0].driver, DriverKind::Postgres);
  EXPECT_EQ(aliases[0].settings,
            (std::vector<std::pair<std::string, std::string>>{{"SERVER NAME", "db.example.org"},
                                                              {"port", "5432"},
                                                              {"DATABASE NAME", "vellumdex"},
                                                              {"sslmode", "require"}}));
  EXPECT_EQ(aliases[1].name, "demo");
  EXPECT_EQ(aliases[1].driver, DriverKind::Sqlite);
  // A later line of the same name wins; a relative path is taken from the file's folder.
  ASSERT_EQ(aliases[1].settings.size(), 1u);
  EXPECT_EQ(aliases[1].settings[0].second, "/home/u/.config/vellumdex/demo2.vxdb");
  EXPECT_EQ(aliases[2].settings[0].second, "/var/lib/lib.vxdb");
}

TEST(AliasFile, MalformedLinesNameFileAndLine) {
  const std::string file = "/etc/vellumdex/aliases.ini";
  EXPECT_EQ(errorOf("[a]\nDRIVER=SQLITE\nPATH=x\njust words\n"),
            file + ":4: expected NAME=value or [alias], found \"just words\"");
  EXPECT_EQ(errorOf("\nPORT=1\n"), file + ":2: a setting before the first [alias]");
  EXPECT_EQ(errorOf("[a\n"), file + ":1: a section header without ']'");
  EXPECT_EQ(errorOf("[ ]\n"), file + ":1: a section without an alias name");
  EXPECT_EQ(errorOf("[a]\n=x\n"), file + ":2: a setting without a name");
  EXPECT_EQ(errorOf("[a]\nDRIVER=SQLITE\nPATH=x\n[A]\n"),
            file + ":4: the alias \"A\" is defined twice");
}

TEST(AliasFile, DriverProblemsNameTheAlias) {
  const std::string file = "/etc/vellumdex/aliases.ini";
  EXPECT_EQ(errorOf("[swe]\nDRIVER=ORACLE\n"),
            file + ":1: alias \"swe\" has the unknown driver \"ORACLE\" (SQLITE or POSTGRES)");
  EXPECT_EQ(errorOf("[a]\nDRIVER=SQLITE\nPATH=x\n[nor]\nPORT=1\n"),
            file + ":4: alias \"nor\" names no DRIVER (SQLITE or POSTGRES)");
  EXPECT_EQ(errorOf("[demo]\nDRIVER=SQLITE\n"),
            file + ":1: alias \"demo\" names no database file (PATH)");
  // A setting the server's driver does not know is reported, not dropped; its own names and
  // libpq's keywords pass, in any case.
  EXPECT_EQ(errorOf("[swe]\nDRIVER=POSTGRES\nCONNECT TIMOUT=5\n"),
            file + ":1: alias \"swe\" has the setting \"CONNECT TIMOUT\", which a POSTGRES alias "
                   "does not know (SERVER NAME, PORT, DATABASE NAME, CONNECT TIMEOUT or a libpq keyword)");
  EXPECT_EQ(errorOf("[swe]\nDRIVER=POSTGRES\nSERVER NAME=db\nconnect timeout=5\nSSLMODE=require\n"
                    "keepalives_idle=20\n"),
            "(no error)");
}

TEST(AliasFile, SessionReadsTheFileNamedByTheEnvironment) {
  vxtest::TempDir dir;
  const std::string file = dir.file("aliases.ini");
  vxtest::writeAll(file, "[one]\nDRIVER=SQLITE\nPATH=one.vxdb\n[two]\nDRIVER=POSTGRES\n");
  vxtest::ScopedEnv named("VELLUMDEX_ALIASES", file);
  Session session("S");
  EXPECT_EQ(session.aliasNames(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(session.alias("ONE").settings[0].second, dir.file("one.vxdb"));
  EXPECT_THROW(session.alias("three"), DbError);

  named.set(dir.file("missing.ini"));
  session.reloadAliases();
  try {
    session.aliasNames();
    ADD_FAILURE() << "a missing named alias file was accepted";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.ini"), std::string::npos) << e.what();
  }
}

// The alias files every program of the suite reads, by the XDG rule: a relative
// XDG_CONFIG_HOME is ignored like an unset one.
TEST(AliasFile, FilesFollowTheXdgRule) {
  vxtest::ScopedEnv named("VELLUMDEX_ALIASES", nullptr);
  vxtest::ScopedEnv home("HOME", "/home/librarian");
  const std::vector<std::string> fromHome = {"/home/librarian/.config/vellumdex/aliases.ini",
                                             "/etc/vellumdex/aliases.ini"};
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    vxtest::ScopedEnv config("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(aliasFiles(), fromHome) << (xdg ? xdg : "(unset)");
  }
  vxtest::ScopedEnv config("XDG_CONFIG_HOME", "/srv/desk");
  EXPECT_EQ(aliasFiles(), (std::vector<std::string>{"/srv/desk/vellumdex/aliases.ini",
                                                    "/etc/vellumdex/aliases.ini"}));
}
