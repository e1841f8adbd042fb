#pragma once
// The fifteen texts of a file's version information that the about box and the exception log
// show, and the steps both readers (TVersionResource, GetVersionInfo) share to fill them.
#include "vxcomp/version/FixedFileInfo.h"
#include "vxcomp/version/VersionBlock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

class TVersionInfo {
 public:
  std::string Comment;
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTradeMarks;
  std::string OriginalFileName;
  std::string PrivateBuild;
  std::string ProductName;
  std::string ProductVersion;
  std::string SpecialBuild;
  std::string FileOS;
  std::string FileType;
  std::string FileSubType;

  bool operator==(const TVersionInfo&) const = default;
};

namespace vx::version {

// The fifteen fields in their order, with their names, for code that lists them all: the one
// table of the version information's names. `tableKey` is the field's key in a string table
// ("Comments" for Comment), null for the fields that come from the fixed information alone.
struct VersionInfoField {
  const char* name;
  const char* tableKey;
  std::string TVersionInfo::*member;
};
const std::array<VersionInfoField, 15>& versionInfoFields();

// A file's version block with its fixed information.
struct LoadedVersion {
  VersionBlock root;
  FixedFileInfo fixed;
};

// Reads the version block of the file at `path` (ELF or Windows executable); nullopt when the
// file cannot be read, has no version block, or its block has no fixed information.
std::optional<LoadedVersion> loadVersion(const std::string& path);

// FileVersion and ProductVersion from the fixed versions ("2.6.1.4"), FileOS and FileType
// decoded, and FileSubType decoded for the types that have subtypes (untouched for others).
void fillFromFixedInfo(const FixedFileInfo& fixed, TVersionInfo& info);

// "\StringFileInfo\041404E4\": the path of a string table.
std::string stringTablePath(std::uint16_t language, std::uint16_t codePage);

// Each of the keys Comments (into Comment), CompanyName, FileDescription, InternalName,
// LegalCopyright, LegalTradeMarks, OriginalFileName, PrivateBuild, ProductName, ProductVersion
// and SpecialBuild that the string table at `tablePath` holds (keys compared without regard to
// case) replaces its field. FileVersion is never taken from a string table.
void fillFromStringTable(const VersionBlock& root, std::string_view tablePath, TVersionInfo& info);

}  // namespace vx::version
