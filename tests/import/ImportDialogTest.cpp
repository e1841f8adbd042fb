// The import dialog offscreen on the demo library: the login scripted, then Import, Cancel
// during a run, Details, Report and Close, and a refused login. With VX_SCREENSHOT_DIR set,
// the dialog is saved before, during and after a run, in Norwegian and English.
#include "db/SqliteDriver.h"
#include "db/library/SqliteProcedures.h"
#include "i18n/Dictionary.h"
#include "i18n/ui/DictionarySource.h"
#include "import/ui/ImportDialog.h"
#include "platform/ExceptionHandler.h"
#include "platform/ProcessorFault.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScriptedLoginUi.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/login/VXLogin.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vx;
using vxtest::readAll;
using vxtest::writeAll;

namespace {

void screenshot(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
  if (!dir.isEmpty()) w.grab().save(dir + "/" + name + ".png");
}

class ImportDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("run"));
    std::filesystem::create_directories(dir_.file("out"));
    runtime_.set(dir_.file("run"));
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.file("out"));
    dictionary_.SetDictionaryName("Dictionary1");
    dictionary_.SetFileName("vxdown.mld");
    dictionary_.SetLanguage(4);
    dictionary_.Open();
  }
  void TearDown() override { std::filesystem::current_path(old_); }
  std::unique_ptr<TVXImport> open(const std::string& user = "vxdesk") {
    windows_.answers.clear();
    windows_.answerLogin(user, user + "-demo", 1, "library");
    windows_.answerCancel();
    auto d = std::make_unique<TVXImport>(nullptr, &dictionary_, library_.session());
    return d;
  }

  vxtest::TempDir dir_;
  vxtest::ScopedEnv runtime_{"XDG_RUNTIME_DIR", std::nullopt};
  std::filesystem::path old_;
  vxtest::TestLibrary library_{vxtest::Engine::Sqlite};
  i18n::TIvBinaryDictionary dictionary_;
  i18n::TIvDictionarySource source_{dictionary_};
  ScriptedUserInterface boxes_;
  vxtest::ScriptedLoginUi windows_;
};

TEST_F(ImportDialog, ImportThenDetailsReportAndCloseInTwoLanguages) {
  for (int lang : {1, 4}) {
    dictionary_.SetLanguage(lang);
    const QString code = lang == 1 ? "NOR" : "ENG";
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                    reg::Value::sz(std::to_string(lang))));
    const std::string work = dir_.file("work-" + code.toStdString() + ".csv");
    writeAll(work, "1001,2001\r\n1001,2002\r\n1001,2004\r\n");
    auto d = open();
    ASSERT_TRUE(d->VXLogin1().Connected());
    d->SelectImportPage();
    d->SetFileLocation(QString::fromStdString(work));
    d->SetFileValid(true);
    d->show();
    EXPECT_TRUE(d->button("cmdImport")->isEnabled());
    EXPECT_FALSE(d->button("cmdCancel")->isEnabled());
    EXPECT_TRUE(d->button("cmdClose")->isDefault());
    // The tabs and the controls on their pages follow the language too.
    EXPECT_EQ(d->ImportPage()->tabText(1), lang == 1 ? "Res&ultat" : "Res&ult");
    EXPECT_NE(d->button("cmdbrowse")->text(), lang == 1 ? "&Browse ..." : "");
    screenshot(*d, "import-before-" + code);
    bool duringShot = false;
    QTimer::singleShot(0, [&] {
      EXPECT_FALSE(d->button("cmdClose")->isEnabled());
      EXPECT_TRUE(d->button("cmdCancel")->isEnabled());
      screenshot(*d, "import-during-" + code);
      duringShot = true;
    });
    d->button("cmdImport")->click();
    EXPECT_TRUE(duringShot);
    EXPECT_EQ(d->lastOutcome().status, import::ImportOutcome::Status::Finished);
    EXPECT_EQ(d->eOK()->text(), "2");
    EXPECT_EQ(d->eRejected()->text(), "1");
    EXPECT_EQ(d->eTotal()->text(), "3");
    EXPECT_EQ(d->percentText(), "100 %");
    EXPECT_EQ(d->maxText(), "3");
    EXPECT_EQ(d->ImportPage()->currentIndex(), 1);
    EXPECT_TRUE(d->reResult()->toPlainText().contains("-----------------------------------"));
    EXPECT_FALSE(d->reResult()->toPlainText().contains("1001,"));
    EXPECT_TRUE(d->button("cmdDetails")->isEnabled());
    EXPECT_TRUE(d->button("cmdImport")->isEnabled());
    screenshot(*d, "import-after-" + code);
    d->button("cmdDetails")->click();
    EXPECT_TRUE(d->reResult()->toPlainText().contains("=2004"));
    EXPECT_FALSE(d->button("cmdDetails")->isEnabled());
    EXPECT_TRUE(d->button("cmdReport")->isEnabled());
    d->button("cmdReport")->click();
    EXPECT_TRUE(d->button("cmdDetails")->isEnabled());
    EXPECT_FALSE(d->button("cmdReport")->isEnabled());
    EXPECT_EQ(readAll(work), "1001,2002\r\n");
    int refreshed = 0;
    d->refreshAfterImport = [&] { ++refreshed; };
    d->button("cmdClose")->click();
    EXPECT_EQ(refreshed, 1);
    EXPECT_FALSE(d->VXLogin1().Connected());
    EXPECT_EQ(d->eFileLocation()->text(), "");
  }
}

