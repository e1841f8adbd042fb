// The import dialog offscreen on the demo library: the login scripted, then Import, Cancel
// during a run, Details, Report and Close, a refused login, and the follow-up list of a run
// (its tab, printing it, saving it). With VX_SCREENSHOT_DIR set, the dialog is saved before,
// during and after a run and with its follow-up list, in Norwegian and English, and so is the
// printed page.
#include "db/SqliteDriver.h"
#include "db/library/SqliteProcedures.h"
#include "i18n/Dictionary.h"
#include "i18n/ui/DictionarySource.h"
#include "import/FollowUp.h"
#include "import/ui/ImportDialog.h"
#include "platform/ExceptionHandler.h"
#include "platform/ProcessorFault.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/ScopedEnv.h"
#include "desklist/DeskList.h"
#include "tests/support/ScriptedLoginUi.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/login/VXLogin.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include <sys/stat.h>

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
  // The dialog after a run, in the language `lang` (1 Norwegian, 4 English), over a workfile
  // with lines for every group of the follow-up list; kMixedGroups says which line is where.
  std::unique_ptr<TVXImport> runMixed(int lang = 4) {
    dictionary_.SetLanguage(lang);
    EXPECT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                                reg::Value::sz(std::to_string(lang))));
    const std::string work = dir_.file("mixed.csv");
    writeAll(work, kMixedWorkfile);
    auto d = open();
    d->SetFileLocation(QString::fromStdString(work));
    d->SetFileValid(true);
    d->show();
    d->button("cmdImport")->click();
    EXPECT_EQ(d->lastOutcome().status, import::ImportOutcome::Status::Finished) << d->lastOutcome().message;
    return d;
  }

  // The demo library's answers (data/db/postgres/demo.sql): lent; unknown item; unknown
  // borrower; scrapped copy; on loan to 1002 (taken from them); set aside for 1005; booked by
  // 1005; equipment without a loan period (the procedure fails); an unknown item whose
  // barcode looks like markup, and one more on line 10 (after line 9 in number, not in text).
  static constexpr const char* kMixedWorkfile =
      "1001,2001\r\n1001,9999\r\n9999,2001\r\n1001,2002\r\n1001,2004\r\n1001,2005\r\n1001,2014\r\n"
      "1001,2019\r\n1001,<b>2999\r\n1001,9998\r\n";
  inline static const std::map<import::FollowUpGroup, std::vector<int>> kMixedGroups = {
      {import::FollowUpGroup::MisScan, {2, 3, 9, 10}},
      {import::FollowUpGroup::Refused, {4}},
      {import::FollowUpGroup::Reserved, {6, 7}},
      {import::FollowUpGroup::TakenFromAnother, {5}},
      {import::FollowUpGroup::DatabaseError, {8}},
  };

  vxtest::TempDir dir_;
  vxtest::ScopedEnv runtime_{"XDG_RUNTIME_DIR", std::nullopt};
  vxtest::ScopedEnv dataHome_{"XDG_DATA_HOME", dir_.file("data")};  // where the login writes the desk list
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

// A login of the dialog takes the desk list for the next outage into the user's data folder,
// private; a refused login takes none.
TEST_F(ImportDialog, ALoginTakesTheDeskListAndARefusedOneDoesNot) {
  const std::string path = dir_.file("data/vellumdex/desk-list.vxdl");
  auto refused = open("vxguest");
  refused->finishDeskList();
  EXPECT_FALSE(std::filesystem::exists(path));
  auto d = open();
  d->finishDeskList();
  const auto list = desklist::DeskList::read(path);
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->withdrawnCards.count("1004"));
  EXPECT_TRUE(list->refusedCopies.count("2002"));
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
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

struct FollowUpLanguage {
  int lang;
  const char* code;
  QStringList tabTitles;  // the dictionary's (data/i18n/vxdown.translations.tsv)
  QString print;          // the Print button's
};
void PrintTo(const FollowUpLanguage& language, std::ostream* out) { *out << language.code; }

class FollowUpTab : public ImportDialog, public ::testing::WithParamInterface<FollowUpLanguage> {};

