#include "vxcomp/version/VersionInfo.h"

#include "vxcomp/version/ExecutableVersion.h"
#include "vxcomp/version/FileInfoText.h"
#include "vxcomp/version/VersionBlockWriter.h"

#include <utility>

namespace vx::version {

const std::array<VersionInfoField, 15>& versionInfoFields() {
  static const std::array<VersionInfoField, 15> fields{{
      {"Comment", "Comments", &TVersionInfo::Comment},
      {"CompanyName", "CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", "FileDescription", &TVersionInfo::FileDescription},
      {"FileVersion", nullptr, &TVersionInfo::FileVersion},  // never taken from a string table
      {"InternalName", "InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", "LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", "LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", "OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", "PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", "ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", "ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", "SpecialBuild", &TVersionInfo::SpecialBuild},
      {"FileOS", nullptr, &TVersionInfo::FileOS},
      {"FileType", nullptr, &TVersionInfo::FileType},
      {"FileSubType", nullptr, &TVersionInfo::FileSubType},
  }};
  return fields;
}

std::optional<LoadedVersion> loadVersion(const std::string& path) {
  const auto search = findVersionBlockInFile(path);
  if (!search.block) return std::nullopt;
  auto root = parseVersionBlock(*search.block);
  if (!root) return std::nullopt;
  const auto fixed = parseFixedFileInfo(root->value);
  if (!fixed) return std::nullopt;
  return LoadedVersion{std::move(*root), *fixed};
}

void fillFromFixedInfo(const FixedFileInfo& fixed, TVersionInfo& info) {
  info.FileVersion = versionText(fixed.fileVersion);
  info.ProductVersion = versionText(fixed.productVersion);
  info.FileOS = fileOSText(fixed.fileOS);
  info.FileType = fileTypeText(fixed.fileType);
  if (auto subtype = fileSubTypeText(fixed.fileType, fixed.fileSubtype)) info.FileSubType = *subtype;
}

std::string stringTablePath(std::uint16_t language, std::uint16_t codePage) {
  return "\\StringFileInfo\\" + stringTableKey(language, codePage) + "\\";
}

void fillFromStringTable(const VersionBlock& root, std::string_view tablePath, TVersionInfo& info) {

  const VersionBlock* table = findBlock(root, tablePath);
  if (!table) return;
  for (const VersionInfoField& field : versionInfoFields())
    if (field.tableKey)
      if (const VersionBlock* found = findBlock(*table, field.tableKey)) info.*field.member = blockText(*found);
}

}  // namespace vx::version
