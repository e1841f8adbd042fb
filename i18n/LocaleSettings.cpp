#include "i18n/LocaleSettings.h"

#include "i18n/CodePages.h"
#include "platform/LocaleInfo.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uloc.h>
#include <unicode/ulocdata.h>

#include <QLocale>
#include <QString>

#include <cctype>
#include <utility>
#include <chrono>
#include <fstream>
#include <memory>

namespace vx::i18n {

namespace {

std::string& systemLocaleFile() {
  static std::string path = "/etc/default/locale";
  return path;
}

TIvFormatSettings& globalSettings() {
  static TIvFormatSettings settings;
  return settings;
}

TIvEuro g_euro = iveNormal;

std::string utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// An ICU date pattern in the pattern letters of the locale records.
std::string recordDatePattern(const icu::UnicodeString& pattern) {
  std::string out;
  const int32_t n = pattern.length();
  for (int32_t i = 0; i < n;) {
    const char16_t c = pattern.charAt(i);
    if (c == u'\'') {  // a quoted literal stays as it is, quotes included
      int32_t j = i + 1;
      while (j < n && pattern.charAt(j) != u'\'') ++j;
      out += utf8(pattern.tempSubStringBetween(i, j < n ? j + 1 : n));
      i = j < n ? j + 1 : n;
      continue;
    }
    if (!isLetter(c)) {
      out += utf8(icu::UnicodeString(c));
      ++i;
      continue;
    }
    int32_t run = 1;
    while (i + run < n && pattern.charAt(i + run) == c) ++run;
    switch (c) {
      case u'y': case u'Y': case u'u': out += run == 2 ? "yy" : "yyyy"; break;
      case u'M': case u'L': out += std::string(static_cast<std::size_t>(run > 4 ? 4 : run), 'M'); break;
      case u'd': out += run == 1 ? "d" : "dd"; break;
      case u'E': case u'c': case u'e': out += run <= 3 ? "ddd" : "dddd"; break;
      case u'G': out += "gg"; break;
      default: out += utf8(pattern.tempSubStringBetween(i, i + run)); break;
    }
    i += run;
  }
  return out;
}

// The first separator character of a pattern outside quotes and letters, after `from`.
std::string separatorOf(const icu::UnicodeString& pattern, int32_t from) {
  bool quoted = false;
  for (int32_t i = from < 0 ? 0 : from; i < pattern.length(); ++i) {
    const char16_t c = pattern.charAt(i);
    if (c == u'\'') quoted = !quoted;
    else if (!quoted && !isLetter(c) && c != u' ' && c != u'\u00a0' && c != u'\u202f' && c != u',')
      return utf8(icu::UnicodeString(c));
  }
  return std::string();
}

icu::UnicodeString patternOf(icu::DateFormat* format) {
  icu::UnicodeString pattern;
  if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format)) simple->toPattern(pattern);
  return pattern;
}

bool isDoubleByteCodePage(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         codePage == 1361;
}

}  // namespace

void setSystemLocaleFile(const std::string& path) { systemLocaleFile() = path; }

std::string systemLocaleName() {
  std::ifstream in(systemLocaleFile());
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("LANG=", 0) != 0) continue;
    std::string v = line.substr(5);
    std::erase(v, '"');
    v = v.substr(0, v.find_first_of(".@"));
    if (!v.empty() && v != "C" && v != "POSIX") return v;
  }
  return vx::locale::userLocaleName();
}

int localeIdForName(const std::string& name) {
  std::string n = name;
  // The Norwegian macrolanguage is written as bokmål.
  if (n == "no" || n.rfind("no_", 0) == 0) n = "nb" + n.substr(2);
  return static_cast<int>(uloc_getLCID(n.c_str())) & 0xFFFF;
}

