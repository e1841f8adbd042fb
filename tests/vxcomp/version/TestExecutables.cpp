#include "tests/vxcomp/version/TestExecutables.h"

namespace vxtest {

namespace {

void put(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t width, bool big = false) {
  if (bytes.size() < at + width) bytes.resize(at + width, '\0');
  poke(bytes, at, value, width, big);
}

}  // namespace

void poke(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t width, bool bigEndian) {
  for (std::size_t i = 0; i < width; ++i)
    bytes[at + (bigEndian ? width - 1 - i : i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

PeFile makePeFile(bool pe32Plus, const std::string& versionBlock) {
  constexpr std::uint32_t kRawAt = 0x200, kRva = 0x2000, kHigh = 0x80000000;
  PeFile pe{};
  std::string& b = pe.bytes;
  put(b, 0, 'M' | 'Z' << 8, 2);
  pe.peHeaderAt = 0x40;
  put(b, 0x3C, pe.peHeaderAt, 4);
  put(b, 0x40, 'P' | 'E' << 8, 4);
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  put(b, 0x44, pe32Plus ? 0x8664 : 0x14C, 2);  // machine
  put(b, 0x46, 1, 2);                           // one section
  put(b, 0x54, optionalSize, 2);
  const std::size_t optionalAt = 0x58;
  put(b, optionalAt, pe32Plus ? 0x20B : 0x10B, 2);
  const std::size_t directories = optionalAt + (pe32Plus ? 112 : 96);
  put(b, directories - 4, 16, 4);  // number of data directories

  // The resources, from the start of the section.
  std::string r;
  put(r, 12, 1, 2);  // one named entry
  put(r, 14, 2, 2);  // two with ids
  const std::size_t nameDir = 40, languageDir = 64, dataEntry = 96, otherEntry = 112, typeName = 128,
                    block = 144;
  put(r, 16, kHigh | typeName, 4);
  put(r, 20, kHigh | nameDir, 4);
  put(r, 24, 3, 4);  // icons: never followed
  put(r, 28, kHigh | nameDir, 4);
  pe.typeEntryAt = kRawAt + 32;
  put(r, 32, 16, 4);
  put(r, 36, kHigh | nameDir, 4);
  put(r, nameDir + 14, 1, 2);
  put(r, nameDir + 16, 1, 4);
  put(r, nameDir + 20, kHigh | languageDir, 4);
  put(r, languageDir + 14, 2, 2);
  put(r, languageDir + 16, 0x0414, 4);
  put(r, languageDir + 20, dataEntry, 4);
  // A second language, which a reader of the first never sees: its data lies nowhere.
  put(r, languageDir + 24, 0x0409, 4);
  put(r, languageDir + 28, otherEntry, 4);
  put(r, otherEntry, 0x7FFF0000, 4);
  put(r, otherEntry + 4, 16, 4);
  pe.dataEntryAt = kRawAt + dataEntry;
  put(r, dataEntry, kRva + block, 4);
  put(r, dataEntry + 4, versionBlock.size(), 4);
  put(r, typeName, 4, 2);
  for (std::size_t i = 0; i < 4; ++i) put(r, typeName + 2 + 2 * i, std::string("DATA")[i], 2);
  r.resize(block);
  r += versionBlock;
  pe.blockAt = kRawAt + block;

  put(b, directories + 16, kRva, 4);
  put(b, directories + 20, r.size(), 4);
  const std::size_t section = optionalAt + optionalSize;
  b.resize(section + 40, '\0');
  b.replace(section, 5, ".rsrc");
  const std::size_t rawSize = (r.size() + 0x1FF) & ~std::size_t{0x1FF};
  put(b, section + 8, r.size(), 4);
  put(b, section + 12, kRva, 4);
  put(b, section + 16, rawSize, 4);
  put(b, section + 20, kRawAt, 4);
  b.resize(kRawAt, '\0');
  b += r;
  b.resize(kRawAt + rawSize, '\0');
  return pe;
}

ElfFile makeElfFile(bool elf64, bool bigEndian, const std::string& versionBlock) {
  ElfFile elf{};
  std::string& b = elf.bytes;
  const std::size_t headerSize = elf64 ? 64 : 52, entrySize = elf64 ? 64 : 40, w = elf64 ? 8 : 4;
  b = std::string("\x7F" "ELF", 4);
  put(b, 4, elf64 ? 2 : 1, 1);
  put(b, 5, bigEndian ? 2 : 1, 1);
  put(b, 6, 1, 1);
  const std::string names = std::string("\0.vs_version_info\0.shstrtab\0", 28);
  const std::size_t blockAt = headerSize, namesAt = blockAt + versionBlock.size();
  const std::size_t tableAt = (namesAt + names.size() + 7) & ~std::size_t{7};
  put(b, elf64 ? 40 : 32, tableAt, w, bigEndian);                 // e_shoff
  put(b, elf64 ? 58 : 46, entrySize, 2, bigEndian);               // e_shentsize
  put(b, elf64 ? 60 : 48, 3, 2, bigEndian);                       // e_shnum
  elf.shstrndxAt = elf64 ? 62 : 50;
  put(b, elf.shstrndxAt, 2, 2, bigEndian);
  b.resize(headerSize, '\0');
  b += versionBlock;
  b += names;
  b.resize(tableAt + 3 * entrySize, '\0');
  const auto section = [&](std::size_t index, std::uint32_t name, std::uint32_t type, std::size_t offset,
                           std::size_t size) {
    const std::size_t at = tableAt + index * entrySize;
    put(b, at, name, 4, bigEndian);
    put(b, at + 4, type, 4, bigEndian);
    put(b, at + (elf64 ? 24 : 16), offset, w, bigEndian);
    put(b, at + (elf64 ? 32 : 20), size, w, bigEndian);
  };
  section(1, 1, 1, blockAt, versionBlock.size());
  section(2, 18, 3, namesAt, names.size());
  elf.versionSectionHeaderAt = tableAt + entrySize;
  return elf;
}

}  // namespace vxtest
