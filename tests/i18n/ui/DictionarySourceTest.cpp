// The program's dictionary in front of the translators: one translation pass per switch, the
// dictionary's missing-translation policy on the forms, translators closed with the
// dictionary, a maximised MDI child laid out anew, and the dictionary's exception display.
#include "i18n/Dictionary.h"
#include "i18n/MLDWriter.h"
#include "i18n/ui/DictionarySource.h"
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "platform/ExceptionHandler.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace vx::i18n;

namespace {

class DictionarySourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without context fields, so that the policy decides what a missing text shows.
    vx::i18n::MLDDocument doc = vxtest::makeDocument();
    doc.Translations = {{"Done", "", "", {"Ferdig", "Klar", ""}},
                        {"The file is gone", "", "", {"Filen er borte", "", ""}},
                        {"Nothing to do!", "", "", {"Ingenting å gjøre!", "", ""}}};
    MLDWriteOptions options;
    options.contextKind = MLDContextKind::None;
    vxtest::writeAll(dir.file("test.mld"), writeMLD(doc, options));
    dictionary = std::make_unique<TIvBinaryDictionary>();
    dictionary->SetDictionaryName("Dictionary1");
    dictionary->SetFileName(QString::fromStdString(dir.file("test.mld")));
    dictionary->SetLanguage(1);
    source = std::make_unique<TIvDictionarySource>(*dictionary);

    form.setObjectName("FForm");
    done = new QLabel("Done", &form);
    done->setObjectName("lblDone");
    cancel = new QLabel("Cancel", &form);
    cancel->setObjectName("lblCancel");
    translator = new TIvTranslator(&form);
    translator->setObjectName("IvTranslator1");
    translator->setDictionaryName("Dictionary1");
    translator->setTargets(mainWindowTargets());
  }
  void TearDown() override {
    delete translator;
    source.reset();
    dictionary.reset();
  }

  vxtest::TempDir dir;
  std::unique_ptr<TIvBinaryDictionary> dictionary;
  std::unique_ptr<TIvDictionarySource> source;
  QMainWindow form;
  QLabel* done = nullptr;
  QLabel* cancel = nullptr;
  TIvTranslator* translator = nullptr;
};

TEST_F(DictionarySourceTest, EachSwitchTranslatesTheFormOnceUnderTheDictionarysPolicy) {
  QSignalSpy passes(translator, &TIvTranslator::afterTranslate);
  translator->Loaded();
  ASSERT_TRUE(translator->isOpened());
  EXPECT_EQ(done->text(), "Ferdig");
  EXPECT_EQ(cancel->text(), "Cancel");
  const int afterOpen = passes.count();

  dictionary->SetMissingTranslation(TIvDictionary::ivmtTagNative);
  dictionary->SetLanguage(2);  // language and locale change together: one pass
  EXPECT_EQ(passes.count(), afterOpen + 1);
  EXPECT_EQ(done->text(), "Klar");
  EXPECT_EQ(cancel->text(), "@Cancel@");
  dictionary->SetMissingTranslation(TIvDictionary::ivmtUseNative);
  dictionary->SetLanguage(1);
  EXPECT_EQ(cancel->text(), "Cancel");  // from its native text, not from "@Cancel@"

  // Without automatic translation a switch leaves the form as it is.
  dictionary->SetOptions(TIvDictionary::kAllOptions & ~TIvDictionary::ivdoAutoTranslate);
  dictionary->SetLanguage(2);
  EXPECT_EQ(done->text(), "Ferdig");
}

TEST_F(DictionarySourceTest, ClosingTheDictionaryClosesItsTranslators) {
  translator->Loaded();
  ASSERT_TRUE(translator->isOpened());
  ASSERT_EQ(source->translators().size(), 1u);
  dictionary->Close();
  EXPECT_FALSE(translator->isOpened());
  EXPECT_TRUE(source->translators().empty());
  EXPECT_EQ(translator->dictionary(), nullptr);
}

TEST_F(DictionarySourceTest, AMaximisedMdiChildIsLaidOutAnewAndKeepsItsRestoredPlace) {
  QMainWindow frame;
  auto* area = new QMdiArea;
  frame.setCentralWidget(area);
  frame.resize(640, 480);
  frame.show();
  QMdiSubWindow* child = area->addSubWindow(new QLabel("Done"));
  child->setGeometry(20, 30, 200, 120);
  child->show();
  area->setActiveSubWindow(child);
  const QRect restored = child->geometry();
  child->showMaximized();
  ASSERT_TRUE(child->isMaximized());
  ASSERT_EQ(area->activeSubWindow(), child);
  recreateMaximisedMdiChild();
  EXPECT_TRUE(child->isMaximized());
  child->showNormal();
  EXPECT_EQ(child->geometry(), restored);
}

TEST_F(DictionarySourceTest, TheExceptionDisplayTranslatesAndEndsTheSentence) {
  EXPECT_TRUE(vx::hasExceptionHandler());  // a dictionary installed its display
  vx::ScriptedUserInterface ui;
  ShowExceptionMessage(std::runtime_error("The file is gone"));  // closed: untranslated
  dictionary->Open();
  ShowExceptionMessage(std::runtime_error("The file is gone"));
  ShowExceptionMessage(std::runtime_error("Nothing to do!"));
  ShowExceptionMessage(std::runtime_error("Not in the dictionary"));
  vx::handleException(std::runtime_error("Through the handler"));
  ASSERT_EQ(ui.boxes().size(), 5u);
  EXPECT_EQ(ui.boxes()[0].text, "The file is gone.");
  EXPECT_EQ(ui.boxes()[1].text, "Filen er borte.");
  EXPECT_EQ(ui.boxes()[2].text, QString::fromUtf8("Ingenting å gjøre!"));  // "!" sorts before "."
  EXPECT_EQ(ui.boxes()[3].text, "Not in the dictionary.");
  EXPECT_EQ(ui.boxes()[4].text, "Through the handler.");
  for (const auto& box : ui.boxes()) {
    EXPECT_EQ(box.icon, vx::MsgIcon::Error);
    EXPECT_EQ(box.buttons, vx::MsgButtons::Ok);
  }
}

}  // namespace
