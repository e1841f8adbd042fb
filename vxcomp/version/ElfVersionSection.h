#pragma once
// The version block of an ELF file: the contents of its section ".vs_version_info", where the
// build puts the programs' version information. ELF files of either class and byte order are
// read; the section is found by name through the section header string table.
#include "vxcomp/version/ByteSource.h"
#include "vxcomp/version/VersionBlockSearch.h"

namespace vx::version {

inline constexpr char kVersionSectionName[] = ".vs_version_info";

// True when the file starts with the ELF magic.
bool isElfFile(const ByteSource& file);

// The section's first kMaxVersionBlockSize bytes at most, or why there is no such section.
VersionBlockSearch findElfVersionSection(const ByteSource& file);

}  // namespace vx::version
