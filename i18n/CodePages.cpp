#include "i18n/CodePages.h"

#include "i18n/MLDTypes.h"
#include "platform/CodePage1252.h"

#include <unicode/ucnv.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <memory>

namespace vx::i18n::codepage {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// The platform's converter for a Windows code page; null for 1252, 0 and unknown ones, which
// are read through the built-in 1252 table.
Converter openConverter(int codePage) {
  if (codePage == 0 || codePage == 1252) return nullptr;
  const std::string number = std::to_string(codePage);
  for (const char* prefix : {"windows-", "cp", "ibm-"}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open((prefix + number).c_str(), &status);
    if (U_SUCCESS(status) && c) {
      status = U_ZERO_ERROR;
      ucnv_setSubstChars(c, "?", 1, &status);  // the default character of Windows code pages
      return Converter(c);
    }
    if (c) ucnv_close(c);
  }
  return nullptr;
}

std::u16string toUtf16(std::string_view bytes, UConverter* conv) {
  std::u16string out(bytes.size() * 2 + 1, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(conv);
    const int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && n > 0) {
      out.assign(static_cast<std::size_t>(n) + 1, u'\0');  // the size it needs
      continue;
    }
    if (U_FAILURE(status) || n < 0) return std::u16string();
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  return std::u16string();
}

std::string utf16ToUtf8Raw(const char16_t* units, std::size_t count) {
  std::string out(count * 3 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = 0;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n,
                     reinterpret_cast<const UChar*>(units), static_cast<int32_t>(count), 0xFFFD,
                     nullptr, &status);
  if (U_FAILURE(status) || n < 0) return std::string();
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string fromUtf16(const std::u16string& text, UConverter* conv) {
  std::string out(text.size() * 4 + 1, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(conv);
    const int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(text.data()),
                                      static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && n > 0) {
      out.assign(static_cast<std::size_t>(n) + 1, '\0');  // the size it needs
      continue;
    }
    if (U_FAILURE(status) || n < 0) return std::string();
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  return std::string();
}

}  // namespace

std::uint8_t charsetOf(int codePage) {
  switch (codePage) {
    case 0: case 1252: return 0;
    case 1250: return 238;
    case 1251: return 204;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 874: return 222;
    case 932: return 128;
    case 936: return 134;
    case 949: return 129;
    case 950: return 136;
    case 1361: return 130;
    case 1258: return 163;
    default: return 1;
  }
}

int defaultCodePage(int localeId) {
  const int primary = primaryLangId(localeId);
  const int sub = subLangId(localeId);
  switch (primary) {
    case 4: return (sub == 1 || sub == 3 || sub == 5) ? 950 : 936;
    case 1: case 41: return 1256;
    case 5: case 14: case 21: case 24: case 27: case 28: case 36: return 1250;
    case 8: return 1253;
    case 13: return 1255;
    case 17: return 932;
    case 18: return 949;
    case 26: return (sub == 1 || sub == 2) ? 1250 : 1251;
    case 2: case 25: case 34: case 35: return 1251;
    case 30: return 874;
    case 37: case 38: case 39: return 1257;
    case 42: return 1258;
    case 44: case 67: return sub == 2 ? 1251 : 1254;
    case 31: return 1254;
    default: return 1252;
  }
}

bool isCodePageSupported(int codePage) {
  return codePage == 0 || codePage == 1252 || openConverter(codePage) != nullptr;
}

std::string toUtf8(std::string_view bytes, int codePage) {
  if (bytes.empty()) return std::string();
  Converter conv = openConverter(codePage);
  if (!conv) return cp1252::toUtf8(std::string(bytes));
  const std::u16string units = toUtf16(bytes, conv.get());
  return utf16ToUtf8Raw(units.data(), units.size());
}

std::string utf16ToUtf8(const std::vector<char16_t>& units, int codePage) {
  std::size_t n = 0;
  while (n < units.size() && units[n] != 0) ++n;
  if (n == 0) return std::string();
  const std::string utf8 = utf16ToUtf8Raw(units.data(), n);
  // Through the code page and back, so that a character it lacks shows as its default character.
  Converter conv = openConverter(codePage);
  if (!conv) return cp1252::toUtf8(cp1252::fromUtf8(utf8));
  const std::string bytes = fromUtf16(std::u16string(units.data(), n), conv.get());
  return toUtf8(bytes, codePage);
}

std::string fromUtf8(std::string_view utf8, int codePage) {
  if (utf8.empty()) return std::string();
  Converter conv = openConverter(codePage);
  if (!conv) return cp1252::fromUtf8(std::string(utf8));
  return fromUtf16(utf8ToUtf16(utf8), conv.get());
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = 0;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &n,
                       utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status) || n < 0) return std::u16string();
  out.resize(static_cast<std::size_t>(n));
  return out;
}

SystemLocaleNames systemLocaleNames(int localeId) {
  SystemLocaleNames names;
  char locale[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(static_cast<uint32_t>(localeId), locale, sizeof locale, &status);
  if (U_FAILURE(status) || locale[0] == '\0') return names;
  char part[ULOC_LANG_CAPACITY + ULOC_COUNTRY_CAPACITY] = {};
  status = U_ZERO_ERROR;
  uloc_getLanguage(locale, part, sizeof part, &status);
  if (U_SUCCESS(status)) names.isoLanguage = part;
  status = U_ZERO_ERROR;
  part[0] = '\0';
  uloc_getCountry(locale, part, sizeof part, &status);
  if (U_SUCCESS(status)) names.isoCountry = part;
  auto display = [&](const char* inLocale) {
    UChar buffer[256] = {};
    UErrorCode st = U_ZERO_ERROR;
    const int32_t n = uloc_getDisplayLanguage(locale, inLocale, buffer, 256, &st);
    if (U_FAILURE(st) || n <= 0 || n > 256) return std::string();
    return utf16ToUtf8Raw(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
  };
  names.englishLanguage = display("en");
  names.nativeLanguage = display(locale);
  return names;
}

std::string shapeEnglishName(const std::string& name, int primary, int codePage) {
  auto cutBefore = [&](char c) { return name.substr(0, name.find(c)); };
  auto qualified = [](std::string base, const char* qualifier) {
    while (!base.empty() && base.back() == ' ') base.pop_back();
    return qualifier ? base + ", " + qualifier : base;
  };
  switch (primary) {
    case 4:
      return qualified(cutBefore('('), codePage == 950 ? "Traditional"
                                       : codePage == 936 ? "Simplified" : nullptr);
    case 18: return qualified(cutBefore('('), codePage == 1361 ? "Johab" : nullptr);
    case 10: case 20: return cutBefore(' ');
    case 26:
      return qualified(cutBefore(' '), codePage == 1250 ? "Latin"
                                       : codePage == 1251 ? "Cyrillic" : nullptr);
    case 44: case 67:
      return qualified(cutBefore(' '), codePage == 1254 ? "Latin"
                                       : codePage == 1251 ? "Cyrillic" : nullptr);
    default: return name;
  }
}

}  // namespace vx::i18n::codepage
