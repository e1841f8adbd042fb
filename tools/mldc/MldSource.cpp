#include "tools/mldc/MldSource.h"

#include "i18n/CodePages.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace vx::mldc {

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(std::move(line));
    start = end + 1;
  }
  if (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The message is made printable before it becomes an exception: what() ends at a NUL.
[[noreturn]] void fail(const std::string& file, std::size_t line, const std::string& what) {
  throw std::runtime_error(printable(file + ":" + std::to_string(line) + ": " + what));
}

int number(const std::string& value, const std::string& file, std::size_t line) {
  std::size_t used = 0;
  int n = 0;
  try {
    n = std::stoi(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (value.empty() || used != value.size() || n < 0 || n > 0xFFFF)
    fail(file, line, "'" + value + "' is not a number from 0 to 65535");
  return n;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = s.find(sep, start);
    items.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return items;
    start = at + 1;
  }
}

std::string unescape(const std::string& field, const std::string& file, std::size_t line) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    if (++i >= field.size()) fail(file, line, "a backslash ends a field");
    switch (field[i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: fail(file, line, std::string("unknown escape \\") + field[i]);
    }
  }
  return out;
}

}  // namespace

std::string printable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (byte < 0x20 || byte == 0x7F) out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    else out += c;
  }
  return out;
}

std::string escapeField(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::vector<LanguageSource> parseLanguages(const std::string& text, const std::string& file) {
  std::vector<LanguageSource> langs;
  LanguageSource* current = nullptr;
  std::size_t lineNo = 0;
  for (const std::string& raw : lines(text)) {
    ++lineNo;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') fail(file, lineNo, "a section name lacks its ']'");
      const std::string name = line.substr(1, line.size() - 2);
      if (name != "Language" + std::to_string(langs.size()))
        fail(file, lineNo, "expected the section [Language" + std::to_string(langs.size()) + "]");
      langs.emplace_back();
      current = &langs.back();
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) fail(file, lineNo, "expected key=value");
    if (!current) fail(file, lineNo, "a value outside a [LanguageN] section");
    const std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    vx::i18n::TIvLanguage& l = current->language;
    if (key == "PrimaryId") l.PrimaryId = number(value, file, lineNo);
    else if (key == "DefaultSubId") l.DefaultSubId = number(value, file, lineNo);
    else if (key == "SubIds") {
      l.SubIds.clear();
      if (!value.empty())
        for (const std::string& item : split(value, ',')) l.SubIds.push_back(number(trim(item), file, lineNo));
    } else if (key == "IsoLanguage" || key == "IsoCountry") {
      if (value.size() > 2) fail(file, lineNo, key + " has more than two characters");
      (key == "IsoLanguage" ? l.IsoLanguage : l.IsoCountry) = value;
    } else if (key == "CountryCodes") {
      l.CountryCodes.clear();
      if (!value.empty())
        for (const std::string& item : split(value, ',')) l.CountryCodes.push_back(trim(item));
    } else if (key == "CodePage") l.CodePage = number(value, file, lineNo);
    else if (key == "Charset") l.Charset = static_cast<std::uint8_t>(number(value, file, lineNo) & 0xFF);
    else if (key == "Flags") l.LanguageFlags = static_cast<std::uint8_t>(number(value, file, lineNo) & 3);
    else if (key == "EnglishName") l.EnglishName = value;
    else if (key == "NativeName") l.NativeName = value;
    else if (key == "FontName") l.FontName = value;
    else if (key == "FontSize") l.FontSize = number(value, file, lineNo) & 0xFF;
    else if (key == "Column") current->column = value;
    else fail(file, lineNo, "unknown key " + key);
  }
  if (langs.empty()) fail(file, lineNo, "no [Language0] section");
  std::set<std::string> columns;
  for (std::size_t i = 1; i < langs.size(); ++i) {
    if (langs[i].column.empty())
      fail(file, lineNo, "[Language" + std::to_string(i) + "] has no Column");
    if (!columns.insert(langs[i].column).second)
      fail(file, lineNo, "the column " + langs[i].column + " is named twice");
  }
  return langs;
}

