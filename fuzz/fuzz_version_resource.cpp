// Fuzzes the version readers: any bytes as a program file (the ELF and Windows readers find the
// version block in it), and the same bytes as a version block. Besides the sanitizers' checks:
// a search that finds nothing says why, no node lies deeper than the limit, and the fixed
// information and string tables that were read, written again, read back to the same texts.
#include "vxcomp/version/ExecutableVersion.h"
#include "vxcomp/version/VersionBlock.h"
#include "vxcomp/version/VersionBlockWriter.h"
#include "vxcomp/version/VersionInfo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

using namespace vx::version;

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_version_resource: %s\n", what);
  std::abort();
}

int depthOf(const VersionBlock& block) {
  int deepest = 0;
  for (const auto& child : block.children) deepest = std::max(deepest, depthOf(child));
  return deepest + 1;
}

// "041404E4" -> language and code page; false for any other key.
bool tableKey(const std::string& key, std::uint16_t& language, std::uint16_t& codePage) {
  if (key.size() != 8 || key.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  const unsigned long value = std::stoul(key, nullptr, 16);
  language = static_cast<std::uint16_t>(value >> 16);
  codePage = static_cast<std::uint16_t>(value & 0xFFFF);
  return true;
}

// What the readers can reach of a block: its fixed information and its string tables.
VersionResourceData readable(const VersionBlock& root) {
  VersionResourceData data;
  if (const auto fixed = parseFixedFileInfo(root.value)) data.fixed = *fixed;
  if (const VersionBlock* files = findBlock(root, "StringFileInfo")) {
    for (const auto& table : files->children) {
      StringTable t;
      if (!tableKey(table.key, t.language, t.codePage)) continue;
      for (const auto& string : table.children) t.strings.emplace_back(string.key, blockText(string));
      data.tables.push_back(std::move(t));
    }
  }
  return data;
}

TVersionInfo texts(const VersionBlock& root, std::uint16_t language, std::uint16_t codePage) {
  TVersionInfo info;
  fillFromStringTable(root, stringTablePath(language, codePage), info);
  return info;
}

void checkBlock(std::string_view bytes) {
  const auto root = parseVersionBlock(bytes);
  if (!root) return;
  if (depthOf(*root) > kMaxBlockDepth) fail("a node deeper than the limit");

  const VersionResourceData data = readable(*root);
  std::string written;
  try {
    written = writeVersionBlock(data);
  } catch (const std::length_error&) {
    return;  // more than one block can hold once padded and terminated
  }
  const auto again = parseVersionBlock(written);
  if (!again) fail("a written block does not read back");
  if (const auto fixed = parseFixedFileInfo(root->value); fixed && parseFixedFileInfo(again->value) != fixed)
    fail("the fixed information changed on rewriting");
  for (const auto& table : data.tables)
    if (!(texts(*root, table.language, table.codePage) == texts(*again, table.language, table.codePage)))
      fail("a string table reads differently after rewriting");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const MemorySource file(input);
  const auto search = findVersionBlock(file);
  if (search.block) {
    if (search.block->size() > kMaxVersionBlockSize) fail("a block longer than a block can be");
    checkBlock(*search.block);
  } else if (search.problem.empty()) {
    fail("a search without a block that does not say why");
  }
  checkBlock(input);
  return 0;
}