// The third tab holds the run's follow-up list: a group item per group that has rows (in the
// list's order, headed with the count), its rows under it, one column per heading but the
// group. Sorting by a column, either way, sorts the rows inside each group and keeps the
// groups where they are. Print and Save wait for a list and for the run to end.
TEST_P(FollowUpTab, ShowsTheRunsGroupsInTheirOrderWhicheverWayAColumnSorts) {
  const FollowUpLanguage& p = GetParam();
  {
    auto before = open();
    EXPECT_FALSE(before->button("cmdPrint")->isEnabled());
    EXPECT_FALSE(before->button("cmdSaveCsv")->isEnabled());
  }
  auto d = runMixed(p.lang);
  QTabWidget* tabs = d->ImportPage();
  ASSERT_EQ(tabs->count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tabs->widget(i)->objectName(), (QStringList{"TabImport", "TabResult", "TabFollowUp"}[i]));
    EXPECT_EQ(tabs->tabText(i), p.tabTitles[i]);
  }
  EXPECT_EQ(tabs->currentIndex(), 1);  // the run still ends on its report
  EXPECT_TRUE(d->button("cmdPrint")->isEnabled());
  EXPECT_TRUE(d->button("cmdSaveCsv")->isEnabled());
  EXPECT_EQ(d->button("cmdPrint")->text(), p.print);
  tabs->setCurrentIndex(2);
  screenshot(*d, QString("import-follow-up-") + p.code);

  const import::FollowUpList& list = d->followUp();
  std::map<int, const import::FollowUpRow*> byLine;
  for (const auto& row : list.rows()) byLine[row.line] = &row;
  QTreeWidget* tree = d->tvFollowUp();
  std::vector<std::string> headings = import::FollowUpList::columnHeadings();
  headings.erase(headings.begin() + 1);  // the group, which is the rows' parent
  ASSERT_EQ(tree->columnCount(), static_cast<int>(headings.size()));
  for (int c = 0; c < tree->columnCount(); ++c)
    EXPECT_EQ(tree->headerItem()->text(c).toStdString(), headings[size_t(c)]);

  for (const auto& [column, order] : {std::pair{0, Qt::AscendingOrder}, {0, Qt::DescendingOrder},
                                      {1, Qt::DescendingOrder}, {1, Qt::AscendingOrder}}) {
    SCOPED_TRACE(testing::Message() << "column " << column << (order == Qt::AscendingOrder ? " up" : " down"));
    tree->sortByColumn(column, order);
    ASSERT_EQ(tree->topLevelItemCount(), static_cast<int>(kMixedGroups.size()));
    int i = 0;
    for (const auto& [group, lines] : kMixedGroups) {
      const QTreeWidgetItem* g = tree->topLevelItem(i++);
      EXPECT_EQ(g->text(0).toStdString(),
                import::FollowUpList::groupHeading(group) + " (" + std::to_string(lines.size()) + ")");
      EXPECT_EQ(list.count(group), static_cast<int>(lines.size()));
      EXPECT_TRUE(g->isExpanded());
      std::set<int> shown;
      for (int k = 0; k < g->childCount(); ++k) {
        const QTreeWidgetItem* item = g->child(k);
        const int line = item->text(0).toInt();
        shown.insert(line);
        ASSERT_TRUE(byLine.count(line));
        std::vector<std::string> cells = import::FollowUpList::cells(*byLine[line]);
        cells.erase(cells.begin() + 1);
        for (int c = 0; c < tree->columnCount(); ++c) EXPECT_EQ(item->text(c).toStdString(), cells[size_t(c)]);
        if (k == 0) continue;
        const QTreeWidgetItem* before = g->child(k - 1);
        const int step = column == 0 ? before->text(0).toInt() - line
                                     : before->text(column).localeAwareCompare(item->text(column));
        EXPECT_TRUE(order == Qt::AscendingOrder ? step <= 0 : step >= 0) << line;
      }
      EXPECT_EQ(shown, std::set<int>(lines.begin(), lines.end()));
    }
  }

  bool checked = false;
  QTimer::singleShot(0, [&] {  // a second run, over the lines the first left in the workfile
    EXPECT_FALSE(d->button("cmdPrint")->isEnabled());
    EXPECT_FALSE(d->button("cmdSaveCsv")->isEnabled());
    checked = true;
  });
  d->button("cmdImport")->click();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(d->button("cmdPrint")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Languages, FollowUpTab,
                         ::testing::Values(FollowUpLanguage{4, "ENG", {"I&mport", "Res&ult", "F&ollow-up"}, "&Print ..."},
                                           FollowUpLanguage{1, "NOR", {"I&mport", "Res&ultat", "&Oppfølging"},
                                                            "&Skriv ut ..."}),
                         [](const ::testing::TestParamInfo<FollowUpLanguage>& language) {
                           return std::string(language.param.code);
                         });

