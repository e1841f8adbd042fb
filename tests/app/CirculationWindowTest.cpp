// The circulation window, driven like a librarian drives it: simulated keys on the real
// window (offscreen), with its message boxes and file dialog answered by a script.
#include "app/FVXSysDn.h"
#include "app/VXMemo.h"
#include "desklist/DeskList.h"
#include "platform/FileSystem.h"
#include "platform/HelpFiles.h"
#include "platform/ui/QtUserInterface.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "vxcomp/about/ui/VXAboutBox.h"
#include "vxcomp/about/ui/VXAboutBoxDlg.h"
#include "vxcomp/animated/ui/VXAnimate.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

using namespace vx;
using vxtest::readAll;
using vxtest::TempDir;
using vxtest::writeAll;

namespace {

// The settings live under the running program's name: this test executable's.
std::string programKey(const char* section) {
  return "Software\\Vellumdex\\" +
         QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString() + "\\" + section;
}

class CirculationWindow : public ::testing::Test {
 protected:
  void SetUp() override { help::setApplicationHelpFile("sys_down.hlp"); }

  void storeLocation(const std::string& path) {
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, programKey("General"), "FileLocation", reg::Value::sz(path)));
  }
  std::optional<std::string> storedLocation() {
    auto v = reg::readValue(reg::Hive::CurrentUser, programKey("General"), "FileLocation");
    if (!v) return std::nullopt;
    return v->text;
  }

  // Starts the program's window and gives it the keyboard, as the desktop would.
  std::unique_ptr<TFVXSysDn> start() {
    auto w = std::make_unique<TFVXSysDn>();
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
    return w;
  }
  std::unique_ptr<TFVXSysDn> startWithWorkfile(const std::string& contents = "") {
    writeAll(workfile, contents);
    storeLocation(workfile);
    auto w = start();
    EXPECT_TRUE(w->fileOpened());
    return w;
  }

  // Types the barcode as a scanner does, character by character (also those without a key of
  // their own), and Enter.
  void scan(QLineEdit* field, const QString& barcode) {
    field->selectAll();
    for (QChar c : barcode) QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(field, Qt::Key_Return);
  }

  static QColor colourOf(QLineEdit* e) { return e->palette().color(QPalette::Base); }

  TempDir dir;
  // The user's desk list folder is the test's own: a list taken elsewhere never shows here.
  vxtest::ScopedEnv dataHome{"XDG_DATA_HOME", dir.file("data")};
  ScriptedUserInterface ui;
  std::string workfile = dir.file("desk.csv");
};

}  // namespace

TEST_F(CirculationWindow, StartsWithoutAWorkfileWhenNoneIsStored) {
  auto w = start();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, "You must assign a file before you try to save any information!");
  EXPECT_EQ(ui.boxes()[0].icon, MsgIcon::None);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Vellumdex System Down");
  EXPECT_FALSE(w->fileOpened());
  EXPECT_TRUE(w->activeFileName().isEmpty());
  EXPECT_TRUE(w->eBorrower()->isReadOnly());
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_FALSE(w->btDone()->isEnabled());
  EXPECT_EQ(colourOf(w->eBorrower()), TFVXSysDn::buttonFaceColour());
  EXPECT_EQ(w->statusPanelText(0), "No work file assigned");

  // Typing and Enter change nothing, and the pictures stay hidden.
  scan(w->eBorrower(), "1001");
  EXPECT_EQ(w->eBorrower()->text(), "");
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_FALSE(w->BCBmp1()->isVisible());

  // F2 makes the borrower field writable, but Enter still does nothing without a file.
  QTest::keyClick(w.get(), Qt::Key_F2);
  EXPECT_FALSE(w->eBorrower()->isReadOnly());
  EXPECT_EQ(colourOf(w->eBorrower()), TFVXSysDn::windowColour());
  scan(w->eBorrower(), "1001");
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_FALSE(w->BCBmp1()->isVisible());
}

TEST_F(CirculationWindow, OffersToCreateAMissingStoredWorkfile) {
  storeLocation(workfile);
  ui.answerNextBox(MsgResult::Yes);
  auto w = start();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, QString::fromStdString("Unable to find " + workfile +
                                                       ". Would you like to create it now?"));
  EXPECT_EQ(ui.boxes()[0].icon, MsgIcon::Information);
  EXPECT_EQ(ui.boxes()[0].buttons, MsgButtons::YesNo);
  EXPECT_TRUE(fs::fileExists(workfile));
  EXPECT_EQ(readAll(workfile), "");
  EXPECT_TRUE(w->fileOpened());
  EXPECT_EQ(w->activeFileName().toStdString(), workfile);
  EXPECT_EQ(w->statusPanelText(0).toStdString(), workfile);
  EXPECT_EQ(w->statusPanelText(1), "");  // counts appear with the first refresh
  EXPECT_FALSE(w->eBorrower()->isReadOnly());
  EXPECT_TRUE(w->btDone()->isEnabled());
}

