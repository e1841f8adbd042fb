#include "i18n/EmbeddedDictionary.h"

#include "i18n/MLDFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vx::i18n {

namespace {

bool hasContext1(MLDContextKind k) { return k == MLDContextKind::Both || k == MLDContextKind::Context1Only; }
bool hasContext2(MLDContextKind k) { return k == MLDContextKind::Both || k == MLDContextKind::Context2Only; }

std::string joinSubIds(const std::vector<int>& ids) {
  std::string s;
  for (std::size_t i = 0; i < ids.size(); ++i) s += (i ? "," : "") + std::to_string(ids[i]);
  return s;
}

void writeNumber(FormWriter& w, int value) { w.writeInteger(static_cast<std::int32_t>(value)); }

// Reads the version at the head of a value's list and refuses the ones this reader does not
// know, with `refusal` (a text of the dictionary) before the number.
int readVersion(FormReader& r, const char* kind, const char* refusal) {
  r.beginList(std::string(kind) + " data");
  const std::int32_t version = r.readInteger(std::string(kind) + " data version");
  if (version < 1 || version > kEmbeddedDataVersion)
    throw EIvDictionaryError({vx::MessagePart::piece(refusal),
                              vx::MessagePart::value(std::to_string(version))});
  return version;
}

int readCount(FormReader& r, const char* what) {
  const std::int32_t n = r.readInteger(what);
  if (n < 0) throw EIvDictionaryError("The " + std::string(what) + " " + std::to_string(n) + " is negative");
  return n;
}

int readRanged(FormReader& r, const char* field, int max) {
  const std::int32_t v = r.readInteger(field);
  if (v < 0 || v > max)
    throw EIvDictionaryError("The embedded value " + std::to_string(v) + " of " + field +
                             " is out of range");
  return v;
}

std::uint8_t readByteField(FormReader& r, const char* field) {
  return static_cast<std::uint8_t>(readRanged(r, field, 0xFF));
}

int readWordField(FormReader& r, const char* field) { return readRanged(r, field, 0xFFFF); }

}  // namespace

// --- Escapes ---

std::string escapeEmbeddedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\r': out += "#C"; break;
      case '\n': out += "#L"; break;
      case '\t': out += "#T"; break;
      case '#': out += "##"; break;
      default: out += c;
    }
  }
  return out;
}

std::string unescapeEmbeddedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '#' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[i + 1]) {
      case 'C': out += '\r'; ++i; break;
      case 'L': out += '\n'; ++i; break;
      case 'T': out += '\t'; ++i; break;
      case '#': out += '#'; ++i; break;
      default: out += '#';
    }
  }
  return out;
}

// --- Storing ---

