#pragma once
// The version block of an executable file, whichever kind it is: an ELF file of ours (its
// version section) or a Windows executable (its version resource).
#include "vxcomp/version/ByteSource.h"
#include "vxcomp/version/VersionBlockSearch.h"

#include <string>

namespace vx::version {

// Looks at the file's first bytes to choose the reader.
VersionBlockSearch findVersionBlock(const ByteSource& file);

// The same for the file at `path`; a file that cannot be opened gives "cannot open: <reason>".
VersionBlockSearch findVersionBlockInFile(const std::string& path);

}  // namespace vx::version
