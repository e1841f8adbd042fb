#pragma once
// The texts that Qt draws itself (the buttons of message boxes, the file dialog, the menus of
// edit fields) in the language of a dictionary, following each change of it.
//
// Two sources, asked in this order for each text:
//   1. Qt's own catalogue for the language, from Qt's translations folder (the Debian package
//      qt6-translations-l10n): qtbase_<lang>.qm, else the older qt_<lang>.qm. Norwegian
//      Bokmål has none there.
//   2. The dictionary's rows for Qt's texts: context1 is Qt's context (a Qt class name such as
//      "QFileDialog", a "Q" and a capital letter), context2 is empty, the native text is Qt's
//      English source text. They cover the texts the program shows where Qt's catalogue has
//      none, or the language has no catalogue at all.
// A text that neither knows stays as Qt has it (English). Texts of any other context (the
// program's own forms) are never answered here: the form translator does those.
//
// The key names of menu shortcuts stay the dictionary's (its resource-string translation):
// that translator is installed when the dictionary opens, after this one, so it is asked first.
#include "i18n/Dictionary.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QLocale;
class QTranslator;

namespace vx::i18n {

class ToolkitTranslator;

class ToolkitTranslation : public QObject {
  Q_OBJECT

 public:
  // Installs the translator in the application and takes the dictionary's current language;
  // from then on follows its language changes and its closing (which returns to Qt's English).
  // Make it before the dictionary opens (see above). The dictionary stays the caller's.
  explicit ToolkitTranslation(TIvCustomDictionary& dictionary, QObject* parent = nullptr);
  // Removes the translator from the application.
  ~ToolkitTranslation() override;

  // The path of Qt's catalogue in use; empty when the language has none (or the dictionary
  // is closed or in its native language).
  QString catalogueFile() const;

  // Loads Qt's catalogue for `locale` from `folder` (Qt's translations folder when empty):
  // qtbase_<lang>.qm, else qt_<lang>.qm, by the locale's languages. False when there is none.
  static bool loadQtCatalogue(QTranslator& catalogue, const QLocale& locale,
                              const QString& folder = QString());

 private:
  // Reads the dictionary's current language and tells every window that the texts changed.
  void follow();

  QPointer<TIvCustomDictionary> dictionary_;
  ToolkitTranslator* translator_;
};

}  // namespace vx::i18n
