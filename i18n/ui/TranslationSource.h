#pragma once
// What a translator needs from a dictionary: lookups, the current language's font, reading
// order and locale, and the list of translators to re-run after a language switch.
//
// A dictionary derives from TranslationSource (or an adapter binds one to it). Every source
// registers under its name while it lives, so that a translator finds "Dictionary1" by name.
// When a source is destroyed it closes every open translator and clears every link to it,
// also of translators that are linked but not open, so no translator keeps a dangling link.
#include "platform/ComposedMessage.h"

#include <QString>

#include <stdexcept>
#include <vector>

namespace vx::i18n {

class TIvCustomTranslator;

// The errors of the translation components, with the message the user sees; one with values
// carries its message in parts, so that the dictionary display translates it.
class EIvMulti : public std::runtime_error, public vx::ComposedMessage {
 public:
  explicit EIvMulti(const QString& message) : std::runtime_error(message.toStdString()) {}
  explicit EIvMulti(vx::MessageParts parts)
      : std::runtime_error(vx::joinedMessage(parts)), vx::ComposedMessage(std::move(parts)) {}
};

// The current language as the translator uses it. Primary language ids are the Windows ones
// (the low ten bits of a language id): 1 Arabic, 13 Hebrew, 41 Farsi read right to left;
// 4 Chinese, 17 Japanese, 18 Korean are multi-byte languages.
struct LanguageInfo {
  int primaryLanguage = 0;
  unsigned localeId = 0;
  QString fontName;  // empty: the form keeps its design font name
  int fontSize = 0;  // 0: the form keeps its design size
  int charset = 0;   // kept for the dictionary's sake; Qt fonts have no character set

  bool bidirectional() const { return primaryLanguage == 1 || primaryLanguage == 13 || primaryLanguage == 41; }
  bool multiByte() const { return primaryLanguage == 4 || primaryLanguage == 17 || primaryLanguage == 18; }
};

class TranslationSource {
 public:
  explicit TranslationSource(const QString& name);
  virtual ~TranslationSource();
  TranslationSource(const TranslationSource&) = delete;
  TranslationSource& operator=(const TranslationSource&) = delete;

  const QString& name() const { return name_; }

  // The registered sources, in the order they were created.
  static TranslationSource* find(const QString& name);  // case-sensitive; nullptr when none
  static TranslationSource* first();

  virtual bool enabled() const { return true; }
  virtual bool isDataAvailable() const = 0;  // false e.g. when the dictionary file is missing
  virtual bool isOpen() const = 0;
  virtual void open() = 0;  // resolves the language and loads the translations
  virtual int language() const = 0;
  virtual LanguageInfo languageInfo() const = 0;
  virtual bool hasContextFields() const = 0;
  virtual bool translateInContext(const QString& native, const QString& context1, const QString& context2,
                                  QString& text) = 0;
  virtual bool translate(const QString& native, QString& text) = 0;
  // The missing-translation policy applied to a lookup of `native`. The default keeps the
  // native text when nothing (or an empty text) was found.
  virtual QString applyMissingPolicy(const QString& native, bool found, const QString& translation) {
    return found && !translation.isEmpty() ? translation : native;
  }

  // The dictionary calls this after it switched language or locale: every open translator
  // translates its form again.
  void notifyChanged(bool languageChanged, bool localeChanged);
  // The dictionary closes: every open translator closes (and leaves the list).
  void closeTranslators();

  // Bookkeeping of the translators; called by the translators themselves.
  void addTranslator(TIvCustomTranslator* t);     // an open translator, re-run on changes
  void removeTranslator(TIvCustomTranslator* t);
  void addLink(TIvCustomTranslator* t);           // any translator linked to this source
  void removeLink(TIvCustomTranslator* t);
  const std::vector<TIvCustomTranslator*>& translators() const { return translators_; }

 private:
  QString name_;
  std::vector<TIvCustomTranslator*> translators_;
  std::vector<TIvCustomTranslator*> links_;
};

}  // namespace vx::i18n
