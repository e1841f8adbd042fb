// Fuzzes the dictionary (MLD) reader: any bytes as a dictionary stream. Every query the
// dictionary makes must either succeed or fail with the reader's own error, within the
// sanitizers' checks and without allocations beyond the stream's size.
#include "i18n/MLDFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using vx::i18n::EIvDictionaryError;
using vx::i18n::TIvMLDFile;
using vx::i18n::TIvTranslation;

template <typename F>
void guarded(F&& f) {
  try {
    f();
  } catch (const EIvDictionaryError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TIvMLDFile f;
  try {
    f.AttachStream(std::string(reinterpret_cast<const char*>(data), size));
    f.ReadHeader();
  } catch (const EIvDictionaryError&) {
    return 0;
  }
  int codePage = 1252;
  guarded([&] {
    f.SeekLanguages();
    for (int i = 0; i < f.LanguageCount(); ++i) {
      const auto& l = f.ReadLanguage();
      if (i == 1) codePage = l.CodePage;
      if (l.SubIds.size() > size) std::abort();
    }
  });
  guarded([&] { f.Language(f.LanguageCount() - 1); });
  for (int wanted : {1, 2}) {
    guarded([&] {
      f.SeekTranslations();
      for (int i = 0; i < f.TranslationCount(); ++i) {
        TIvTranslation t;
        if (f.ReadTranslation(t, wanted, codePage, 3 - wanted) == vx::i18n::ivtsNone &&
            !t.TranslatedText.empty())
          std::abort();
      }
    });
  }
  guarded([&] {
    f.SeekLocales();
    for (int i = 0; i < f.LocaleCount(); ++i) f.ReadLocale();
  });
  guarded([&] { f.Locale(0); });
  return 0;
}
