#pragma once
// TVersionResource: the version information of a file (by default the running program) in the
// string table of one language and code page. The about box shows its FileVersion.
//
// The values are read when the component is created and again each time FileName, Language or
// CharacterSet is set, after which OnChange is called. A file without version information, or
// one that cannot be read, leaves all fifteen strings empty; no error is raised.
#include "vxcomp/version/Language.h"
#include "vxcomp/version/VersionInfo.h"

#include <functional>
#include <string>

class TVersionResource {
 public:
  // FileName is the running program's full path, Language lnUSEnglish, CharacterSet
  // csMultilingual; the values are read at once (OnChange is not called for it).
  TVersionResource();

  const std::string& fileName() const { return fileName_; }
  void setFileName(const std::string& fileName);

  TLanguage language() const { return language_; }
  void setLanguage(TLanguage language);

  TCharacterSet characterSet() const { return characterSet_; }
  void setCharacterSet(TCharacterSet characterSet);

  // The values read. Owned by the component; the reference stays valid while it lives.
  const TVersionInfo& versionInfo() const { return versionInfo_; }

  // Called with the component after a property was set and the values read again.
  std::function<void(TVersionResource& sender)> OnChange;

 private:
  void readVersionInfo();
  void changed();

  std::string fileName_;
  TLanguage language_ = lnUSEnglish;
  TCharacterSet characterSet_ = csMultilingual;
  TVersionInfo versionInfo_;
};

namespace vx::version {

// The running program's file version from its own version information ("2.5.0.0"); empty when
// the file has none.
std::string runningProgramVersion();

}  // namespace vx::version
