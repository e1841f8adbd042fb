#include "i18n/translator/DictionarySource.h"

namespace vx::i18n {

TIvDictionarySource::TIvDictionarySource(TIvDictionary& dictionary, QObject* parent)
    : QObject(parent), TranslationSource(dictionary.DictionaryName()), dictionary_(dictionary) {
  connect(&dictionary_, &TIvDictionary::LanguageChanged, this,
          [this] { notifyChanged(true, false); });
  connect(&dictionary_, &TIvDictionary::LocaleChanged, this,
          [this] { notifyChanged(false, true); });
}

LanguageInfo TIvDictionarySource::languageInfo() const {
  const auto& l = dictionary_.CurrentLanguage();
  LanguageInfo info;
  info.primaryLanguage = l.PrimaryId;
  info.localeId = unsigned(l.languageId());
  info.fontName = QString::fromStdString(l.FontName);
  info.fontSize = l.FontSize;
  info.charset = l.Charset;
  return info;
}

bool TIvDictionarySource::hasContextFields() const {
  auto* binary = qobject_cast<TIvCustomDictionary*>(&dictionary_);
  return binary && binary->ContextMode();
}

}  // namespace vx::i18n
