#pragma once
// The sources of a dictionary file: the translation table (tab-separated, UTF-8) and the
// language list (INI). Failures are std::runtime_error with the file and line.
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

// A field written with the table's escapes.
std::string escapeField(const std::string& text);

}  // namespace vx::mldc
