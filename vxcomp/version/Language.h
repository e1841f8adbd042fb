#pragma once
// The languages and character sets (code pages) whose string table TVersionResource reads.
// Each language stands for its Windows language identifier, each character set for a code
// page; the pair names a string table ("\StringFileInfo\<language><code page>\").
#include <cstdint>
#include <optional>

enum TLanguage : int {
  // Identifiers 1025 to 1057, in this order.
  lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek,
  lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic,
  lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese,
  lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish,
  lnThai, lnTurkish, lnUrdu, lnBahasa,
  // Sublanguages, with identifiers of their own (see languageId).
  lnSimplifiedChinese, lnSwissGerman, lnUKEnglish, lnMexicanSpanish, lnBelgianFrench,
  lnSwissItalian, lnBelgianDutch, lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian,
  lnCanadianFrench, lnSwissFrench
};

enum TCharacterSet : int {
  csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek,
  csTurkish, csHebrew, csArabic
};

namespace vx::version {

inline constexpr int kLanguageCount = lnSwissFrench + 1;
inline constexpr int kCharacterSetCount = csArabic + 1;

// The Windows language identifier: 1044 (0x0414) for lnNorwegianBokmal; 0 for a value outside
// the enumeration.
std::uint16_t languageId(TLanguage language);

// The language with that identifier; nullopt for an identifier not in TLanguage.
std::optional<TLanguage> languageFromId(int id);

// The code page: 1252 (0x04E4) for csMultilingual, 0 for csASCII (and for a value outside the
// enumeration).
std::uint16_t codePage(TCharacterSet characterSet);

// The character set of that code page; nullopt for a code page not in TCharacterSet.
std::optional<TCharacterSet> characterSetFromCodePage(int codePage);

}  // namespace vx::version
