// The login's windows, offscreen: the wait dialog, the login dialog driven with keys and
// clicks on the demo library, and the whole login through the real dialogs. With
// VX_SCREENSHOT_DIR set, the dialogs are saved as pictures in Norwegian and English.
#include "i18n/Dictionary.h"
#include "i18n/ui/DictionarySource.h"
#include "platform/Assertion.h"
#include "platform/ExceptionHandler.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/animated/ui/VXAnimate.h"
#include "vxcomp/login/LoginStrings.h"
#include "vxcomp/login/VXLogin.h"
#include "vxcomp/login/ui/LoginForm.h"
#include "vxcomp/login/ui/QtLoginUi.h"
#include "vxcomp/login/ui/UnitTreeView.h"
#include "vxcomp/login/ui/WaitDlg.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vx;

namespace {

// Processes events until `done` holds, for at most two seconds.
template <typename F>
bool waitFor(F done) {
  QDeadlineTimer deadline(2000);
  while (!done() && !deadline.hasExpired()) QTest::qWait(5);
  return done();
}

void screenshot(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
  if (!dir.isEmpty()) w.grab().save(dir + "/" + name + ".png");
}

}  // namespace

TEST(WaitDialog, ShowsTheLastFiveLinesAndOnlyClosesWhenAllowed) {
  TWaitDlg dlg;
  dlg.show();
  for (int i = 1; i <= 2; ++i) dlg.addLine(QString("line %1").arg(i));
  EXPECT_EQ(dlg.labelText(0), "line 1");
  EXPECT_EQ(dlg.labelText(1), "line 2");
  EXPECT_EQ(dlg.labelText(2), "");
  for (int i = 3; i <= 7; ++i) dlg.addLine(QString("line %1").arg(i));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(dlg.labelText(i), QString("line %1").arg(i + 3));

  EXPECT_EQ(dlg.height(), TWaitDlg::kClientHeight);
  dlg.ShowProgress(true);
  EXPECT_EQ(dlg.height(), TWaitDlg::kClientHeightWithProgress);
  dlg.close();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.refusedCloses(), 1);
  QTest::mouseClick(dlg.ButtonCancel(), Qt::LeftButton);
  EXPECT_TRUE(dlg.Cancelled());
  EXPECT_TRUE(dlg.isVisible());
  dlg.setAllowClose(true);
  dlg.close();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(WaitDialog, TheAnimationReallyMoves) {
  TWaitDlg dlg;
  dlg.setClip(TWaitDlg::Clip::ComputerSearch);
  dlg.show();
  const int first = dlg.Animate()->frame();
  EXPECT_TRUE(waitFor([&] { return dlg.Animate()->frame() != first; }));
  const QImage a = dlg.grab().toImage();
  EXPECT_TRUE(waitFor([&] { return dlg.grab().toImage() != a; }));
  dlg.hide();
  EXPECT_FALSE(dlg.Animate()->play());
}

class LoginDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("run"));
    runtime_.set(dir_.file("run"));
    dictionary_.SetDictionaryName("Dictionary1");
    dictionary_.SetFileName("vxdown.mld");
    dictionary_.SetLanguage(4);
    dictionary_.Open();
    ASSERT_TRUE(dictionary_.Opened()) << "vxdown.mld was not found beside the tests";
  }
  void language(int index) { dictionary_.SetLanguage(index); }

  vxtest::TempDir dir_;
  vxtest::ScopedEnv runtime_{"XDG_RUNTIME_DIR", std::nullopt};
  vxtest::TestLibrary library_{vxtest::Engine::Sqlite};
  i18n::TIvBinaryDictionary dictionary_;
  i18n::TIvDictionarySource source_{dictionary_};  // the translators find it by its name
  ScriptedUserInterface boxes_;
};