TEST_F(CirculationWindow, AnsweringNoOrAnInvalidFileLeavesNoWorkfile) {
  storeLocation(workfile);
  ui.answerNextBox(MsgResult::No);
  {
    auto w = start();
    EXPECT_FALSE(w->fileOpened());
    EXPECT_FALSE(fs::fileExists(workfile));
    EXPECT_EQ(w->statusPanelText(0), "No work file assigned");
  }
  ui.clear();
  writeAll(workfile, "not a workfile\r\n");
  auto w = start();
  EXPECT_TRUE(ui.boxes().empty());  // an existing file that fails is not asked about
  EXPECT_FALSE(w->fileOpened());
  EXPECT_TRUE(w->activeFileName().isEmpty());
}

TEST_F(CirculationWindow, RecordsABorrowersItemsLineByLine) {
  auto w = startWithWorkfile("1002,7777\r\n1001,3003\r\n");
  EXPECT_TRUE(ui.boxes().empty());
  EXPECT_EQ(w->fileLength(), 2);
  ASSERT_TRUE(w->eBorrower()->hasFocus());
  EXPECT_TRUE(w->BCBmp1()->isVisible());
  EXPECT_TRUE(w->BCBmp1()->play());
  EXPECT_EQ(colourOf(w->eBorrower()), QColor(Qt::white));

  // An empty or blank borrower: Enter changes nothing.
  scan(w->eBorrower(), "   ");
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_TRUE(w->eBorrower()->hasFocus());

  scan(w->eBorrower(), " 1001 ");
  EXPECT_TRUE(w->eItem()->hasFocus());
  EXPECT_TRUE(w->eBorrower()->isReadOnly());
  EXPECT_FALSE(w->eItem()->isReadOnly());
  EXPECT_EQ(colourOf(w->eBorrower()), TFVXSysDn::buttonFaceColour());
  EXPECT_EQ(colourOf(w->eItem()), QColor(Qt::white));
  EXPECT_FALSE(w->BCBmp1()->isVisible());
  EXPECT_TRUE(w->BCBmp2()->isVisible());
  // Leaving the borrower field listed the borrower's items.
  EXPECT_EQ(w->mItems()->lines(), QStringList{"3003"});
  EXPECT_EQ(w->statusPanelText(1), "Total: 2");
  EXPECT_EQ(w->statusPanelText(2), "Current: 1");

  scan(w->eItem(), "2002 ");
  EXPECT_EQ(readAll(workfile), "1002,7777\r\n1001,3003\r\n1001,2002\r\n");
  EXPECT_EQ(w->eItem()->text(), "2002 ");
  EXPECT_EQ(w->eItem()->selectedText(), "2002 ");
  EXPECT_EQ(w->statusPanelText(1), "Total: 3");
  EXPECT_EQ(w->statusPanelText(2), "Current: 2");

  // The same item again is recorded again; the next scan replaces the selected text.
  QTest::keyClick(w->eItem(), Qt::Key_Return);
  QTest::keyClicks(w->eItem(), "2004");
  QTest::keyClick(w->eItem(), Qt::Key_Enter);  // the keypad's Enter works too
  EXPECT_EQ(readAll(workfile), "1002,7777\r\n1001,3003\r\n1001,2002\r\n1001,2002\r\n1001,2004\r\n");
  EXPECT_EQ(w->mItems()->lines(), (QStringList{"3003", "2002", "2002", "2004"}));
  EXPECT_EQ(w->statusPanelText(2), "Current: 4");
  EXPECT_EQ(w->fileLength(), 5);
  EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(CirculationWindow, DoneEndsTheBorrowerAndLeavingFieldsSetsTheirColours) {
  auto w = startWithWorkfile();
  scan(w->eBorrower(), "1001");
  scan(w->eItem(), "2002");

  // Clicking into the item list leaves the item field: button-face colour, still writable.
  w->mItems()->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(colourOf(w->eItem()), TFVXSysDn::buttonFaceColour());
  EXPECT_FALSE(w->eItem()->isReadOnly());
  EXPECT_FALSE(w->BCBmp2()->isVisible());

  QTest::mouseClick(w->btDone(), Qt::LeftButton);
  EXPECT_TRUE(w->eBorrower()->hasFocus());
  EXPECT_FALSE(w->eBorrower()->isReadOnly());
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_EQ(w->eItem()->text(), "");
  EXPECT_EQ(w->eBorrower()->text(), "1001");
  EXPECT_EQ(w->eBorrower()->selectedText(), "1001");

  // F2 from the item field does the same.
  scan(w->eBorrower(), "1002");
  ASSERT_TRUE(w->eItem()->hasFocus());
  QTest::keyClick(w->eItem(), Qt::Key_F2);
  EXPECT_TRUE(w->eBorrower()->hasFocus());
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_FALSE(w->BCBmp2()->isVisible());

  // Leaving the writable borrower field refreshes the list for its text.
  w->eBorrower()->setText("1001");
  w->mItems()->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(w->mItems()->lines(), QStringList{"2002"});
  EXPECT_EQ(w->statusPanelText(2), "Current: 1");
}

TEST_F(CirculationWindow, AWriteThatKeepsFailingIsReportedAndTheScanKept) {
  auto w = startWithWorkfile();
  scan(w->eBorrower(), "1001");
  ASSERT_TRUE(fs::setReadOnly(workfile, true));
  scan(w->eItem(), "2002");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text.toStdString(),
            "The workfile " + workfile + " is read-only, so this loan was not recorded.\n\nMake "
            "the file writable, or choose another workfile with Workfile ..., then press Enter to "
            "record the item again.");
  EXPECT_EQ(readAll(workfile), "");
  EXPECT_EQ(w->eItem()->selectedText(), "2002");
  // Once the file can be written again, Enter records the same scan.
  ASSERT_TRUE(fs::setReadOnly(workfile, false));
  QTest::keyClick(w->eItem(), Qt::Key_Return);
  EXPECT_EQ(readAll(workfile), "1001,2002\r\n");
}

