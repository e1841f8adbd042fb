// The version readers, TVersionResource and GetVersionInfo, on Windows executables the tests
// make from known values (PE32 and PE32+), on ELF files, and on this test's own executable,
// which the build gives version information like every program.
#include "tests/support/TempDir.h"
#include "tests/vxcomp/version/TestExecutables.h"
#include "vxcomp/version/GetVersionInfo.h"
#include "vxcomp/version/VersionBlockWriter.h"
#include "vxcomp/version/VersionResource.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace vx::version;

namespace {

using Expected = std::map<std::string, std::string>;  // field name -> value

std::string field(const TVersionInfo& info, const std::string& name) {
  for (const auto& f : versionInfoFields())
    if (name == f.name) return info.*f.member;
  return "(no field " + name + ")";
}

void expectFields(const TVersionInfo& info, const Expected& expected, const std::string& what) {
  for (const auto& [name, value] : expected) EXPECT_EQ(field(info, name), value) << what << ": " << name;
}

FixedFileInfo fixed(FourPartVersion file, FourPartVersion product, std::uint32_t os, std::uint32_t type,
                    std::uint32_t subtype) {
  FixedFileInfo f;
  f.fileVersion = file;
  f.productVersion = product;
  f.fileOS = os;
  f.fileType = type;
  f.fileSubtype = subtype;
  return f;
}

struct ReaderCase {
  const char* name;
  VersionResourceData data;
  TLanguage language;
  TCharacterSet characterSet;
  Expected resource;  // TVersionResource
  Expected record;    // GetVersionInfo
};

const std::vector<ReaderCase>& readerCases() {
  static const std::vector<ReaderCase> cases{
      // The string FileVersion never replaces the fixed one; ProductVersion does, in the table
      // each reader reads. Keys match without regard to case (LegalTrademarks).
      {"application",
       {fixed({2, 6, 1, 4}, {2, 5, 0, 3}, 0x40004, 1, 7),
        {{0x0414, 0x04E4, {{"FileVersion", "2.6"}, {"ProductVersion", "2.6"}, {"Comments", "Merknad"},
                           {"FileDescription", "Utlån uten database"}, {"LegalTrademarks", "VX®"}}},
         {0x0409, 0x04E4, {{"ProductVersion", "2.7"}, {"FileDescription", "Lending offline"}}}}},
       lnUSEnglish, csMultilingual,
       {{"FileVersion", "2.6.1.4"}, {"ProductVersion", "2.7"}, {"FileDescription", "Lending offline"},
        {"Comment", ""}, {"FileOS", "Windows NT with 32 bit Windows"}, {"FileType", "Application"},
        {"FileSubType", ""}},
       {{"FileVersion", "2.6.1.4"}, {"ProductVersion", "2.6"}, {"Comment", "Merknad"},
        {"FileDescription", "Utlån uten database"}, {"LegalTradeMarks", "VX®"}, {"CompanyName", "Unknown"},
        {"FileSubType", "Unknown"}}},
      // No Norwegian table: the record keeps its default texts, but the numbers and the decoded
      // type come from the fixed information.
      {"device driver without a Norwegian table",
       {fixed({1, 0, 0, 9}, {2, 5, 0, 3}, 4, 3, 6), {{0x0409, 0x04E4, {{"ProductVersion", "2.6"}}}}},
       lnUSEnglish, csMultilingual,
       {{"ProductVersion", "2.6"}, {"FileOS", "32 bit Windows"}, {"FileType", "Device Driver"},
        {"FileSubType", "Network"}},
       {{"FileVersion", "1.0.0.9"}, {"ProductVersion", "2.5.0.3"}, {"FileType", "Device Driver"},
        {"FileSubType", "Network"}, {"CompanyName", "Unknown"}, {"FileDescription", "file"}}},
      {"font, read in Swedish and Unicode",
       {fixed({1, 2, 3, 4}, {1, 2, 3, 4}, 0x99, 4, 3), {{0x041D, 0x04B0, {{"CompanyName", "Typsnitt AB"}}}}},
       lnSwedish, csUnicode,
       {{"CompanyName", "Typsnitt AB"}, {"FileOS", "Unknown"}, {"FileType", "Font"}, {"FileSubType", "TrueType"}},
       {{"CompanyName", "Unknown"}, {"FileType", "Font"}, {"FileSubType", "TrueType"}}},
      {"unknown type and driver subtype",
       {fixed({0, 0, 0, 0}, {0, 0, 0, 0}, 0x10000, 6, 0), {}}, lnUSEnglish, csMultilingual,
       {{"FileOS", "MS-Dos"}, {"FileType", "Unknown"}, {"FileSubType", ""}, {"FileVersion", "0.0.0.0"}},
       {{"FileType", "Unknown"}, {"FileSubType", "Unknown"}}},
      {"driver with an unknown subtype",
       {fixed({0, 0, 0, 0}, {0, 0, 0, 0}, 0x30003, 3, 11), {}}, lnUSEnglish, csMultilingual,
       {{"FileOS", "32 bit OS/2 with Presentation Manager"}, {"FileSubType", "Unknown"}},
       {{"FileSubType", "Unknown"}}},
  };
  return cases;
}

TEST(VersionReaders, ReadWindowsExecutablesOfBothKinds) {
  vxtest::TempDir dir;
  for (const bool pe32Plus : {false, true}) {
    for (const auto& c : readerCases()) {
      const std::string what = std::string(c.name) + (pe32Plus ? " (PE32+)" : " (PE32)");
      const std::string path = dir.file("file");
      vxtest::writeAll(path, vxtest::makePeFile(pe32Plus, writeVersionBlock(c.data)).bytes);

      TVersionResource resource;
      resource.setFileName(path);
      resource.setLanguage(c.language);
      resource.setCharacterSet(c.characterSet);
      expectFields(resource.versionInfo(), c.resource, what + ", TVersionResource");

      TVersionInfo record;
      GetVersionInfo(path, record);
      expectFields(record, c.record, what + ", GetVersionInfo");

      // Norwegian Bokmål in code page 1252 is the table GetVersionInfo reads.
      resource.setLanguage(lnNorwegianBokmal);
      resource.setCharacterSet(csMultilingual);
      for (const auto& f : versionInfoFields()) {
        const std::string& mine = resource.versionInfo().*f.member;
        const std::string& its = record.*f.member;
        if (mine.empty()) EXPECT_TRUE(its == "Unknown" || std::string(f.name) == "FileDescription") << what << f.name;
        else EXPECT_EQ(mine, its) << what << ": " << f.name;
      }
    }
  }
}

TEST(VersionReaders, ReadElfFilesOfEitherClassAndByteOrder) {
  vxtest::TempDir dir;
  const std::string block = writeVersionBlock(
      {fixed({2, 5, 0, 1}, {2, 5, 0, 1}, 0, 1, 0), {{0x0409, 0x04E4, {{"ProductName", "Vellumdex"}}}}});
  for (const bool elf64 : {false, true}) {
    for (const bool big : {false, true}) {
      vxtest::writeAll(dir.file("elf"), vxtest::makeElfFile(elf64, big, block).bytes);
      TVersionResource resource;
      resource.setFileName(dir.file("elf"));
      EXPECT_EQ(resource.versionInfo().FileVersion, "2.5.0.1") << elf64 << big;
      EXPECT_EQ(resource.versionInfo().ProductName, "Vellumdex") << elf64 << big;
    }
  }
}

// The build put version information into this test's own file, as into every program.
TEST(VersionReaders, ReadTheRunningProgramByDefault) {
  TVersionResource own;
  EXPECT_EQ(own.versionInfo().FileVersion, VX_TEST_FILE_VERSION);
  EXPECT_EQ(own.versionInfo().ProductName, "Vellumdex System Down");
  EXPECT_EQ(own.versionInfo().OriginalFileName, "vx_version_test");
  EXPECT_EQ(own.versionInfo().FileType, "Application");

  TVersionInfo record;
  GetVersionInfo(own.fileName(), record);
  EXPECT_EQ(record.FileDescription, "Versjonsleserens tester");
  EXPECT_EQ(record.ProductVersion, VX_TEST_PRODUCT_VERSION);
}

TEST(VersionReaders, ReadAgainAndTellOnEveryChange) {
  vxtest::TempDir dir;
  const auto block = writeVersionBlock({fixed({3, 0, 0, 0}, {3, 0, 0, 0}, 0, 1, 0),
                                        {{0x0414, 0x04E4, {{"CompanyName", "Norsk"}}},
                                         {0x0414, 0x04B0, {{"CompanyName", "Unicode"}}}}});
  vxtest::writeAll(dir.file("pe"), vxtest::makePeFile(false, block).bytes);
  vxtest::writeAll(dir.file("text"), "no program\n");

  TVersionResource resource;
  std::vector<std::string> seen;
  resource.OnChange = [&](TVersionResource& sender) {
    seen.push_back(sender.versionInfo().FileVersion + "/" + sender.versionInfo().CompanyName);
  };
  resource.setFileName(dir.file("pe"));
  resource.setLanguage(lnNorwegianBokmal);
  resource.setCharacterSet(csUnicode);
  resource.setFileName(dir.file("text"));
  EXPECT_EQ(seen, (std::vector<std::string>{"3.0.0.0/", "3.0.0.0/Norsk", "3.0.0.0/Unicode", "/"}));
}

}  // namespace