EmbeddedDictionaryValues encodeEmbeddedDictionary(const std::vector<TIvLanguage>& languages,
                                                  MLDContextKind contextKind,
                                                  const std::vector<MLDTranslationRow>& rows,
                                                  const std::vector<TIvLocale>& locales) {
  EmbeddedDictionaryValues values;

  FormWriter l;
  l.beginList();
  writeNumber(l, kEmbeddedDataVersion);
  writeNumber(l, static_cast<int>(languages.size()));
  for (const TIvLanguage& lang : languages) {
    l.beginList();
    writeNumber(l, lang.PrimaryId);
    l.writeString(joinSubIds(lang.SubIds));
    writeNumber(l, lang.DefaultSubId);
    writeNumber(l, lang.Charset);
    writeNumber(l, lang.CodePage);
    l.writeString(lang.EnglishName);
    l.writeString(lang.NativeName);
    l.writeString(lang.FontName);
    writeNumber(l, lang.FontSize);
    l.writeBoolean((lang.LanguageFlags & 1) != 0);
    l.writeBoolean((lang.LanguageFlags & 2) != 0);
    l.endList();
  }
  l.endList();
  values.languages = l.take();

  const std::size_t others = languages.empty() ? 0 : languages.size() - 1;
  FormWriter t;
  t.beginList();
  writeNumber(t, kEmbeddedDataVersion);
  writeNumber(t, static_cast<int>(contextKind));
  writeNumber(t, static_cast<int>(rows.size()));
  for (const MLDTranslationRow& row : rows) {
    if (row.Texts.size() > others)
      throw EIvDictionaryError("A translation has more texts than the dictionary has languages");
    t.beginList();
    t.writeString(escapeEmbeddedText(row.NativeText));
    if (hasContext1(contextKind)) t.writeString(escapeEmbeddedText(row.Context1));
    if (hasContext2(contextKind)) t.writeString(escapeEmbeddedText(row.Context2));
    for (std::size_t i = 0; i < others; ++i)
      t.writeString(i < row.Texts.size() ? escapeEmbeddedText(row.Texts[i]) : std::string());
    t.endList();
  }
  t.endList();
  values.translations = t.take();

  FormWriter c;
  c.beginList();
  writeNumber(c, kEmbeddedDataVersion);
  writeNumber(c, static_cast<int>(locales.size()));
  for (const TIvLocale& loc : locales) {
    c.beginList();
    writeNumber(c, loc.PrimaryId);
    c.writeString(loc.IsoLanguage);
    writeNumber(c, loc.SubId);
    c.writeString(loc.IsoCountry);
    writeNumber(c, loc.Charset);
    writeNumber(c, loc.CodePage);
    c.writeBoolean(loc.Custom);
    for (const std::string* s : {&loc.EnglishLanguageName, &loc.EnglishCountryName, &loc.NativeLanguageName,
                                 &loc.NativeCountryName, &loc.AbbreviatedLanguageName, &loc.LocalizedCountryName})
      c.writeString(*s);
    writeNumber(c, loc.Measurement);
    c.writeString(loc.CurrencySymbol);
    writeNumber(c, loc.PositiveCurrencyFormat);
    writeNumber(c, loc.NegativeCurrencyFormat);
    writeNumber(c, loc.CurrencyDecimals);
    c.writeChar(loc.ThousandSeparator);
    c.writeChar(loc.DecimalSeparator);
    c.writeChar(loc.DateSeparator);
    c.writeString(loc.ShortDateFormat);
    c.writeString(loc.LongDateFormat);
    c.writeChar(loc.TimeSeparator);
    c.writeString(loc.TimeAMString);
    c.writeString(loc.TimePMString);
    c.writeBoolean(loc.TimeLeadingZero);
    for (const std::uint8_t b : {loc.TimeFormat, loc.TimeMarkerPosition, loc.CalendarType, loc.OptionalCalendar,
                                 loc.FirstDayOfWeek, loc.FirstWeekOfYear})
      writeNumber(c, b);
    for (const auto* names : {&loc.ShortMonthNames, &loc.LongMonthNames, &loc.ShortDayNames, &loc.LongDayNames}) {
      const std::size_t n = names == &loc.ShortDayNames || names == &loc.LongDayNames ? 7 : 12;
      for (std::size_t i = 0; i < n; ++i) c.writeString(i < names->size() ? (*names)[i] : std::string());
    }
    c.endList();
  }
  c.endList();
  values.locales = c.take();
  return values;
}

EmbeddedDictionaryValues storeEmbeddedDictionary(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec))
    throw EIvStoreError("File not found",
                        "Can not find the file name " + fileName + ". No dictionary data was stored!");
  TIvMLDFile f;
  f.LoadFile(fileName);
  if (!f.EightBit())
    throw EIvStoreError("Unicode not supported",
                        "Can not use a Unicode MLD file " + fileName + ". No dictionary data was stored!");

  std::vector<TIvLanguage> languages;
  if (f.LanguageCount() > 0) f.SeekLanguages();
  for (int i = 0; i < f.LanguageCount(); ++i) languages.push_back(f.ReadLanguage());

  // One pass per language, each keeping that language's texts in its own code page (one
  // pass at least, for the native texts and contexts).
  const int languageCount = static_cast<int>(languages.size());
  std::vector<MLDTranslationRow> rows(static_cast<std::size_t>(f.TranslationCount()));
  if (!rows.empty()) {
    for (int lang = 1; lang < std::max(languageCount, 2); ++lang) {
      f.SeekTranslations();
      const int cp = lang < languageCount ? languages[static_cast<std::size_t>(lang)].CodePage : 0;
      for (MLDTranslationRow& row : rows) {
        TIvTranslation entry;
        f.ReadTranslation(entry, lang, cp, -1);
        row.NativeText = std::move(entry.NativeText);
        row.Context1 = std::move(entry.Context1);
        row.Context2 = std::move(entry.Context2);
        if (lang < languageCount)
          row.Texts.push_back(entry.TextSource == ivtsNone ? std::string() : std::move(entry.TranslatedText));
      }
    }
  }

  std::vector<TIvLocale> locales;
  if (f.LocaleCount() > 0) f.SeekLocales();
  for (int i = 0; i < f.LocaleCount(); ++i) locales.push_back(f.ReadLocale());

  return encodeEmbeddedDictionary(languages, f.ContextKind(), rows, locales);
}