// A 26 that stands before the last 128 bytes ends the file for every reader: no line can be
// added after it. Here it begins line 3.
const std::string kDamagedWorkfile = "1001,1\r\n1002,2\r\n\x1a" + [] {
  std::string rest;
  for (int i = 0; i < 20; ++i) rest += "1003,3\r\n";
  return rest;
}();

std::string damagedMessage(const std::string& path) {
  return "The workfile " + path + " is damaged at line 3: an end-of-file mark stands there, so no "
         "more loans can be added to it.\n\nThe lines before line 3 are safe. Import them with "
         "Import ... (F5), then choose a new workfile with Workfile ... and go on scanning.";
}

TEST_F(CirculationWindow, AWorkfileThatCannotTakeMoreLinesSaysWhyAndWhatToDo) {
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> spoil;
    std::function<std::string(const std::string& path)> message;
  };
  const Case cases[] = {
      {"damaged", [](const std::string& p) { writeAll(p, kDamagedWorkfile); }, damagedMessage},
      {"folder gone",
       [](const std::string& p) { ASSERT_TRUE(QDir(QFileInfo(QString::fromStdString(p)).path()).removeRecursively()); },
       [](const std::string& p) {
         return "The folder of the workfile " + p + " cannot be found, so this loan was not "
                "recorded.\n\nReconnect the drive that holds it, or choose another workfile "
                "with Workfile ..., then press Enter to record the item again.";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui.clear();
    const std::string folder = dir.file(c.name);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string path = folder + "/desk.csv";
    writeAll(path, "");
    storeLocation(path);
    auto w = start();
    ASSERT_TRUE(w->fileOpened());
    scan(w->eBorrower(), "1001");
    c.spoil(path);
    scan(w->eItem(), "2002");
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text.toStdString(), c.message(path));
    EXPECT_EQ(ui.boxes()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(w->eItem()->selectedText(), "2002");
  }

  // The check that a stored or chosen workfile gets says the same about a damaged one.
  ui.clear();
  writeAll(workfile, kDamagedWorkfile);
  storeLocation(workfile);
  auto w = start();
  EXPECT_FALSE(w->fileOpened());
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text.toStdString(), damagedMessage(workfile));
}

TEST_F(CirculationWindow, AFolderAtTheWorkfilePathIsCalledAFolder) {
  const std::string folder = dir.file("desk-folder");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
  const std::string message =
      folder + " is a folder, not a workfile.\n\nChoose a workfile with Workfile ... on the File menu.";
  // Stored: reported as a folder, and not offered for creation.
  storeLocation(folder);
  auto w = start();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text.toStdString(), message);
  EXPECT_EQ(ui.boxes()[0].buttons, MsgButtons::Ok);
  EXPECT_FALSE(w->fileOpened());
  // Chosen: the same.
  ui.clear();
  ui.answerNextOpenFile(QString::fromStdString(folder));
  w->mnuOpenClick(nullptr);
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text.toStdString(), message);
  EXPECT_FALSE(w->fileOpened());
  EXPECT_TRUE(fs::folderExists(folder));
}

