// The shared login record: the block shared between programs, its layout, and the
// registry values behind it.
#include "platform/CodePage1252.h"
#include "platform/Registry.h"
#include "platform/SharedMemory.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "vxcomp/login/LoginData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
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

namespace {

// Another program of the suite, in a child process: it opens the login record, logs in with
// `user` and `password` when they are given, and then answers the test through two pipes:
// 'q' asks for the user name and password it sees, 'e' ends it normally.
class Holder {
 public:
  Holder(const std::string& user, const std::string& password) {
    int toChild[2], toParent[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(toParent, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);  // a job of its own, as a shell starts a program
      ::close(toChild[1]);
      ::close(toParent[0]);
      serve(toChild[0], toParent[1], user, password);
    }
    ::close(toChild[0]);
    ::close(toParent[1]);
    in_ = toParent[0];
    out_ = toChild[1];
    char ready = 0;
    if (pid_ < 0 || ::read(in_, &ready, 1) != 1) pid_ = -1;
  }
  ~Holder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    ::close(in_);
    ::close(out_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The user name and password the holder sees, one per line.
  std::string login() {
    const char q = 'q';
    if (::write(out_, &q, 1) != 1) return "(no answer)";
    std::string text;
    char c;
    while (std::count(text.begin(), text.end(), '\n') < 2 && ::read(in_, &c, 1) == 1) text += c;
    return text;
  }
  // Ends the holder normally, its destructors run, and waits for it.
  void end() {
    const char e = 'e';
    (void)!::write(out_, &e, 1);
    reap();
  }
  void reap() {
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  [[noreturn]] static void serve(int in, int out, const std::string& user,
                                 const std::string& password) {
    {
      TLoginData login;
      if (!user.empty()) {
        login.setUserName(user);
        login.setPassword(password);
      }
      char c = 'r';
      (void)!::write(out, &c, 1);
      while (::read(in, &c, 1) == 1 && c != 'e') {
        const std::string text = login.UserName() + "\n" + login.Password() + "\n";
        (void)!::write(out, text.data(), text.size());
      }
    }
    _exit(0);
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
};

// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string stat = readAll(e.path().string() + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
      children.push_back(std::stoi(e.path().filename().string()));
  }
  return children;
}

// Waits, at most `boundMs` for each, for the processes of `pidfds` to end; false when one is
// still there.
bool waitForEnd(const std::vector<int>& pidfds, int boundMs) {
  for (int fd : pidfds) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, boundMs) != 1) return false;
  }
  return true;
}

// The files below `folder` that hold any of `secrets`.
std::vector<std::string> filesHolding(const std::string& folder,
                                      const std::vector<std::string>& secrets) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (!e.is_regular_file()) continue;
    const std::string bytes = readAll(e.path().string());
    for (const std::string& s : secrets)
      if (bytes.find(s) != std::string::npos) found.push_back(e.path().string() + " holds " + s);
  }
  return found;
}

enum class Ending { Normally, Killed, GroupKilled };

struct LastHolderCase {
  const char* name;
  Ending ending;       // how the program that logged in ends
  bool anotherHolder;  // whether a second program holds the record meanwhile
};

const LastHolderCase kEndings[] = {
    {"EndsNormally", Ending::Normally, false},
    {"IsKilled", Ending::Killed, false},
    {"IsKilledWithItsGroup", Ending::GroupKilled, false},
    {"EndsNormallyBesideAnother", Ending::Normally, true},
    {"IsKilledBesideAnother", Ending::Killed, true},
};

void PrintTo(const LastHolderCase& c, std::ostream* os) { *os << c.name; }

class LoginRecordEnd : public LoginRecord, public ::testing::WithParamInterface<LastHolderCase> {};

}  // namespace

// When the last program that holds the login record ends, however it ends, the user name and
// password are left in no file; while another program holds it, the record stays as it is.
TEST_P(LoginRecordEnd, LeavesNoLoginOnDiskOnceNobodyHoldsIt) {
  const LastHolderCase& c = GetParam();
  const std::string user = "holder-user-7f3a";
  const std::string password = "holder-secret-9c1e";
  const std::string expected = user + "\n" + password + "\n";

  Holder first(user, password);
  ASSERT_TRUE(first.running());
  ASSERT_EQ(first.login(), expected);
  std::optional<Holder> second;
  if (c.anotherHolder) {
    second.emplace("", "");
    ASSERT_TRUE(second->running());
    ASSERT_EQ(second->login(), expected);
  }
  // Whatever the first program left running (a helper that outlives it) is waited for below.
  std::vector<int> leftRunning;
  for (pid_t child : childrenOf(first.pid())) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (fd >= 0) leftRunning.push_back(fd);
    else ASSERT_EQ(errno, ESRCH) << "pidfd_open: " << std::strerror(errno);
  }

  switch (c.ending) {
    case Ending::Normally: first.end(); break;
    case Ending::Killed:
      ::kill(first.pid(), SIGKILL);
      first.reap();
      break;
    case Ending::GroupKilled:
      // The whole process group, as a shell or terminal ends a job.
      ::kill(-first.pid(), SIGKILL);
      first.reap();
      break;
  }
  const bool allEnded = waitForEnd(leftRunning, 10'000);
  for (int fd : leftRunning) ::close(fd);
  ASSERT_TRUE(allEnded) << "a process the first program left did not end";

  if (c.anotherHolder) {
    EXPECT_EQ(second->login(), expected);
    EXPECT_FALSE(filesHolding(dir.path(), {password}).empty());
    second->end();
  }
  EXPECT_EQ(filesHolding(dir.path(), {user, password}), std::vector<std::string>{});
  // The next program starts from a new block.
  TLoginData next;
  EXPECT_EQ(next.Password(), "");
}

INSTANTIATE_TEST_SUITE_P(Endings, LoginRecordEnd, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<LastHolderCase>& p) {
                           return std::string(p.param.name);
                         });

TEST(CodePage1252, RoundTripsItsCharactersAndReplacesOthers) {
  EXPECT_EQ(cp1252::fromUtf8("æøå ÆØÅ äöü"), "\xe6\xf8\xe5 \xc6\xd8\xc5 \xe4\xf6\xfc");
  EXPECT_EQ(cp1252::toUtf8("\x80\x8a\x9f\x81"), "€ŠŸ\u0081");
  EXPECT_EQ(cp1252::toUtf8(cp1252::fromUtf8("€ Š Ÿ ‰")), "€ Š Ÿ ‰");
  EXPECT_EQ(cp1252::fromUtf8("a\xff" "b\xc3"), "a?b?");  // invalid UTF-8
}
