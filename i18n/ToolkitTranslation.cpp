#include "i18n/ToolkitTranslation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>
#include <mutex>

namespace vx::i18n {

namespace {

// A Qt context: "Q" and a capital letter ("QFileDialog"); the program's forms are "T...".
bool isQtContext(const std::string& context) {
  return context.size() >= 2 && context[0] == 'Q' && context[1] >= 'A' && context[1] <= 'Z';
}

QString rowKey(const QString& context, const QString& source) {
  return context + QChar(0x7f) + source;
}

// As installing a translator does: every window retranslates what Qt drew.
void announceLanguageChange() {
  if (!QCoreApplication::instance()) return;
  QEvent changed(QEvent::LanguageChange);
  QCoreApplication::sendEvent(QCoreApplication::instance(), &changed);
}

}  // namespace

// What the translator answers from, replaced whole at each language change.
struct ToolkitTexts {
  std::unique_ptr<QTranslator> catalogue;  // Qt's catalogue; null when the language has none
  QHash<QString, QString> rows;            // the dictionary's rows for Qt's texts, by rowKey
};

// Qt asks its translators from any thread (the file dialog's model names file types in a
// thread of its own), so the texts are swapped under a lock and read from a shared copy.
class ToolkitTranslator : public QTranslator {
 public:
  void setTexts(std::shared_ptr<const ToolkitTexts> texts) {
    const std::lock_guard lock(mutex_);
    texts_ = std::move(texts);
  }
  std::shared_ptr<const ToolkitTexts> texts() const {
    const std::lock_guard lock(mutex_);
    return texts_;
  }

  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override {
    if (!context || !sourceText) return QString();
    const std::shared_ptr<const ToolkitTexts> texts = this->texts();
    if (!texts) return QString();
    if (texts->catalogue) {
      const QString text = texts->catalogue->translate(context, sourceText, disambiguation, n);
      if (!text.isNull()) return text;
    }
    const auto row = texts->rows.constFind(
        rowKey(QString::fromLatin1(context), QString::fromUtf8(sourceText)));
    return row == texts->rows.cend() ? QString() : *row;
  }
  bool isEmpty() const override { return false; }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const ToolkitTexts> texts_;
};

ToolkitTranslation::ToolkitTranslation(TIvCustomDictionary& dictionary, QObject* parent)
    : QObject(parent), dictionary_(&dictionary), translator_(new ToolkitTranslator) {
  if (QCoreApplication::instance()) QCoreApplication::installTranslator(translator_);
  connect(&dictionary, &TIvDictionary::LanguageChanged, this, &ToolkitTranslation::follow);
  connect(&dictionary, &TIvDictionary::Closing, this, [this] {
    translator_->setTexts(nullptr);
    announceLanguageChange();
  });
  follow();
}

ToolkitTranslation::~ToolkitTranslation() {
  if (QCoreApplication::instance()) QCoreApplication::removeTranslator(translator_);
  delete translator_;
}

QString ToolkitTranslation::catalogueFile() const {
  const auto texts = translator_->texts();
  return texts && texts->catalogue ? texts->catalogue->filePath() : QString();
}

bool ToolkitTranslation::loadQtCatalogue(QTranslator& catalogue, const QLocale& locale,
                                         const QString& folder) {
  const QString from =
      folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  // Qt's catalogues for Qt 5 and 6 are split by module (qtbase_); a language that has only the
  // older single catalogue (qt_sv) still has its widget texts there.
  return catalogue.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), from) ||
         catalogue.load(locale, QStringLiteral("qt"), QStringLiteral("_"), from);
}

void ToolkitTranslation::follow() {
  auto texts = std::make_shared<ToolkitTexts>();
  // The native language is the design language, English, as Qt's own texts are.
  if (dictionary_ && dictionary_->Opened() && dictionary_->CurrentIndex() > 0) {
    const TIvLanguage& language = dictionary_->CurrentLanguage();
    QString name = QString::fromStdString(language.IsoLanguage);
    if (!language.IsoCountry.empty())
      name += QLatin1Char('_') + QString::fromStdString(language.IsoCountry);
    auto catalogue = std::make_unique<QTranslator>();
    if (!name.isEmpty() && loadQtCatalogue(*catalogue, QLocale(name)))
      texts->catalogue = std::move(catalogue);
    for (const TIvTranslation& row : dictionary_->Translations()) {
      if (!row.Context2.empty() || !isQtContext(row.Context1)) continue;
      texts->rows.insert(
          rowKey(QString::fromStdString(row.Context1), QString::fromStdString(row.NativeText)),
          QString::fromStdString(row.TranslatedText));
    }
  }
  translator_->setTexts(std::move(texts));
  announceLanguageChange();
}

}  // namespace vx::i18n