// The new messages as the librarian sees them, in English and Norwegian: the real message
// boxes, grabbed into VX_SCREENSHOT_DIR when it is set.
TEST_F(CirculationWindow, TheWorkfileMessagesReadInTheLanguageOfTheWindow) {
  struct Language {
    const char* stored;
    const char* code;
    const char* damagedStart;
  };
  const Language languages[] = {
      {"4", "eng", "The workfile %1 is damaged at line 3"},
      {"1", "nor", "Arbeidsfilen %1 er skadet i linje 3"},
  };
  const QString out = QString::fromLocal8Bit(qgetenv("VX_SCREENSHOT_DIR"));
  if (!out.isEmpty()) QDir().mkpath(out);
  // The real message boxes, with the file dialog answered.
  struct RealBoxes : QtUserInterface {
    QString chosen;
    std::optional<QString> openFile(QWidget*, const OpenFileRequest&) override { return chosen; }
  } real;
  for (const Language& l : languages) {
    SCOPED_TRACE(l.code);
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language",
                                "DefaultLanguage", reg::Value::sz(l.stored)));
    const std::string folder = dir.file(std::string("desk-") + l.code);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string path = folder + "/desk.csv";
    writeAll(path, "");
    storeLocation(path);
    auto w = start();
    ASSERT_TRUE(w->fileOpened());
    scan(w->eBorrower(), "1001");
    writeAll(path, kDamagedWorkfile);
    setUserInterface(&real);
    QStringList shown;
    auto grabBox = [&](const QString& name) {
      QTimer::singleShot(0, [&, name] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown << box->text();
        if (!out.isEmpty()) {
          EXPECT_TRUE(box->grab().save(out + "/desk-msg-" + name + ".png"));
        }
        box->accept();
      });
    };
    grabBox(QString(l.code) + "-damaged");
    scan(w->eItem(), "2002");
    writeAll(path, "");
    ASSERT_TRUE(fs::setReadOnly(path, true));
    grabBox(QString(l.code) + "-read-only");
    QTest::keyClick(w->eItem(), Qt::Key_Return);
    // A folder chosen as the workfile.
    real.chosen = QString::fromStdString(folder);
    grabBox(QString(l.code) + "-folder");
    w->mnuOpenClick(nullptr);
    setUserInterface(&ui);
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0].startsWith(QString::fromUtf8(l.damagedStart).arg(QString::fromStdString(path))))
        << shown[0].toStdString();
  }
}

TEST_F(CirculationWindow, ARefreshThatCannotReadTheFileSaysSo) {
  auto w = startWithWorkfile("1001,2002\r\n");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t pid = fork();
  if (pid == 0) {  // another program holding the workfile open for writing
    TextFile f(workfile);
    f.append();
    char c = 1;
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  QTest::keyClick(w.get(), Qt::Key_F3);
  (void)!write(release[1], &c, 1);
  waitpid(pid, nullptr, 0);
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, "Unable to complete refresh due to File Read Error!");
  EXPECT_EQ(w->statusPanelText(1), "Total: 0");
}

TEST_F(CirculationWindow, TheListKeepsTheNewestItemInView) {
  std::string contents;
  for (int i = 0; i < 60; ++i) contents += "1001," + std::to_string(3000 + i) + "\r\n";
  auto w = startWithWorkfile(contents);
  QScrollBar* bar = w->mItems()->verticalScrollBar();
  auto newestInView = [&] {
    QCoreApplication::processEvents();
    return bar->maximum() > 0 && bar->value() == bar->maximum();
  };
  scan(w->eBorrower(), "1001");  // leaving the borrower field lists the items
  EXPECT_TRUE(newestInView()) << bar->value() << " of " << bar->maximum();
  scan(w->eItem(), "4711");
  EXPECT_EQ(w->mItems()->lines().last(), "4711");
  EXPECT_TRUE(newestInView()) << bar->value() << " of " << bar->maximum();
  bar->setValue(0);
  QTest::keyClick(w.get(), Qt::Key_F3);
  EXPECT_TRUE(newestInView()) << bar->value() << " of " << bar->maximum();
}

// The workfile holds code page 1252, as the other programs of the suite write and read it.
TEST_F(CirculationWindow, TheWorkfileIsWrittenAndListedInCodePage1252) {
  auto w = startWithWorkfile("1001,B\xF8k\r\n");
  scan(w->eBorrower(), "1001");
  EXPECT_EQ(w->mItems()->lines(), QStringList{"Bøk"});
  scan(w->eItem(), "Bøk2");
  scan(w->eItem(), "€5");
  EXPECT_EQ(readAll(workfile), "1001,B\xF8k\r\n1001,B\xF8k2\r\n1001,\x80\x35\r\n");
  EXPECT_EQ(w->mItems()->lines(), (QStringList{"Bøk", "Bøk2", "€5"}));
  EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(CirculationWindow, ACharacterTheWorkfileCannotHoldIsRefused) {
  const QString refused = "The character \"%1\" cannot be stored in the workfile. Nothing was "
                          "recorded; please check the barcode.";
  auto w = startWithWorkfile("1001,2002\r\n");
  // In the borrower field: Enter stays there.
  scan(w->eBorrower(), "10Ł1");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, refused.arg("Ł"));
  EXPECT_TRUE(w->eBorrower()->hasFocus());
  EXPECT_TRUE(w->eItem()->isReadOnly());
  // In the item field: nothing is written, the scan stays selected.
  scan(w->eBorrower(), "1001");
  for (const QString item : {"Ж20", "2Łx"}) {
    ui.clear();
    scan(w->eItem(), item);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text, refused.arg(item.contains("Ж") ? "Ж" : "Ł"));
    EXPECT_EQ(w->eItem()->selectedText(), item);
  }
  EXPECT_EQ(readAll(workfile), "1001,2002\r\n");
  EXPECT_EQ(w->mItems()->lines(), QStringList{"2002"});
}

