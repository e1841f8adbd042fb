// What Qt draws itself in the circulation window's language: the exit question's buttons, the
// workfile dialog (its labels, buttons, column heads and dates), the entry fields' right-click
// menu and the help window's title, also after a change of language. With VX_SCREENSHOT_DIR
// set, the exit question, the workfile dialog and the field menu are grabbed there as
// i18n-exit-<code>.png, i18n-workfile-<code>.png and i18n-field-menu-<code>.png.
#include "app/FVXSysDn.h"
#include "app/VXMemo.h"
#include "i18n/Dictionary.h"
#include "platform/HelpFiles.h"
#include "platform/ui/QtUserInterface.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>

using namespace vx;

namespace {

struct Expected {
  const char* stored;  // DefaultLanguage
  const char* code;
  const char* yes;
  const char* no;
  const char* lookIn;
  const char* fileName;
  const char* filesOfType;
  const char* open;
  const char* cancel;
  const char* heads[4];
  const char* size;  // of a file of 1536 bytes
  const char* date;  // 5 March 2024, 14:07
  const char* fieldMenu[7];
  const char* helpTitle;  // how the help window's title begins
};

// Norwegian Bokmål has no catalogue of Qt's: everything comes from the dictionary. Swedish has
// Qt's older catalogue, which lacks the buttons of message boxes and "Look in:". Danish is
// nearly all Qt's. English is Qt's own text, with the user's English (en_US here).
const Expected kLanguages[] = {
    {"1", "NOR", "&Ja", "&Nei", "Søk i:", "Fil&navn:", "Filtype:", "&Åpne", "Avbryt",
     {"Navn", "Størrelse", "Type", "Endret"}, "1,50 KiB", "05.03.2024 14:07",
     {"&Angre", "&Gjør om", "Klipp &ut", "&Kopier", "&Lim inn", "Slett", "Merk alt"}, "Hjelp - "},
    {"2", "SWE", "&Ja", "&Nej", "Leta i:", "Fil&namn:", "Filer av typen:", "&Öppna", "Avbryt",
     {"Namn", "Storlek", "Typ", "Ändringsdatum"}, "1,50 KiB", "2024-03-05 14:07",
     {"&Ångra", "&Gör om", "Klipp &ut", "&Kopiera", "Klistra &in", "Ta bort", "Markera alla"}, "Hjälp - "},
    {"3", "DAN", "&Ja", "&Nej", "Kig i:", "&Filnavn:", "Filer af type:", "&Åbn", "Annuller",
     {"Navn", "Størrelse", "Type", "Ændringsdato"}, "1,50 KiB", "05.03.2024 14.07",
     {"&Fortryd", "&Omgør", "K&lip", "&Kopiér", "&Sæt ind", "Slet", "Markér alt"}, "Hjælp - "},
    {"4", "ENG", "&Yes", "&No", "Look in:", "File &name:", "Files of type:", "&Open", "Cancel",
     {"Name", "Size", "Type", "Date Modified"}, "1.50 KiB", "3/5/24 2:07 PM",
     {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"}, "Help - "},
};

void PrintTo(const Expected& e, std::ostream* os) { *os << e.code; }

std::string programKey(const char* section) {
  return "Software\\Vellumdex\\" +
         QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString() + "\\" + section;
}

// Runs `act` on the modal window once `ready` says it is ready, from inside its event loop;
// fails the test when no such window comes within ten seconds.
void onModal(std::function<bool(QWidget*)> ready, std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(poll, &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool timedOut = clock->elapsed() > 10000;
    if (!timedOut && (!modal || !ready(modal))) return;
    poll->stop();
    poll->deleteLater();
    delete clock;
    if (timedOut) {
      ADD_FAILURE() << "no modal window came";
      if (modal) modal->close();
      return;
    }
    act(modal);
  });
  poll->start(10);
}

QString screenshotPath(const char* what, const char* code) {
  const QString out = QString::fromLocal8Bit(qgetenv("VX_SCREENSHOT_DIR"));
  if (out.isEmpty()) return QString();
  QDir().mkpath(out);
  return out + "/i18n-" + what + "-" + code + ".png";
}

// The texts of a menu's commands, without their shortcuts.
QStringList commandTexts(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) texts << a->text().section('\t', 0, 0);
  return texts;
}

QStringList strings(const char* const (&texts)[7]) {
  QStringList out;
  for (const char* t : texts) out << QString::fromUtf8(t);
  return out;
}

class CirculationWindowToolkit : public ::testing::TestWithParam<Expected> {
 protected:
  void SetUp() override {
    help::setApplicationHelpFile("sys_down.hlp");
    QFile file(QString::fromStdString(workfile));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // 1536 bytes of loan lines.
    const QByteArray line = "1001,03010004700\r\n";
    QByteArray contents;
    while (contents.size() + line.size() <= 1536) contents += line;
    contents += QByteArray(1536 - contents.size(), ' ');
    ASSERT_EQ(file.write(contents), 1536);
    file.close();
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                                reg::Value::sz(GetParam().stored)));
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, programKey("General"), "FileLocation",
                                reg::Value::sz(workfile)));
  }
  // The real windows for the duration of a test step; the scripted ones answer the rest.
  void useRealWindows() { setUserInterface(&real); }
  void TearDown() override { setUserInterface(&ui); }

  // The user's English is American whatever the machine says, so that English is one thing.
  vxtest::ScopedEnv english{"LC_ALL", "en_US.UTF-8"};
  vxtest::TempDir dir;
  ScriptedUserInterface ui;
  QtUserInterface real;
  std::string workfile = dir.file("desk.csv");
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Languages, CirculationWindowToolkit, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Expected>& p) { return std::string(p.param.code); });

