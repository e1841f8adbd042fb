#include "vxcomp/version/FixedFileInfo.h"

#include "vxcomp/version/ByteSource.h"

namespace vx::version {

namespace {

// A version is stored as two 32-bit words: the first two parts in the first word, each word
// with its more significant part in the high half.
FourPartVersion splitVersion(std::uint32_t high, std::uint32_t low) {
  return {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high & 0xFFFF),
          static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low & 0xFFFF)};
}

void appendLe32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void appendVersion(std::string& out, const FourPartVersion& v) {
  appendLe32(out, std::uint32_t{v[0]} << 16 | v[1]);
  appendLe32(out, std::uint32_t{v[2]} << 16 | v[3]);
}

}  // namespace

std::optional<FixedFileInfo> parseFixedFileInfo(std::string_view value) {
  if (value.size() < FixedFileInfo::kSize) return std::nullopt;
  const auto word = [&](std::size_t index) {
    return static_cast<std::uint32_t>(readField(value, index * 4, 4, false));
  };
  if (word(0) != FixedFileInfo::kSignature) return std::nullopt;
  FixedFileInfo info;
  info.structVersion = word(1);
  info.fileVersion = splitVersion(word(2), word(3));
  info.productVersion = splitVersion(word(4), word(5));
  info.fileFlagsMask = word(6);
  info.fileFlags = word(7);
  info.fileOS = word(8);
  info.fileType = word(9);
  info.fileSubtype = word(10);
  info.fileDate = std::uint64_t{word(11)} << 32 | word(12);
  return info;
}

std::string serializeFixedFileInfo(const FixedFileInfo& info) {
  std::string out;
  appendLe32(out, FixedFileInfo::kSignature);
  appendLe32(out, info.structVersion);
  appendVersion(out, info.fileVersion);
  appendVersion(out, info.productVersion);
  appendLe32(out, info.fileFlagsMask);
  appendLe32(out, info.fileFlags);
  appendLe32(out, info.fileOS);
  appendLe32(out, info.fileType);
  appendLe32(out, info.fileSubtype);
  appendLe32(out, static_cast<std::uint32_t>(info.fileDate >> 32));
  appendLe32(out, static_cast<std::uint32_t>(info.fileDate & 0xFFFFFFFF));
  return out;
}

std::string versionText(const FourPartVersion& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
         std::to_string(version[2]) + "." + std::to_string(version[3]);
}

}  // namespace vx::version
