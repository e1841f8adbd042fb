// The circulation window in the suite's languages: the stored language chooses the texts of
// the window, its menus and its messages, and a change of language while the program runs
// translates the open window again.
#include "app/FVXSysDn.h"
#include "app/VXMemo.h"
#include "i18n/MLDWriter.h"
#include "i18n/Dictionary.h"
#include "platform/HelpFiles.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
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

namespace {

struct LongList {
  const char* stored;    // DefaultLanguage
  const char* code;      // for the screenshot's name
  const char* length;    // what follows a shortened item
  const char* refused;   // how the refusal of a character begins
};

const LongList kLongLists[] = {
    {"1", "NOR", "… (150 tegn)", "Tegnet «Ж» "},
    {"2", "SWE", "… (150 tecken)", "Tecknet ”Ж” "},
    {"3", "DAN", "… (150 tegn)", "Tegnet »Ж« "},
    {"4", "ENG", "… (150 characters)", "The character \"Ж\" "},
};

class CirculationWindowLongList : public ::testing::TestWithParam<LongList> {
 protected:
  void SetUp() override { help::setApplicationHelpFile("sys_down.hlp"); }
  vxtest::TempDir dir;
  ScriptedUserInterface ui;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Languages, CirculationWindowLongList, ::testing::ValuesIn(kLongLists),
                         [](const ::testing::TestParamInfo<LongList>& p) { return std::string(p.param.code); });

// A long list in the window's language: the newest scan in view, a long item shortened with
// its length, a refused character explained; a screenshot when VX_SCREENSHOT_DIR is set.
TEST_P(CirculationWindowLongList, ShowsTheNewestScanAndExplainsInTheWindowsLanguage) {
  const LongList& e = GetParam();
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::sz(e.stored)));
  std::string contents = "1001," + std::string(150, '7') + "\r\n";
  for (int i = 0; i < 40; ++i) contents += "1001,0301000" + std::to_string(4700 + i) + "\r\n";
  vxtest::writeAll(dir.file("desk.csv"), contents);
  const std::string program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\" + program + "\\General",
                              "FileLocation", reg::Value::sz(dir.file("desk.csv"))));
  TFVXSysDn w;
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClicks(w.eBorrower(), "1001");
  QTest::keyClick(w.eBorrower(), Qt::Key_Return);
  for (const char* item : {"Bøk2", "Ж"}) {  // the one recorded, the other refused
    w.eItem()->selectAll();
    for (QChar c : QString::fromUtf8(item))
      QTest::sendKeyEvent(QTest::Click, w.eItem(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(w.eItem(), Qt::Key_Return);
  }
  ASSERT_EQ(w.mItems()->lineCount(), 42);
  EXPECT_EQ(w.mItems()->lines()[0], QString(100, '7') + QString::fromUtf8(e.length));
  EXPECT_EQ(w.mItems()->lines().last(), "Bøk2");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_TRUE(ui.boxes()[0].text.startsWith(QString::fromUtf8(e.refused))) << ui.boxes()[0].text.toStdString();
  QScrollBar* bar = w.mItems()->verticalScrollBar();
  QCoreApplication::processEvents();
  EXPECT_EQ(bar->value(), bar->maximum());

  const QByteArray out = qgetenv("VX_SCREENSHOT_DIR");
  if (!out.isEmpty()) {
    QDir().mkpath(QString::fromLocal8Bit(out));
    w.grab().save(QString::fromLocal8Bit(out) + "/long-list-" + e.code + ".png");
  }
}

namespace {

struct StartupError {
  const char* locale;      // the user's locale, which chooses the window's language at load
  const char* outOfRange;  // the box for a stored language index the dictionary lacks
  const char* wrongType;   // the box for a stored value of the wrong type (ending in "'",
                           // which sorts before ".", so without a full stop)
  const char* total;       // status panels 1 and 2 with ten million lines
  const char* current;
};

const StartupError kStartupErrors[] = {
    {"nb_NO.UTF-8", "Språkindeks 7 er utenfor gyldig område.", "Ugyldig datatype for 'DefaultLanguage'",
     "Totalt: 10000000", "Aktuell: 10000000"},
    {"sv_SE.UTF-8", "Språkindex 7 ligger utanför giltigt intervall.", "Ogiltig datatyp för 'DefaultLanguage'",
     "Totalt: 10000000", "Aktuell: 10000000"},
    {"da_DK.UTF-8", "Sprogindeks 7 er uden for det gyldige område.", "Ugyldig datatype for 'DefaultLanguage'",
     "I alt: 10000000", "Aktuel: 10000000"},
    {"en_GB.UTF-8", "Language index 7 is out of range.", "Invalid data type for 'DefaultLanguage'",
     "Total: 10000000", "Current: 10000000"},
};

class CirculationWindowStartupError : public ::testing::TestWithParam<StartupError> {
 protected:
  void SetUp() override { help::setApplicationHelpFile("sys_down.hlp"); }
  vxtest::TempDir dir;
  vxtest::ScopedEnv locale{"LC_ALL", GetParam().locale};
  ScriptedUserInterface ui;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Languages, CirculationWindowStartupError, ::testing::ValuesIn(kStartupErrors),
                         [](const ::testing::TestParamInfo<StartupError>& p) {
                           return std::string(p.param.locale).substr(0, 2);
                         });

// A message built around a value reads in the window's language as a whole, with the full
// stop of the error box.
TEST_P(CirculationWindowStartupError, AStoredLanguageThatCannotBeUsedIsToldInTheWindowsLanguage) {
  const StartupError& e = GetParam();
  const std::string key = "Software\\Vellumdex\\Language";
  for (const auto& [stored, expected] : {std::pair{reg::Value::sz("7"), e.outOfRange},
                                         std::pair{reg::Value::fromDword(1), e.wrongType}}) {
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "DefaultLanguage", stored));
    ui.clear();
    TFVXSysDn w;
    ASSERT_TRUE(w.IvBinaryDictionary1()->Opened());
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_EQ(ui.boxes().back().text, QString::fromUtf8(expected));
    EXPECT_EQ(ui.boxes().back().icon, MsgIcon::Error);
  }
}

