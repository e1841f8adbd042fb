// vxver: shows the version information of a program of the suite, ours or a Windows one, as
// the about box and the exception log read it. See --help.
#include "tools/vxver/CommandLine.h"
#include "vxcomp/version/ExecutableVersion.h"
#include "vxcomp/version/GetVersionInfo.h"
#include "vxcomp/version/RunningProgram.h"
#include "vxcomp/version/VersionBlockWriter.h"
#include "vxcomp/version/VersionResource.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace vx::tools::vxver;

namespace {

enum ExitStatus { kShown = 0, kNoVersion = 1, kUsage = 2 };

void print(const char* title, const TVersionInfo& info) {
  std::printf("[%s]\n", title);
  for (const auto& field : vx::version::versionInfoFields())
    std::printf("%s: %s\n", field.name, (info.*field.member).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    o = parse(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vxver: %s\n%s", e.what(), usage().c_str());
    return kUsage;
  }
  if (o.help) {
    std::fputs(usage().c_str(), stdout);
    return kShown;
  }
  if (o.version) {
    std::printf("vxver %s\n", vx::version::runningProgramVersion().c_str());
    return kShown;
  }

  // The readers give empty texts or defaults for a file without version information; say why
  // instead, so that a script can tell.
  const auto search = vx::version::findVersionBlockInFile(o.file);
  if (!search.block) {
    std::fprintf(stderr, "vxver: %s: %s\n", o.file.c_str(), search.problem.c_str());
    return kNoVersion;
  }
  if (!vx::version::loadVersion(o.file)) {
    std::fprintf(stderr, "vxver: %s: the version information is damaged\n", o.file.c_str());
    return kNoVersion;
  }

  TVersionResource resource;
  resource.setFileName(o.file);
  resource.setLanguage(o.language);
  resource.setCharacterSet(o.characterSet);
  const std::string table = vx::version::stringTableKey(vx::version::languageId(o.language),
                                                        vx::version::codePage(o.characterSet));
  print(("TVersionResource " + table).c_str(), resource.versionInfo());

  TVersionInfo record;
  GetVersionInfo(o.file, record);
  std::printf("\n");
  print("GetVersionInfo 041404E4", record);
  return kShown;
}
