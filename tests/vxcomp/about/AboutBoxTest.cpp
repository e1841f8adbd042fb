// The about box offscreen: the program's name and file version, the demo library's version
// (with the beta rule) and language on both engines, the box without the database, the web
// address, help, and a database error. With VX_SCREENSHOT_DIR set, the box is saved in English
// and Norwegian.
#include "db/DbError.h"
#include "db/Query.h"
#include "i18n/Dictionary.h"
#include "i18n/ui/DictionarySource.h"
#include "platform/HelpFiles.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/about/ui/VXAboutBox.h"
#include "vxcomp/about/ui/VXAboutBoxDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vx;
using vxtest::Engine;

namespace {

void screenshot(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
  if (!dir.isEmpty()) w.grab().save(dir + "/" + name + ".png");
}

QString text(const TVXAboutBoxDlg& d, const char* label) { return d.label(label)->text(); }

class AboutBox : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    help::setApplicationHelpFile("ENG/sys_down.hlp");
    dictionary_.SetDictionaryName("Dictionary1");
    dictionary_.SetFileName("vxdown.mld");
    dictionary_.SetLanguage(4);
    dictionary_.Open();
  }
  // A box as TVXAboutBox hands it over, shown on the demo library as its desk user sees it.
  std::unique_ptr<TVXAboutBoxDlg> show() {
    auto d = std::make_unique<TVXAboutBoxDlg>(nullptr, library_.session());
    d->ApplicationName = "Vellumdex System Down";
    d->show();
    EXPECT_FALSE(d->showError());
    return d;
  }

  vxtest::TestLibrary library_{GetParam()};
  std::unique_ptr<db::Database> desk_ = library_.login("vxdesk", "vxdesk-demo", "VXDB");
  i18n::TIvBinaryDictionary dictionary_;
  i18n::TIvDictionarySource source_{dictionary_};
  ScriptedUserInterface ui_;
};

INSTANTIATE_TEST_SUITE_P(Engines, AboutBox, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

TEST_P(AboutBox, ShowsTheProgramAndTheDatabaseVersionByTheBetaRule) {
  struct Case {
    const char* beta;
    const char* shown;
  };
  for (const Case c : {Case{"", "2.5003"}, Case{"5.1", "5.1 (beta)"}, Case{"0", "2.5003"}}) {
    SCOPED_TRACE(c.beta);
    library_.arrange(std::string("UPDATE NSU.Db_Info SET Beta_Version = '") + c.beta + "'");
    auto d = show();
    EXPECT_EQ(text(*d, "LblDBVersion"), c.shown);
    EXPECT_EQ(text(*d, "LblDbLanguage"), "(English - MARC 21)");
    EXPECT_TRUE(d->label("Label1")->isVisible());
    EXPECT_EQ(text(*d, "LabelApplication"), "Vellumdex System Down");
    // The test program's own file version, as the build wrote it into the file.
    EXPECT_EQ(text(*d, "LabelVersion"), VX_TEST_FILE_VERSION);
  }
}

TEST_P(AboutBox, ReadsInTwoLanguages) {
  struct Case {
    int language;
    const char* code;
    const char* label1;
    const char* copyright;
  };
  for (const Case c : {Case{4, "ENG", "Database version", "Copyright © 2026 The Vellumdex Project"},
                       Case{1, "NOR", "Databaseversjon", "Opphavsrett © 2026 Vellumdex-prosjektet"}}) {
    dictionary_.SetLanguage(c.language);
    library_.arrange(c.language == 1 ? "UPDATE NSU.Db_Info SET Beta_Version = '2.6001'"
                                     : "UPDATE NSU.Db_Info SET Beta_Version = ''");
    auto d = show();
    EXPECT_EQ(d->windowTitle(), "Vellumdex");
    EXPECT_EQ(text(*d, "Label1"), QString::fromUtf8(c.label1));
    EXPECT_EQ(text(*d, "LabelCopyright"), QString::fromUtf8(c.copyright));
    EXPECT_EQ(d->OkButton()->text(), "OK");
    EXPECT_EQ(d->size(), QSize(335, 270));
    QCoreApplication::processEvents();
    screenshot(*d, QString("about-%1-%2").arg(QString::fromStdString(vxtest::engineName(GetParam())), c.code));
  }
}

// A database object "VXDB" on a library file that does not exist: opening it, and so any query
// on it, fails.
class AboutBoxWithoutDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    help::setApplicationHelpFile("NOR/sys_down.hlp");
    vxdb_.databaseName = "VXDB";
    vxdb_.aliasName = "gone";
  }

  vxtest::TempDir dir_;
  db::Session session_{"Test", {db::AliasSpec{"gone", db::DriverKind::Sqlite, {{"PATH", dir_.file("gone.vxdb")}}}}};
  db::Database vxdb_{session_};
  ScriptedUserInterface ui_;
};

TEST_F(AboutBoxWithoutDatabase, WithoutTheCheckNothingAsksTheDatabaseAndTheLinkAndHelpWork) {
  TVXAboutBox box(nullptr, session_);
  EXPECT_TRUE(box.CheckDBVersion());
  EXPECT_EQ(box.DataBaseName(), "VXDB");
  box.setCheckDBVersion(false);
  box.setApplicationName("Vellumdex System Down");
  const uint64_t statements = db::statementsSent();
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* found = qobject_cast<TVXAboutBoxDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(found, nullptr);
    seen = true;
    TVXAboutBoxDlg& d = *found;
    d.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));  // the keys' shortcuts need an active window
    EXPECT_FALSE(d.label("Label1")->isVisible());
    EXPECT_EQ(text(d, "LblDBVersion"), "");
    EXPECT_EQ(text(d, "LblDbLanguage"), "");
    EXPECT_EQ(text(d, "LabelApplication"), "Vellumdex System Down");
    screenshot(d, "about-without-database");
    QTest::mouseClick(d.label("LblVXHyperlink"), Qt::LeftButton);
    QTest::keyClick(&d, Qt::Key_F1);
    QTest::keyClick(&d, Qt::Key_Escape);  // OK is the cancel button too
  });
  box.Execute();  // returns once Esc closed the box
  EXPECT_TRUE(seen);
  EXPECT_EQ(db::statementsSent(), statements);
  EXPECT_FALSE(vxdb_.connected());
  EXPECT_EQ(ui_.urlsOpened(), QStringList{"http://vellumdex.example.org"});
  ASSERT_EQ(ui_.helpShown().size(), 1u);
  EXPECT_EQ(ui_.helpShown()[0].helpFile, "NOR/VX2.HLP");
  EXPECT_EQ(ui_.helpShown()[0].context, 1000);
  EXPECT_TRUE(ui_.boxes().empty());
}

TEST_F(AboutBoxWithoutDatabase, ADatabaseErrorClosesTheBoxAndReachesTheCaller) {
  TVXAboutBox box(nullptr, session_);
  EXPECT_THROW(box.Execute(), db::DbError);  // returns: the box closed itself
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
