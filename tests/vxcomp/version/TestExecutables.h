#pragma once
// Small executables made in memory for the version readers' tests, each holding a given version
// block where its kind keeps one, and the offsets at which a test can damage it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vxtest {

// A Windows executable (PE32 or PE32+) with one section ".rsrc", stored at file offset 0x200
// but mapped at 0x2000, whose resource directory has a named type, an icon type and the
// version type (16) -> name 1 -> language 0x0414 -> the block (and a second language, 0x0409,
// whose data lies beyond the end of the file).
struct PeFile {
  std::string bytes;
  std::size_t peHeaderAt;       // "PE\0\0"
  std::size_t typeEntryAt;      // the version type's entry in the root directory
  std::size_t dataEntryAt;      // the version resource's data entry (RVA, size, ...)
  std::size_t blockAt;          // the block itself
};
PeFile makePeFile(bool pe32Plus, const std::string& versionBlock);

// An ELF file of the given class and byte order with the sections "", ".vs_version_info"
// (the block) and ".shstrtab".
struct ElfFile {
  std::string bytes;
  std::size_t versionSectionHeaderAt;  // the section header of ".vs_version_info"
  std::size_t shstrndxAt;              // the file header's field e_shstrndx
};
ElfFile makeElfFile(bool elf64, bool bigEndian, const std::string& versionBlock);

// Writes `value` as a little-endian (or big-endian) number of `width` bytes at `at`.
void poke(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t width, bool bigEndian = false);

}  // namespace vxtest
