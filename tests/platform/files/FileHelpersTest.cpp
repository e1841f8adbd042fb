// The platform's shared helpers: the XDG folder rule, the file replacement, the name comparison.
#include "platform/FileSystem.h"
#include "platform/TextCompare.h"
#include "platform/XdgDirs.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using namespace vx;
using vxtest::ScopedEnv;

TEST(XdgDirs, RelativeOrEmptyVariablesAreIgnored) {
  ScopedEnv home("HOME", "/home/librarian");
  struct Case {
    const char* variable;
    std::string (*folder)();
    const char* fallback;  // "" when there is none
  };
  const Case cases[] = {{"XDG_CONFIG_HOME", xdg::configHome, "/home/librarian/.config"},
                        {"XDG_DATA_HOME", xdg::dataHome, "/home/librarian/.local/share"},
                        {"XDG_RUNTIME_DIR", xdg::runtimeDir, ""}};
  for (const Case& c : cases) {
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir", "./x"}) {
      ScopedEnv v(c.variable, ignored);
      EXPECT_EQ(c.folder(), c.fallback) << c.variable << "=" << (ignored ? ignored : "(unset)");
    }
    ScopedEnv v(c.variable, "/srv/x");
    EXPECT_EQ(c.folder(), "/srv/x") << c.variable;
  }
}

TEST(ReplaceFile, WritesWholeFilesWithTheirModeAndLeavesNothingBehindOnFailure) {
  vxtest::TempDir dir;
  const std::string path = dir.file("settings.ini");
  ASSERT_TRUE(fs::replaceFile(path, "one\n", 0600));
  EXPECT_EQ(vxtest::readAll(path), "one\n");
  ASSERT_TRUE(fs::replaceFile(path, "two\n", 0644));
  EXPECT_EQ(vxtest::readAll(path), "two\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);  // exactly the mode asked for, whatever the umask

  std::string error;
  EXPECT_FALSE(fs::replaceFile(dir.file("missing/x.ini"), "x", 0600, &error));
  EXPECT_NE(error.find("Cannot create " + dir.file("missing/x.ini.tmp-")), std::string::npos) << error;
  // A folder in the way: the rename fails, the temporary goes, the folder stays.
  std::filesystem::create_directories(dir.file("taken/inner"));
  EXPECT_FALSE(fs::replaceFile(dir.file("taken"), "x", 0600, &error));
  EXPECT_NE(error.find("Cannot replace " + dir.file("taken")), std::string::npos) << error;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
  EXPECT_TRUE(fs::folderExists(dir.file("taken/inner")));
}

TEST(TextCompare, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(sameName("HKEY_Current_User", "hkey_current_user"));
  EXPECT_FALSE(sameName("Database", "Databases"));
  EXPECT_FALSE(sameName("\xc3\x86", "\xc3\xa6"));  // "Æ" and "æ" stay apart
  EXPECT_FALSE(sameName("[", "{"));               // no folding outside the letters
  EXPECT_TRUE(lessNoCase("alpha", "BETA"));
  EXPECT_FALSE(lessNoCase("Beta", "alpha"));
  EXPECT_FALSE(lessNoCase("ABC", "abc"));
  EXPECT_TRUE(lessNoCase("ab", "ABC"));
}
