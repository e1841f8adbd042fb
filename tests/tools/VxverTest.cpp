// vxver and vxdown --version as processes: what an administrator sees of a Windows program's
// version resource and of our own programs' version information, and the exit statuses.
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "tests/vxcomp/version/TestExecutables.h"
#include "vxcomp/version/VersionBlockWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

using vxtest::ToolRun;

namespace {

struct VxverTest : testing::Test {
  vxtest::TempDir dir;
  ToolRun run(const std::string& tool, const std::vector<std::string>& args) const {
    return vxtest::runTool(tool, args, {}, dir.path());
  }
};

TEST_F(VxverTest, ShowsBothReadersOfAWindowsProgram) {
  vx::version::FixedFileInfo fixed;
  fixed.fileVersion = {2, 6, 1, 4};
  fixed.productVersion = {2, 5, 0, 3};
  fixed.fileOS = 0x40004;
  fixed.fileType = 3;
  fixed.fileSubtype = 1;
  const std::string block = vx::version::writeVersionBlock(
      {fixed, {{0x0414, 0x04E4, {{"ProductVersion", "2.6"}, {"CompanyName", "Vellumdex"}}},
               {0x041D, 0x04E4, {{"CompanyName", "Vellumdex AB"}}}}});
  vxtest::writeAll(dir.file("driver.sys"), vxtest::makePeFile(false, block).bytes);

  const ToolRun r = run("vxver", {dir.file("driver.sys"), "--language", "1053", "--codepage", "0x4E4"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "[TVersionResource 041D04E4]\n"
            "Comment: \nCompanyName: Vellumdex AB\nFileDescription: \nFileVersion: 2.6.1.4\n"
            "InternalName: \nLegalCopyright: \nLegalTradeMarks: \nOriginalFileName: \nPrivateBuild: \n"
            "ProductName: \nProductVersion: 2.5.0.3\nSpecialBuild: \nFileOS: Windows NT with 32 bit Windows\n"
            "FileType: Device Driver\nFileSubType: Printer\n"
            "\n[GetVersionInfo 041404E4]\n"
            "Comment: Unknown\nCompanyName: Vellumdex\nFileDescription: driver.sys\nFileVersion: 2.6.1.4\n"
            "InternalName: Unknown\nLegalCopyright: Unknown\nLegalTradeMarks: Unknown\nOriginalFileName: Unknown\n"
            "PrivateBuild: Unknown\nProductName: Unknown\nProductVersion: 2.6\nSpecialBuild: Unknown\n"
            "FileOS: Windows NT with 32 bit Windows\nFileType: Device Driver\nFileSubType: Printer\n");
}

TEST_F(VxverTest, ShowsOurOwnProgramsVersion) {
  const ToolRun own = run("vxdown", {"--version"});
  EXPECT_EQ(own.exitCode, 0) << own.err;
  EXPECT_EQ(own.out, "vxdown " VX_TEST_FILE_VERSION "\n");
  EXPECT_EQ(run("vxver", {"--version"}).out, "vxver " VX_TEST_FILE_VERSION "\n");

  const std::string vxdown = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vxdown";
  const ToolRun shown = run("vxver", {vxdown, "--language", "1044", "--codepage", "1252"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  for (const char* line : {"ProductName: Vellumdex System Down\n", "OriginalFileName: vxdown\n",
                           "ProductVersion: " VX_TEST_PRODUCT_VERSION "\n", "FileType: Application\n"})
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;
}

TEST_F(VxverTest, FailsClearly) {
  vxtest::writeAll(dir.file("notes.txt"), "not a program\n");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{dir.file("missing")}, 1, "missing: cannot open: No such file or directory"},
      {{dir.file("notes.txt")}, 1, "notes.txt: not an executable"},
      {{}, 2, "no file given"},
      {{"a", "b"}, 2, "only one file"},
      {{"a", "--language", "1"}, 2, "--language 1 is not a language"},
      {{"a", "--codepage", "12x"}, 2, "--codepage takes a number"},
      {{"a", "--codepage"}, 2, "--codepage needs a value"},
      {{"--colour"}, 2, "unknown option --colour"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run("vxver", c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << c.message;
  }
}

}  // namespace
