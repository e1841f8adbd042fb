#include "vxcomp/version/ElfVersionSection.h"

#include <algorithm>
#include <cstring>

namespace vx::version {

namespace {

constexpr std::uint32_t kSectionNoBits = 8;         // SHT_NOBITS: no bytes in the file
constexpr std::uint64_t kExtendedIndex = 0xFFFF;    // SHN_XINDEX
// More section headers than a real file has; a count read from a damaged header is cut here so
// that the search stays short.
constexpr std::uint64_t kMaxSections = 1u << 20;

// Where the fields of the file header and of a section header lie in each ELF class.
struct Layout {
  std::size_t headerSize, shoff, shentsize, shnum, shstrndx, addressWidth;
  std::size_t sectionHeaderSize, shName, shType, shOffset, shSize, shLink;
};
constexpr Layout kElf32{52, 32, 46, 48, 50, 4, 40, 0, 4, 16, 20, 24};
constexpr Layout kElf64{64, 40, 58, 60, 62, 8, 64, 0, 4, 24, 32, 40};

struct Section {
  std::uint32_t name = 0, type = 0, link = 0;
  std::uint64_t offset = 0, size = 0;
};

class ElfReader {
 public:
  ElfReader(const ByteSource& file, const Layout& layout, bool bigEndian)
      : file_(file), layout_(layout), big_(bigEndian) {}

  std::uint64_t field(std::string_view bytes, std::size_t at, std::size_t width) const {
    return readField(bytes, at, width, big_);
  }

  std::optional<Section> section(std::uint64_t tableOffset, std::uint64_t entrySize,
                                 std::uint64_t index) const {
    if (index > (file_.size() - std::min(file_.size(), tableOffset)) / entrySize) return std::nullopt;
    const auto bytes = file_.read(tableOffset + index * entrySize, layout_.sectionHeaderSize);
    if (!bytes) return std::nullopt;
    const std::size_t w = layout_.addressWidth;
    return Section{static_cast<std::uint32_t>(field(*bytes, layout_.shName, 4)),
                   static_cast<std::uint32_t>(field(*bytes, layout_.shType, 4)),
                   static_cast<std::uint32_t>(field(*bytes, layout_.shLink, 4)),
                   field(*bytes, layout_.shOffset, w), field(*bytes, layout_.shSize, w)};
  }

 private:
  const ByteSource& file_;
  const Layout& layout_;
  bool big_;
};

}  // namespace

bool isElfFile(const ByteSource& file) {
  const auto magic = file.read(0, 4);
  return magic && *magic == std::string_view("\x7F" "ELF", 4);
}

VersionBlockSearch findElfVersionSection(const ByteSource& file) {
  const auto ident = file.read(0, 16);
  if (!ident || ident->compare(0, 4, "\x7F" "ELF") != 0) return VersionBlockSearch::none("not an ELF file");
  const char elfClass = (*ident)[4], byteOrder = (*ident)[5];
  if ((elfClass != 1 && elfClass != 2) || (byteOrder != 1 && byteOrder != 2))
    return VersionBlockSearch::none("an ELF file of an unknown class or byte order");
  const Layout& layout = elfClass == 1 ? kElf32 : kElf64;
  const ElfReader elf(file, layout, byteOrder == 2);

  const auto header = file.read(0, layout.headerSize);
  if (!header) return VersionBlockSearch::none("the ELF header is cut short");
  const std::uint64_t tableOffset = elf.field(*header, layout.shoff, layout.addressWidth);
  const std::uint64_t entrySize = elf.field(*header, layout.shentsize, 2);
  std::uint64_t count = elf.field(*header, layout.shnum, 2);
  std::uint64_t namesIndex = elf.field(*header, layout.shstrndx, 2);
  if (tableOffset == 0 || entrySize < layout.sectionHeaderSize)
    return VersionBlockSearch::none("the ELF file has no section headers");

  // Files with very many sections keep the true count and string table index in section 0.
  if (count == 0 || namesIndex == kExtendedIndex) {
    const auto first = elf.section(tableOffset, entrySize, 0);
    if (!first) return VersionBlockSearch::none("the ELF section headers lie beyond the end of the file");
    if (count == 0) count = first->size;
    if (namesIndex == kExtendedIndex) namesIndex = first->link;
  }
  count = std::min(count, kMaxSections);
  if (namesIndex >= count) return VersionBlockSearch::none("the ELF file has no section names");
  const auto names = elf.section(tableOffset, entrySize, namesIndex);
  if (!names) return VersionBlockSearch::none("the ELF section headers lie beyond the end of the file");
  if (names->offset > file.size() || names->size > file.size() - names->offset)
    return VersionBlockSearch::none("the ELF section names lie beyond the end of the file");

  const std::size_t nameSize = sizeof kVersionSectionName;  // with its NUL
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto section = elf.section(tableOffset, entrySize, i);
    if (!section) return VersionBlockSearch::none("the ELF section headers lie beyond the end of the file");
    if (section->name >= names->size || names->size - section->name < nameSize) continue;
    const auto name = file.read(names->offset + section->name, nameSize);
    if (!name || std::memcmp(name->data(), kVersionSectionName, nameSize) != 0) continue;
    if (section->type == kSectionNoBits) return VersionBlockSearch::none("the version section is empty");
    const auto bytes = file.read(section->offset,
                                 static_cast<std::size_t>(std::min<std::uint64_t>(section->size, kMaxVersionBlockSize)));
    if (!bytes) return VersionBlockSearch::none("the version section lies beyond the end of the file");
    return VersionBlockSearch::found(*bytes);
  }
  return VersionBlockSearch::none(std::string("the ELF file has no ") + kVersionSectionName + " section");
}

}  // namespace vx::version
