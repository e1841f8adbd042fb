#pragma once
// Dictionary data embedded in a stored form (Storage ivsEmbedded): the dictionary component
// of a form keeps the three properties "Languages", "Translations" and "Locales", copied
// from an 8-bit MLD file when the form is stored (mldc embed), and reads them back at run
// time from the form's stored data. Plain C++ (the fuzzer compiles it on its own); the
// stored form comes from the program's resources through FormResource.h.
//
// The values (FormData.h), as version 2 writes them:
//   Languages    list(version, count, count x list(PrimaryId, SubIds joined with ",",
//                DefaultSubId, charset [version > 1], CodePage, EnglishName, NativeName,
//                FontName, FontSize, flag bit 0 as boolean, flag bit 1 as boolean))
//   Translations list(version, context kind [version >= 2], count, count x list(NativeText,
//                Context1 [kind 1 or 3], Context2 [kind 1 or 2], one text per language 1 to
//                n - 1)); every text escaped: CR "#C", LF "#L", TAB "#T", "#" "##"
//   Locales      list(version, count, count x list(the fields of an MLD locale record in its
//                order: PrimaryId, IsoLanguage [version > 1], SubId, IsoCountry [version > 1],
//                Charset [version > 1], CodePage, Custom, ..., the 7 day names))
//                bytes as integers, Custom and TimeLeadingZero as booleans, the separators as
//                characters, the month and day names as 12 + 12 + 7 + 7 strings.
// A byte field read back must lie in 0..255 and a word field (a code page, a locale's ids) in
// 0..65535; a language's PrimaryId and DefaultSubId are completed as in an MLD file. As in the
// MLD reader, a language's code page sets its charset.
// The language values carry no IsoLanguage, IsoCountry or CountryCodes: a language read
// back is completed like an MLD record, so its ISO codes come from the system's locale data.
#include "i18n/FormData.h"
#include "i18n/MLDTypes.h"
#include "i18n/MLDWriter.h"

#include <string>
#include <string_view>
#include <vector>

namespace vx::i18n {

inline constexpr const char* kEmbeddedLanguagesProperty = "Languages";
inline constexpr const char* kEmbeddedTranslationsProperty = "Translations";
inline constexpr const char* kEmbeddedLocalesProperty = "Locales";
inline constexpr int kEmbeddedDataVersion = 2;

// A refusal to store dictionary data, with the caption of the box that shows it.
class EIvStoreError : public EIvDictionaryError {
 public:
  EIvStoreError(std::string caption, const std::string& message)
      : EIvDictionaryError(message), caption_(std::move(caption)) {}
  const std::string& caption() const { return caption_; }

 private:
  std::string caption_;
};

// The three encoded property values.
struct EmbeddedDictionaryValues {
  std::string languages;
  std::string translations;
  std::string locales;
};

// Builds the three values from the 8-bit MLD file `fileName`. A missing file fails with
// EIvStoreError "Can not find the file name <name>. No dictionary data was stored!" (caption
// "File not found"), a UTF-16 file with "Can not use a Unicode MLD file <name>. No dictionary
// data was stored!" (caption "Unicode not supported"); a file that cannot be read or is no
// MLD stream fails as the MLD reader does (vx::IoError, EIvDictionaryError).
EmbeddedDictionaryValues storeEmbeddedDictionary(const std::string& fileName);

// The same from a document in memory (as mldc compiles it). The texts of the translations
// are escaped here.
EmbeddedDictionaryValues encodeEmbeddedDictionary(const std::vector<TIvLanguage>& languages,
                                                  MLDContextKind contextKind,
                                                  const std::vector<MLDTranslationRow>& rows,
                                                  const std::vector<TIvLocale>& locales);

// The dictionary component with the three properties, ready for writeStoredForm.
StoredComponent embeddedDictionaryComponent(const std::string& className,
                                            const std::string& componentName,
                                            const EmbeddedDictionaryValues& values);

// The escapes of stored translation texts, and their reversal ("#" before any other
// character, or at the end, stays as it is).
std::string escapeEmbeddedText(std::string_view text);
std::string unescapeEmbeddedText(std::string_view text);

// The readers of the three values (each one encoded value). A version above 2 (or below 1)
// fails with "Unknown language data version: <n>", "Unknown translation data version: <n>"
// or "Unknown locale data version: <n>"; a value of the wrong shape fails with
// EIvDictionaryError. Languages are completed as the MLD reader completes them; translation
// texts are unescaped (a row holds as many texts as it stored).
std::vector<TIvLanguage> readEmbeddedLanguages(std::string_view value);
std::vector<MLDTranslationRow> readEmbeddedTranslations(std::string_view value,
                                                        MLDContextKind& contextKind);
std::vector<TIvLocale> readEmbeddedLocales(std::string_view value);

struct EmbeddedDictionaryData {
  std::vector<TIvLanguage> languages;
  MLDContextKind contextKind = MLDContextKind::None;
  std::vector<MLDTranslationRow> translations;
  std::vector<TIvLocale> locales;
};

// All three from the stored form `formData` (the form class's stored data), for the component
// of class `className` named `componentName`. Fails like findStoredProperty and the readers
// above, and with "A translation has more texts than the dictionary has languages".
EmbeddedDictionaryData readEmbeddedDictionary(std::string_view formData, std::string_view className,
                                              std::string_view componentName);

}  // namespace vx::i18n
