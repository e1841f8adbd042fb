#pragma once
// The text of version information: UTF-16LE code units in the file, UTF-8 in the program.
#include <string>
#include <string_view>

namespace vx::version {

// UTF-16LE bytes to UTF-8, stopping at the first NUL unit or at the end; an odd last byte is
// ignored and an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16le(std::string_view bytes);

// UTF-8 to UTF-16LE bytes without a terminator; invalid UTF-8 becomes U+FFFD.
std::string utf16leFromUtf8(std::string_view utf8);

}  // namespace vx::version
