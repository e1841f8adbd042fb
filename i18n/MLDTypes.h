#pragma once
// The records of a multi-language dictionary (MLD) file: languages, custom locales and the
// translation entries the dictionary keeps in memory. Plain C++; all texts are UTF-8.
#include "platform/ComposedMessage.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::i18n {

// Every failure of the dictionary layer: a bad stream, a missing property, an index out of range.
// A message built around a value carries its parts, so that it can be shown translated piece
// by piece.
class EIvDictionaryError : public std::runtime_error, public vx::ComposedMessage {
 public:
  using std::runtime_error::runtime_error;
  explicit EIvDictionaryError(vx::MessageParts parts)
      : std::runtime_error(vx::joinedMessage(parts)), vx::ComposedMessage(std::move(parts)) {}
};

// A refusal of the language layer: no usable language, a language or locale the system or its
// code page does not support, a missing translation that must not pass silently.
class EIvLanguageError : public EIvDictionaryError {
 public:
  using EIvDictionaryError::EIvDictionaryError;
};

// Language ids in the Windows sense.
constexpr int makeLangId(int primary, int sub) { return primary | (sub << 10); }
constexpr int primaryLangId(int langId) { return langId & 0x3FF; }
constexpr int subLangId(int langId) { return (langId >> 10) & 0x3F; }
constexpr int makeLocaleId(int langId, int sortId) { return langId | (sortId << 16); }

struct TIvLanguage {
  int PrimaryId = 0;      // 0: the native (design) language
  int DefaultSubId = 0;
  int CurrentSubId = 0;   // chosen at run time; DefaultSubId after loading
  std::vector<int> SubIds;
  std::string IsoLanguage;
  std::string IsoCountry;
  std::vector<std::string> CountryCodes;
  int CodePage = 0;
  std::uint8_t Charset = 0;
  std::uint8_t LanguageFlags = 0;  // bit 1: exempt from the code page checks
  std::string EnglishName;
  std::string NativeName;
  std::string FontName;
  int FontSize = 0;

  // Sets the code page and the font character set that goes with it.
  void setCodePage(int codePage);
  int languageId() const { return makeLangId(PrimaryId, CurrentSubId); }
  bool operator==(const TIvLanguage&) const = default;
};

struct TIvLocale {
  int PrimaryId = 0;
  int SubId = 0;
  int SortId = 0;  // always 0 when read from a file
  std::string IsoLanguage;
  std::string IsoCountry;
  int CodePage = 0;
  std::uint8_t Charset = 0;
  bool Custom = false;
  std::string EnglishLanguageName;
  std::string EnglishCountryName;
  std::string NativeLanguageName;
  std::string NativeCountryName;
  std::string AbbreviatedLanguageName;
  std::string LocalizedCountryName;
  std::uint8_t Measurement = 0;
  std::string CurrencySymbol;
  std::uint8_t PositiveCurrencyFormat = 0;
  std::uint8_t NegativeCurrencyFormat = 0;
  std::uint8_t CurrencyDecimals = 0;
  std::string ThousandSeparator;  // one character (UTF-8), empty for none
  std::string DecimalSeparator;
  std::string DateSeparator;
  std::string ShortDateFormat;
  std::string LongDateFormat;
  std::string TimeSeparator;
  std::string TimeAMString;
  std::string TimePMString;
  bool TimeLeadingZero = false;
  std::uint8_t TimeFormat = 0;    // 0 12-hour, 1 24-hour
  std::uint8_t TimeMarkerPosition = 0;  // 0 after the time, 1 before
  std::uint8_t CalendarType = 0;
  std::uint8_t OptionalCalendar = 0;
  std::uint8_t FirstDayOfWeek = 0;
  std::uint8_t FirstWeekOfYear = 0;
  std::vector<std::string> ShortMonthNames = std::vector<std::string>(12);
  std::vector<std::string> LongMonthNames = std::vector<std::string>(12);
  std::vector<std::string> ShortDayNames = std::vector<std::string>(7);  // Monday first
  std::vector<std::string> LongDayNames = std::vector<std::string>(7);

  int localeId() const { return (SortId << 16) | (SubId << 10) | PrimaryId; }
  bool operator==(const TIvLocale&) const = default;
};

// Where a loaded entry's TranslatedText came from.
enum TIvTextSource : std::uint8_t { ivtsCurrent = 0, ivtsFallback = 1, ivtsNone = 2 };

struct TIvTranslation {
  std::string NativeText;
  std::string Context1;  // the form class
  std::string Context2;  // the component name
  std::string TranslatedText;
  TIvTextSource TextSource = ivtsNone;
};

// The context fields a file's translation records carry.
enum class MLDContextKind : std::uint8_t { None = 0, Both = 1, Context2Only = 2, Context1Only = 3 };

}  // namespace vx::i18n
