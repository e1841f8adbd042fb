#include "i18n/ui/DictionarySource.h"

#include "i18n/ui/Translator.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace vx::i18n {

TIvDictionarySource::TIvDictionarySource(TIvDictionary& dictionary, QObject* parent)
    : QObject(parent), TranslationSource(dictionary.DictionaryName()), dictionary_(dictionary) {
  connect(&dictionary_, &TIvDictionary::TranslatorsChanged, this,
          [this](bool languageChanged, bool localeChanged) { notifyChanged(languageChanged, localeChanged); });
  connect(&dictionary_, &TIvDictionary::Closing, this, [this] { closeTranslators(); });
  connect(&dictionary_, &TIvDictionary::RecreateMDIChild, this, [] { recreateMaximisedMdiChild(); });
}

void recreateMaximisedMdiChild() {
  auto* mainWindow = qobject_cast<QMainWindow*>(QApplication::activeWindow());
  if (!mainWindow) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if ((mainWindow = qobject_cast<QMainWindow*>(w))) break;
  }
  auto* area = mainWindow ? qobject_cast<QMdiArea*>(mainWindow->centralWidget()) : nullptr;
  QMdiSubWindow* child = area ? area->activeSubWindow() : nullptr;
  if (!child || !child->isMaximized()) return;
  // Qt keeps the restored placement of a subwindow across the state change, so the only
  // child comes back to where it was when it is restored later.
  const QRect restored = child->normalGeometry();
  child->showNormal();
  if (area->subWindowList().size() == 1 && restored.isValid()) child->setGeometry(restored);
  child->showMaximized();
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
