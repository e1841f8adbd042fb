#include "vxcomp/version/VersionBlock.h"

#include "platform/TextCompare.h"
#include "vxcomp/version/ByteSource.h"
#include "vxcomp/version/Utf16.h"

namespace vx::version {

namespace {

constexpr std::size_t kHeaderSize = 6;

std::size_t align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

std::uint16_t le16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(readField(bytes, at, 2, false));
}

// Reads the node at the start of `bytes` (which ends where its parent ends). The node's own
// length is `*length` on return, so that the caller can step to the next sibling.
std::optional<VersionBlock> parseNode(std::string_view bytes, int depth, std::size_t& length) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  const std::size_t declared = le16(bytes, 0);
  if (declared < kHeaderSize) return std::nullopt;
  length = std::min(declared, bytes.size());
  const std::string_view node = bytes.substr(0, length);

  VersionBlock block;
  const std::size_t valueLength = le16(node, 2);
  block.type = le16(node, 4);

  std::size_t keyEnd = kHeaderSize;
  while (keyEnd + 1 < node.size() && le16(node, keyEnd) != 0) keyEnd += 2;
  if (keyEnd + 1 >= node.size()) return std::nullopt;
  block.key = utf8FromUtf16le(node.substr(kHeaderSize, keyEnd - kHeaderSize));

  const std::size_t valueStart = std::min(align4(keyEnd + 2), node.size());
  const std::size_t valueBytes = block.type == 1 ? valueLength * 2 : valueLength;
  block.value = std::string(node.substr(valueStart, valueBytes));

  if (depth + 1 >= kMaxBlockDepth) return block;
  std::size_t child = align4(valueStart + block.value.size());
  while (child < node.size()) {
    std::size_t childLength = 0;
    auto parsed = parseNode(node.substr(child), depth + 1, childLength);
    if (!parsed) break;
    block.children.push_back(std::move(*parsed));
    child = align4(child + childLength);
  }
  return block;
}

}  // namespace

std::optional<VersionBlock> parseVersionBlock(std::string_view bytes) {
  std::size_t length = 0;
  return parseNode(bytes, 0, length);
}

const VersionBlock* findBlock(const VersionBlock& root, std::string_view path) {
  const VersionBlock* at = &root;
  while (!path.empty()) {
    const std::size_t slash = path.find('\\');
    const std::string_view key = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    if (key.empty()) continue;
    const VersionBlock* next = nullptr;
    for (const auto& child : at->children) {
      if (vx::sameName(child.key, key)) {
        next = &child;
        break;
      }
    }
    if (!next) return nullptr;
    at = next;
  }
  return at;
}

std::string blockText(const VersionBlock& block) { return utf8FromUtf16le(block.value); }

}  // namespace vx::version