TEST_P(CirculationWindowToolkit, TheExitQuestionAndTheFieldMenuSpeakTheWindowsLanguage) {
  const Expected& e = GetParam();
  TFVXSysDn w;
  ASSERT_TRUE(w.fileOpened());
  std::unique_ptr<QMenu> menu(w.eBorrower()->createStandardContextMenu());
  EXPECT_EQ(commandTexts(menu.get()), strings(e.fieldMenu));
  if (const QString shot = screenshotPath("field-menu", e.code); !shot.isEmpty()) {
    menu->adjustSize();
    EXPECT_TRUE(menu->grab().save(shot));
  }

  useRealWindows();
  QStringList buttons;
  onModal([](QWidget* m) { return qobject_cast<QMessageBox*>(m) != nullptr; },
          [&](QWidget* m) {
            auto* box = static_cast<QMessageBox*>(m);
            buttons << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
            if (const QString shot = screenshotPath("exit", e.code); !shot.isEmpty()) {
              EXPECT_TRUE(box->grab().save(shot));
            }
            box->button(QMessageBox::No)->click();
          });
  w.findChild<QAction*>("mnuClose")->trigger();
  EXPECT_EQ(buttons, QStringList({QString::fromUtf8(e.yes), QString::fromUtf8(e.no)}));
  EXPECT_TRUE(w.isVisible()) << "No keeps the window open";
}