namespace {

// The three-letter language abbreviation of Windows for the locales the suite meets (two
// letters of the language and one of the country); others get ICU's ISO 639-2 code.
std::string abbreviatedLanguageName(int localeId, const icu::Locale& loc) {
  static const std::pair<int, const char*> kKnown[] = {
      {0x0414, "NOR"}, {0x0814, "NON"}, {0x041D, "SVE"}, {0x081D, "SVF"}, {0x0406, "DAN"},
      {0x0409, "ENU"}, {0x0809, "ENG"}, {0x0C09, "ENA"}, {0x1009, "ENC"}, {0x1809, "ENI"},
      {0x0407, "DEU"}, {0x0807, "DES"}, {0x0C07, "DEA"}, {0x040B, "FIN"}, {0x040C, "FRA"},
      {0x080C, "FRB"}, {0x0C0C, "FRC"}, {0x100C, "FRS"}, {0x040F, "ISL"}, {0x0438, "FOS"},
      {0x0413, "NLD"}, {0x0813, "NLB"}, {0x0410, "ITA"}, {0x0C0A, "ESN"}, {0x040A, "ESP"},
      {0x0816, "PTG"}, {0x0416, "PTB"}, {0x0415, "PLK"}, {0x0419, "RUS"}, {0x0425, "ETI"},
      {0x0426, "LVI"}, {0x0427, "LTH"}, {0x0405, "CSY"}, {0x040E, "HUN"}, {0x043B, "SME"},
  };
  for (const auto& [id, abbreviation] : kKnown)
    if (id == (localeId & 0xFFFF)) return abbreviation;
  std::string abbreviation = loc.getISO3Language();
  for (char& c : abbreviation) c = char(std::toupper(static_cast<unsigned char>(c)));
  return abbreviation;
}

int g_threadLocale = 0;

}  // namespace

int threadLocale() { return g_threadLocale; }

void setThreadLocale(int localeId) {
  g_threadLocale = localeId;
  const std::string name = localeNameForId(localeId);
  if (!name.empty()) QLocale::setDefault(QLocale(QString::fromStdString(name)));
}

std::string localeNameForId(int localeId) {
  if (localeId <= 0) return {};
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(static_cast<uint32_t>(localeId), name, sizeof name, &status);
  if (U_FAILURE(status) || name[0] == '\0') return {};
  // ICU answers an id it does not know with a near one (the bare language, another language).
  if ((static_cast<int>(uloc_getLCID(name)) & 0xFFFF) != (localeId & 0xFFFF)) return {};
  return name;
}

int userDefaultLocaleId() { return localeIdForName(vx::locale::userLocaleName()); }

int systemDefaultLocaleId() { return localeIdForName(systemLocaleName()); }

int actualLocaleId(int localeId) {
  if (localeId == kUserDefaultLocaleId) return userDefaultLocaleId();
  if (localeId == kSystemDefaultLocaleId) return systemDefaultLocaleId();
  return localeId;
}

int systemAnsiCodePage() { return codepage::defaultCodePage(systemDefaultLocaleId()); }

