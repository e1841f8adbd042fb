#pragma once
// The sources of a dictionary file: the translation table (tab-separated, UTF-8), the
// language list (INI) and the custom locales (INI). Failures are std::runtime_error with the
// file and line.
#include "i18n/MLDWriter.h"

#include <string>
#include <vector>

namespace vx::mldc {

// Language sections [Language0], [Language1], ... in order; keys PrimaryId, DefaultSubId,
// SubIds, IsoLanguage, IsoCountry, CountryCodes, CodePage, Charset, Flags, EnglishName,
// NativeName, FontName, FontSize, and Column (the table column of languages 1 and up).
struct LanguageSource {
  vx::i18n::TIvLanguage language;
  std::string column;
};
std::vector<LanguageSource> parseLanguages(const std::string& text, const std::string& fileName);

// The table: a header "context1<TAB>context2<TAB>native<TAB><column>...", then one row per
// native text; "\t", "\n", "\r" and "\\" are escapes; lines starting with "#" are comments.
// Fills the rows and returns the context kind the rows need.
vx::i18n::MLDContextKind parseTable(const std::string& text, const std::string& fileName,
                                    const std::vector<LanguageSource>& languages,
                                    std::vector<vx::i18n::MLDTranslationRow>& rows);

// The custom locales: sections [Locale0], [Locale1], ... in order, one key per field of
// TIvLocale, named as the field:
//   PrimaryId (0 to 1023, required), SubId (0 to 63), CodePage (0 to 65535), Charset and the
//   byte fields Measurement, PositiveCurrencyFormat, NegativeCurrencyFormat, CurrencyDecimals,
//   TimeFormat, TimeMarkerPosition, CalendarType, OptionalCalendar, FirstDayOfWeek,
//   FirstWeekOfYear (0 to 255);
//   Custom, TimeLeadingZero: 0 or 1 (also false/true, no/yes);
//   IsoLanguage, IsoCountry: up to two characters;
//   ThousandSeparator, DecimalSeparator, DateSeparator, TimeSeparator: one character or none;
//   the texts EnglishLanguageName, EnglishCountryName, NativeLanguageName, NativeCountryName,
//   AbbreviatedLanguageName, LocalizedCountryName, CurrencySymbol, ShortDateFormat,
//   LongDateFormat, TimeAMString, TimePMString;
//   ShortMonthNames, LongMonthNames (12 names, January first) and ShortDayNames, LongDayNames
//   (7 names, Monday first), separated by ",".
// A value is taken without its surrounding blanks; in double quotes it is taken as written,
// with the escapes \" \\ \t \n \r (so a blank separator is " "); a list item may be quoted
// too, to hold a "," or blanks. SortId is not stored in a dictionary file. Each text must be
// representable in the code page the file stores it in (CodePage, or 1252 for the English
// names). Two sections for the same locale id, a key given twice, an unknown key, a bad number
// and a list of the wrong length fail with the file and line.
std::vector<vx::i18n::TIvLocale> parseLocales(const std::string& text, const std::string& fileName);

// The fields of a locale as the lines of its section ("PrimaryId=20", ...), each preceded by
// `indent`; parseLocales reads them back to the same record (SortId aside).
std::string formatLocale(const vx::i18n::TIvLocale& locale, const std::string& indent = {});

// A field written with the table's escapes.
std::string escapeField(const std::string& text);

// Text for a message or a listing: control characters escaped (\t, \n, \r, others \xNN, a
// NUL as \x00), so that none reaches the terminal raw and a NUL never ends the message early.
std::string printable(const std::string& text);

}  // namespace vx::mldc