// Print goes through the print dialog; the page holds the heading, the unit and the user of
// the login, and every row's values as text (markup in a barcode printed as it is).
TEST_F(ImportDialog, PrintPutsTheListOnThePage) {
  auto d = runMixed();
  const QString pdf = QString::fromStdString(dir_.file("follow-up.pdf"));
  boxes_.answerNextPrint([&](QPrinter& printer) {
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  });
  d->button("cmdPrint")->click();
  EXPECT_EQ(boxes_.printDialogsShown(), 1);
  QProcess text;
  text.start("pdftotext", {"-layout", pdf, "-"});
  ASSERT_TRUE(text.waitForFinished(60000)) << "pdftotext (poppler-utils) did not run";
  const QString page = QString::fromUtf8(text.readAllStandardOutput());
  std::string title;
  for (const auto& row : d->followUp().rows())
    if (row.item == "2004") title = row.title.substr(0, row.title.find(" / "));
  ASSERT_FALSE(title.empty());
  for (const QString& wanted : {QString("Follow-up after the import"), QString("Library unit: Vellumdex City Library"),
                                QString("User: vxdesk"), QString("9999"), QString("<b>2999"),
                                QString::fromStdString(title)})
    EXPECT_TRUE(page.contains(wanted)) << wanted.toStdString() << " not in\n" << page.toStdString();
  const QString shots = qEnvironmentVariable("VX_SCREENSHOT_DIR");
  if (!shots.isEmpty())
    QProcess::execute("pdftoppm", {"-png", "-r", "60", "-f", "1", "-l", "1", "-singlefile", pdf,
                                   shots + "/import-follow-up-print"});
}

// Save as CSV writes the list to the file the librarian chose, private to them; a file that
// cannot be written is said, and a cancelled dialog writes nothing.
TEST_F(ImportDialog, SaveAsCsvWritesTheListWhereTheLibrarianChose) {
  auto d = runMixed();
  const std::string path = dir_.file("follow-up.csv");
  boxes_.clear();
  boxes_.answerNextSaveFile(std::nullopt);
  boxes_.answerNextSaveFile(QString::fromStdString(dir_.file("no-such-folder/follow-up.csv")));
  boxes_.answerNextSaveFile(QString::fromStdString(path));
  for (int i = 0; i < 3; ++i) d->button("cmdSaveCsv")->click();
  ASSERT_EQ(boxes_.saveFileRequests().size(), 3u);
  EXPECT_EQ(boxes_.saveFileRequests()[0].title, "Save the follow-up list");
  EXPECT_EQ(boxes_.saveFileRequests()[0].filters, QStringList{"Comma Separated File (CSV)|*.csv"});
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_TRUE(boxes_.boxTexts()[0].startsWith("The follow-up list could not be saved: ")) << boxes_.boxTexts()[0].toStdString();
  EXPECT_GT(boxes_.boxTexts()[0].size(), QString("The follow-up list could not be saved: ").size());
  EXPECT_EQ(readAll(path), d->followUp().csv());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  size_t csvFiles = 0;  // the workfile and the one chosen
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.file("")))
    csvFiles += e.path().extension() == ".csv";
  EXPECT_EQ(csvFiles, 2u);
}

}  // namespace
