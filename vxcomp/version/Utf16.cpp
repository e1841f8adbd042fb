#include "vxcomp/version/Utf16.h"

#include <unicode/unistr.h>

#include <cstddef>

namespace vx::version {

std::string utf8FromUtf16le(std::string_view bytes) {
  icu::UnicodeString text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    text.append(unit);
  }
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string utf16leFromUtf8(std::string_view utf8) {
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  std::string out;
  out.reserve(static_cast<std::size_t>(text.length()) * 2);
  for (int32_t i = 0; i < text.length(); ++i) {
    const char16_t unit = text.charAt(i);
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

}  // namespace vx::version
