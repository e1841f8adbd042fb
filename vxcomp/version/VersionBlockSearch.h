#pragma once
// What the search for a file's version block found: the block's bytes, or why there are none.
#include <cstddef>
#include <optional>
#include <string>

namespace vx::version {

// A version block's length is a 16-bit number, so no more than this is ever read of one.
inline constexpr std::size_t kMaxVersionBlockSize = 0xFFFF;

struct VersionBlockSearch {
  std::optional<std::string> block;
  std::string problem;  // set when there is no block: for a person, e.g. "no version resource"

  static VersionBlockSearch found(std::string bytes) { return {std::move(bytes), {}}; }
  static VersionBlockSearch none(std::string why) { return {std::nullopt, std::move(why)}; }
};

}  // namespace vx::version
