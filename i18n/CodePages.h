#pragma once
// Code pages, font character sets and the system's locale data for the dictionary records.
// Plain C++ over ICU.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx::i18n::codepage {

// The font character set of a code page (0 for 0 and 1252, 1 for a code page not in the table).
std::uint8_t charsetOf(int codePage);

// The code page a locale id uses when a record carries none.
int defaultCodePage(int localeId);

// Whether the platform can convert text of a code page (0 and 1252 always).
bool isCodePageSupported(int codePage);

// 8-bit text in `codePage` to UTF-8. Code page 0 and code pages the platform does not know
// are read as 1252.
std::string toUtf8(std::string_view bytes, int codePage);

// UTF-16 code units to UTF-8 through `codePage`: the text stops at the first NUL unit, and a
// character the code page lacks becomes the code page's default character.
std::string utf16ToUtf8(const std::vector<char16_t>& units, int codePage);

// UTF-8 to 8-bit text in `codePage` (a lacking character becomes the default character).
std::string fromUtf8(std::string_view utf8, int codePage);

// UTF-8 to UTF-16 code units (invalid bytes become U+FFFD).
std::u16string utf8ToUtf16(std::string_view utf8);

// The system's data for a locale id, empty when the system does not know the locale.
struct SystemLocaleNames {
  std::string isoLanguage, isoCountry, englishLanguage, nativeLanguage;
};
SystemLocaleNames systemLocaleNames(int localeId);

// The English language name as the dictionary shows it ("Chinese, Traditional", "Serbian, Latin").
std::string shapeEnglishName(const std::string& name, int primary, int codePage);

}  // namespace vx::i18n::codepage
