#pragma once
// The version block of a Windows executable (PE32 or PE32+): the version resource (type 16)
// in the resource directory, taking the first name and the first language there, as Windows
// does for a file's version information.
#include "vxcomp/version/ByteSource.h"
#include "vxcomp/version/VersionBlockSearch.h"

namespace vx::version {

// True when the file starts with the "MZ" of an executable for DOS or Windows.
bool isPeFile(const ByteSource& file);

// The resource's first kMaxVersionBlockSize bytes at most, or why there is no such resource.
VersionBlockSearch findPeVersionResource(const ByteSource& file);

}  // namespace vx::version
