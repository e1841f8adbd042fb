#pragma once
// Puts a dictionary in front of the translators: the translators of every form find it by
// its DictionaryName and are told when its language changes.
#include "i18n/Dictionary.h"
#include "i18n/ui/TranslationSource.h"

#include <QObject>

namespace vx::i18n {

class TIvDictionarySource : public QObject, public TranslationSource {
  Q_OBJECT
 public:
  // The dictionary stays the caller's; it must outlive this source.
  explicit TIvDictionarySource(TIvDictionary& dictionary, QObject* parent = nullptr);

  bool enabled() const override { return dictionary_.Enabled(); }
  bool isDataAvailable() const override { return dictionary_.IsDataAvailable(); }
  bool isOpen() const override { return dictionary_.Opened(); }
  void open() override { dictionary_.Open(); }
  int language() const override { return dictionary_.CurrentIndex(); }
  LanguageInfo languageInfo() const override;
  bool hasContextFields() const override;
  bool translateInContext(const QString& native, const QString& context1, const QString& context2,
                          QString& text) override {
    return dictionary_.TranslateInContext(native, context1, context2, text);
  }
  bool translate(const QString& native, QString& text) override {
    return dictionary_.Translate(native, text);
  }
  QString applyMissingPolicy(const QString& native, bool found, const QString& translation) override {
    return dictionary_.ApplyMissingTranslation(native, found, translation);
  }

 private:
  TIvDictionary& dictionary_;
};

// After a language switch: when the main window is an MDI frame whose active child is
// maximised, the child's window is laid out anew in the new language (restored and
// maximised again); a sole child keeps its restored placement.
void recreateMaximisedMdiChild();

}  // namespace vx::i18n