namespace {

// A text the dictionary file can hold: valid UTF-8 whose characters all exist in the code
// page the file stores it in (otherwise the writer would put "?" in their place, and a
// native text would never be found again).
void requireCodePage(const std::string& utf8, int codePage, const std::string& what,
                     const std::string& file, std::size_t line) {
  const int cp = codePage == 0 ? 1252 : codePage;
  if (vx::i18n::codepage::toUtf8(vx::i18n::codepage::fromUtf8(utf8, cp), cp) != utf8)
    fail(file, line, what + " cannot be written in code page " + std::to_string(cp));
}

}  // namespace

vx::i18n::MLDContextKind parseTable(const std::string& text, const std::string& file,
                                    const std::vector<LanguageSource>& languages,
                                    std::vector<vx::i18n::MLDTranslationRow>& rows) {
  std::vector<std::size_t> columnOf;  // table column of language i + 1
  std::size_t fieldCount = 0;
  bool headerSeen = false, anyContext1 = false, anyContext2 = false;
  std::set<std::tuple<std::string, std::string, std::string>> seen;
  std::size_t lineNo = 0;
  for (const std::string& line : lines(text)) {
    ++lineNo;
    if (!line.empty() && line[0] == '#') continue;
    if (!headerSeen && lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
      fail(file, lineNo, "the table starts with a byte order mark");
    const std::vector<std::string> fields = split(line, '\t');
    if (!headerSeen) {
      if (fields.size() < 3 || fields[0] != "context1" || fields[1] != "context2" || fields[2] != "native")
        fail(file, lineNo, "the header must start with context1, context2, native");
      fieldCount = fields.size();
      for (std::size_t i = 1; i < languages.size(); ++i) {
        std::size_t at = 0;
        for (std::size_t f = 3; f < fields.size(); ++f)
          if (fields[f] == languages[i].column) at = f;
        if (at == 0) fail(file, lineNo, "the header has no column " + languages[i].column);
        columnOf.push_back(at);
      }
      for (std::size_t f = 3; f < fields.size(); ++f) {
        bool known = false;
        for (std::size_t i = 1; i < languages.size(); ++i) known = known || fields[f] == languages[i].column;
        if (!known) fail(file, lineNo, "the header column " + fields[f] + " is no language");
      }
      headerSeen = true;
      continue;
    }
    if (line.empty()) continue;
    if (fields.size() != fieldCount)
      fail(file, lineNo, "expected " + std::to_string(fieldCount) + " fields, found " +
                             std::to_string(fields.size()));
    vx::i18n::MLDTranslationRow row;
    row.Context1 = unescape(fields[0], file, lineNo);
    row.Context2 = unescape(fields[1], file, lineNo);
    row.NativeText = unescape(fields[2], file, lineNo);
    if (row.NativeText.empty()) fail(file, lineNo, "the native text is empty");
    for (std::size_t at : columnOf) row.Texts.push_back(unescape(fields[at], file, lineNo));
    // The native text and the contexts are stored in the system's code page, a language's
    // text in the code page of its language.
    requireCodePage(row.Context1, 1252, "context1", file, lineNo);
    requireCodePage(row.Context2, 1252, "context2", file, lineNo);
    requireCodePage(row.NativeText, 1252, "the native text", file, lineNo);
    for (std::size_t i = 0; i < row.Texts.size(); ++i)
      requireCodePage(row.Texts[i], languages[i + 1].language.CodePage,
                      "the text of column " + languages[i + 1].column, file, lineNo);
    if (!seen.emplace(row.NativeText, row.Context1, row.Context2).second)
      fail(file, lineNo, "the native text and contexts repeat an earlier row");
    anyContext1 = anyContext1 || !row.Context1.empty();
    anyContext2 = anyContext2 || !row.Context2.empty();
    rows.push_back(std::move(row));
  }
  if (!headerSeen) fail(file, lineNo, "the table has no header");
  using K = vx::i18n::MLDContextKind;
  return anyContext1 && anyContext2 ? K::Both : anyContext1 ? K::Context1Only
                                              : anyContext2 ? K::Context2Only : K::None;
}

// --- Custom locales ---

namespace {

using vx::i18n::TIvLocale;

// A double-quoted text from s[i] (the opening quote); i ends after the closing quote.
std::string quotedText(const std::string& s, std::size_t& i, const std::string& file, std::size_t line) {
  std::string out;
  for (++i; i < s.size(); ++i) {
    if (s[i] == '"') {
      ++i;
      return out;
    }
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size()) break;
    switch (s[i]) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: fail(file, line, std::string("unknown escape \\") + s[i]);
    }
  }
  fail(file, line, "a quoted text lacks its closing '\"'");
}

