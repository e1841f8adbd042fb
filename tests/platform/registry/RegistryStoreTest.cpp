// The registry store on real hive files: where they live, round trips, damage, locking
// between processes, atomic replacement and read-only hives.
#include "platform/Registry.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace reg = vx::reg;
namespace fs = std::filesystem;
using reg::Hive;
using reg::Value;
using namespace std::string_literals;

using vxtest::ScopedEnv;

namespace {

const std::string kKey = "Software\\Vellumdex\\vxtest\\General";

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}


// Kills and reaps a child process however the test ends.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ~ChildGuard() { stop(); }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

}  // namespace

TEST(RegistryStore, HiveFilesLiveWhereTheUserAndAdministratorExpectThem) {
  {
    ScopedEnv dir("VELLUMDEX_REGISTRY_DIR", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(reg::hiveFilePath(Hive::CurrentUser), "/tmp/xdg-test/vellumdex/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(reg::hiveFilePath(Hive::Users), "/etc/vellumdex/HKEY_USERS.reg");
    EXPECT_EQ(reg::hiveFilePath(Hive::LocalMachine), "/etc/vellumdex/HKEY_LOCAL_MACHINE.reg");
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/librarian");
    EXPECT_EQ(reg::hiveFilePath(Hive::CurrentUser),
              "/home/librarian/.config/vellumdex/HKEY_CURRENT_USER.reg");
  }
  vxtest::TempDir tmp;
  EXPECT_EQ(reg::hiveFilePath(Hive::LocalMachine), tmp.registryDir() + "/HKEY_LOCAL_MACHINE.reg");
}

TEST(RegistryStore, EveryValueTypeRoundTripsThroughTheFile) {
  vxtest::TempDir tmp;
  const std::vector<std::pair<std::string, Value>> values = {
      {"Text", Value::sz("C:\\loans\\\"day\".txt")},
      {"", Value::sz("the default")},
      {"Expand", Value::expandSz("%TEMP%\\vx")},
      {"Count", Value::fromDword(0x8000002a)},
      {"Blob", Value::binary({0, 1, 2, 0xfe, 0xff, 0, 0, 0})},
  };
  for (const auto& [name, v] : values) ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, kKey, name, v));
  for (const auto& [name, v] : values) {
    const auto got = reg::readValue(Hive::CurrentUser, kKey, name);
    ASSERT_TRUE(got) << name;
    EXPECT_EQ(*got, v) << name;
  }
  const std::string file = vxtest::readAll(reg::hiveFilePath(Hive::CurrentUser));
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  for (const char* line : {"\r\n[HKEY_CURRENT_USER\\Software\\Vellumdex\\vxtest\\General]\r\n",
                           "\r\n\"Text\"=\"C:\\\\loans\\\\\\\"day\\\".txt\"\r\n",
                           "\r\n@=\"the default\"\r\n",
                           "\r\n\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,76,00,78,00,00,00\r\n",
                           "\r\n\"Count\"=dword:8000002a\r\n",
                           "\r\n\"Blob\"=hex:00,01,02,fe,ff,00,00,00\r\n"})
    EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
  // The other hives are separate files.
  EXPECT_FALSE(reg::readValue(Hive::LocalMachine, kKey, "Text"));
  ASSERT_TRUE(reg::writeValue(Hive::LocalMachine, kKey, "Text", Value::sz("machine")));
  EXPECT_EQ(reg::readValue(Hive::CurrentUser, kKey, "Text")->text, "C:\\loans\\\"day\".txt");

  // A rewritten hive keeps its permissions, whatever the umask.
  const std::string machine = reg::hiveFilePath(Hive::LocalMachine);
  chmod(machine.c_str(), 0644);
  const mode_t oldMask = umask(077);
  ASSERT_TRUE(reg::writeValue(Hive::LocalMachine, kKey, "Text", Value::sz("again")));
  umask(oldMask);
  struct stat st {};
  ASSERT_EQ(stat(machine.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  EXPECT_TRUE(reg::deleteValue(Hive::CurrentUser, kKey, "COUNT"));
  EXPECT_FALSE(reg::readValue(Hive::CurrentUser, kKey, "Count"));
  EXPECT_TRUE(reg::deleteValue(Hive::CurrentUser, kKey, "Count"));  // already gone
}

TEST(RegistryStore, KeysCompareWithoutCaseAndKeepTheirCase) {
  vxtest::TempDir tmp;
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, "Software\\Vellumdex\\VxDown", "FileLocation",
                              Value::sz("a")));
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, "SOFTWARE\\VELLUMDEX\\VXDOWN", "FILELOCATION",
                              Value::sz("b")));
  EXPECT_EQ(reg::readValue(Hive::CurrentUser, "software\\vellumdex\\vxdown", "filelocation")->text, "b");
  EXPECT_TRUE(reg::keyExists(Hive::CurrentUser, "software\\VELLUMDEX"));
  const std::string file = vxtest::readAll(reg::hiveFilePath(Hive::CurrentUser));
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Vellumdex\\VxDown]\r\n\"FileLocation\"=\"b\""),
            std::string::npos);

  EXPECT_FALSE(reg::keyExists(Hive::CurrentUser, "Software\\Other"));
  ASSERT_TRUE(reg::createKey(Hive::CurrentUser, "Software\\Other"));
  EXPECT_TRUE(reg::keyExists(Hive::CurrentUser, "SOFTWARE\\OTHER"));
  EXPECT_EQ(reg::createKey(Hive::CurrentUser, "Software\\Bad\tName").why(), "invalid key or value name");
}

