#pragma once
// A version block as the program reads it: the tree of (key, value, children) nodes that a
// version resource is made of, read from its bytes, and the lookup of a node by a path of
// keys separated by backslashes ("\" the root, "\StringFileInfo\041404E4\ProductVersion" a
// string).
//
// On disk every node is: length (16 bits, the node with its children, without the padding
// after it), value length (16 bits: bytes for binary values, 16-bit units for text values),
// type (16 bits: 1 text, 0 binary), the key in UTF-16LE with its NUL, padding to a 32-bit
// boundary, the value, padding to a 32-bit boundary, then the children, each starting on a
// 32-bit boundary. All numbers are little-endian.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::version {

struct VersionBlock {
  std::string key;    // UTF-8
  std::uint16_t type = 0;
  std::string value;  // the value's bytes as stored
  std::vector<VersionBlock> children;
};

// Deeper nodes than this are not read. A version resource needs four levels (root, string
// file info, string table, string); the limit keeps a hostile file from driving the reader
// into unbounded recursion.
inline constexpr int kMaxBlockDepth = 8;

// Reads the tree from `bytes`. Damage is contained rather than fatal: a node whose length
// reaches beyond its parent is cut at the parent's end, a value that reaches beyond its node is
// cut at the node's end, and a node that is too short for its header or whose key has no NUL
// inside it ends the list of its siblings. nullopt only when the root itself is unreadable.
std::optional<VersionBlock> parseVersionBlock(std::string_view bytes);

// The node at `path`, keys compared without regard to case; empty parts of the path are
// skipped, so "\" and "" are the root. nullptr when there is none.
const VersionBlock* findBlock(const VersionBlock& root, std::string_view path);

// The text of a text value: its UTF-16LE units up to the first NUL, as UTF-8.
std::string blockText(const VersionBlock& block);

}  // namespace vx::version
