// Fuzzes the dictionary compiler's sources: the language list, the translation table and the
// custom locales. Any text either fails with a message or gives records that the writer
// accepts and the reader reads back unchanged; a locale printed and parsed again is the same.
#include "i18n/MLDFile.h"
#include "i18n/MLDWriter.h"
#include "tools/mldc/MldSource.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using namespace vx::i18n;
using vx::mldc::LanguageSource;

// A fixed language list for the table, so that table inputs reach the row rules.
const char* kLanguages =
    "[Language0]\nPrimaryId=0\nCodePage=1252\n"
    "[Language1]\nColumn=NOR\nPrimaryId=20\nDefaultSubId=1\nCodePage=1252\n"
    "[Language2]\nColumn=RUS\nPrimaryId=25\nDefaultSubId=1\nCodePage=1251\n";

void checkTable(const std::string& text) {
  const auto languages = vx::mldc::parseLanguages(kLanguages, "l.ini");
  MLDDocument doc;
  for (const auto& l : languages) doc.Languages.push_back(l.language);
  MLDWriteOptions options;
  try {
    options.contextKind = vx::mldc::parseTable(text, "t.tsv", languages, doc.Translations);
  } catch (const std::runtime_error&) {
    return;
  }
  std::string bytes;
  try {
    bytes = writeMLD(doc, options);
  } catch (const EIvDictionaryError&) {
    return;  // more rows or longer texts than the format holds
  }
  TIvMLDFile f;
  f.AttachStream(bytes);
  f.ReadHeader();
  if (f.TranslationCount() != static_cast<int>(doc.Translations.size())) std::abort();
  f.SeekTranslations();
  for (const MLDTranslationRow& row : doc.Translations) {
    TIvTranslation t;
    f.ReadTranslation(t, 1, 1252, -1);
    if (t.NativeText != row.NativeText) std::abort();
  }
}

void checkLanguages(const std::string& text) {
  std::vector<LanguageSource> languages;
  try {
    languages = vx::mldc::parseLanguages(text, "l.ini");
  } catch (const std::runtime_error&) {
    return;
  }
  MLDDocument doc;
  for (const auto& l : languages) doc.Languages.push_back(l.language);
  try {
    const std::string bytes = writeMLD(doc, MLDWriteOptions());
    TIvMLDFile f;
    f.AttachStream(bytes);
    f.ReadHeader();
    if (f.LanguageCount() != static_cast<int>(doc.Languages.size())) std::abort();
    if (f.LanguageCount() > 0) f.SeekLanguages();
    for (int i = 0; i < f.LanguageCount(); ++i) f.ReadLanguage();
  } catch (const EIvDictionaryError&) {
  } catch (const std::invalid_argument&) {
    // a sublanguage list the reader's number conversion refuses
  } catch (const std::out_of_range&) {
  }
}

void checkLocales(const std::string& text) {
  std::vector<TIvLocale> locales;
  try {
    locales = vx::mldc::parseLocales(text, "c.ini");
  } catch (const std::runtime_error&) {
    return;
  }
  std::string again;
  for (std::size_t i = 0; i < locales.size(); ++i)
    again += "[Locale" + std::to_string(i) + "]\n" + vx::mldc::formatLocale(locales[i]);
  const auto reread = vx::mldc::parseLocales(again, "again.ini");
  if (reread.size() != locales.size()) std::abort();
  for (std::size_t i = 0; i < locales.size(); ++i) {
    TIvLocale a = locales[i], b = reread[i];
    a.SortId = b.SortId = 0;
    if (!(a == b)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the source kind; the rest is the text.
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: checkTable(text); break;
    case 1: checkLanguages(text); break;
    default: checkLocales(text); break;
  }
  return 0;
}