TEST(RegistryStore, AMissingOrEmptyHiveIsAnEmptyHive) {
  vxtest::TempDir tmp;
  EXPECT_FALSE(reg::readValue(Hive::CurrentUser, kKey, "x"));
  EXPECT_FALSE(reg::keyExists(Hive::CurrentUser, "Software"));
  const std::string path = reg::hiveFilePath(Hive::CurrentUser);
  vxtest::writeAll(path, "");
  EXPECT_FALSE(reg::readValue(Hive::CurrentUser, kKey, "x"));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, kKey, "x", Value::fromDword(1)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  for (const auto& f : filesIn(tmp.registryDir()))
    EXPECT_EQ(f.find(".damaged-"), std::string::npos) << f;
}

TEST(RegistryStore, ADamagedHiveIsReadAsFarAsPossibleAndKeptBeforeItIsReplaced) {
  vxtest::TempDir tmp;
  const std::string path = reg::hiveFilePath(Hive::CurrentUser);
  const std::string damaged =
      "Registry of some other kind\n"
      "[HKEY_CURRENT_USER\\Software\\Vellumdex\\vxtest\\General]\n"
      "\"Good\"=\"survives\"\n"
      "\x01\x02\x03\xff binary junk\n"
      "\"Nul\"=\"a\0b\"\n"
      "\"Num\"=dword:00000005\n"
      "\"Cut\"=hex:01,02,\\\n"s;
  ASSERT_NE(damaged.find('\0'), std::string::npos);
  vxtest::writeAll(path, damaged);

  EXPECT_EQ(reg::readValue(Hive::CurrentUser, kKey, "Good")->text, "survives");
  EXPECT_EQ(reg::readValue(Hive::CurrentUser, kKey, "Num")->dword, 5u);
  EXPECT_FALSE(reg::readValue(Hive::CurrentUser, kKey, "Cut"));
  EXPECT_EQ(vxtest::readAll(path), damaged) << "reading never rewrites";

  testing::internal::CaptureStderr();
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, kKey, "New", Value::fromDword(9)));
  const std::string warning = testing::internal::GetCapturedStderr();

  std::vector<std::string> copies;
  for (const auto& f : filesIn(tmp.registryDir()))
    if (f.rfind("HKEY_CURRENT_USER.reg.damaged-", 0) == 0) copies.push_back(f);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(vxtest::readAll(tmp.registryDir() + "/" + copies[0]), damaged);
  EXPECT_NE(warning.find(copies[0]), std::string::npos) << warning;

  EXPECT_EQ(reg::readValue(Hive::CurrentUser, kKey, "Good")->text, "survives");
  EXPECT_EQ(reg::readValue(Hive::CurrentUser, kKey, "New")->dword, 9u);
  EXPECT_TRUE(reg::RegistryHive::parse(vxtest::readAll(path), "HKEY_CURRENT_USER").problems.empty());

  // The hive is sound again: the next write keeps no further copy.
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, kKey, "New", Value::fromDword(10)));
  int after = 0;
  for (const auto& f : filesIn(tmp.registryDir())) after += f.find(".damaged-") != std::string::npos;
  EXPECT_EQ(after, 1);
}

