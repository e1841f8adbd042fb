#include "vxcomp/version/GetVersionInfo.h"

namespace {

constexpr std::uint16_t kNorwegianBokmal = 0x0414;
constexpr std::uint16_t kCodePage1252 = 0x04E4;

}  // namespace

void GetVersionInfo(const std::string& fileName, TVersionInfo& info) {
  using namespace vx::version;
  for (const auto& field : versionInfoFields()) info.*field.member = "Unknown";
  info.FileDescription = fileName.substr(fileName.find_last_of('/') + 1);

  const auto loaded = loadVersion(fileName);
  if (!loaded) return;
  fillFromFixedInfo(loaded->fixed, info);
  fillFromStringTable(loaded->root, stringTablePath(kNorwegianBokmal, kCodePage1252), info);
}