TEST_F(LoginDialog, TypeOpenTheTreePickAUnitWithTheKeyboardAndLogIn) {
  TLoginForm form(library_.session());
  form.Dictionary = &dictionary_;
  form.DbCombo()->addItem("library");
  form.DbCombo()->setEditText("library");
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.height(), form.CollapsedHeight);
  EXPECT_EQ(form.CollapsedHeight, 173);
  EXPECT_EQ(form.ExpandedHeight, 309);
  EXPECT_FALSE(form.LoginButton()->isEnabled());  // no unit yet
  EXPECT_TRUE(form.UnitBitBtn()->isDefault());
  EXPECT_EQ(form.CBLanguage()->count(), 4);       // the four languages, not the design one
  EXPECT_EQ(form.CBLanguage()->currentIndex(), 3);

  QTest::keyClicks(form.UserEdit(), "vxdesk");
  QTest::keyClicks(form.PasswordEdit(), "vxdesk-demo");
  QTest::keyClick(form.PasswordEdit(), Qt::Key_Return);  // Enter opens the tree
  ASSERT_TRUE(form.TreeShown());
  EXPECT_EQ(form.height(), form.ExpandedHeight);
  EXPECT_TRUE(form.UserEdit()->isReadOnly());
  EXPECT_FALSE(form.DbCombo()->isEnabled());
  screenshot(form, "login-expanded-ENG");

  // Down from the root: the library, then its first child in the query's order.
  TVXUnitTreeView* tree = form.UnitTreeView();
  tree->setFocus();
  tree->setCurrentItem(tree->topLevelItem(0));
  tree->expandAll();
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(form.UnitEdit()->text(), "Vellumdex City Library");
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(form.UnitId, 5);  // Northside Branch (Dept 0) before the departments
  EXPECT_EQ(form.UnitEdit()->text(), "Northside Branch");
  EXPECT_TRUE(form.LoginButton()->isEnabled());
  EXPECT_TRUE(form.LoginButton()->isDefault());

  // Closing the tree keeps the unit and the dialog's connection goes.
  QTest::mouseClick(form.UnitBitBtn(), Qt::LeftButton);
  EXPECT_FALSE(form.TreeShown());
  EXPECT_FALSE(form.Database().connected());
  EXPECT_EQ(form.UnitId, 5);
  screenshot(form, "login-collapsed-ENG");
  QTest::mouseClick(form.LoginButton(), Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(LoginDialog, AnIllUnitIsRefusedAndAWrongPasswordCollapsesTheDialog) {
  TLoginForm form(library_.session());
  form.DbCombo()->setEditText("library");
  form.UserEdit()->setText("vxdesk");
  form.PasswordEdit()->setText("wrong");
  form.show();
  std::vector<std::string> errors;
  setExceptionHandler([&](const std::exception& e) { errors.push_back(e.what()); });
  form.UnitBitBtn()->click();
  setExceptionHandler(nullptr);
  EXPECT_FALSE(form.TreeShown());
  EXPECT_TRUE(form.UserEdit()->isEnabled() && !form.UserEdit()->isReadOnly());
  ASSERT_EQ(errors.size(), 1u) << "the error goes to the program's exception display";
  EXPECT_NE(errors[0].find("password"), std::string::npos) << errors[0];

  form.PasswordEdit()->setText("vxdesk-demo");
  form.UnitId = 3;
  form.UnitBitBtn()->click();
  ASSERT_TRUE(form.TreeShown());
  TVXUnitTreeView* tree = form.UnitTreeView();
  EXPECT_EQ(tree->SelectedUnitId(), 3);  // the remembered unit is selected again
  tree->setShowILLUnit(true);
  tree->RefreshTree();
  tree->SelectUnit(3);
  tree->SelectUnit(9);  // Interlibrary Loans
  ASSERT_EQ(boxes_.boxTexts(), QStringList{"Ill unit is not available for login!"});
  EXPECT_EQ(tree->SelectedUnitId(), 3);
  EXPECT_EQ(form.UnitId, 3);
  try {
    tree->SelectUnit(4242);
    ADD_FAILURE() << "selected a unit that is not there";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "TVXUnitTreeView: Unable to select UnitId 4242");
  }
  try {
    tree->setDatabaseName("Other");
    ADD_FAILURE() << "changed the database of an open tree";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "TVXUnitTreeView: Cannot change DatabaseName on open dataset");
  }
}