StoredComponent embeddedDictionaryComponent(const std::string& className,
                                            const std::string& componentName,
                                            const EmbeddedDictionaryValues& values) {
  StoredComponent c;
  c.className = className;
  c.name = componentName;
  c.properties = {{kEmbeddedLanguagesProperty, values.languages},
                  {kEmbeddedTranslationsProperty, values.translations},
                  {kEmbeddedLocalesProperty, values.locales}};
  return c;
}

// --- Reading ---

std::vector<TIvLanguage> readEmbeddedLanguages(std::string_view value) {
  FormReader r(value);
  const int version = readVersion(r, "language", "Unknown language data version: ");
  const int count = readCount(r, "language count");
  std::vector<TIvLanguage> languages;
  for (int i = 0; i < count; ++i) {
    TIvLanguage l;
    r.beginList("a language record");
    l.PrimaryId = r.readInteger("PrimaryId");
    l.SubIds = parseSubIds(r.readString("SubIds"));
    l.DefaultSubId = r.readInteger("DefaultSubId");
    if (version > 1) l.Charset = readByteField(r, "Charset");
    // As in an MLD record, the code page sets the charset that goes with it.
    l.setCodePage(readWordField(r, "CodePage"));
    l.EnglishName = r.readString("EnglishName");
    l.NativeName = r.readString("NativeName");
    l.FontName = r.readString("FontName");
    l.FontSize = readByteField(r, "FontSize");
    const bool bit0 = r.readBoolean("language flag bit 0");
    const bool bit1 = r.readBoolean("language flag bit 1");
    l.LanguageFlags = static_cast<std::uint8_t>((bit0 ? 1 : 0) | (bit1 ? 2 : 0));
    r.endList("a language record");
    TIvMLDFile::CompleteLanguage(l);
    languages.push_back(std::move(l));
  }
  r.endList("the language data");
  return languages;
}

std::vector<MLDTranslationRow> readEmbeddedTranslations(std::string_view value,
                                                        MLDContextKind& contextKind) {
  FormReader r(value);
  const int version = readVersion(r, "translation", "Unknown translation data version: ");
  MLDContextKind kind = MLDContextKind::None;
  if (version >= 2) {
    const std::int32_t k = r.readInteger("the context kind");
    if (k < 0 || k > 3) throw EIvDictionaryError("Unknown context kind: " + std::to_string(k));
    kind = static_cast<MLDContextKind>(k);
  }
  const int count = readCount(r, "translation count");
  std::vector<MLDTranslationRow> rows;
  for (int i = 0; i < count; ++i) {
    MLDTranslationRow row;
    r.beginList("a translation record");
    row.NativeText = unescapeEmbeddedText(r.readString("NativeText"));
    if (hasContext1(kind)) row.Context1 = unescapeEmbeddedText(r.readString("Context1"));
    if (hasContext2(kind)) row.Context2 = unescapeEmbeddedText(r.readString("Context2"));
    while (!r.atListEnd()) row.Texts.push_back(unescapeEmbeddedText(r.readString("a translated text")));
    r.endList("a translation record");
    rows.push_back(std::move(row));
  }
  r.endList("the translation data");
  contextKind = kind;
  return rows;
}