TEST(RegistryStore, AReadOnlyHiveOrFolderRefusesWritesAndStaysAsItWas) {
  vxtest::TempDir tmp;
  const std::string path = reg::hiveFilePath(Hive::LocalMachine);
  ASSERT_TRUE(reg::writeValue(Hive::LocalMachine, kKey, "A", Value::fromDword(1)));
  const std::string before = vxtest::readAll(path);

  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Each refusal says why.
  EXPECT_EQ(reg::writeValue(Hive::LocalMachine, kKey, "A", Value::fromDword(2)).why(), path + " is read-only");
  EXPECT_FALSE(reg::createKey(Hive::LocalMachine, "Software\\New"));
  EXPECT_FALSE(reg::deleteValue(Hive::LocalMachine, kKey, "A"));
  EXPECT_EQ(vxtest::readAll(path), before);
  EXPECT_EQ(reg::readValue(Hive::LocalMachine, kKey, "A")->dword, 1u) << "reads still work";

  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  fs::permissions(tmp.registryDir(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(reg::writeValue(Hive::LocalMachine, kKey, "A", Value::fromDword(3)).why(),
            "the folder " + tmp.registryDir() + " is read-only");
  EXPECT_FALSE(reg::writeValue(Hive::CurrentUser, kKey, "A", Value::fromDword(3)));
  EXPECT_EQ(vxtest::readAll(path), before);
  fs::permissions(tmp.registryDir(), fs::perms::owner_all);
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
  vxtest::TempDir tmp;
  constexpr int kPerProcess = 200;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  bool allWritten = true;
  for (int i = 0; i < kPerProcess; ++i)
    allWritten &= reg::writeValue(Hive::CurrentUser, kKey, std::string(who) + std::to_string(i),
                                  Value::fromDword(static_cast<uint32_t>(i)))
                      .ok();
  if (child == 0) _exit(allWritten ? 0 : 1);

  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(allWritten);
  const auto parsed = reg::RegistryHive::parse(
      vxtest::readAll(reg::hiveFilePath(Hive::CurrentUser)), "HKEY_CURRENT_USER");
  EXPECT_TRUE(parsed.problems.empty());
  for (const char* w : {"child", "parent"}) {
    for (int i = 0; i < kPerProcess; ++i) {
      const Value* v = parsed.hive.findValue(kKey, std::string(w) + std::to_string(i));
      ASSERT_NE(v, nullptr) << w << i;
      EXPECT_EQ(v->dword, static_cast<uint32_t>(i));
    }
  }
  for (const auto& f : filesIn(tmp.registryDir()))
    EXPECT_EQ(f.find(".tmp-"), std::string::npos) << "left over: " << f;
}

TEST(RegistryStore, AWriterKilledMidWayNeverLeavesAPartialHive) {
  vxtest::TempDir tmp;
  const std::string path = reg::hiveFilePath(Hive::CurrentUser);
  const std::string big(4000, 'x');  // large hives take long enough to be caught mid-write
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 0;; ++i)  // killed in the middle of a write; whether each lands does not matter
      (void)reg::writeValue(Hive::CurrentUser, kKey, "v" + std::to_string(i), Value::sz(big));
  }
  ChildGuard guard(child);
  // Let the writer get well into its run, then kill it wherever it is.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::size_t seen = 0;
  while (seen < 30 && std::chrono::steady_clock::now() < deadline) {
    const auto parsed = reg::RegistryHive::parse(vxtest::readAll(path), "HKEY_CURRENT_USER");
    ASSERT_TRUE(parsed.problems.empty()) << "a reader saw a half-written hive";
    seen = parsed.hive.keys().empty() ? 0 : parsed.hive.keys()[0].values.size();
  }
  guard.stop();
  ASSERT_GE(seen, 30u);

  const auto parsed = reg::RegistryHive::parse(vxtest::readAll(path), "HKEY_CURRENT_USER");
  EXPECT_TRUE(parsed.problems.empty());
  const auto& values = parsed.hive.keys().at(0).values;
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].name, "v" + std::to_string(i));
    EXPECT_EQ(values[i].value, Value::sz(big));
  }
  // The hive stays writable after the writer died holding the lock.
  EXPECT_TRUE(reg::writeValue(Hive::CurrentUser, kKey, "after", Value::fromDword(1)));
}

TEST(RegistryStore, AKeyIsListedAndReplacedWithEverythingBelowIt) {
  vxtest::TempDir dir;
  const std::string key = "Software\\Vellumdex\\Login\\demo\\Params";
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, key, "Old", Value::sz("1")));
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, key + "\\Below", "Deep", Value::sz("2")));
  ASSERT_TRUE(reg::writeValue(Hive::CurrentUser, "Software\\Vellumdex\\Login\\demo\\ParamsX", "Near", Value::sz("3")));
  ASSERT_EQ(reg::listValues(Hive::CurrentUser, key).size(), 1u);

  ASSERT_TRUE(reg::replaceKey(Hive::CurrentUser, key, {{"A", Value::sz("a")}, {"B", Value::sz("b")}}));
  const auto values = reg::listValues(Hive::CurrentUser, key);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "A");
  EXPECT_EQ(values[1].value.text, "b");
  EXPECT_FALSE(reg::keyExists(Hive::CurrentUser, key + "\\Below"));
  // A key whose name only starts the same is not below it.
  EXPECT_TRUE(reg::readValue(Hive::CurrentUser, "Software\\Vellumdex\\Login\\demo\\ParamsX", "Near"));
  EXPECT_TRUE(reg::listValues(Hive::CurrentUser, "Software\\None").empty());
}