// The counts of a workfile of ten million lines show whole, in every language.
TEST_P(CirculationWindowStartupError, TheStatusBarShowsTheCountsWhole) {
  const StartupError& e = GetParam();
  TFVXSysDn w;
  w.setStatusPanelText(1, QString::fromUtf8(e.total));
  w.setStatusPanelText(2, QString::fromUtf8(e.current));
  QCoreApplication::processEvents();
  for (int panel : {1, 2}) {
    auto* label = w.findChild<QLabel*>(QString("sbMainPanel%1").arg(panel));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->width(), 75);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
        << label->text().toStdString();
  }
  EXPECT_GE(w.findChild<QLabel*>("sbMainPanel0")->width(), 300);
}

namespace {

// A dictionary file in the current folder, which the program takes before the one beside it.
class CurrentFolder {
 public:
  explicit CurrentFolder(const QString& path) : old_(QDir::currentPath()) { QDir::setCurrent(path); }
  ~CurrentFolder() { QDir::setCurrent(old_); }

 private:
  QString old_;
};

std::string foreignOnlyDictionary() {
  vx::i18n::MLDDocument doc;
  doc.Languages.resize(2);
  doc.Languages[0].CodePage = 1252;
  doc.Languages[1].PrimaryId = 25;  // Russian, in a code page this system does not use
  doc.Languages[1].DefaultSubId = 1;
  doc.Languages[1].CodePage = 1251;
  return vx::i18n::writeMLD(doc, {});
}

}  // namespace

// A dictionary that cannot be used is said once, with its path and the reason, and the window
// starts in its design language.
TEST(CirculationWindowDictionary, AnUnusableDictionaryIsToldOnceAndTheWindowStartsInEnglish) {
  const struct {
    std::string bytes;
    const char* reason;
  } kCases[] = {
      {"not a dictionary at all, but long enough to hold a header", "The stream is not a valid MLD stream"},
      {std::string("MLD\x03\x01\x01\x00\x00", 8), "Stream read error"},
      {foreignOnlyDictionary(), "System does not support any language of the dicitonary!"},
  };
  for (const auto& c : kCases) {
    vxtest::TempDir dir;
    ScriptedUserInterface ui;
    help::setApplicationHelpFile("sys_down.hlp");
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                                reg::Value::sz("1")));
    vxtest::writeAll(dir.file("vxdown.mld"), c.bytes);
    CurrentFolder here(QString::fromStdString(dir.path()));
    TFVXSysDn w;
    EXPECT_FALSE(w.IvBinaryDictionary1()->Opened());
    EXPECT_EQ(w.findChild<QMenu*>("MnuFile")->title(), "&File");
    int told = 0;
    for (const auto& box : ui.boxes()) {
      if (!box.text.contains(QString::fromStdString(dir.file("vxdown.mld")))) continue;
      ++told;
      EXPECT_TRUE(box.text.contains(QString::fromUtf8(c.reason))) << box.text.toStdString();
      EXPECT_TRUE(box.text.contains("cannot be used")) << box.text.toStdString();
      EXPECT_EQ(box.icon, MsgIcon::Warning);
    }
    EXPECT_EQ(told, 1) << c.reason;
  }
}
