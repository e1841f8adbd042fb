#pragma once
// GetVersionInfo: a file's version information as one record, for the exception log. Unlike
// TVersionResource it always reads the Norwegian Bokmål string table in code page 1252
// ("041404E4") and fills what it cannot find with defaults.
#include "vxcomp/version/VersionInfo.h"

#include <string>

// Fills every field of `info`. Defaults: "Unknown", except FileDescription, which is the file's
// name without its folder. From the file's fixed information: FileVersion, ProductVersion,
// FileOS, FileType and, for device drivers and fonts, FileSubType. Then every key found in the
// string table 041404E4 replaces its field, ProductVersion included. A file that cannot be
// read or has no version information keeps the defaults; no error is raised.
void GetVersionInfo(const std::string& fileName, TVersionInfo& info);