bool systemLocale(int localeId, TIvLocale& out) {
  out = TIvLocale();
  if (localeId <= 0) return false;
  const std::string localeName = localeNameForId(localeId);
  if (localeName.empty()) return false;
  const char* name = localeName.c_str();
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale loc(name);
  if (loc.isBogus()) return false;

  TIvLocale r;
  r.PrimaryId = primaryLangId(localeId);
  r.SubId = subLangId(localeId);
  r.SortId = (localeId >> 16) & 0xF;
  r.IsoLanguage = loc.getLanguage();
  r.IsoCountry = loc.getCountry();
  r.CodePage = codepage::defaultCodePage(localeId);
  r.Charset = codepage::charsetOf(r.CodePage);
  const icu::Locale english("en");
  icu::UnicodeString s;
  r.EnglishLanguageName = utf8(loc.getDisplayLanguage(english, s));
  r.EnglishCountryName = utf8(loc.getDisplayCountry(english, s));
  r.NativeLanguageName = utf8(loc.getDisplayLanguage(loc, s));
  r.NativeCountryName = utf8(loc.getDisplayCountry(loc, s));
  r.LocalizedCountryName = utf8(loc.getDisplayCountry(s));
  r.AbbreviatedLanguageName = abbreviatedLanguageName(localeId, loc);
  status = U_ZERO_ERROR;
  r.Measurement = ulocdata_getMeasurementSystem(name, &status) == UMS_US ? 1 : 0;

  status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(loc, status);
  if (U_SUCCESS(status)) {
    r.DecimalSeparator = utf8(symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
    r.ThousandSeparator = utf8(symbols.getConstSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol));
    r.CurrencySymbol = utf8(symbols.getConstSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
  }
  status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> currency(icu::NumberFormat::createCurrencyInstance(loc, status));
  if (U_SUCCESS(status) && currency) {
    r.CurrencyDecimals = static_cast<std::uint8_t>(currency->getMaximumFractionDigits());
    icu::UnicodeString pattern;
    if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(currency.get())) decimal->toPattern(pattern);
    const int32_t sign = pattern.indexOf(u'\u00a4');
    const int32_t digit = pattern.indexOf(u'0');
    if (sign >= 0 && digit >= 0) {
      const bool prefix = sign < digit;
      const char16_t between = prefix ? pattern.charAt(sign + 1) : pattern.charAt(sign - 1);
      const bool spaced = between == u' ' || between == u'\u00a0';
      r.PositiveCurrencyFormat = static_cast<std::uint8_t>(prefix ? (spaced ? 2 : 0) : (spaced ? 3 : 1));
      r.NegativeCurrencyFormat = static_cast<std::uint8_t>(prefix ? (spaced ? 9 : 1) : (spaced ? 8 : 5));
    }
  }

  std::unique_ptr<icu::DateFormat> shortDate(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, loc));
  std::unique_ptr<icu::DateFormat> longDate(icu::DateFormat::createDateInstance(icu::DateFormat::kLong, loc));
  std::unique_ptr<icu::DateFormat> shortTime(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, loc));
  if (shortDate) {
    const icu::UnicodeString p = patternOf(shortDate.get());
    r.ShortDateFormat = recordDatePattern(p);
    r.DateSeparator = separatorOf(p, 0);
  }
  if (longDate) r.LongDateFormat = recordDatePattern(patternOf(longDate.get()));
  if (shortTime) {
    const icu::UnicodeString p = patternOf(shortTime.get());
    int32_t hour = -1;
    char16_t hourLetter = 0;
    for (char16_t c : {u'h', u'H', u'K', u'k'}) {
      const int32_t at = p.indexOf(c);
      if (at >= 0 && (hour < 0 || at < hour)) { hour = at; hourLetter = c; }
    }
    if (hour >= 0) {
      const bool twelve = hourLetter == u'h' || hourLetter == u'K';
      r.TimeFormat = twelve ? 0 : 1;
      r.TimeLeadingZero = hour + 1 < p.length() && p.charAt(hour + 1) == hourLetter;
      const int32_t marker = p.indexOf(u'a');
      r.TimeMarkerPosition = twelve && marker >= 0 && marker < hour ? 1 : 0;
      r.TimeSeparator = separatorOf(p, hour);
    }
  }
  status = U_ZERO_ERROR;
  const icu::DateFormatSymbols dateSymbols(loc, status);
  if (U_SUCCESS(status)) {
    int32_t count = 0;
    const icu::UnicodeString* ampm = dateSymbols.getAmPmStrings(count);
    if (r.TimeFormat == 0 && count >= 2) {
      r.TimeAMString = utf8(ampm[0]);
      r.TimePMString = utf8(ampm[1]);
    }
    using S = icu::DateFormatSymbols;
    const icu::UnicodeString* months = dateSymbols.getMonths(count, S::FORMAT, S::WIDE);
    for (int32_t i = 0; i < 12 && i < count; ++i) r.LongMonthNames[static_cast<std::size_t>(i)] = utf8(months[i]);
    months = dateSymbols.getMonths(count, S::FORMAT, S::ABBREVIATED);
    for (int32_t i = 0; i < 12 && i < count; ++i) r.ShortMonthNames[static_cast<std::size_t>(i)] = utf8(months[i]);
    // ICU counts from Sunday at 1; the record from Monday at 0.
    const icu::UnicodeString* days = dateSymbols.getWeekdays(count, S::FORMAT, S::WIDE);
    for (int32_t i = 0; i < 7 && count >= 8; ++i) r.LongDayNames[static_cast<std::size_t>(i)] = utf8(days[(i + 1) % 7 + 1]);
    days = dateSymbols.getWeekdays(count, S::FORMAT, S::ABBREVIATED);
    for (int32_t i = 0; i < 7 && count >= 8; ++i) r.ShortDayNames[static_cast<std::size_t>(i)] = utf8(days[(i + 1) % 7 + 1]);
  }
  status = U_ZERO_ERROR;
  std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(loc, status));
  r.CalendarType = 1;  // Gregorian
  if (U_SUCCESS(status) && calendar) {
    status = U_ZERO_ERROR;
    const int first = calendar->getFirstDayOfWeek(status);  // 1 Sunday .. 7 Saturday
    r.FirstDayOfWeek = static_cast<std::uint8_t>((first + 5) % 7);  // 0 Monday .. 6 Sunday
    const int minimal = calendar->getMinimalDaysInFirstWeek();
    r.FirstWeekOfYear = minimal >= 7 ? 1 : minimal >= 4 ? 2 : 0;
  }
  out = std::move(r);
  return true;
}

