#pragma once
// A small dictionary for the tests: the native language, Norwegian, Swedish (fallback-free)
// and Russian (code page 1251), with translations in both context kinds and one locale.
#include "i18n/MLDWriter.h"

namespace vxtest {

inline vx::i18n::TIvLanguage makeLanguage(int primary, int sub, const char* iso, const char* country,
                                          int codePage, const char* english, const char* native) {
  vx::i18n::TIvLanguage l;
  l.PrimaryId = primary;
  l.DefaultSubId = sub;
  if (sub > 0) l.SubIds = {sub};
  l.IsoLanguage = iso;
  l.IsoCountry = country;
  l.CountryCodes = {"47", "0047"};
  l.setCodePage(codePage);
  l.EnglishName = english;
  l.NativeName = native;
  l.FontName = "Sans";
  l.FontSize = 9;
  return l;
}

inline vx::i18n::TIvLocale makeLocale() {
  vx::i18n::TIvLocale c;
  c.PrimaryId = 20;
  c.SubId = 1;
  c.IsoLanguage = "nb";
  c.IsoCountry = "NO";
  c.CodePage = 1252;
  c.Custom = true;
  c.EnglishLanguageName = "Norwegian";
  c.EnglishCountryName = "Norway";
  c.NativeLanguageName = "norsk bokmål";
  c.NativeCountryName = "Norge";
  c.AbbreviatedLanguageName = "NOR";
  c.LocalizedCountryName = "Norge";
  c.Measurement = 0;
  c.CurrencySymbol = "kr";
  c.PositiveCurrencyFormat = 2;
  c.NegativeCurrencyFormat = 12;
  c.CurrencyDecimals = 2;
  c.ThousandSeparator = " ";
  c.DecimalSeparator = ",";
  c.DateSeparator = ".";
  c.ShortDateFormat = "dd.MM.yyyy";
  c.LongDateFormat = "d. MMMM yyyy";
  c.TimeSeparator = ":";
  c.TimeAMString = "";
  c.TimePMString = "";
  c.TimeLeadingZero = true;
  c.TimeFormat = 1;
  c.TimeMarkerPosition = 0;
  c.CalendarType = 1;
  c.OptionalCalendar = 0;
  c.FirstDayOfWeek = 0;
  c.FirstWeekOfYear = 2;
  const char* months[] = {"januar", "februar", "mars", "april", "mai", "juni", "juli",
                          "august", "september", "oktober", "november", "desember"};
  const char* days[] = {"mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag", "søndag"};
  for (int i = 0; i < 12; ++i) {
    c.LongMonthNames[static_cast<std::size_t>(i)] = months[i];
    c.ShortMonthNames[static_cast<std::size_t>(i)] = std::string(months[i]).substr(0, 3);
  }
  for (int i = 0; i < 7; ++i) {
    c.LongDayNames[static_cast<std::size_t>(i)] = days[i];
    c.ShortDayNames[static_cast<std::size_t>(i)] = std::string(days[i]).substr(0, 3) + ".";
  }
  return c;
}

// Languages: 0 native, 1 Norwegian, 2 Swedish, 3 Russian (1251).
inline vx::i18n::MLDDocument makeDocument() {
  vx::i18n::MLDDocument d;
  vx::i18n::TIvLanguage native;
  native.setCodePage(1252);
  native.EnglishName = "Native";
  native.NativeName = "Native";
  d.Languages.push_back(native);
  d.Languages.push_back(makeLanguage(20, 1, "nb", "NO", 1252, "Norwegian", "Norsk (bokmål)"));
  d.Languages.push_back(makeLanguage(29, 1, "sv", "SE", 1252, "Swedish", "Svenska"));
  d.Languages.push_back(makeLanguage(25, 1, "ru", "RU", 1251, "Russian", "Русский"));
  d.Translations = {
      {"&File", "TFVXSysDn", "mnuFile", {"&Fil", "&Arkiv", "&Файл"}},
      {"Done", "TFVXSysDn", "btDone", {"Ferdig", "Klar", "Готово"}},
      {"Done", "TVXImport", "cmdDone", {"Fullført", "Slutfört", "Завершено"}},
      {"file", "", "", {"fil (liten)", "", ""}},
      {"Only Swedish", "", "", {"", "Bara svenska", ""}},
      {"Nowhere", "", "", {"", "", ""}},
      {"Tab\tand\r\nlines", "", "", {"Fane\tog\r\nlinjer", "", ""}},
  };
  d.Locales.push_back(makeLocale());
  return d;
}

}  // namespace vxtest