// A line of any length lists at once: an item too long to read is shown shortened, with its
// length. The bound is far above what it takes (well under a second) and far below what
// laying out the whole line took.
TEST_F(CirculationWindow, AnItemOfTenMegabytesIsListedShortenedAndQuickly) {
  const std::string huge(10 * 1024 * 1024, 'x');
  auto w = startWithWorkfile("1001,2002\r\n1001," + huge + "\r\n1002,1\r\n");
  QElapsedTimer timer;
  timer.start();
  scan(w->eBorrower(), "1001");
  scan(w->eItem(), "2003");
  QTest::keyClick(w.get(), Qt::Key_F3);
  QCoreApplication::processEvents();
  EXPECT_LT(timer.elapsed(), 8000);
  EXPECT_EQ(w->mItems()->lines(),
            (QStringList{"2002", QString(100, 'x') + "… (10485760 characters)", "2003"}));
  EXPECT_EQ(w->statusPanelText(2), "Current: 3");
}

TEST_F(CirculationWindow, ChoosingTheWorkfile) {
  auto w = startWithWorkfile("1001,2002\r\n");
  const std::string other = dir.file("other.csv");

  // A new name: created, checked, remembered and counted.
  ui.answerNextOpenFile(QString::fromStdString("  " + other + " "));
  w->mnuOpenClick(nullptr);
  ASSERT_EQ(ui.openFileRequests().size(), 1u);
  const auto& request = ui.openFileRequests()[0];
  EXPECT_EQ(request.title, "Select a workfile");
  EXPECT_EQ(request.filters, (QStringList{"Comma Separated File (CSV)|*.CSV", "All files|*.*"}));
  EXPECT_TRUE(request.hideReadOnly && request.pathMustExist && request.createPrompt &&
              request.noReadOnlyReturn);
  EXPECT_TRUE(fs::fileExists(other));
  EXPECT_TRUE(w->fileOpened());
  EXPECT_EQ(w->activeFileName().toStdString(), other);
  EXPECT_EQ(w->statusPanelText(0).toStdString(), other);
  EXPECT_EQ(w->statusPanelText(1), "Total: 0");
  EXPECT_EQ(storedLocation(), other);

  // The same file again: entry enabled, nothing written or refreshed.
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, programKey("General"), "FileLocation", reg::Value::sz("marker")));
  writeAll(other, "1001,1\r\n");
  ui.answerNextOpenFile(QString::fromStdString(other));
  w->mnuOpenClick(nullptr);
  EXPECT_TRUE(w->fileOpened());
  EXPECT_EQ(storedLocation(), "marker");
  EXPECT_EQ(w->statusPanelText(1), "Total: 0");
  EXPECT_FALSE(w->eBorrower()->isReadOnly());

  // Cancelled: no workfile, but the path is kept for the import.
  ui.answerNextOpenFile(std::nullopt);
  w->mnuOpenClick(nullptr);
  EXPECT_FALSE(w->fileOpened());
  EXPECT_EQ(w->activeFileName().toStdString(), other);
  EXPECT_EQ(w->statusPanelText(0), "No work file assigned");
  EXPECT_TRUE(w->eBorrower()->isReadOnly());

  // A file that fails the check: no workfile either.
  const std::string bad = dir.file("bad.csv");
  writeAll(bad, "no comma here\r\n");
  ui.answerNextOpenFile(QString::fromStdString(bad));
  w->mnuOpenClick(nullptr);
  EXPECT_FALSE(w->fileOpened());
  EXPECT_EQ(w->activeFileName().toStdString(), other);

  // A workfile the registry cannot remember: used all the same, and the message says why.
  const std::string third = dir.file("third.csv");
  writeAll(third, "");
  const std::string hive = dir.registryDir() + "/HKEY_CURRENT_USER.reg";
  std::filesystem::permissions(hive, std::filesystem::perms::owner_read);
  const auto boxesBefore = ui.boxes().size();
  ui.answerNextOpenFile(QString::fromStdString(third));
  w->mnuOpenClick(nullptr);
  std::filesystem::permissions(hive, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_TRUE(w->fileOpened());
  EXPECT_EQ(w->activeFileName().toStdString(), third);
  ASSERT_EQ(ui.boxes().size(), boxesBefore + 1);
  EXPECT_EQ(ui.boxes().back().text.toStdString(),
            "The workfile " + third + " is in use, but it could not be remembered for the next start: " + hive +
                " is read-only.\n\nScanning goes on as usual; at the next start, choose the workfile again with "
                "Workfile ...");
  EXPECT_EQ(storedLocation(), "marker");
}

TEST_F(CirculationWindow, AfterChoosingAWorkfileTheNextScanIsABorrowers) {
  auto w = startWithWorkfile("1001,2002\r\n");
  const std::string other = dir.file("other.csv");
  writeAll(other, "");
  // From the item field (read-only once the workfile is chosen), a new file or the same one.
  for (const std::string& chosen : {other, other}) {
    SCOPED_TRACE(chosen);
    QTest::keyClick(w.get(), Qt::Key_F2);
    scan(w->eBorrower(), "1001");
    ASSERT_TRUE(w->eItem()->hasFocus());
    ui.answerNextOpenFile(QString::fromStdString(chosen));
    w->mnuOpenClick(nullptr);
    ASSERT_TRUE(w->fileOpened());
    EXPECT_TRUE(w->eBorrower()->hasFocus());
    EXPECT_TRUE(w->BCBmp1()->isVisible());
    EXPECT_FALSE(w->BCBmp2()->isVisible());
    QTest::keyClicks(QApplication::focusWidget(), "1002");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(w->eItem()->hasFocus());
  }
}

