// What every program of the suite tells about itself: --version from its own version
// information, --help on standard output, both without a display; and its manual page, which
// renders without a warning and documents every long option that --help names.
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "vxcomp/version/VersionResource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

using vxtest::ToolRun;

namespace {

const char* const kPrograms[] = {"vxdown", "vximport", "vxdb", "vxsql", "mldc", "vxver"};

// No display of any kind: vxdown must answer before Qt looks for one.
const vxtest::EnvChanges kNoDisplay = {
    {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt}};

struct ProgramDocsTest : testing::TestWithParam<const char*> {
  vxtest::TempDir dir;
  std::string program = GetParam();

  ToolRun run(const std::string& tool, const std::vector<std::string>& args) const {
    return vxtest::runTool(tool, args, kNoDisplay, dir.path());
  }
};

TEST_P(ProgramDocsTest, VersionIsTheOneInTheProgramsVersionInformation) {
  TVersionResource resource;
  resource.setFileName(vxtest::toolPath(program));
  const std::string version = resource.versionInfo().FileVersion;
  ASSERT_FALSE(version.empty()) << program << " carries no version information";

  const ToolRun r = run(program, {"--version"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, program + " " + version + "\n");
  EXPECT_EQ(r.err, "");
}

TEST_P(ProgramDocsTest, HelpPrintsTheUsageOnStandardOutput) {
  const ToolRun r = run(program, {"--help"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("usage: " + program + " ", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_P(ProgramDocsTest, ManualPageRendersWithoutWarningsAndNamesEveryLongOption) {
  const ToolRun unpacked = run(VX_TEST_GZIP, {"-dc", std::string(VX_TEST_MAN_DIR "/") + program + ".1.gz"});
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
  const std::string page = dir.file(program + ".1");
  std::ofstream(page, std::ios::binary) << unpacked.out;

  // Plain text (no bold or underline) on lines long enough that no option is broken.
  const ToolRun shown =
      run(VX_TEST_GROFF, {"-man", "-Tutf8", "-ww", "-rLL=250n", "-rHY=0", "-P-cbou", page});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.err, "") << "groff warns about the page of " << program;
  for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "SEE ALSO"})
    EXPECT_NE(shown.out.find(std::string("\n") + section + "\n"), std::string::npos)
        << program << "(1) lacks " << section;

  const std::string help = run(program, {"--help"}).out;
  const std::regex longOption("(^|[^-\\w])(--[a-z][a-z0-9-]*)");
  std::set<std::string> options;
  for (std::sregex_iterator i(help.begin(), help.end(), longOption), end; i != end; ++i)
    options.insert((*i)[2]);
  EXPECT_TRUE(options.count("--help") && options.count("--version")) << help;
  for (const std::string& option : options)
    EXPECT_TRUE(std::regex_search(shown.out, std::regex("(^|[^-\\w])" + option + "($|[^-\\w])")))
        << program << "(1) does not mention " << option;
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramDocsTest, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

}  // namespace
