// The circulation window in the suite's languages: the stored language chooses the texts of
// the window, its menus and its messages, and a change of language while the program runs
// translates the open window again.
#include "app/FVXSysDn.h"
#include "i18n/Dictionary.h"
#include "platform/HelpFiles.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vx;

namespace {

struct Expected {
  const char* stored;  // DefaultLanguage as stored; nullptr: none
  const char* help;
  const char* file;
  const char* borrower;
  const char* noFile;
};

const Expected kLanguages[] = {
    {"1", "NOR/sys_down.hlp", "&Fil", "&Låner", "Ingen arbeidsfil valgt"},
    {"2", "SWE/sys_down.hlp", "&Arkiv", "&Låntagare", "Ingen arbetsfil vald"},
    {"3", "DAN/sys_down.hlp", "&Filer", "&Låner", "Ingen arbejdsfil valgt"},
    {"4", "ENG/sys_down.hlp", "&File", "&Borrower", "No work file assigned"},
};

class CirculationWindowLanguage : public ::testing::TestWithParam<Expected> {
 protected:
  void SetUp() override { help::setApplicationHelpFile("sys_down.hlp"); }
  vxtest::TempDir dir;
  ScriptedUserInterface ui;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Languages, CirculationWindowLanguage, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Expected>& p) {
                           return std::string(p.param.help).substr(0, 3);
                         });

TEST_P(CirculationWindowLanguage, TheStoredLanguageTranslatesWindowMenusAndMessages) {
  const Expected& e = GetParam();
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::sz(e.stored)));
  TFVXSysDn w;
  ASSERT_NE(w.IvBinaryDictionary1(), nullptr);
  ASSERT_TRUE(w.IvBinaryDictionary1()->Opened()) << "vxdown.mld was not found beside the tests";
  EXPECT_EQ(help::applicationHelpFile(), e.help);
  EXPECT_EQ(w.findChild<QMenu*>("MnuFile")->title(), QString::fromUtf8(e.file));
  EXPECT_EQ(w.findChild<QGroupBox*>("grpBorrower")->title(), QString::fromUtf8(e.borrower));
  EXPECT_EQ(w.statusPanelText(0), QString::fromUtf8(e.noFile));
  ASSERT_FALSE(ui.boxes().empty());
  // The start-up message comes before the language step: it is in the language the
  // dictionary had while the window was loaded (the user's), and the next one is in the
  // stored language.
  ui.answerNextBox(MsgResult::No);
  w.findChild<QAction*>("mnuClose")->trigger();
  ASSERT_EQ(ui.boxes().size(), 2u);
  EXPECT_NE(ui.boxes()[1].text, "") << "the exit question has a text";
  if (std::string(e.stored) == "4") EXPECT_EQ(ui.boxes()[1].text, "Exit Vellumdex System Down?");
  else EXPECT_NE(ui.boxes()[1].text, "Exit Vellumdex System Down?");

  const QByteArray out = qgetenv("VX_SCREENSHOT_DIR");
  if (!out.isEmpty()) {
    QDir().mkpath(QString::fromLocal8Bit(out));
    QCoreApplication::processEvents();
    w.grab().save(QString::fromLocal8Bit(out) + "/language-" + QString(e.help).left(3) + ".png");
  }
}

TEST(CirculationWindowLanguageSwitch, AChangeOfLanguageTranslatesTheOpenWindowAgain) {
  vxtest::TempDir dir;
  ScriptedUserInterface ui;
  help::setApplicationHelpFile("sys_down.hlp");
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::sz("1")));
  TFVXSysDn w;
  auto* menu = w.findChild<QMenu*>("MnuFile");
  ASSERT_EQ(menu->title(), "&Fil");
  w.IvBinaryDictionary1()->SetLanguage(2);
  EXPECT_EQ(menu->title(), "&Arkiv");
  w.IvBinaryDictionary1()->SetLanguage(0);  // the design language
  EXPECT_EQ(menu->title(), "&File");
  EXPECT_EQ(w.findChild<QPushButton*>("btDone")->text(), "&Done");
  w.IvBinaryDictionary1()->SetLanguage(1);
  EXPECT_EQ(menu->title(), "&Fil");
  // An index the dictionary does not have is refused, and the window keeps its language.
  EXPECT_ANY_THROW(w.IvBinaryDictionary1()->SetLanguage(9));
  EXPECT_EQ(menu->title(), "&Fil");
  // Shortcut texts in menus name their keys in the window's language.
  const QKeySequence keys(Qt::SHIFT | Qt::Key_Space);
  EXPECT_EQ(keys.toString(QKeySequence::NativeText), "Skift+Mellomrom");
  w.IvBinaryDictionary1()->SetLanguage(2);
  EXPECT_EQ(keys.toString(QKeySequence::NativeText), "Skift+Blanksteg");
  w.IvBinaryDictionary1()->SetLanguage(4);
  EXPECT_EQ(keys.toString(QKeySequence::NativeText), "Shift+Space");
  EXPECT_EQ(QKeySequence(Qt::Key_F5).toString(QKeySequence::NativeText), "F5");
}
