#pragma once
// The fixed part of version information: the 52 bytes that follow the root key of a version
// block, with the numeric file and product versions and the file's OS, type and subtype.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::version {

// Four 16-bit parts, most significant first: {2, 6, 1, 4} is 2.6.1.4.
using FourPartVersion = std::array<std::uint16_t, 4>;

struct FixedFileInfo {
  static constexpr std::uint32_t kSignature = 0xFEEF04BD;
  static constexpr std::size_t kSize = 52;

  std::uint32_t structVersion = 0x00010000;
  FourPartVersion fileVersion{};
  FourPartVersion productVersion{};
  std::uint32_t fileFlagsMask = 0x3F;
  std::uint32_t fileFlags = 0;
  std::uint32_t fileOS = 0;
  std::uint32_t fileType = 0;
  std::uint32_t fileSubtype = 0;
  std::uint64_t fileDate = 0;

  bool operator==(const FixedFileInfo&) const = default;
};

// The fixed information in a root block's value: nullopt when the value is shorter than 52
// bytes or does not start with the signature.
std::optional<FixedFileInfo> parseFixedFileInfo(std::string_view value);

// The 52 bytes, little-endian, starting with the signature.
std::string serializeFixedFileInfo(const FixedFileInfo& info);

// "2.6.1.4".
std::string versionText(const FourPartVersion& version);

}  // namespace vx::version
