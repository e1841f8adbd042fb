#include "tools/mldc/MldSource.h"

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

[[noreturn]] void fail(const std::string& file, std::size_t line, const std::string& what) {
  throw std::runtime_error(file + ":" + std::to_string(line) + ": " + what);
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

}  // namespace vx::mldc
