#include "vxcomp/version/VersionInfo.h"

#include "vxcomp/version/ExecutableVersion.h"
#include "vxcomp/version/FileInfoText.h"
#include "vxcomp/version/VersionBlockWriter.h"

#include <utility>

namespace vx::version {

const std::array<VersionInfoField, 15>& versionInfoFields() {
  static const std::array<VersionInfoField, 15> fields{{
      {"Comment", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"FileVersion", &TVersionInfo::FileVersion},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
      {"FileOS", &TVersionInfo::FileOS},
      {"FileType", &TVersionInfo::FileType},
      {"FileSubType", &TVersionInfo::FileSubType},
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
  static const std::pair<const char*, std::string TVersionInfo::*> kKeys[] = {
      {"Comments", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
  };
  const VersionBlock* table = findBlock(root, tablePath);
  if (!table) return;
  for (const auto& [key, member] : kKeys)
    if (const VersionBlock* found = findBlock(*table, key)) info.*member = blockText(*found);
}

}  // namespace vx::version
