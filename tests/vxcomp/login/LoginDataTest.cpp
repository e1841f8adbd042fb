// The shared login record: the block shared between programs, its layout, and the
// registry values behind it.
#include "platform/CodePage1252.h"
#include "platform/Registry.h"
#include "platform/SharedMemory.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "vxcomp/login/LoginData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace vx;
using vxtest::readAll;
using vxtest::TempDir;

namespace {

class LoginRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.file("run"));
    runtimeDir.set(dir.file("run"));
    put("Software\\Vellumdex\\Login\\Default", "Database", "demo");
    put("Software\\Vellumdex\\Login\\Default", "User", "kari");
    put("Software\\Vellumdex\\Login\\demo\\kari", "UnitId", "17");
    put("Software\\Vellumdex\\Login\\demo\\kari", "UnitName", "Hovedbiblioteket");
  }
  static void put(const std::string& key, const std::string& name, const std::string& value) {
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, name, reg::Value::sz(value)));
  }
  static std::string get(const std::string& key, const std::string& name) {
    auto v = reg::readValue(reg::Hive::CurrentUser, key, name);
    return v ? v->text : "<none>";
  }
  TempDir dir;
  vxtest::ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", std::nullopt};
};

// Runs `body` in a child process and returns its exit status.
template <typename F>
int inChild(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

}  // namespace

TEST_F(LoginRecord, TheFirstProgramFillsANewBlockFromTheRegistry) {
  TLoginData login;
  EXPECT_FALSE(login.LoggedIn());
  EXPECT_EQ(login.Alias(), "demo");
  EXPECT_EQ(login.UserName(), "kari");
  EXPECT_EQ(login.Password(), "");
  EXPECT_EQ(login.UnitID(), 17);
  EXPECT_EQ(login.UnitName(), "Hovedbiblioteket");
  EXPECT_EQ(get("Software\\Vellumdex\\Login\\CommonLogin", "UnitID"), "17");
  EXPECT_FALSE(login.LoginPrompt);
  EXPECT_FALSE(login.LoginPromptAlways);
}

TEST_F(LoginRecord, LaterProgramsSeeWhatTheFirstLeftUntilAllHaveEnded) {
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  pid_t first = fork();
  if (first == 0) {  // the first program: logs in and stays
    TLoginData login;
    login.setUserName("ola");
    login.setPassword("hemmelig");
    login.setLoggedIn(true);
    char c = 1;
    (void)!write(toParent[1], &c, 1);
    (void)!read(toChild[0], &c, 1);
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  // The registry changes meanwhile; a second program does not reload from it.
  put("Software\\Vellumdex\\Login\\Default", "User", "someone-else");
  EXPECT_EQ(inChild([] {
              TLoginData login;
              return login.LoggedIn() && login.UserName() == "ola" && login.Password() == "hemmelig" ? 0 : 1;
            }),
            0);
  // Logging in saved the login, without the password.
  EXPECT_EQ(get("Software\\Vellumdex\\Login\\Default", "User"), "someone-else");
  EXPECT_EQ(get("Software\\Vellumdex\\Login\\demo\\ola", "UnitId"), "17");
  const std::string hive = readAll(reg::hiveFilePath(reg::Hive::CurrentUser));
  EXPECT_EQ(hive.find("hemmelig"), std::string::npos);

  (void)!write(toChild[1], &c, 1);
  waitpid(first, nullptr, 0);
  // Everyone has ended: the next program gets a new block, filled from the registry.
  TLoginData fresh;
  EXPECT_FALSE(fresh.LoggedIn());
  EXPECT_EQ(fresh.UserName(), "someone-else");
  EXPECT_EQ(fresh.Password(), "");
}

TEST_F(LoginRecord, TextsAreAnsiAndCutTo255Characters) {
  TLoginData login;
  login.setUserName(std::string(300, 'x'));
  EXPECT_EQ(login.UserName(), std::string(255, 'x'));
  login.setUserName("Bjørn Ærø €");
  EXPECT_EQ(login.UserName(), "Bjørn Ærø €");
  login.setPassword("日本");  // not in the code page: its default character
  EXPECT_EQ(login.Password(), "??");

  // The layout other programs of the suite read: length byte, then the bytes, in the block
  // they open by its name and size.
  SharedMemory raw("LoginBoxMapping", 1032);
  EXPECT_TRUE(raw.existedBefore());
  EXPECT_TRUE(std::filesystem::exists(dir.file("run/LoginBoxMapping.shm")));
  unsigned char name[12] = {};
  raw.read(257, name, sizeof name);
  EXPECT_EQ(name[0], 11);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), 11), cp1252::fromUtf8("Bjørn Ærø €"));
  EXPECT_EQ(static_cast<unsigned char>(name[11]), 0x80);  // the euro sign of code page 1252
  unsigned char pw[3] = {};
  raw.read(513, pw, 3);
  EXPECT_EQ(pw[0], 2);
  EXPECT_EQ(pw[1], '?');
}

TEST_F(LoginRecord, UnitIdThatIsNotANumberReadsAsMinusOne) {
  TLoginData login;
  put("Software\\Vellumdex\\Login\\CommonLogin", "UnitID", "abc");
  EXPECT_EQ(login.UnitID(), -1);
  ASSERT_TRUE(reg::deleteValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Login\\CommonLogin", "UnitID"));
  EXPECT_EQ(login.UnitID(), -1);
  login.setUnitID(42);
  EXPECT_EQ(get("Software\\Vellumdex\\Login\\CommonLogin", "UnitID"), "42");
}

TEST_F(LoginRecord, ABlockThatCannotBeCreatedIsReported) {
  runtimeDir.set(dir.file("no/such/folder"));
  try {
    TLoginData login;
    FAIL() << "created a block in a folder that does not exist";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "TLoginData: Memory-map file not created");
  }
}

TEST(CodePage1252, RoundTripsItsCharactersAndReplacesOthers) {
  EXPECT_EQ(cp1252::fromUtf8("æøå ÆØÅ äöü"), "\xe6\xf8\xe5 \xc6\xd8\xc5 \xe4\xf6\xfc");
  EXPECT_EQ(cp1252::toUtf8("\x80\x8a\x9f\x81"), "€ŠŸ\u0081");
  EXPECT_EQ(cp1252::toUtf8(cp1252::fromUtf8("€ Š Ÿ ‰")), "€ Š Ÿ ‰");
  EXPECT_EQ(cp1252::fromUtf8("a\xff" "b\xc3"), "a?b?");  // invalid UTF-8
}
