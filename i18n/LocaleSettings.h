#pragma once
// The locales the dictionary works with: the user's and the system's default locale ids, the
// system's ANSI code page, locale records built from ICU's locale data, and the program-wide
// formatting settings (separators, date and time formats, month and day names, currency)
// that follow the dictionary's current locale. Over ICU; the thread locale also sets Qt's.
//
// Date and time formats use the pattern letters of the locale records: d, M, y for the date
// (dddd, MMMM for names), h, m, s for the time, and "AMPM" for the AM/PM designator.
#include "i18n/MLDTypes.h"

#include <array>
#include <string>

namespace vx::i18n {

// The locale ids standing for the user's and the system's default locale.
inline constexpr int kUserDefaultLocaleId = makeLangId(0, 1);
inline constexpr int kSystemDefaultLocaleId = makeLangId(0, 2);

// Where the system's locale setting is read ("/etc/default/locale"; tests point elsewhere).
void setSystemLocaleFile(const std::string& path);

// The ICU name of the system's locale: LANG of the system's locale file, else the user's.
std::string systemLocaleName();

// The locale id of an ICU locale name ("nb_NO" -> 0x0414); 0 when ICU knows none.
int localeIdForName(const std::string& name);

// The ICU name of a locale id ("nb_NO" for 0x0414); empty when ICU knows none.
std::string localeNameForId(int localeId);

int userDefaultLocaleId();
int systemDefaultLocaleId();
// The user's and the system's default ids replaced by the actual ones; others unchanged.
int actualLocaleId(int localeId);

// The Windows default code page of the system's locale.
int systemAnsiCodePage();

// The record of a locale id from ICU's data; false (and `out` left empty) when ICU does not
// know the locale.
bool systemLocale(int localeId, TIvLocale& out);

// How the currency string treats the euro.
enum TIvEuro { iveNormal = 0, iveBusiness = 1, iveIgnore = 2 };

// Whether a locale id belongs to the euro area.
bool isEuroLocale(int localeId);
// The phase of the euro introduction on a date: 1 before 1999, 2 before 2002, 3 before
// July 2002, else 4.
int euroPhase(int year, int month, int day);
// The currency string of a locale on a date under `euro`.
std::string currencyString(const TIvLocale& locale, TIvEuro euro, int year, int month, int day);

// A date format with a two-digit year ("yy" but no "yyyy") gets a four-digit year in its
// place; other formats stay as they are.
std::string year2000Format(const std::string& format);

struct TIvFormatSettings {
  int LocaleId = 0;
  int PrimaryId = 0;
  int SubId = 0;
  bool DoubleByte = false;  // the locale's code page is a double-byte one
  std::string CurrencyString;
  int PositiveCurrencyFormat = 0;
  int NegativeCurrencyFormat = 0;
  std::string ThousandSeparator;
  std::string DecimalSeparator;
  int CurrencyDecimals = 0;
  std::string DateSeparator;
  std::string ShortDateFormat;
  std::string LongDateFormat;
  std::string TimeSeparator;
  std::string TimeAMString;
  std::string TimePMString;
  std::string ShortTimeFormat;
  std::string LongTimeFormat;
  std::array<std::string, 12> ShortMonthNames;  // January first
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;  // Sunday first
  std::array<std::string, 7> LongDayNames;
};

// The settings of a locale record on a date.
TIvFormatSettings formatSettingsFor(const TIvLocale& locale, bool year2000, TIvEuro euro,
                                    int year, int month, int day);
// The same on today's date.
TIvFormatSettings formatSettingsFor(const TIvLocale& locale, bool year2000, TIvEuro euro);

// The locale of the user-interface thread: the id last set (0 before), and Qt's default
// locale, which formats numbers and dates in the program's widgets, follows it.
int threadLocale();
void setThreadLocale(int localeId);

// A date and time in a format of the pattern letters above: d dd (day), ddd dddd (day names),
// M MM (month), MMM MMMM (month names), y yy (two-digit year), yyy and longer (four digits),
// h hh H HH (hour), m mm (minute), s ss (second), AMPM; text in single quotes and every other
// character as it stands.
std::string formatDateTime(const std::string& format, const TIvFormatSettings& settings, int year,
                           int month, int day, int hour, int minute, int second);

// A date and time in the system's short date and long time formats, separated by a blank: the
// program-wide settings, or the user's locale while those are not set, or ISO dates and a
// 24-hour clock when no locale gives a format. For the program's reports and logs.
std::string systemDateTimeText(int year, int month, int day, int hour, int minute, int second);

// The program-wide settings and euro setting (user-interface thread only).
const TIvFormatSettings& formatSettings();
void setFormatSettings(const TIvFormatSettings& settings);
TIvEuro euroSetting();
void setEuroSetting(TIvEuro euro);

}  // namespace vx::i18n
