// The shipped dictionary has every text the program shows, in every language: the texts of
// every window (as each window's translator finds them), every message of the string table,
// and every piece of the messages the program builds around values. A text missing from the
// dictionary, or left empty in one language, fails with its window or id and the language.
#include "app/AppStrings.h"
#include "app/FVXSysDn.h"
#include "i18n/Dictionary.h"
#include "i18n/ui/Translator.h"
#include "import/ImportStrings.h"
#include "import/ui/ImportDialog.h"
#include "platform/HelpFiles.h"
#include "platform/PlatformStrings.h"
#include "platform/ResourceStrings.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScriptedLoginUi.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/about/AboutStrings.h"
#include "vxcomp/about/ui/VXAboutBoxDlg.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/LoginStrings.h"
#include "vxcomp/login/ui/LoginForm.h"
#include "vxcomp/login/ui/WaitDlg.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace vx;

namespace {

// A text worth a translation: one with a letter (not a separator line or a lone number).
bool hasLetter(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// The fixed texts of the messages the program composes around values, from its sources: every
// literal passed as a piece or as a format.
QStringList composedMessageTexts() {
  static const QRegularExpression literal(R"re((?:MessagePart::piece|formatParts)\(\s*"((?:[^"\\]|\\.)*)")re");
  QStringList texts;
  for (const char* folder : {"app", "db", "i18n", "import", "platform", "vxcomp"}) {
    QDirIterator it(QStringLiteral(VX_SOURCE_DIR "/") + folder, {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile file(it.next());
      if (!file.open(QIODevice::ReadOnly)) continue;
      const QString source = QString::fromUtf8(file.readAll());
      for (const QRegularExpressionMatch& m : literal.globalMatch(source)) {
        QString text = m.captured(1);
        text.replace(QLatin1String("\\\""), QLatin1String("\"")).replace(QLatin1String("\\n"), QLatin1String("\n"));
        if (hasLetter(text) && !texts.contains(text)) texts << text;
      }
    }
  }
  return texts;
}

class DictionaryCompleteness : public ::testing::Test {
 protected:
  void SetUp() override {
    help::setApplicationHelpFile("sys_down.hlp");
    res::registerPlatformStrings();
    app::registerStrings();
    import::registerStrings();
    login::registerStrings();
    access::registerStrings();
    about::registerStrings();
  }

  i18n::TIvDictionary& dictionary() { return *window_->IvBinaryDictionary1(); }

  // Every language of the dictionary after the design language, with its name.
  std::vector<std::pair<int, std::string>> languages() {
    std::vector<std::pair<int, std::string>> out;
    for (int n = 1; n < dictionary().GetLanguageCount(); ++n) {
      i18n::TIvLanguage l;
      dictionary().GetLanguage(n, l);
      out.emplace_back(n, l.EnglishName);
    }
    return out;
  }

  vxtest::TempDir dir_;
  vxtest::ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.file(".")};
  vxtest::TestLibrary library_{vxtest::Engine::Sqlite};
  ScriptedUserInterface boxes_;
  vxtest::ScriptedLoginUi windows_;
  std::unique_ptr<TFVXSysDn> window_ = std::make_unique<TFVXSysDn>();
};

TEST_F(DictionaryCompleteness, EveryTextOfEveryWindowAndMessageHasATextInEveryLanguage) {
  ASSERT_TRUE(dictionary().Opened()) << "vxdown.mld was not found beside the tests";
  ASSERT_EQ(languages().size(), 4u);

  // Every window of the program, built as the program builds it (the import dialog logs on).
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "library");
  windows_.answerCancel();
  std::vector<std::unique_ptr<QWidget>> others;
  others.push_back(std::make_unique<TLoginForm>(library_.session()));
  others.push_back(std::make_unique<TWaitDlg>());
  others.push_back(std::make_unique<TVXAboutBoxDlg>(nullptr, library_.session()));
  others.push_back(std::make_unique<TVXImport>(nullptr, &dictionary(), library_.session()));
  std::vector<QWidget*> forms{window_.get()};
  for (const auto& w : others) forms.push_back(w.get());

  const QStringList pieces = composedMessageTexts();
  ASSERT_GT(pieces.size(), 10) << "the message pieces were not found in " VX_SOURCE_DIR;
  const std::vector<int> ids = res::registeredIds();
  ASSERT_GT(ids.size(), 100u);

  int windowTexts = 0;
  for (const auto& [language, name] : languages()) {
    dictionary().SetLanguage(language);
    SCOPED_TRACE(name);
    for (QWidget* form : forms) {
      auto* translator = form->findChild<i18n::TIvTranslator*>();
      ASSERT_NE(translator, nullptr) << i18n::vxClassName(form).toStdString();
      ASSERT_TRUE(translator->isOpened()) << i18n::vxClassName(form).toStdString();
      for (const auto& row : translator->table()) {
        if (!hasLetter(row.nativeText)) continue;
        ++windowTexts;
        QString text;
        EXPECT_TRUE(translator->hasTranslation(row, text))
            << i18n::vxClassName(form).toStdString() << "." << row.componentName.toStdString() << "."
            << row.propertyName.toStdString() << ": \"" << row.nativeText.toStdString() << "\"";
      }
    }
    for (int id : ids) {
      const QString native = res::nativeString(id);
      if (!hasLetter(native)) continue;
      QString text;
      const bool found = dictionary().TranslateInContext(native, QString(), QString::number(id), text) ||
                         dictionary().Translate(native, text);
      EXPECT_TRUE(found && !text.isEmpty()) << "message " << id << ": \"" << native.toStdString() << "\"";
    }
    for (const QString& piece : pieces) {
      QString text;
      EXPECT_TRUE(dictionary().Translate(piece, text) && !text.isEmpty())
          << "message piece \"" << piece.toStdString() << "\"";
    }
  }
  EXPECT_GE(windowTexts, 4 * 40) << "the windows' translators found fewer texts than the windows have";
}

}  // namespace

namespace {

// The error box shows a composed message in the window's language, its values as they are:
// a format's placeholders and the pieces around a value alike.
TEST_F(DictionaryCompleteness, ComposedMessagesReadInTheWindowsLanguage) {
  dictionary().SetLanguage(1);
  const std::size_t before = boxes_.boxes().size();
  i18n::ShowExceptionMessage(i18n::EIvMulti(formatParts(
      "No dictionary has been assigned to the translator component (%s on \"%s\" form)", {"T1", "F1"})));
  i18n::ShowExceptionMessage(i18n::EIvDictionaryError(
      {MessagePart::piece("Unknown property value: "), MessagePart::value("17")}));
  ASSERT_EQ(boxes_.boxes().size(), before + 2);
  EXPECT_EQ(boxes_.boxes()[before].text, "Ingen ordbok er tilordnet oversetterkomponenten (T1 på skjemaet \"F1\")");  // ")" sorts before ".": no period
  EXPECT_EQ(boxes_.boxes()[before + 1].text, "Ukjent egenskapsverdi: 17.");
}

}  // namespace