std::string textValue(const std::string& value, const std::string& file, std::size_t line) {
  if (value.empty() || value[0] != '"') return value;
  std::size_t i = 0;
  std::string text = quotedText(value, i, file, line);
  if (i != value.size()) fail(file, line, "text follows the closing '\"'");
  return text;
}

std::vector<std::string> listValue(const std::string& value, const std::string& file, std::size_t line) {
  std::vector<std::string> items;
  if (value.empty()) return items;
  std::size_t i = 0;
  for (;;) {
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i < value.size() && value[i] == '"') {
      items.push_back(quotedText(value, i, file, line));
      while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
      if (i < value.size() && value[i] != ',') fail(file, line, "text follows the closing '\"'");
    } else {
      const std::size_t comma = std::min(value.find(',', i), value.size());
      items.push_back(trim(value.substr(i, comma - i)));
      i = comma;
    }
    if (i >= value.size()) return items;
    ++i;  // the ','
  }
}

int ranged(const std::string& value, int max, const std::string& file, std::size_t line) {
  std::size_t used = 0;
  int n = -1;
  try {
    n = std::stoi(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (value.empty() || used != value.size() || !std::isdigit(static_cast<unsigned char>(value[0])) ||
      n < 0 || n > max)
    fail(file, line, "'" + value + "' is not a number from 0 to " + std::to_string(max));
  return n;
}

bool boolean(const std::string& value, const std::string& file, std::size_t line) {
  std::string v = value;
  std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (v == "1" || v == "true" || v == "yes") return true;
  if (v == "0" || v == "false" || v == "no") return false;
  fail(file, line, "'" + value + "' is not 0 or 1");
}

std::size_t characterCount(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

struct TextField {
  const char* key;
  std::string TIvLocale::*field;
  bool ownCodePage;
};

constexpr TextField kTextFields[] = {
    {"EnglishLanguageName", &TIvLocale::EnglishLanguageName, false},
    {"EnglishCountryName", &TIvLocale::EnglishCountryName, false},
    {"NativeLanguageName", &TIvLocale::NativeLanguageName, true},
    {"NativeCountryName", &TIvLocale::NativeCountryName, true},
    {"AbbreviatedLanguageName", &TIvLocale::AbbreviatedLanguageName, false},
    {"LocalizedCountryName", &TIvLocale::LocalizedCountryName, false},
    {"CurrencySymbol", &TIvLocale::CurrencySymbol, true},
    {"ShortDateFormat", &TIvLocale::ShortDateFormat, true},
    {"LongDateFormat", &TIvLocale::LongDateFormat, true},
    {"TimeAMString", &TIvLocale::TimeAMString, true},
    {"TimePMString", &TIvLocale::TimePMString, true},
};

struct CharField {
  const char* key;
  std::string TIvLocale::*field;
};

constexpr CharField kCharFields[] = {
    {"ThousandSeparator", &TIvLocale::ThousandSeparator},
    {"DecimalSeparator", &TIvLocale::DecimalSeparator},
    {"DateSeparator", &TIvLocale::DateSeparator},
    {"TimeSeparator", &TIvLocale::TimeSeparator},
};

struct ByteField {
  const char* key;
  std::uint8_t TIvLocale::*field;
};

constexpr ByteField kByteFields[] = {
    {"Charset", &TIvLocale::Charset},
    {"Measurement", &TIvLocale::Measurement},
    {"PositiveCurrencyFormat", &TIvLocale::PositiveCurrencyFormat},
    {"NegativeCurrencyFormat", &TIvLocale::NegativeCurrencyFormat},
    {"CurrencyDecimals", &TIvLocale::CurrencyDecimals},
    {"TimeFormat", &TIvLocale::TimeFormat},
    {"TimeMarkerPosition", &TIvLocale::TimeMarkerPosition},
    {"CalendarType", &TIvLocale::CalendarType},
    {"OptionalCalendar", &TIvLocale::OptionalCalendar},
    {"FirstDayOfWeek", &TIvLocale::FirstDayOfWeek},
    {"FirstWeekOfYear", &TIvLocale::FirstWeekOfYear},
};

struct ListField {
  const char* key;
  std::vector<std::string> TIvLocale::*field;
  std::size_t count;
};

constexpr ListField kListFields[] = {
    {"ShortMonthNames", &TIvLocale::ShortMonthNames, 12},
    {"LongMonthNames", &TIvLocale::LongMonthNames, 12},
    {"ShortDayNames", &TIvLocale::ShortDayNames, 7},
    {"LongDayNames", &TIvLocale::LongDayNames, 7},
};

// Sets one field from its value; false for an unknown key.
bool setLocaleField(TIvLocale& c, const std::string& key, const std::string& raw, const std::string& file,
                    std::size_t line) {
  if (key == "PrimaryId") c.PrimaryId = ranged(raw, 0x3FF, file, line);
  else if (key == "SubId") c.SubId = ranged(raw, 0x3F, file, line);
  else if (key == "CodePage") c.CodePage = ranged(raw, 0xFFFF, file, line);
  else if (key == "Custom") c.Custom = boolean(raw, file, line);
  else if (key == "TimeLeadingZero") c.TimeLeadingZero = boolean(raw, file, line);
  else if (key == "SortId") fail(file, line, "SortId is not stored in a dictionary file");
  else if (key == "IsoLanguage" || key == "IsoCountry") {
    std::string v = textValue(raw, file, line);
    if (characterCount(v) > 2) fail(file, line, key + " has more than two characters");
    (key == "IsoLanguage" ? c.IsoLanguage : c.IsoCountry) = std::move(v);
  } else {
    for (const TextField& f : kTextFields)
      if (key == f.key) {
        c.*f.field = textValue(raw, file, line);
        return true;
      }
    for (const CharField& f : kCharFields)
      if (key == f.key) {
        std::string v = textValue(raw, file, line);
        if (characterCount(v) > 1) fail(file, line, key + " must be one character");
        c.*f.field = std::move(v);
        return true;
      }
    for (const ByteField& f : kByteFields)
      if (key == f.key) {
        c.*f.field = static_cast<std::uint8_t>(ranged(raw, 0xFF, file, line));
        return true;
      }
    for (const ListField& f : kListFields)
      if (key == f.key) {
        std::vector<std::string> names = listValue(raw, file, line);
        if (names.size() != f.count)
          fail(file, line, key + " needs " + std::to_string(f.count) + " names, found " +
                               std::to_string(names.size()));
        c.*f.field = std::move(names);
        return true;
      }
    return false;
  }
  return true;
}

// Whether the file can hold the text in that code page without a default character.
bool representable(const std::string& utf8, int codePage) {
  const int cp = codePage == 0 ? 1252 : codePage;
  return vx::i18n::codepage::toUtf8(vx::i18n::codepage::fromUtf8(utf8, cp), cp) == utf8;
}

std::string quoteValue(const std::string& s) {
  std::string out = "\"";
  for (const char ch : s) {
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += ch;
    }
  }
  return out + "\"";
}

}  // namespace

std::vector<TIvLocale> parseLocales(const std::string& text, const std::string& file) {
  struct Section {
    TIvLocale locale;
    std::size_t line = 0;
    std::map<std::string, std::size_t> keyLines;
  };
  std::vector<Section> sections;
  std::size_t lineNo = 0;
  for (const std::string& raw : lines(text)) {
    ++lineNo;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') fail(file, lineNo, "a section name lacks its ']'");
      const std::string expected = "Locale" + std::to_string(sections.size());
      if (line.substr(1, line.size() - 2) != expected)
        fail(file, lineNo, "expected the section [" + expected + "]");
      sections.emplace_back();
      sections.back().line = lineNo;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) fail(file, lineNo, "expected key=value");
    if (sections.empty()) fail(file, lineNo, "a value outside a [LocaleN] section");
    Section& s = sections.back();
    const std::string key = trim(line.substr(0, eq));
    if (!s.keyLines.emplace(key, lineNo).second)
      fail(file, lineNo, "the key " + key + " is given twice in [Locale" + std::to_string(sections.size() - 1) + "]");
    if (!setLocaleField(s.locale, key, trim(line.substr(eq + 1)), file, lineNo))
      fail(file, lineNo, "unknown key " + key);
  }

  std::vector<TIvLocale> locales;
  std::map<int, std::size_t> ids;  // locale id -> section
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const Section& s = sections[i];
    const std::string name = "[Locale" + std::to_string(i) + "]";
    if (!s.keyLines.count("PrimaryId")) fail(file, s.line, name + " has no PrimaryId");
    const TIvLocale& c = s.locale;
    const auto [at, fresh] = ids.emplace(c.localeId(), i);
    if (!fresh)
      fail(file, s.line, name + " repeats the locale id " + std::to_string(c.localeId()) + " of [Locale" +
                             std::to_string(at->second) + "]");
    const auto check = [&](const char* key, const std::string& value, bool own) {
      const int cp = own ? c.CodePage : 0;
      if (!representable(value, cp)) {
        const auto k = s.keyLines.find(key);
        fail(file, k == s.keyLines.end() ? s.line : k->second,
             std::string(key) + " cannot be written in code page " + std::to_string(cp == 0 ? 1252 : cp));
      }
    };
    check("IsoLanguage", c.IsoLanguage, false);
    check("IsoCountry", c.IsoCountry, false);
    for (const TextField& f : kTextFields) check(f.key, c.*f.field, f.ownCodePage);
    for (const CharField& f : kCharFields) check(f.key, c.*f.field, true);
    for (const ListField& f : kListFields)
      for (const std::string& n : c.*f.field) check(f.key, n, true);
    locales.push_back(c);
  }
  return locales;
}