// A menu opened from the keyboard (Alt with a menu's letter) and closed with Escape, and one
// opened with the mouse and closed by a click outside it.
TEST_F(CirculationWindow, AMenuOpenedAndClosedWithoutAChoiceLeavesTheEntryAsItWas) {
  auto w = startWithWorkfile("1001,2002\r\n");
  auto* fileMenu = w->findChild<QMenu*>("MnuFile");
  const std::function<void()> openAndClose[] = {
      [&] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return fileMenu->isVisible(); }, 2000));
        ASSERT_TRUE(QTest::qWaitForWindowActive(fileMenu));
        QTest::keyClick(fileMenu, Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // leaves the menu bar
      },
      [&] {
        fileMenu->popup(w->mapToGlobal(QPoint(0, 0)));
        ASSERT_TRUE(QTest::qWaitForWindowActive(fileMenu));
        fileMenu->hide();
      },
  };
  for (const auto& menu : openAndClose) {
    for (QLineEdit* field : {w->eBorrower(), w->eItem()}) {
      SCOPED_TRACE(field->objectName().toStdString());
      if (field == w->eItem()) scan(w->eBorrower(), "1001");
      else QTest::keyClick(w.get(), Qt::Key_F2);
      ASSERT_TRUE(field->hasFocus());
      TVXAnimated* strip = field == w->eItem() ? w->BCBmp2() : w->BCBmp1();
      const QString total = w->statusPanelText(1);
      writeAll(workfile, readAll(workfile) + "1009,9\r\n");  // a refresh would count it

      menu();
      ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
      EXPECT_TRUE(field->hasFocus());
      EXPECT_EQ(colourOf(field), QColor(Qt::white));
      EXPECT_TRUE(strip->isVisible());
      EXPECT_EQ(w->statusPanelText(1), total);
    }
  }
}

TEST_F(CirculationWindow, TheHelpWindowNamesTheProgramOnce) {
  QApplication::setApplicationDisplayName("Vellumdex System Down");
  QtUserInterface real;
  auto w = startWithWorkfile();
  real.showHelp(w.get(), "ENG/sys_down.hlp", TFVXSysDn::kHelpContextTopics);
  QWidget* help = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "HelpWindow" && top->isVisible()) help = top;
  ASSERT_NE(help, nullptr);
  // The desktop adds the program's name to a title that does not end with it.
  EXPECT_EQ(help->windowTitle(), "Help - Vellumdex System Down");
  help->close();
}

TEST_F(CirculationWindow, ExitAsksButTheCloseBoxDoesNot) {
  auto w = startWithWorkfile();
  ui.answerNextBox(MsgResult::No);
  w->findChild<QAction*>("mnuClose")->trigger();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, "Exit Vellumdex System Down?");
  EXPECT_EQ(ui.boxes()[0].icon, MsgIcon::Confirmation);
  EXPECT_TRUE(w->isVisible());

  ui.answerNextBox(MsgResult::Yes);
  w->findChild<QAction*>("mnuClose")->trigger();
  EXPECT_FALSE(w->isVisible());

  auto w2 = startWithWorkfile();
  ui.clear();
  EXPECT_TRUE(w2->close());
  EXPECT_TRUE(ui.boxes().empty());
}

// The database is likely down while this program runs: its about box shows the program only.
TEST_F(CirculationWindow, AboutShowsTheProgramWithoutTheDatabase) {
  auto w = startWithWorkfile();
  EXPECT_FALSE(w->VXAboutBox1()->CheckDBVersion());
  EXPECT_EQ(w->VXAboutBox1()->DataBaseName(), "VXDB");
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<TVXAboutBoxDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_EQ(d->label("LabelApplication")->text(), "Vellumdex System Down");
    EXPECT_FALSE(d->label("Label1")->isVisible());
    EXPECT_EQ(d->label("LblDBVersion")->text(), "");
    d->OkButton()->click();
  });
  w->findChild<QAction*>("mnuAbout")->trigger();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(CirculationWindow, HelpOpensAtItsContextsInTheLanguagesFolder) {
  auto w = startWithWorkfile();
  // No language stored: the system's default, which maps to the English folder.
  EXPECT_EQ(help::applicationHelpFile(), "ENG/sys_down.hlp");
  QTest::keyClick(w.get(), Qt::Key_F1);
  w->findChild<QAction*>("mnuHelptopics")->trigger();
  ASSERT_EQ(ui.helpShown().size(), 2u);
  EXPECT_EQ(ui.helpShown()[0].context, 1751);
  EXPECT_EQ(ui.helpShown()[1].context, 1750);
  EXPECT_EQ(ui.helpShown()[1].helpFile, "ENG/sys_down.hlp");
  // F1 on an open menu: the item under the cursor has its own context.
  auto* helpMenu = w->findChild<QMenu*>("mnuHelp");
  helpMenu->popup(w->mapToGlobal(QPoint(0, 0)));
  helpMenu->setActiveAction(w->findChild<QAction*>("mnuHelptopics"));
  QTest::keyClick(helpMenu, Qt::Key_F1);
  helpMenu->hide();
  auto* fileMenu = w->findChild<QMenu*>("MnuFile");
  fileMenu->popup(w->mapToGlobal(QPoint(0, 0)));
  fileMenu->setActiveAction(w->findChild<QAction*>("mnuImport"));
  QTest::keyClick(fileMenu, Qt::Key_F1);
  fileMenu->hide();
  ASSERT_EQ(ui.helpShown().size(), 4u);
  EXPECT_EQ(ui.helpShown()[2].context, 1750);
  EXPECT_EQ(ui.helpShown()[3].context, 1751);

  // The topics exist as pages for every language folder.
  for (const char* code : {"NOR", "SWE", "DAN", "ENG"})
    for (int context : {1750, 1751})
      EXPECT_FALSE(help::topicPath(QString(code) + "/sys_down.hlp", context, help::defaultHelpRoot()).isEmpty())
          << code << " " << context;
}

