#pragma once
// A dictionary for the translator's tests: languages held in maps, switched by index.
#include "i18n/ui/TranslationSource.h"

#include <QHash>
#include <QMap>
#include <QString>

#include <map>
#include <tuple>

namespace vxtest {

class FakeSource : public vx::i18n::TranslationSource {
 public:
  explicit FakeSource(const QString& name = QStringLiteral("Dictionary1")) : TranslationSource(name) {}

  // Language n (1, 2, ...): native text -> translation. Language 0 is the native language.
  void add(int language, const QString& native, const QString& text) { words_[language][native] = text; }
  void addInContext(int language, const QString& native, const QString& ctx1, const QString& ctx2,
                    const QString& text) {
    contextWords_[language][std::make_tuple(native, ctx1, ctx2)] = text;
    contextFields_ = true;
  }
  void setPrimaryLanguage(int language, int primary) { primary_[language] = primary; }
  void setLocaleId(int language, unsigned id) { locales_[language] = id; }
  void setFont(int language, const QString& name, int size) { fonts_[language] = {name, size}; }
  void setDataAvailable(bool on) { data_ = on; }

  // Switches the language and tells the translators, as the dictionary does.
  void setLanguage(int language) {
    language_ = language;
    notifyChanged(true, false);
  }

  bool isDataAvailable() const override { return data_; }
  bool isOpen() const override { return open_; }
  void open() override { open_ = true; }
  int language() const override { return language_; }
  vx::i18n::LanguageInfo languageInfo() const override {
    vx::i18n::LanguageInfo info;
    info.primaryLanguage = primary_.value(language_, 9);
    info.localeId = locales_.value(language_, 0);
    info.fontName = fonts_.value(language_).first;
    info.fontSize = fonts_.value(language_).second;
    return info;
  }
  bool hasContextFields() const override { return contextFields_; }
  bool translateInContext(const QString& native, const QString& ctx1, const QString& ctx2, QString& text) override {
    const auto& m = contextWords_[language_];
    const auto it = m.find(std::make_tuple(native, ctx1, ctx2));
    if (it == m.end()) return false;
    text = it->second;
    return true;
  }
  bool translate(const QString& native, QString& text) override {
    ++lookups;
    const auto& m = words_[language_];
    const auto it = m.find(native);
    if (it == m.end()) return false;
    text = it.value();
    return true;
  }

  int lookups = 0;

 private:
  int language_ = 0;
  bool open_ = false;
  bool data_ = true;
  bool contextFields_ = false;
  QHash<int, QMap<QString, QString>> words_;
  QHash<int, std::map<std::tuple<QString, QString, QString>, QString>> contextWords_;
  QHash<int, int> primary_;
  QHash<int, unsigned> locales_;
  QHash<int, std::pair<QString, int>> fonts_;
};

}  // namespace vxtest