std::vector<TIvLocale> readEmbeddedLocales(std::string_view value) {
  FormReader r(value);
  const int version = readVersion(r, "locale", "Unknown locale data version: ");
  const int count = readCount(r, "locale count");
  std::vector<TIvLocale> locales;
  for (int i = 0; i < count; ++i) {
    TIvLocale c;
    r.beginList("a locale record");
    c.PrimaryId = readWordField(r, "PrimaryId");
    if (version > 1) c.IsoLanguage = r.readString("IsoLanguage");
    c.SubId = readWordField(r, "SubId");
    if (version > 1) c.IsoCountry = r.readString("IsoCountry");
    if (version > 1) c.Charset = readByteField(r, "Charset");
    c.CodePage = readWordField(r, "CodePage");
    c.Custom = r.readBoolean("Custom");
    c.EnglishLanguageName = r.readString("EnglishLanguageName");
    c.EnglishCountryName = r.readString("EnglishCountryName");
    c.NativeLanguageName = r.readString("NativeLanguageName");
    c.NativeCountryName = r.readString("NativeCountryName");
    c.AbbreviatedLanguageName = r.readString("AbbreviatedLanguageName");
    c.LocalizedCountryName = r.readString("LocalizedCountryName");
    c.Measurement = readByteField(r, "Measurement");
    c.CurrencySymbol = r.readString("CurrencySymbol");
    c.PositiveCurrencyFormat = readByteField(r, "PositiveCurrencyFormat");
    c.NegativeCurrencyFormat = readByteField(r, "NegativeCurrencyFormat");
    c.CurrencyDecimals = readByteField(r, "CurrencyDecimals");
    c.ThousandSeparator = r.readChar("ThousandSeparator");
    c.DecimalSeparator = r.readChar("DecimalSeparator");
    c.DateSeparator = r.readChar("DateSeparator");
    c.ShortDateFormat = r.readString("ShortDateFormat");
    c.LongDateFormat = r.readString("LongDateFormat");
    c.TimeSeparator = r.readChar("TimeSeparator");
    c.TimeAMString = r.readString("TimeAMString");
    c.TimePMString = r.readString("TimePMString");
    c.TimeLeadingZero = r.readBoolean("TimeLeadingZero");
    c.TimeFormat = readByteField(r, "TimeFormat");
    c.TimeMarkerPosition = readByteField(r, "TimeMarkerPosition");
    c.CalendarType = readByteField(r, "CalendarType");
    c.OptionalCalendar = readByteField(r, "OptionalCalendar");
    c.FirstDayOfWeek = readByteField(r, "FirstDayOfWeek");
    c.FirstWeekOfYear = readByteField(r, "FirstWeekOfYear");
    for (std::string& name : c.ShortMonthNames) name = r.readString("ShortMonthNames");
    for (std::string& name : c.LongMonthNames) name = r.readString("LongMonthNames");
    for (std::string& name : c.ShortDayNames) name = r.readString("ShortDayNames");
    for (std::string& name : c.LongDayNames) name = r.readString("LongDayNames");
    r.endList("a locale record");
    locales.push_back(std::move(c));
  }
  r.endList("the locale data");
  return locales;
}

EmbeddedDictionaryData readEmbeddedDictionary(std::string_view formData, std::string_view className,
                                              std::string_view componentName) {
  EmbeddedDictionaryData data;
  data.languages = readEmbeddedLanguages(
      findStoredProperty(formData, className, componentName, kEmbeddedLanguagesProperty));
  data.translations = readEmbeddedTranslations(
      findStoredProperty(formData, className, componentName, kEmbeddedTranslationsProperty),
      data.contextKind);
  data.locales = readEmbeddedLocales(
      findStoredProperty(formData, className, componentName, kEmbeddedLocalesProperty));
  const std::size_t others = data.languages.empty() ? 0 : data.languages.size() - 1;
  for (const MLDTranslationRow& row : data.translations)
    if (row.Texts.size() > others)
      throw EIvDictionaryError("A translation has more texts than the dictionary has languages");
  return data;
}

}  // namespace vx::i18n
