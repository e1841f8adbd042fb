#include "vxcomp/version/ExecutableVersion.h"

#include "vxcomp/version/ElfVersionSection.h"
#include "vxcomp/version/PeVersionResource.h"

namespace vx::version {

VersionBlockSearch findVersionBlock(const ByteSource& file) {
  if (isElfFile(file)) return findElfVersionSection(file);
  if (isPeFile(file)) return findPeVersionResource(file);
  return VersionBlockSearch::none("not an executable (neither ELF nor Windows)");
}

VersionBlockSearch findVersionBlockInFile(const std::string& path) {
  std::string problem;
  const auto file = FileSource::open(path, problem);
  if (!file) return VersionBlockSearch::none("cannot open: " + problem);
  return findVersionBlock(*file);
}

}  // namespace vx::version