std::string formatLocale(const TIvLocale& c, const std::string& indent) {
  // In the order of the fields in the file.
  std::string out;
  const auto text = [&](const char* key, const std::string& value) {
    out += indent + key + "=" + quoteValue(value) + "\n";
  };
  const auto number = [&](const char* key, int value) {
    out += indent + key + "=" + std::to_string(value) + "\n";
  };
  number("PrimaryId", c.PrimaryId);
  text("IsoLanguage", c.IsoLanguage);
  number("SubId", c.SubId);
  text("IsoCountry", c.IsoCountry);
  number("Charset", c.Charset);
  number("CodePage", c.CodePage);
  number("Custom", c.Custom ? 1 : 0);
  text("EnglishLanguageName", c.EnglishLanguageName);
  text("EnglishCountryName", c.EnglishCountryName);
  text("NativeLanguageName", c.NativeLanguageName);
  text("NativeCountryName", c.NativeCountryName);
  text("AbbreviatedLanguageName", c.AbbreviatedLanguageName);
  text("LocalizedCountryName", c.LocalizedCountryName);
  number("Measurement", c.Measurement);
  text("CurrencySymbol", c.CurrencySymbol);
  number("PositiveCurrencyFormat", c.PositiveCurrencyFormat);
  number("NegativeCurrencyFormat", c.NegativeCurrencyFormat);
  number("CurrencyDecimals", c.CurrencyDecimals);
  text("ThousandSeparator", c.ThousandSeparator);
  text("DecimalSeparator", c.DecimalSeparator);
  text("DateSeparator", c.DateSeparator);
  text("ShortDateFormat", c.ShortDateFormat);
  text("LongDateFormat", c.LongDateFormat);
  text("TimeSeparator", c.TimeSeparator);
  text("TimeAMString", c.TimeAMString);
  text("TimePMString", c.TimePMString);
  number("TimeLeadingZero", c.TimeLeadingZero ? 1 : 0);
  number("TimeFormat", c.TimeFormat);
  number("TimeMarkerPosition", c.TimeMarkerPosition);
  number("CalendarType", c.CalendarType);
  number("OptionalCalendar", c.OptionalCalendar);
  number("FirstDayOfWeek", c.FirstDayOfWeek);
  number("FirstWeekOfYear", c.FirstWeekOfYear);
  for (const ListField& f : kListFields) {
    std::string names;
    const std::vector<std::string>& list = c.*f.field;
    for (std::size_t i = 0; i < list.size(); ++i) names += (i ? "," : "") + quoteValue(list[i]);
    out += indent + f.key + "=" + names + "\n";
  }
  return out;
}

}  // namespace vx::mldc
