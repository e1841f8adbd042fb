// Files that are not programs, or damaged ones: both readers give their defaults (TVersionResource
// empty texts, GetVersionInfo "Unknown" and the file name), the search says why, and nothing
// crashes or hangs.
#include "tests/support/TempDir.h"
#include "tests/vxcomp/version/TestExecutables.h"
#include "vxcomp/version/ExecutableVersion.h"
#include "vxcomp/version/GetVersionInfo.h"
#include "vxcomp/version/VersionBlockWriter.h"
#include "vxcomp/version/VersionResource.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using namespace vx::version;
using vxtest::poke;

namespace {

std::string goodBlock() {
  FixedFileInfo f;
  f.fileVersion = {2, 5, 0, 0};
  return writeVersionBlock({f, {{0x0414, 0x04E4, {{"CompanyName", "Vellumdex"}}}}});
}

std::string pe(const std::function<void(vxtest::PeFile&)>& damage) {
  auto file = vxtest::makePeFile(true, goodBlock());
  damage(file);
  return file.bytes;
}

std::string elf(const std::function<void(vxtest::ElfFile&)>& damage) {
  auto file = vxtest::makeElfFile(true, false, goodBlock());
  damage(file);
  return file.bytes;
}

TEST(VersionBadInput, DamagedFilesGiveTheDefaults) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* problem;  // a part of what the search says
  };
  const Case cases[] = {
      {"empty file", "", "not an executable"},
      {"text file", "Borrower,Item\r\n", "not an executable"},
      {"DOS program", pe([](auto& f) { f.bytes.resize(f.peHeaderAt); }), "without a Windows part"},
      {"PE header offset beyond the end", pe([](auto& f) { poke(f.bytes, 0x3C, 0xFFFFFFF0, 4); }), "without a Windows part"},
      {"PE cut in its section table", pe([](auto& f) { f.bytes.resize(0x150); }), "cut short"},
      {"PE cut in its resources", pe([](auto& f) { f.bytes.resize(f.dataEntryAt); }), "beyond the end"},
      {"resource data beyond the end", pe([](auto& f) { poke(f.bytes, f.dataEntryAt, 0x7FFFFFF0, 4); }), "beyond the end"},
      {"resource longer than its section", pe([](auto& f) { poke(f.bytes, f.dataEntryAt + 4, 0x10000, 4); }), "beyond the end"},
      {"resource directory that leads to itself",
       pe([](auto& f) { poke(f.bytes, f.typeEntryAt + 4, 0x80000000, 4); }), "damaged"},
      {"no version type", pe([](auto& f) { poke(f.bytes, f.typeEntryAt, 17, 4); }), "no version resource"},
      {"damaged version block", pe([](auto& f) { poke(f.bytes, f.blockAt, 3, 2); }), ""},
      {"block without fixed information", pe([](auto& f) { poke(f.bytes, f.blockAt + 40, 0, 4); }), ""},
      {"ELF cut in its header", elf([](auto& f) { f.bytes.resize(30); }), "cut short"},
      {"ELF cut before its section headers", elf([](auto& f) { f.bytes.resize(f.versionSectionHeaderAt); }), "beyond the end"},
      {"ELF section beyond the end", elf([](auto& f) { poke(f.bytes, f.versionSectionHeaderAt + 24, 1u << 30, 8); }), "beyond the end"},
      {"ELF names index out of range", elf([](auto& f) { poke(f.bytes, f.shstrndxAt, 7, 2); }), "no section names"},
      {"ELF without the version section", elf([](auto& f) { poke(f.bytes, f.versionSectionHeaderAt, 2, 4); }), "no .vs_version_info"},
  };
  vxtest::TempDir dir;
  const std::string path = dir.file("program.exe");
  for (const auto& c : cases) {
    vxtest::writeAll(path, c.bytes);
    const auto search = findVersionBlockInFile(path);
    EXPECT_NE(search.problem.find(c.problem), std::string::npos) << c.what << ": " << search.problem;

    TVersionResource resource;
    resource.setFileName(path);
    EXPECT_EQ(resource.versionInfo(), TVersionInfo{}) << c.what;
    TVersionInfo record;
    GetVersionInfo(path, record);
    EXPECT_EQ(record.FileDescription, "program.exe") << c.what;
    EXPECT_EQ(record.FileVersion, "Unknown") << c.what;
    EXPECT_EQ(record.CompanyName, "Unknown") << c.what;
  }
}

TEST(VersionBadInput, FilesThatAreNoFilesAreRefusedWithoutWaiting) {
  vxtest::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir.file("fifo"), dir.path(), dir.file("missing"), std::string("/dev/zero")}) {
    EXPECT_EQ(findVersionBlockInFile(path).problem.rfind("cannot open: ", 0), 0u) << path;
    TVersionResource resource;
    resource.setFileName(path);
    EXPECT_EQ(resource.versionInfo(), TVersionInfo{}) << path;
  }
}

}  // namespace
