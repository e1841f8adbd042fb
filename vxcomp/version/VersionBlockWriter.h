#pragma once
// Writes a version block: the root "VS_VERSION_INFO" with the fixed information, a
// "StringFileInfo" with one string table per language and code page, and a "VarFileInfo" whose
// "Translation" lists those (language, code page) pairs in the same order. The layout is the
// one VersionBlock.h describes, with zero padding, so that a reader of Windows version
// resources reads it.
#include "vxcomp/version/FixedFileInfo.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vx::version {

struct StringTable {
  std::uint16_t language = 0;  // a Windows language identifier, 0x0414 Norwegian Bokmål
  std::uint16_t codePage = 0;  // 0x04E4 (1252), 0x04B0 (1200, Unicode), ...
  std::vector<std::pair<std::string, std::string>> strings;  // key, value (UTF-8)
};

struct VersionResourceData {
  FixedFileInfo fixed;
  std::vector<StringTable> tables;
};

// The block's bytes. Throws std::length_error when a node would be longer than its 16-bit
// length field can say (64 KiB).
std::string writeVersionBlock(const VersionResourceData& data);

// "041404E4": the key of a string table, four upper-case hexadecimal digits each.
std::string stringTableKey(std::uint16_t language, std::uint16_t codePage);

}  // namespace vx::version