TEST_F(CirculationWindow, TheStoredLanguageChoosesTheHelpFolder) {
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::sz("2")));
  auto w = startWithWorkfile();
  EXPECT_EQ(help::applicationHelpFile(), "SWE/sys_down.hlp");

  // Stored with the wrong type: reported, and the help file stays as it was.
  help::setApplicationHelpFile("sys_down.hlp");
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                              reg::Value::fromDword(2)));
  ui.clear();
  auto w2 = start();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].icon, MsgIcon::Error);
  EXPECT_EQ(help::applicationHelpFile(), "sys_down.hlp");
}

TEST(HelpFileNames, LanguageFolderRule) {
  EXPECT_EQ(help::helpFileForLanguage("sys_down.hlp", "NOR"), "NOR/sys_down.hlp");
  EXPECT_EQ(help::helpFileForLanguage("/opt/help/ENG/sys_down.hlp", "DAN"), "/opt/help/DAN/sys_down.hlp");
  EXPECT_EQ(help::helpFileForLanguage("C:\\Help\\ENG\\sys_down.hlp", "DAN"), "C:\\Help\\DAN/sys_down.hlp");
  EXPECT_EQ(help::helpFileForLanguage("NOR/sys_down.hlp", "SWE"), "SWE/sys_down.hlp");
  EXPECT_EQ(help::helpFileForLanguage("/opt/eng/sys_down.hlp", "SWE"), "/opt/eng/SWE/sys_down.hlp");
  EXPECT_EQ(help::languageCodeForIndex(1), "NOR");
  EXPECT_EQ(help::languageCodeForIndex(2), "SWE");
  EXPECT_EQ(help::languageCodeForIndex(3), "DAN");
  for (int other : {-2, -1, 0, 4, 5}) EXPECT_EQ(help::languageCodeForIndex(other), "ENG");
}

TEST_F(CirculationWindow, StartsOverADamagedSettingsFile) {
  const std::string hive = dir.registryDir() + "/HKEY_CURRENT_USER.reg";
  const std::string junk = std::string("\x00\xff[HKEY_CURRENT_USER\\Software\n\"Broken=\x01\x02", 30);
  writeAll(hive, junk);
  auto w = start();
  EXPECT_FALSE(w->fileOpened());
  EXPECT_EQ(ui.boxes().size(), 1u);  // only the question for a workfile
  // Choosing a workfile writes the settings; the damaged file is kept beside the new one.
  ui.answerNextOpenFile(QString::fromStdString(workfile));
  w->mnuOpenClick(nullptr);
  EXPECT_TRUE(w->fileOpened());
  EXPECT_EQ(storedLocation(), workfile);
  const QStringList kept = QDir(QString::fromStdString(dir.registryDir()))
                               .entryList({"HKEY_CURRENT_USER.reg.damaged-*"}, QDir::Files);
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(readAll(dir.registryDir() + "/" + kept[0].toStdString()), junk);
}

TEST_F(CirculationWindow, RemembersItsPlacementButIsNotCentred) {
  {
    auto w = startWithWorkfile();
    // The layout's place, not the centre; pulled in only as far as the screen needs.
    const QRect screen = w->screen()->geometry();
    const QSize outer = w->frameGeometry().size();  // the frame counts
    const QPoint expected(std::min(TFVXSysDn::kDesignPosition.x(), screen.width() - outer.width()),
                          std::min(TFVXSysDn::kDesignPosition.y(), screen.height() - outer.height()));
    EXPECT_EQ(w->pos(), expected);
    w->move(40, 30);
  }
  auto top = reg::readValue(reg::Hive::CurrentUser, programKey("FVXSysDn"), "Top");
  auto left = reg::readValue(reg::Hive::CurrentUser, programKey("FVXSysDn"), "Left");
  ASSERT_TRUE(top && left);
  EXPECT_EQ(top->type, reg::ValueType::Dword);
  EXPECT_EQ(top->dword, 30u);
  EXPECT_EQ(left->dword, 40u);
  auto w = start();
  EXPECT_EQ(w->pos(), QPoint(40, 30));
}