TEST_F(ImportDialog, CancelStopsAfterTheLineAndASecondImportClickWaitsForTheRun) {
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += "1999,2001\r\n";
  const std::string work = dir_.file("slow.csv");
  writeAll(work, bytes);
  auto d = open();
  d->SetFileLocation(QString::fromStdString(work));
  d->SetFileValid(true);
  QTimer::singleShot(0, [&] {
    d->button("cmdCancel")->click();
    EXPECT_TRUE(d->button("cmdImport")->isEnabled());
    d->button("cmdImport")->click();  // queued behind the Cancel: refused while the run goes on
    d->reject();                      // closing under a run only asks it to stop
  });
  d->button("cmdImport")->click();
  EXPECT_TRUE(d->lastOutcome().cancelled);
  EXPECT_EQ(d->lastOutcome().processed, 1);
  EXPECT_EQ(readAll(work), bytes);  // the rejected first line and the rest, all kept
  EXPECT_TRUE(d->VXLogin1().Connected());
}

TEST_F(ImportDialog, BrowseChecksTheFileAndARefusedLoginShowsNoDialog) {
  auto d = open();
  writeAll(dir_.file("good.csv"), "1001,2001\r\n");
  writeAll(dir_.file("bad.csv"), "no comma here\r\n");
  d->SetFileValid(false);
  EXPECT_FALSE(d->button("cmdImport")->isEnabled());
  boxes_.answerNextOpenFile(QString::fromStdString(dir_.file("bad.csv")));
  d->cmdbrowseClick();
  EXPECT_EQ(boxes_.boxTexts().last(), "Unable to open the file.");
  EXPECT_EQ(d->eFileLocation()->text(), "");
  boxes_.answerNextOpenFile(QString::fromStdString(dir_.file("good.csv")));
  d->cmdbrowseClick();
  EXPECT_EQ(d->eFileLocation()->text(), QString::fromStdString(dir_.file("good.csv")));
  EXPECT_TRUE(d->button("cmdImport")->isEnabled());
  d.reset();

  boxes_.clear();
  windows_.answers.clear();
  auto refused = open("vxguest");
  EXPECT_FALSE(refused->VXLogin1().Connected());
  EXPECT_EQ(boxes_.boxTexts(),
            (QStringList{"You don't have permission to run Vellumdex System Down on database library",
                         "Sorry, the database is not available right now. Try to import at a later time."}));
  refused->Execute();  // returns at once
}


// A processor fault in the middle of a line ends the run as a failure: the error goes to the
// program's display, the dialog is usable again, nothing of the workfile is lost, and the next
// Import finishes the run through its journal. Details and Report keep the last finished run
// after an Import that found nothing to import.
TEST_F(ImportDialog, AFaultInALineEndsTheRunAsAFailureAndTheNextRunFinishesIt) {
  using vx::db::SqliteDriver;
  installFaultHandlers();
  QStringList shown;
  setExceptionHandler([&](const std::exception& e) { shown << e.what(); });
  static bool faulted;  // once: the prepared call keeps this procedure for the next run too
  faulted = false;
  SqliteDriver::registerProcedure("IssueLoanAllBarcodes", [](vx::db::Connection& c, std::vector<vx::db::Value>& a) {
    if (a.size() > 2 && a[2].asString() == "2012" && !faulted) {
      faulted = true;
      *static_cast<volatile int*>(nullptr) = 1;
    }
    return vx::db::library::issueLoanAllBarcodes(c, a);
  });
  const std::string work = dir_.file("work.csv");
  const std::string bytes = "1001,2001\r\n1001,2012\r\n1001,2002\r\n";
  writeAll(work, bytes);
  auto d = open();
  d->SetFileLocation(QString::fromStdString(work));
  d->SetFileValid(true);
  d->show();
  d->button("cmdImport")->click();
  SqliteDriver::registerProcedure("IssueLoanAllBarcodes", vx::db::library::issueLoanAllBarcodes);
  setExceptionHandler({});
  ASSERT_EQ(shown.size(), 1);
  EXPECT_FALSE(d->Running());
  EXPECT_TRUE(d->button("cmdClose")->isEnabled());
  EXPECT_TRUE(d->button("cmdImport")->isEnabled());
  EXPECT_EQ(readAll(work), bytes);
  EXPECT_TRUE(std::filesystem::exists(work + ".import-journal"));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/work.rpt")));  // no empty report

  d->button("cmdImport")->click();  // the lock was let go: the run goes on where it stopped
  ASSERT_EQ(d->lastOutcome().status, import::ImportOutcome::Status::Finished) << d->lastOutcome().message;
  EXPECT_EQ(d->lastOutcome().resumed, 1);
  EXPECT_EQ(d->lastOutcome().accepted, 2);
  EXPECT_EQ(readAll(work), "1001,2002\r\n");
  EXPECT_FALSE(std::filesystem::exists(work + ".import-journal"));

  writeAll(work, "");
  d->button("cmdImport")->click();  // nothing to import
  EXPECT_EQ(d->lastOutcome().status, import::ImportOutcome::Status::NothingToImport);
  d->button("cmdDetails")->click();
  EXPECT_TRUE(d->reResult()->toPlainText().contains("=2012")) << d->reResult()->toPlainText().toStdString();
  d->button("cmdReport")->click();
  EXPECT_TRUE(d->reResult()->toPlainText().contains("Accepted 2 items")) << d->reResult()->toPlainText().toStdString();
  d->button("cmdClose")->click();
  EXPECT_FALSE(d->isVisible());
}

}  // namespace
