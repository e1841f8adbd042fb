#include "i18n/ui/TranslationSource.h"

#include "i18n/ui/Translator.h"

#include <algorithm>

namespace vx::i18n {

namespace {

std::vector<TranslationSource*>& sources() {
  static std::vector<TranslationSource*> all;
  return all;
}

void erase(std::vector<TIvCustomTranslator*>& v, TIvCustomTranslator* t) {
  v.erase(std::remove(v.begin(), v.end(), t), v.end());
}

}  // namespace

TranslationSource::TranslationSource(const QString& name) : name_(name) { sources().push_back(this); }

TranslationSource::~TranslationSource() {
  auto& all = sources();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  // Every translator that still points here lets go (an open one is closed).
  const auto linked = links_;
  for (TIvCustomTranslator* t : linked) t->sourceDestroyed(this);
}

TranslationSource* TranslationSource::find(const QString& name) {
  for (TranslationSource* s : sources())
    if (s->name_ == name) return s;
  return nullptr;
}

TranslationSource* TranslationSource::first() { return sources().empty() ? nullptr : sources().front(); }

void TranslationSource::notifyChanged(bool languageChanged, bool localeChanged) {
  // A translator may close (and leave the list) while it runs.
  const auto open = translators_;
  for (TIvCustomTranslator* t : open)
    if (std::find(translators_.begin(), translators_.end(), t) != translators_.end())
      t->DictionaryChanged(languageChanged, localeChanged);
}

void TranslationSource::closeTranslators() {
  const auto open = translators_;
  for (TIvCustomTranslator* t : open)
    if (std::find(translators_.begin(), translators_.end(), t) != translators_.end()) t->Close();
  translators_.clear();
}

void TranslationSource::addTranslator(TIvCustomTranslator* t) {
  if (std::find(translators_.begin(), translators_.end(), t) == translators_.end()) translators_.push_back(t);
}

void TranslationSource::removeTranslator(TIvCustomTranslator* t) { erase(translators_, t); }

void TranslationSource::addLink(TIvCustomTranslator* t) {
  if (std::find(links_.begin(), links_.end(), t) == links_.end()) links_.push_back(t);
}

void TranslationSource::removeLink(TIvCustomTranslator* t) { erase(links_, t); }

}  // namespace vx::i18n