TEST_F(LoginDialog, RememberedUnitsStayOnTopForTheUpgradeToolAndLanguageLimits) {
  TLoginForm form(library_.session());
  const std::string key = "Software\\Vellumdex\\Login\\library\\kari";
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "UnitId", reg::Value::sz("seventeen")));
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, key, "UnitName", reg::Value::sz("Hovedbiblioteket")));
  form.DbCombo()->setEditText("library");
  form.UserEdit()->setText("kari");
  EXPECT_EQ(form.UnitId, 0);  // not a number: none
  EXPECT_EQ(form.UnitEdit()->text(), "Hovedbiblioteket");
  form.UserEdit()->setText("karin");  // no unit remembered for this user
  EXPECT_EQ(form.UnitEdit()->text(), "");
  EXPECT_FALSE(form.LoginButton()->isEnabled());

  for (const char* name : {"vxdbup", "VXDBUP.EXE", "VxDbUp.exe"}) EXPECT_TRUE(TLoginForm::staysOnTopFor(name));
  for (const char* name : {"vxdown", "vxdbup.bin", "myvxdbup"}) EXPECT_FALSE(TLoginForm::staysOnTopFor(name));

  // A stored language the dictionary lacks: the system's choice, and no saving from then on.
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                  reg::Value::sz("9")));
  TVXLogin login(library_.session());
  login.LanguageDictionary = &dictionary_;
  login.FetchLanguageSettings();
  EXPECT_TRUE(login.NoLanguageSave());
  EXPECT_EQ(dictionary_.Language(), -2);
  TVXLogin without(library_.session());
  EXPECT_THROW(without.FetchLanguageSettings(), AssertionFailure);
}

TEST_F(LoginDialog, TheLoginThroughTheRealWindowsInTwoLanguages) {
  login::QtLoginUi windows;
  login::setLoginUi(&windows);
  for (int lang : {1, 4}) {
    language(lang);
    ASSERT_TRUE(vx::reg::writeValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Language", "DefaultLanguage",
                        reg::Value::sz(std::to_string(lang))));
    const QString code = lang == 1 ? "NOR" : "ENG";
    TVXLogin login(library_.session());
    login.databaseName = "VXDB";
    login.LanguageDictionary = &dictionary_;
    login.setLoginPromptAlways(true);
    // The wait dialog as the login shows it while connecting.
    const QString line =
        res::formatMessage(res::loadResString(login::sConnectingTo), {QString("library")});
    windows.beginConnectWait(line.toStdString());
    ASSERT_NE(waitDlg(), nullptr);
    EXPECT_EQ(waitDlg()->labelText(0), line);
    EXPECT_EQ(line, lang == 1 ? "Kobler til databasen library..." : "Connecting to database library...");
    screenshot(*waitDlg(), "wait-" + code);
    windows.endConnectWait();
    EXPECT_EQ(waitDlg(), nullptr);
    // While the modal dialog runs: fill it in, open the tree, pick a unit, log in.
    QTimer::singleShot(0, [&] {
      auto* form = qobject_cast<TLoginForm*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(form->windowTitle(), lang == 1 ? "Vellumdex-pålogging" : "Vellumdex Login");
      EXPECT_EQ(form->HelpFile(), code + "/VX2.HLP");
      form->DbCombo()->setEditText("library");
      form->UserEdit()->setText("vxdesk");
      form->PasswordEdit()->setText("vxdesk-demo");
      screenshot(*form, "login-collapsed-" + code);
      form->UnitBitBtn()->click();
      form->UnitTreeView()->SelectUnit(2);
      screenshot(*form, "login-expanded-" + code);
      form->LoginButton()->click();
    });
    login.setConnected(true);
    EXPECT_TRUE(login.Connected()) << code.toStdString();
    EXPECT_EQ(login.UnitId(), 2);
    EXPECT_EQ(login.LanguageCode, code.toStdString());
    EXPECT_EQ(waitDlg(), nullptr);  // the login took down the wait dialog it made
  }
  login::setLoginUi(nullptr);
}
