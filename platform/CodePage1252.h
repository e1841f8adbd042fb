#pragma once
// Windows code page 1252, the ANSI code page of the suite's languages, for the places
// where the suite's shared data holds 8-bit text.
#include <optional>
#include <string>

namespace vx::cp1252 {

// UTF-8 to code page 1252; a character the code page lacks becomes '?', its default
// character. Invalid UTF-8 bytes become '?' too.
std::string fromUtf8(const std::string& utf8);

// UTF-8 to code page 1252 without loss: the first character (as UTF-8) that the code page
// lacks goes to `missing` and the result is empty; so is it for invalid UTF-8 (`missing`
// then gets the offending byte as it stands). Used where text is written that other
// programs of the suite read back, and a substitute would silently change it.
std::optional<std::string> fromUtf8Exact(const std::string& utf8, std::string* missing = nullptr);

// Code page 1252 to UTF-8. The five bytes the code page leaves undefined map to the C1
// control characters of the same number, as Windows does.
std::string toUtf8(const std::string& ansi);

}  // namespace vx::cp1252
