// The circulation window translated by its translator, with a dictionary of two languages:
// its menus, group boxes and labels change language and come back, and what the program
// shows at run time (the status bar, the item list) is not disturbed.
#include "app/FVXSysDn.h"
#include "app/VXMemo.h"
#include "i18n/ui/Translator.h"
#include "platform/HelpFiles.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/i18n/ui/FakeSource.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace vx;
using namespace vx::i18n;
using vxtest::FakeSource;

namespace {

class CirculationWindowTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    help::setApplicationHelpFile("sys_down.hlp");
    for (auto [native, no, da] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
             {"Vellumdex System Down", "Vellumdex Nedetid", "Vellumdex Nedetid (DA)"},
             {"&File", "&Fil", "&Filer"},
             {"&Help", "&Hjelp", "&Hjælp"},
             {"&Workfile ...", "&Arbeidsfil ...", "&Arbejdsfil ..."},
             {"&Borrower", "&Låner", "&Låner (DA)"},
             {"&Item", "&Eksemplar", "&Eksemplar (DA)"},
             {"Item", "Eksemplar", "Eksemplar (DA)"},
             {"&Done", "&Ferdig", "&Færdig"},
         }) {
      source.add(1, native, no);
      source.add(3, native, da);
    }
    source.add(1, "Exit", "Avslutt");
    ui.answerNextBox(MsgResult::Ok);  // "No work file assigned"
    window = std::make_unique<TFVXSysDn>();
    translator = new TIvTranslator(window.get());
    translator->setObjectName("IvTranslator1");
    translator->setDictionaryName("Dictionary1");
    translator->setTargets(mainWindowTargets());
  }

  template <class T>
  T* child(const char* name) {
    T* c = window->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  vxtest::TempDir dir;
  ScriptedUserInterface ui;
  FakeSource source;
  std::unique_ptr<TFVXSysDn> window;
  TIvTranslator* translator = nullptr;
};

TEST_F(CirculationWindowTranslation, ThereAndBackAgain) {
  source.setLanguage(1);
  translator->Loaded();
  ASSERT_TRUE(translator->isOpened());
  auto* file = child<QMenu>("MnuFile");
  auto* openItem = child<QAction>("mnuOpen");
  auto* closeItem = child<QAction>("mnuClose");
  auto* borrower = child<QGroupBox>("grpBorrower");
  auto* item = child<QGroupBox>("grpItem");
  auto* lItem = child<QLabel>("lItem");
  ASSERT_TRUE(file && openItem && closeItem && borrower && item && lItem);

  EXPECT_EQ(window->windowTitle(), "Vellumdex Nedetid");
  EXPECT_EQ(file->title(), "&Fil");
  EXPECT_EQ(child<QMenu>("mnuHelp")->title(), "&Hjelp");
  EXPECT_EQ(openItem->text(), "&Arbeidsfil ...");
  EXPECT_EQ(closeItem->text(), "Avslutt");
  EXPECT_EQ(borrower->title(), "&Låner");
  EXPECT_EQ(item->title(), "&Eksemplar");
  EXPECT_EQ(lItem->text(), "Eksemplar");
  EXPECT_EQ(window->btDone()->text(), "&Ferdig");
  EXPECT_EQ(openItem->shortcut(), QKeySequence());
  EXPECT_EQ(child<QAction>("mnuDone")->shortcut(), QKeySequence(Qt::Key_F2));

  // What the program shows while it runs: translated from that text on the next switch,
  // and never lost.
  window->setStatusPanelText(0, "No work file assigned");
  window->mItems()->setLines({"2002", "2003"});
  source.setLanguage(3);
  EXPECT_EQ(file->title(), "&Filer");
  EXPECT_EQ(borrower->title(), "&Låner (DA)");
  EXPECT_EQ(closeItem->text(), "E&xit");  // no Danish entry: the native text
  EXPECT_EQ(window->statusPanelText(0), "No work file assigned");
  EXPECT_EQ(window->mItems()->lines(), (QStringList{"2002", "2003"}));

  source.setLanguage(1);
  EXPECT_EQ(file->title(), "&Fil");
  EXPECT_EQ(closeItem->text(), "Avslutt");
  EXPECT_EQ(lItem->text(), "Eksemplar");

  source.setLanguage(0);
  EXPECT_EQ(window->windowTitle(), "Vellumdex System Down");
  EXPECT_EQ(file->title(), "&File");
  EXPECT_EQ(openItem->text(), "&Workfile ...");
  EXPECT_EQ(closeItem->text(), "E&xit");
  EXPECT_EQ(borrower->title(), "&Borrower");
  EXPECT_EQ(item->title(), "&Item");
  EXPECT_EQ(window->btDone()->text(), "&Done");
  EXPECT_EQ(window->mItems()->lines(), (QStringList{"2002", "2003"}));
}

TEST_F(CirculationWindowTranslation, TypedBarcodesSurviveASwitch) {
  source.setLanguage(1);
  translator->Open();
  // Typed barcodes are texts of the line edits: a switch looks them up and keeps them, also
  // one that happens to be a word of the dictionary only in its other language.
  window->eBorrower()->setText("1001");
  window->eItem()->setText("Fil");
  source.setLanguage(3);
  source.setLanguage(1);
  EXPECT_EQ(window->eBorrower()->text(), "1001");
  EXPECT_EQ(window->eItem()->text(), "Fil");
  EXPECT_EQ(child<QMenu>("MnuFile")->title(), "&Fil");
}

}  // namespace
