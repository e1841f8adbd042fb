// Fuzzes the stored-form reader and the embedded dictionary data: any bytes as a stored form
// (the walk to the dictionary component and its three properties) and as each of the three
// property values. Every read must succeed or fail with the dictionary layer's own error,
// within the sanitizers' checks; what reads back must write and read back the same.
#include "i18n/EmbeddedDictionary.h"
#include "i18n/FormData.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace vx::i18n;

template <typename F>
void guarded(F&& f) {
  try {
    f();
  } catch (const EIvDictionaryError&) {
  }
}

bool sameRows(const std::vector<MLDTranslationRow>& a, const std::vector<MLDTranslationRow>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].NativeText != b[i].NativeText || a[i].Context1 != b[i].Context1 ||
        a[i].Context2 != b[i].Context2 || a[i].Texts != b[i].Texts)
      return false;
  return true;
}

// What the translation and locale readers accept, the writer stores again unchanged.
void checkRoundTrip(MLDContextKind kind, const std::vector<MLDTranslationRow>& rows,
                    const std::vector<TIvLocale>& locales) {
  std::size_t texts = 0;
  for (const MLDTranslationRow& row : rows) texts = std::max(texts, row.Texts.size());
  const std::vector<TIvLanguage> languages(texts + 1);
  const EmbeddedDictionaryValues v = encodeEmbeddedDictionary(languages, kind, rows, locales);
  MLDContextKind back = MLDContextKind::None;
  std::vector<MLDTranslationRow> padded = rows;
  for (MLDTranslationRow& row : padded) row.Texts.resize(texts);
  if (!sameRows(readEmbeddedTranslations(v.translations, back), padded) || back != kind) std::abort();
  if (readEmbeddedLocales(v.locales) != locales) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The input as a stored form.
  guarded([&] { readStoredFormHeader(bytes); });
  for (const char* property : {kEmbeddedLanguagesProperty, kEmbeddedTranslationsProperty, kEmbeddedLocalesProperty}) {
    guarded([&] {
      const std::string_view value = findStoredProperty(bytes, "TIvBinaryDictionary", "Dictionary1", property);
      // The value lies inside the input and is exactly one value.
      if (value.data() < bytes.data() || value.data() + value.size() > bytes.data() + bytes.size()) std::abort();
      FormReader r(value);
      r.skipValue();
      if (!r.atEnd()) std::abort();
    });
  }
  guarded([&] { readEmbeddedDictionary(bytes, "TIvBinaryDictionary", "Dictionary1"); });

  // The input as each of the three values.
  guarded([&] { readEmbeddedLanguages(bytes); });
  guarded([&] {
    MLDContextKind kind = MLDContextKind::None;
    const auto rows = readEmbeddedTranslations(bytes, kind);
    checkRoundTrip(kind, rows, {});
  });
  guarded([&] { checkRoundTrip(MLDContextKind::None, {}, readEmbeddedLocales(bytes)); });
  guarded([&] {
    FormReader r(bytes);
    while (!r.atEnd()) r.skipValue();
  });

  // The escapes of stored texts reverse exactly.
  if (unescapeEmbeddedText(escapeEmbeddedText(bytes)) != bytes) std::abort();
  return 0;
}
