#include "vxcomp/version/PeVersionResource.h"

#include <algorithm>
#include <vector>

namespace vx::version {

namespace {

constexpr std::uint32_t kVersionResourceType = 16;  // RT_VERSION
constexpr std::uint32_t kHighBit = 0x80000000;      // a named entry; a subdirectory
constexpr std::size_t kResourceDirectoryIndex = 2;

std::uint64_t le(std::string_view bytes, std::size_t at, std::size_t width) {
  return readField(bytes, at, width, false);
}

struct SectionMapping {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class PeImage {
 public:
  PeImage(const ByteSource& file, std::vector<SectionMapping> sections)
      : file_(file), sections_(std::move(sections)) {}

  // The `length` bytes at a relative virtual address: they must lie in the stored bytes of one
  // section (the zero-filled rest of a section holds nothing to read).
  std::optional<std::string> read(std::uint64_t rva, std::size_t length) const {
    for (const auto& s : sections_) {
      const std::uint32_t span = std::max(s.virtualSize, s.rawSize);
      if (rva < s.virtualAddress || rva - s.virtualAddress >= span) continue;
      const std::uint64_t inSection = rva - s.virtualAddress;
      if (inSection > s.rawSize || length > s.rawSize - inSection) return std::nullopt;
      return file_.read(s.rawOffset + inSection, length);
    }
    return std::nullopt;
  }

 private:
  const ByteSource& file_;
  std::vector<SectionMapping> sections_;
};

struct Entry {
  std::uint32_t name, target;
};

// The entries of the resource directory at `offset` (from the start of the resources): named
// entries first, then those with numeric ids. nullopt when the directory cannot be read.
std::optional<std::vector<Entry>> directoryEntries(const PeImage& image, std::uint64_t base,
                                                   std::uint32_t offset) {
  const auto header = image.read(base + offset, 16);
  if (!header) return std::nullopt;
  const std::size_t count = le(*header, 12, 2) + le(*header, 14, 2);
  const auto bytes = image.read(base + offset + 16, count * 8);
  if (!bytes) return std::nullopt;
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < count; ++i)
    entries.push_back({static_cast<std::uint32_t>(le(*bytes, i * 8, 4)),
                       static_cast<std::uint32_t>(le(*bytes, i * 8 + 4, 4))});
  return entries;
}

}  // namespace

bool isPeFile(const ByteSource& file) {
  const auto magic = file.read(0, 2);
  return magic && *magic == "MZ";
}

VersionBlockSearch findPeVersionResource(const ByteSource& file) {
  const auto dos = file.read(0, 64);
  if (!dos || dos->compare(0, 2, "MZ") != 0) return VersionBlockSearch::none("not a Windows executable");
  const std::uint64_t peOffset = le(*dos, 0x3C, 4);
  const auto coff = file.read(peOffset, 24);
  if (!coff || coff->compare(0, 4, std::string_view("PE\0\0", 4)) != 0)
    return VersionBlockSearch::none("a DOS program without a Windows part");
  const std::size_t sectionCount = le(*coff, 6, 2);
  const std::size_t optionalSize = le(*coff, 20, 2);
  const auto optional = file.read(peOffset + 24, optionalSize);
  if (!optional) return VersionBlockSearch::none("the executable's headers are cut short");

  // PE32 and PE32+ differ in where the data directories start.
  const std::uint64_t magic = le(*optional, 0, 2);
  if (magic != 0x10B && magic != 0x20B) return VersionBlockSearch::none("an executable of an unknown kind");
  const std::size_t countAt = magic == 0x10B ? 92 : 108;
  const std::size_t directoriesAt = countAt + 4;
  const std::size_t resourceAt = directoriesAt + kResourceDirectoryIndex * 8;
  if (le(*optional, countAt, 4) <= kResourceDirectoryIndex || resourceAt + 8 > optional->size())
    return VersionBlockSearch::none("the executable has no resources");
  const std::uint32_t resourceRva = static_cast<std::uint32_t>(le(*optional, resourceAt, 4));
  if (resourceRva == 0) return VersionBlockSearch::none("the executable has no resources");

  const auto table = file.read(peOffset + 24 + optionalSize, sectionCount * 40);
  if (!table) return VersionBlockSearch::none("the executable's section table is cut short");
  std::vector<SectionMapping> sections;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::size_t at = i * 40;
    sections.push_back({static_cast<std::uint32_t>(le(*table, at + 12, 4)),
                        static_cast<std::uint32_t>(le(*table, at + 8, 4)),
                        static_cast<std::uint32_t>(le(*table, at + 16, 4)),
                        static_cast<std::uint32_t>(le(*table, at + 20, 4))});
  }
  const PeImage image(file, std::move(sections));
  const auto damaged = [] { return VersionBlockSearch::none("the resource directory lies beyond the end of the file"); };

  // Three levels: type, then name, then language; the last leads to the data entry.
  const auto types = directoryEntries(image, resourceRva, 0);
  if (!types) return damaged();
  const auto version = std::find_if(types->begin(), types->end(), [](const Entry& e) {
    return !(e.name & kHighBit) && e.name == kVersionResourceType;
  });
  if (version == types->end()) return VersionBlockSearch::none("the executable has no version resource");
  std::uint32_t target = version->target;
  for (int level = 0; level < 2; ++level) {
    if (!(target & kHighBit)) return VersionBlockSearch::none("the resource directory is damaged");
    const auto entries = directoryEntries(image, resourceRva, target & ~kHighBit);
    if (!entries) return damaged();
    if (entries->empty()) return VersionBlockSearch::none("the executable has no version resource");
    target = entries->front().target;
  }
  if (target & kHighBit) return VersionBlockSearch::none("the resource directory is damaged");
  const auto dataEntry = image.read(std::uint64_t{resourceRva} + target, 16);
  if (!dataEntry) return damaged();
  const std::uint64_t dataRva = le(*dataEntry, 0, 4);
  const std::size_t size = std::min<std::size_t>(le(*dataEntry, 4, 4), kMaxVersionBlockSize);
  const auto bytes = image.read(dataRva, size);
  if (!bytes) return VersionBlockSearch::none("the version resource lies beyond the end of the file");
  return VersionBlockSearch::found(*bytes);
}

}  // namespace vx::version
