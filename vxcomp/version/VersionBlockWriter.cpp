#include "vxcomp/version/VersionBlockWriter.h"

#include "vxcomp/version/Utf16.h"

#include <cstdio>
#include <stdexcept>

namespace vx::version {

namespace {

void padTo4(std::string& out) {
  while (out.size() % 4 != 0) out.push_back('\0');
}

void putLe16(std::string& out, std::size_t at, std::size_t value) {
  if (value > 0xFFFF) throw std::length_error("version block: a node is longer than 64 KiB");
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>(value >> 8);
}

// One node: header, key, value and children (each child already a whole node). The length
// covers the padding between children but not after the last one, as the format wants.
std::string node(const std::string& key, std::uint16_t type, const std::string& value,
                 std::size_t valueLength, const std::vector<std::string>& children) {
  std::string out(6, '\0');
  out += utf16leFromUtf8(key);
  out.append(2, '\0');
  padTo4(out);
  out += value;
  for (const auto& child : children) {
    padTo4(out);
    out += child;
  }
  putLe16(out, 0, out.size());
  putLe16(out, 2, valueLength);
  putLe16(out, 4, type);
  return out;
}

std::string le16Pair(std::uint16_t a, std::uint16_t b) {
  return {static_cast<char>(a & 0xFF), static_cast<char>(a >> 8), static_cast<char>(b & 0xFF),
          static_cast<char>(b >> 8)};
}

}  // namespace

std::string stringTableKey(std::uint16_t language, std::uint16_t codePage) {
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", unsigned{language}, unsigned{codePage});
  return key;
}

std::string writeVersionBlock(const VersionResourceData& data) {
  std::vector<std::string> tables;
  std::string translations;
  for (const auto& table : data.tables) {
    std::vector<std::string> strings;
    for (const auto& [key, text] : table.strings) {
      // Text values count 16-bit units, the terminating NUL included.
      const std::string value = utf16leFromUtf8(text) + std::string(2, '\0');
      strings.push_back(node(key, 1, value, value.size() / 2, {}));
    }
    tables.push_back(node(stringTableKey(table.language, table.codePage), 1, {}, 0, strings));
    translations += le16Pair(table.language, table.codePage);
  }
  std::vector<std::string> children;
  if (!tables.empty()) {
    children.push_back(node("StringFileInfo", 1, {}, 0, tables));
    const std::string var = node("Translation", 0, translations, translations.size(), {});
    children.push_back(node("VarFileInfo", 1, {}, 0, {var}));
  }
  const std::string fixed = serializeFixedFileInfo(data.fixed);
  return node("VS_VERSION_INFO", 0, fixed, fixed.size(), children);
}

}  // namespace vx::version
