#include "vxcomp/version/VersionResource.h"

#include "vxcomp/version/RunningProgram.h"

TVersionResource::TVersionResource() : fileName_(vx::version::runningProgramPath()) {
  readVersionInfo();
}

void TVersionResource::setFileName(const std::string& fileName) {
  fileName_ = fileName;
  changed();
}

void TVersionResource::setLanguage(TLanguage language) {
  language_ = language;
  changed();
}

void TVersionResource::setCharacterSet(TCharacterSet characterSet) {
  characterSet_ = characterSet;
  changed();
}

void TVersionResource::changed() {
  readVersionInfo();
  if (OnChange) OnChange(*this);
}

void TVersionResource::readVersionInfo() {
  using namespace vx::version;
  versionInfo_ = TVersionInfo{};
  const auto loaded = loadVersion(fileName_);
  if (!loaded) return;
  fillFromFixedInfo(loaded->fixed, versionInfo_);
  fillFromStringTable(loaded->root, stringTablePath(languageId(language_), codePage(characterSet_)),
                      versionInfo_);
}

namespace vx::version {

std::string runningProgramVersion() { return TVersionResource().versionInfo().FileVersion; }

}  // namespace vx::version