bool isEuroLocale(int localeId) {
  const int p = primaryLangId(localeId), s = subLangId(localeId);
  switch (p) {
    case 7: return s == 1 || s == 3 || s == 4;
    case 9: return s == 6;
    case 10: case 11: case 16: return s == 1;
    case 12: return s == 1 || s == 2 || s == 5;
    case 19: return s == 1 || s == 2;
    case 22: case 29: return s == 2;
    default: return false;
  }
}

int euroPhase(int year, int month, int day) {
  const int date = year * 10000 + month * 100 + day;
  if (date < 19990101) return 1;
  if (date < 20020101) return 2;
  if (date < 20020701) return 3;
  return 4;
}

std::string currencyString(const TIvLocale& locale, TIvEuro euro, int year, int month, int day) {
  if (euro == iveIgnore || !isEuroLocale(makeLangId(locale.PrimaryId, locale.SubId)))
    return locale.CurrencySymbol;
  const int phase = euroPhase(year, month, day);
  // The euro sign, character 0x80 of code page 1252.
  if (phase >= 3 || (phase == 2 && euro == iveBusiness)) return "\xE2\x82\xAC";
  return locale.CurrencySymbol;
}

std::string year2000Format(const std::string& format) {
  if (format.find("yyyy") != std::string::npos) return format;
  const std::size_t at = format.find("yy");
  if (at == std::string::npos) return format;
  std::string out = format;
  out.insert(at, "yy");
  return out;
}

TIvFormatSettings formatSettingsFor(const TIvLocale& locale, bool year2000, TIvEuro euro,
                                    int year, int month, int day) {
  TIvFormatSettings f;
  f.LocaleId = locale.localeId();
  f.PrimaryId = locale.PrimaryId;
  f.SubId = locale.SubId;
  f.DoubleByte = isDoubleByteCodePage(locale.CodePage);
  f.CurrencyString = currencyString(locale, euro, year, month, day);
  f.PositiveCurrencyFormat = locale.PositiveCurrencyFormat;
  f.NegativeCurrencyFormat = locale.NegativeCurrencyFormat;
  f.ThousandSeparator = locale.ThousandSeparator;
  f.DecimalSeparator = locale.DecimalSeparator;
  f.CurrencyDecimals = locale.CurrencyDecimals;
  f.DateSeparator = locale.DateSeparator;
  f.ShortDateFormat = year2000 ? year2000Format(locale.ShortDateFormat) : locale.ShortDateFormat;
  f.LongDateFormat = year2000 ? year2000Format(locale.LongDateFormat) : locale.LongDateFormat;
  f.TimeSeparator = locale.TimeSeparator.empty() ? ":" : locale.TimeSeparator;
  f.TimeAMString = locale.TimeAMString;
  f.TimePMString = locale.TimePMString;
  const std::string hour = locale.TimeLeadingZero ? "hh" : "h";
  std::string prefix, suffix;
  if (locale.TimeFormat == 0) {
    if (locale.TimeMarkerPosition == 1) prefix = "AMPM ";
    else suffix = " AMPM";
  }
  f.ShortTimeFormat = prefix + hour + ":mm" + suffix;
  f.LongTimeFormat = prefix + hour + ":mm:ss" + suffix;
  for (std::size_t i = 0; i < 12; ++i) {
    if (i < locale.ShortMonthNames.size()) f.ShortMonthNames[i] = locale.ShortMonthNames[i];
    if (i < locale.LongMonthNames.size()) f.LongMonthNames[i] = locale.LongMonthNames[i];
  }
  // The record counts from Monday, the settings from Sunday.
  for (std::size_t i = 0; i < 7; ++i) {
    const std::size_t to = (i + 1) % 7;
    if (i < locale.ShortDayNames.size()) f.ShortDayNames[to] = locale.ShortDayNames[i];
    if (i < locale.LongDayNames.size()) f.LongDayNames[to] = locale.LongDayNames[i];
  }
  return f;
}

