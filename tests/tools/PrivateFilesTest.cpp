// Files that hold a library database, a password hash or a login are private to their user
// whichever tool or program creates them: 0600, and 0700 for the folders made for them, also
// under umask 0. Folders that were there before keep their modes.
#include "db/Database.h"
#include "db/Session.h"
#include "db/library/DemoAlias.h"
#include "platform/Registry.h"
#include "platform/SharedMemory.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace vx::db;
using vxtest::ScopedEnv;
using vxtest::TempDir;

namespace {

struct Creator {
  const char* name;
  // Made by the test with mode 0755 before the creator runs; they must keep that mode.
  std::vector<std::string> existingFolders;
  // Runs the creator in the test's folder; what it returns is held while the modes are checked.
  std::function<std::shared_ptr<void>(const TempDir&)> create;
  std::vector<std::string> privateFolders;  // the creator makes them: 0700
  std::vector<std::string> privateFiles;    // 0600
};

void PrintTo(const Creator& c, std::ostream* os) { *os << c.name; }

// The mode bits as octal text ("missing" when there is no such file), for readable failures.
std::string modeOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return text;
}

const Creator kCreators[] = {
    {"VxdbCreateOnSqlite",
     {"db"},
     [](const TempDir& dir) -> std::shared_ptr<void> {
       vxtest::writeAll(dir.file("aliases.ini"),
                        "[lib]\nDRIVER=SQLITE\nPATH=" + dir.file("db/library/lib.sqlite") + "\n");
       const vxtest::ToolRun r = vxtest::runTool(
           "vxdb", {"create", "lib", "--no-demo"},
           {{"VELLUMDEX_ALIASES", dir.file("aliases.ini")},
            {"XDG_CONFIG_HOME", dir.file("config")},
            {"XDG_DATA_HOME", dir.file("data")},
            {"HOME", dir.path()}},
           dir.path());
       EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
       return nullptr;
     },
     {"db/library"},
     {"db/library/lib.sqlite"}},
    {"DriverCreate",
     {},
     [](const TempDir& dir) -> std::shared_ptr<void> {
       AliasSpec alias{"a", DriverKind::Sqlite,
                       {{"PATH", dir.file("engine.sqlite")}, {"CREATE", "1"}}};
       Session session("Private", {alias});
       Database db(session);
       db.databaseName = "VXPrivate";
       db.aliasName = "a";
       db.open();
       // A persistent journal stays beside the database after the write.
       db.executeScript(
           "PRAGMA journal_mode = PERSIST; CREATE TABLE Note (Text VARCHAR(10)); "
           "INSERT INTO Note VALUES ('x')");
       db.close();
       return nullptr;
     },
     {},
     {"engine.sqlite", "engine.sqlite-journal"}},
    {"DemoLibraryAtFirstStart",
     {"data"},
     [](const TempDir& dir) -> std::shared_ptr<void> {
       ScopedEnv aliases("VELLUMDEX_ALIASES", dir.file("config/vellumdex/aliases.ini"));
       ScopedEnv config("XDG_CONFIG_HOME", dir.file("config"));
       ScopedEnv data("XDG_DATA_HOME", dir.file("data/share"));
       Session session("Private");
       EXPECT_TRUE(library::ensureDemoAlias(session));
       return nullptr;
     },
     {"data/share", "data/share/vellumdex", "config", "config/vellumdex"},
     {"data/share/vellumdex/demo-library.sqlite"}},
    {"SharedLoginBlock",
     {"run"},
     [](const TempDir& dir) -> std::shared_ptr<void> {
       ScopedEnv run("XDG_RUNTIME_DIR", dir.file("run"));
       return std::make_shared<vx::SharedMemory>("LoginBoxMapping", 1032);
     },
     {},
     {"run/LoginBoxMapping.shm", "run/LoginBoxMapping.shm.lock"}},
    {"UserRegistryHive",
     {"home"},
     [](const TempDir& dir) -> std::shared_ptr<void> {
       ScopedEnv named("VELLUMDEX_REGISTRY_DIR", std::nullopt);
       ScopedEnv config("XDG_CONFIG_HOME", dir.file("home/.config"));
       EXPECT_TRUE(vx::reg::writeValue(vx::reg::Hive::CurrentUser,
                                       "Software\\Vellumdex\\Login\\Default", "User",
                                       vx::reg::Value::sz("kari")));
       return nullptr;
     },
     {"home/.config", "home/.config/vellumdex"},
     {"home/.config/vellumdex/HKEY_CURRENT_USER.reg",
      "home/.config/vellumdex/HKEY_CURRENT_USER.reg.lock"}},
};

class PrivateFiles : public ::testing::TestWithParam<Creator> {
 protected:
  void SetUp() override { oldMask_ = ::umask(0); }
  void TearDown() override { ::umask(oldMask_); }

 private:
  mode_t oldMask_ = 0;
};

}  // namespace

TEST_P(PrivateFiles, AreCreatedForTheUserAloneUnderUmaskZero) {
  const Creator& c = GetParam();
  TempDir dir;
  for (const std::string& folder : c.existingFolders) {
    ASSERT_EQ(::mkdir(dir.file(folder).c_str(), 0755), 0) << folder;
    ASSERT_EQ(modeOf(dir.file(folder)), "0755");
  }

  const std::shared_ptr<void> held = c.create(dir);

  for (const std::string& folder : c.existingFolders)
    EXPECT_EQ(modeOf(dir.file(folder)), "0755") << folder << " was there before";
  for (const std::string& folder : c.privateFolders)
    EXPECT_EQ(modeOf(dir.file(folder)), "0700") << folder;
  for (const std::string& file : c.privateFiles) EXPECT_EQ(modeOf(dir.file(file)), "0600") << file;
}

INSTANTIATE_TEST_SUITE_P(Creators, PrivateFiles, ::testing::ValuesIn(kCreators),
                         [](const ::testing::TestParamInfo<Creator>& p) {
                           return std::string(p.param.name);
                         });