TEST_P(CirculationWindowToolkit, TheWorkfileDialogSpeaksTheWindowsLanguageAndWritesItsFormats) {
  const Expected& e = GetParam();
  TFVXSysDn w;
  ASSERT_TRUE(w.fileOpened());
  // The window has checked the workfile; it was last written on 5 March 2024 at 14:07.
  QFile file(QString::fromStdString(workfile));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7)), QFileDevice::FileModificationTime));
  file.close();
  QCoreApplication::processEvents();  // as the window has long done when the librarian comes
  useRealWindows();
  QStringList labels, heads, row;
  bool dateShowsWhole = false;
  const QString workfileName = QFileInfo(QString::fromStdString(workfile)).fileName();
  // The row of the workfile, once the dialog's list has read the folder.
  auto workfileRow = [workfileName](QFileDialog* d) {
    auto* view = d->findChild<QTreeView*>("treeView");
    if (!view || !view->model()) return QModelIndex();
    const QAbstractItemModel* m = view->model();
    for (int r = 0; r < m->rowCount(view->rootIndex()); ++r) {
      const QModelIndex i = m->index(r, 0, view->rootIndex());
      if (i.data().toString() == workfileName && !i.siblingAtColumn(3).data().toString().isEmpty())
        return i;
    }
    return QModelIndex();
  };
  onModal(
      [&](QWidget* m) {
        auto* d = qobject_cast<QFileDialog*>(m);
        return d && workfileRow(d).isValid();
      },
      [&](QWidget* m) {
        auto* d = static_cast<QFileDialog*>(m);
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
          labels << d->findChild<QLabel*>(name)->text();
        auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
        labels << box->button(QDialogButtonBox::Open)->text()
               << box->button(QDialogButtonBox::Cancel)->text();
        auto* view = d->findChild<QTreeView*>("treeView");
        for (int c = 0; c < 4; ++c) heads << view->model()->headerData(c, Qt::Horizontal).toString();
        const QModelIndex entry = workfileRow(d);
        row << entry.siblingAtColumn(1).data().toString() << entry.siblingAtColumn(3).data().toString();
        const int dateWidth = static_cast<QAbstractItemView*>(view)->sizeHintForColumn(3);
        dateShowsWhole = view->header()->sectionSize(3) >= dateWidth;
        d->setViewMode(QFileDialog::Detail);
        d->resize(640, 420);
        if (const QString shot = screenshotPath("workfile", e.code); !shot.isEmpty()) {
          EXPECT_TRUE(d->grab().save(shot));
        }
        box->button(QDialogButtonBox::Open)->click();
      });
  w.findChild<QAction*>("mnuOpen")->trigger();
  EXPECT_TRUE(w.fileOpened()) << "the workfile chosen in the dialog is taken";
  EXPECT_EQ(w.activeFileName(), QString::fromStdString(workfile));
  EXPECT_EQ(labels, QStringList({QString::fromUtf8(e.lookIn), QString::fromUtf8(e.fileName),
                                 QString::fromUtf8(e.filesOfType), QString::fromUtf8(e.open),
                                 QString::fromUtf8(e.cancel)}));
  QStringList expectedHeads;
  for (const char* h : e.heads) expectedHeads << QString::fromUtf8(h);
  EXPECT_EQ(heads, expectedHeads);
  EXPECT_EQ(row, QStringList({QString::fromUtf8(e.size), QString::fromUtf8(e.date)}));
  EXPECT_TRUE(dateShowsWhole);
}

// A change of language while the program runs: the help window that stays open takes the new
// title, and what Qt draws next is in the new language.
TEST(CirculationWindowToolkitSwitch, AChangeOfLanguageReachesWhatQtDraws) {
  vxtest::TempDir dir;
  ScriptedUserInterface ui;
  QtUserInterface real;
  help::setApplicationHelpFile("sys_down.hlp");
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::sz("1")));
  TFVXSysDn w;
  real.showHelp(&w, help::applicationHelpFile(), TFVXSysDn::kHelpContextTopics);
  QWidget* help = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "HelpWindow" && top->isVisible()) help = top;
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->windowTitle().startsWith("Hjelp - ")) << help->windowTitle().toStdString();

  w.IvBinaryDictionary1()->SetLanguage(2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(help->windowTitle().startsWith(QString::fromUtf8("Hjälp - "))) << help->windowTitle().toStdString();
  std::unique_ptr<QMenu> menu(w.mItems()->createStandardContextMenu());
  EXPECT_TRUE(commandTexts(menu.get()).contains(QString::fromUtf8("Markera alla")));
  EXPECT_EQ(QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes).button(QMessageBox::Yes)->text(), "&Ja");

  w.IvBinaryDictionary1()->SetLanguage(4);
  QCoreApplication::processEvents();
  EXPECT_TRUE(help->windowTitle().startsWith("Help - ")) << help->windowTitle().toStdString();
  EXPECT_EQ(QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes).button(QMessageBox::Yes)->text(), "&Yes");
  help->close();
}