TIvFormatSettings formatSettingsFor(const TIvLocale& locale, bool year2000, TIvEuro euro) {
  const auto today = std::chrono::year_month_day(
      std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
  return formatSettingsFor(locale, year2000, euro, int(today.year()),
                           int(unsigned(today.month())), int(unsigned(today.day())));
}

const TIvFormatSettings& formatSettings() { return globalSettings(); }
void setFormatSettings(const TIvFormatSettings& settings) { globalSettings() = settings; }
TIvEuro euroSetting() { return g_euro; }
void setEuroSetting(TIvEuro euro) { g_euro = euro; }

namespace {

// Day of the week, 0 for Sunday (Sakamoto's rule).
int weekday(int y, int m, int d) {
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + t[(m - 1) % 12] + d) % 7;
}

std::string twoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

}  // namespace

std::string systemDateTimeText(int year, int month, int day, int hour, int minute, int second) {
  TIvFormatSettings f = formatSettings();
  if (f.ShortDateFormat.empty() || f.LongTimeFormat.empty()) {
    TIvLocale locale;
    if (systemLocale(userDefaultLocaleId(), locale)) f = formatSettingsFor(locale, true, euroSetting());
    if (f.ShortDateFormat.empty()) f.ShortDateFormat = "yyyy-MM-dd";
    if (f.LongTimeFormat.empty()) f.LongTimeFormat = "HH:mm:ss";
  }
  return formatDateTime(f.ShortDateFormat + " " + f.LongTimeFormat, f, year, month, day, hour, minute,
                        second);
}

std::string formatDateTime(const std::string& format, const TIvFormatSettings& settings, int year,
                           int month, int day, int hour, int minute, int second) {
  std::string out;
  const bool twelveHour = format.find("AMPM") != std::string::npos;
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'') {
      const auto end = format.find('\'', i + 1);
      out += format.substr(i + 1, (end == std::string::npos ? format.size() : end) - i - 1);
      i = end == std::string::npos ? format.size() : end + 1;
      continue;
    }
    if (format.compare(i, 4, "AMPM") == 0) {
      out += hour < 12 ? settings.TimeAMString : settings.TimePMString;
      i += 4;
      continue;
    }
    std::size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    const int monthIndex = (month >= 1 && month <= 12) ? month - 1 : 0;
    switch (c) {
      case 'd':
        if (run == 1) out += std::to_string(day);
        else if (run == 2) out += twoDigits(day);
        else if (run == 3) out += settings.ShortDayNames[std::size_t(weekday(year, month, day))];
        else out += settings.LongDayNames[std::size_t(weekday(year, month, day))];
        break;
      case 'M':
        if (run == 1) out += std::to_string(month);
        else if (run == 2) out += twoDigits(month);
        else if (run == 3) out += settings.ShortMonthNames[std::size_t(monthIndex)];
        else out += settings.LongMonthNames[std::size_t(monthIndex)];
        break;
      case 'y':
        out += run <= 2 ? twoDigits(year % 100) : std::to_string(year);
        break;
      case 'h':
      case 'H': {
        int h = hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        out += run == 1 ? std::to_string(h) : twoDigits(h);
        break;
      }
      case 'm':
        out += run == 1 ? std::to_string(minute) : twoDigits(minute);
        break;
      case 's':
        out += run == 1 ? std::to_string(second) : twoDigits(second);
        break;
      default:
        out.append(run, c);
    }
    i += run;
  }
  return out;
}

}  // namespace vx::i18n