// Pictures of the three states for a person to look at, when VX_SCREENSHOT_DIR is set.
TEST_F(CirculationWindow, ScreenshotsOfTheThreeStates) {
  const QByteArray out = qgetenv("VX_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "VX_SCREENSHOT_DIR not set";
  QDir().mkpath(QString::fromLocal8Bit(out));
  auto shot = [&](TFVXSysDn& w, const char* name) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.grab().save(QString::fromLocal8Bit(out) + "/" + name));
  };
  {
    auto w = start();
    shot(*w, "1-no-workfile.png");
  }
  auto w = startWithWorkfile("1001,3003\r\n1002,7777\r\n");
  QTest::keyClicks(w->eBorrower(), "1001");
  shot(*w, "2-borrower-entry.png");
  QTest::keyClick(w->eBorrower(), Qt::Key_Return);
  scan(w->eItem(), "03010004711");
  scan(w->eItem(), "03010004712");
  // The strip plays to its last frame for the picture.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->BCBmp2()->play(); }, 2000));
  shot(*w, "3-item-entry.png");
}

// The desk list beside the workfile: a withdrawn card and a refused copy are warned about
// (No leaves the field as it was, Yes goes on), a barcode of the other kind's shape is refused,
// and the status bar says the list's age.
TEST_F(CirculationWindow, TheDeskListWarnsAtAWithdrawnCardARefusedCopyAndACrossScan) {
  desklist::DeskList list;
  list.takenAt = "2026-11-01 09:30:00";
  list.withdrawnCards = {"1004"};
  list.refusedCopies = {{"2002", desklist::RefusedCopy::Scrapped}};
  list.shapes = desklist::BarcodeShapes::learn({"1001", "1002", "1003", "1004", "1005"},
                                               {"2001", "2002", "2003", "2004", "2005", "2006"});
  std::string error;
  ASSERT_TRUE(list.write(dir.file("desk-list.vxdl"), error)) << error;
  auto w = startWithWorkfile();
  EXPECT_EQ(w->deskListStatus(), "Desk list 01.11.2026 09:30 (old)");  // older than a week
  ASSERT_NE(w->findChild<QLabel*>("sbMainDeskList"), nullptr);
  if (const QString out = QString::fromLocal8Bit(qgetenv("VX_SCREENSHOT_DIR")); !out.isEmpty()) {
    EXPECT_TRUE(QDir().mkpath(out) && w->grab().save(out + "/desk-list-window.png"));
  }

  scan(w->eBorrower(), "2001");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, "2001 looks like an item's barcode, not a borrower's card. Nothing was "
                                "recorded: scan the borrower's card.");
  EXPECT_TRUE(w->eItem()->isReadOnly());
  EXPECT_EQ(w->eBorrower()->selectedText(), "2001");

  const QString withdrawn = "Card 1004 was withdrawn (list of 01.11.2026 09:30). Lend to this borrower anyway?";
  for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
    ui.clear();
    ui.answerNextBox(answer);
    scan(w->eBorrower(), "1004");
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text, withdrawn);
    EXPECT_EQ(w->eItem()->isReadOnly(), answer == MsgResult::No);
  }

  ui.clear();
  scan(w->eItem(), "1003");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].text, "1003 looks like a borrower's card, not an item's barcode. Nothing was "
                                "recorded: scan the item.");
  const QString scrapped = "Copy 2002 is recorded as scrapped: the loan will be refused when it is posted. "
                           "Record it anyway?";
  for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
    ui.clear();
    ui.answerNextBox(answer);
    scan(w->eItem(), "2002");
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text, scrapped);
  }
  ui.clear();
  scan(w->eItem(), "2003");
  EXPECT_TRUE(ui.boxes().empty());
  EXPECT_EQ(readAll(workfile), "1004,2002\r\n1004,2003\r\n");
}

// Without a whole desk list of ours, the window is exactly as without one.
TEST_F(CirculationWindow, AMissingDamagedOrForeignDeskListLeavesTheWindowAsWithout) {
  desklist::DeskList list;
  list.takenAt = "2026-12-08 14:00:00";
  list.withdrawnCards = {"1004"};
  const std::string whole = list.serialize();
  for (const std::string& bytes : {std::string(), whole.substr(0, whole.size() - 3), std::string("1001,2001\r\n")}) {
    if (bytes.empty())
      std::filesystem::remove(dir.file("desk-list.vxdl"));
    else
      writeAll(dir.file("desk-list.vxdl"), bytes);
    writeAll(workfile, "");
    auto w = startWithWorkfile();
    EXPECT_EQ(w->findChild<QLabel*>("sbMainDeskList"), nullptr);
    scan(w->eBorrower(), "1004");
    scan(w->eItem(), "1004");
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_EQ(readAll(workfile), "1004,1004\r\n");
  }
}
