// The login component on both engines, without a screen: every way through the login and its
// checks, the shared login between two processes, the command line, and the access check.
#include "platform/Assertion.h"
#include "platform/Registry.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/SilentAbort.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScriptedLoginUi.h"
#include "tests/support/TestLibrary.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/AutoStart.h"
#include "vxcomp/login/VXLogin.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace vx;
using vxtest::Engine;
using vxtest::ScriptedLoginUi;

namespace {

class Login : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("run"));
    runtime_.set(dir_.file("run"));
    vx::login::setProgramArguments({});
    library_ = std::make_unique<vxtest::TestLibrary>(GetParam());
    login_ = makeLogin();
  }
  void TearDown() override {
    login_.reset();
    library_.reset();
  }

  // The import's configuration of the component, with its access check.
  std::unique_ptr<TVXLogin> makeLogin() {
    auto login = std::make_unique<TVXLogin>(library_->session());
    login->databaseName = "VXDB";
    login->AllowLanguageSelection = false;
    login->setLoginPromptAlways(true);
    login->DatabaseVersion = 2.5003f;
    login->OnAccessControl = [this, l = login.get()](bool& granted) {
      TVXAccess access(library_->session());
      access.ModuleName = "System Down Import";
      granted = access.AccessLevel() == 1;
      if (!granted) access.ShowAccessDenied("Vellumdex System Down", l->aliasName, 0);
    };
    return login;
  }
  void arrange(const std::string& sql) { library_->arrange(sql); }

  vxtest::TempDir dir_;
  vxtest::ScopedEnv runtime_{"XDG_RUNTIME_DIR", std::nullopt};
  std::unique_ptr<vxtest::TestLibrary> library_;
  std::unique_ptr<TVXLogin> login_;
  ScriptedUserInterface boxes_;
  ScriptedLoginUi windows_;
};

INSTANTIATE_TEST_SUITE_P(Engines, Login, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

TEST_P(Login, CancelledDialogLeavesItDisconnectedWithoutAnError) {
  windows_.answerCancel();
  login_->setConnected(true);
  EXPECT_FALSE(login_->Connected());
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(windows_.waitLines.empty());
}

TEST_P(Login, WrongPasswordShowsTheEnginesMessageAndTheDialogAgainWithWhatWasTyped) {
  windows_.answerLogin("vxdesk", "wrong", 1, "library");
  windows_.answerLogin("vxdesk", "vxdesk-demo", 2);
  login_->setConnected(true);
  ASSERT_TRUE(login_->Connected());
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].icon, MsgIcon::Information);
  EXPECT_NE(boxes_.boxTexts()[0].indexOf("password authentication failed"), -1) << boxes_.boxTexts()[0].toStdString();
  ASSERT_EQ(windows_.presets.size(), 2u);
  EXPECT_EQ(windows_.presets[1].database, "library");
  EXPECT_EQ(windows_.presets[1].user, "vxdesk");
  EXPECT_EQ(windows_.presets[1].password, "wrong");
  EXPECT_EQ(windows_.presets[1].databases, std::vector<std::string>{"library"});
  EXPECT_EQ(windows_.waitLines, (std::vector<std::string>(2, "Connecting to database library...")));
  EXPECT_EQ(windows_.waitShowing, 0);
  EXPECT_TRUE(login_->loginData().LoggedIn());
  EXPECT_EQ(login_->UnitId(), 2);
  EXPECT_EQ(login_->UnitName(), "Lending Department");  // the name comes from the database
  // The engine settings the database prescribes were stored and the connection reopened
  // with them.
  EXPECT_TRUE(reg::readValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\Login\\library\\Params", "LANGDRIVER"));
}

TEST_P(Login, AUserWithoutTheRightIsToldAndMayLogOnAsAnother) {
  windows_.answerLogin("vxguest", "vxguest-demo", 1, "library");
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1);
  login_->setConnected(true);
  EXPECT_TRUE(login_->Connected());
  ASSERT_EQ(boxes_.boxes().size(), 1u);  // the refusal only; the silent abort shows nothing
  EXPECT_EQ(boxes_.boxTexts()[0],
            "You don't have permission to run Vellumdex System Down on database library");
  EXPECT_EQ(boxes_.boxes()[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(windows_.presets.size(), 2u);
}

// Each state of the database meets its check; the dialog is then cancelled.
struct CheckCase {
  const char* name;
  const char* arrange;
  int unitId;
  std::vector<MsgResult> answers;  // to the boxes, in order
  bool connected;
  std::vector<std::string> boxes;  // the texts shown, in order
};

TEST_P(Login, EachCheckInItsOrderWithItsMessage) {
  const std::vector<CheckCase> cases = {
      {"upgrading", "UPDATE NSU.Db_Info SET Upgrading = 1", 1, {}, false,
       {"Database upgrading is ongoing.\n\rLogin to Vellumdex is not possible now.\n\rTry again later."}},
      {"version too low", "UPDATE NSU.Db_Info SET Version = '2.4000', Beta_Version = ''", 1, {}, false,
       {"Sorry, this program requires database version 2.5003.\nSelected database is only version 2.4000."}},
      {"beta equal", "UPDATE NSU.Db_Info SET Version = '2.4000', Beta_Version = '2.5003'", 1, {}, true,
       {"The database library is upgraded to database version 2.5003 beta.\n\rRemember to upgrade this "
        "database again when a released database version is available."}},
      {"unit missing", "", 777, {}, false, {"Your default unit does not exist"}},
      // Two failing states at once: the first check in the order speaks, the rest never run.
      {"upgrading and too low", "UPDATE NSU.Db_Info SET Upgrading = 1, Version = '2.4000', Beta_Version = ''", 777,
       {}, false,
       {"Database upgrading is ongoing.\n\rLogin to Vellumdex is not possible now.\n\rTry again later."}},
      {"too low and unit missing", "UPDATE NSU.Db_Info SET Version = '2.4000', Beta_Version = ''", 777, {}, false,
       {"Sorry, this program requires database version 2.5003.\nSelected database is only version 2.4000."}},
      {"beta, then unit missing", "UPDATE NSU.Db_Info SET Version = '2.4000', Beta_Version = '2.5003'", 777, {},
       false,
       {"The database library is upgraded to database version 2.5003 beta.\n\rRemember to upgrade this "
        "database again when a released database version is available.",
        "Your default unit does not exist"}},
      {"slack unreadable", "DROP TABLE NSU.Global_Options", 1, {}, true, {}},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh library each time (on PostgreSQL it takes the same database name).
    login_.reset();
    library_.reset();
    library_ = std::make_unique<vxtest::TestLibrary>(GetParam());
    login_ = makeLogin();
    boxes_.clear();
    if (*c.arrange) arrange(c.arrange);
    windows_.answerLogin("vxdesk", "vxdesk-demo", c.unitId, "library");
    windows_.answerCancel();
    for (MsgResult a : c.answers) boxes_.answerNextBox(a);
    login_->setConnected(true);
    EXPECT_EQ(login_->Connected(), c.connected);
    std::vector<std::string> shown;
    for (const QString& t : boxes_.boxTexts()) shown.push_back(t.toStdString());
    EXPECT_EQ(shown, c.boxes);
    EXPECT_EQ(login_->loginData().LoggedIn(), c.connected);
    windows_.answers.clear();
  }
}

TEST_P(Login, ClocksApartAskWithCancelAsTheDefault) {
  arrange("UPDATE NSU.Global_Options SET Slack_Time = -1");  // any difference is too much
  for (const MsgResult answer : {MsgResult::Cancel, MsgResult::Ok}) {
    boxes_.clear();
    windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "library");
    windows_.answerCancel();
    boxes_.answerNextBox(answer);
    login_->setConnected(true);
    EXPECT_EQ(login_->Connected(), answer == MsgResult::Ok);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    const RecordedBox& box = boxes_.boxes()[0];
    EXPECT_EQ(box.caption, "Vellumdex 2: Date and time settings differs");
    EXPECT_EQ(box.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(box.options.defaultButton, MsgResult::Cancel);
    EXPECT_TRUE(box.text.startsWith("Local (client) date and time: ")) << box.text.toStdString();
    EXPECT_NE(box.text.indexOf("The \\'Vellumdex\\' program"), -1) << box.text.toStdString();
    login_->setConnected(false);
  }
}

TEST_P(Login, AnotherProgramsLoginIsSharedWithoutADialog) {
  // The first program logs on and stays; the second finds its login in the shared record.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    windows_.answerLogin("vxdesk", "vxdesk-demo", 5, "library");
    login_->setConnected(true);
    const char ok = login_->Connected() ? '1' : '0';
    (void)!write(ready[1], &ok, 1);
    char c;
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char ok = '0';
  (void)!read(ready[0], &ok, 1);
  ASSERT_EQ(ok, '1');
  login_.reset();
  auto second = makeLogin();
  second->setLoginPromptAlways(false);
  second->setConnected(true);
  EXPECT_TRUE(second->Connected());
  EXPECT_TRUE(windows_.presets.empty());
  EXPECT_EQ(second->UnitId(), 5);
  (void)!write(done[1], "x", 1);
  waitpid(first, nullptr, 0);
}

TEST_P(Login, CommandLineCredentialsAreTriedOnce) {
  vx::login::setProgramArguments({"-x", "/as", "library,vxdesk,vxdesk-demo"});
  login_->setLoginPromptAlways(false);
  login_->loginData().setUnitID(3);
  login_->setConnected(true);
  EXPECT_TRUE(login_->Connected());
  EXPECT_TRUE(windows_.presets.empty());
  EXPECT_FALSE(login_->ReadCmdParams);
  login_->setConnected(false);

  // Wrong ones with the dialog always wanted: reported once, then the dialog.
  auto again = makeLogin();
  again->ReadCmdParams = true;
  vx::login::setProgramArguments({"/AUTOSTART", "library,vxdesk,nope"});
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "library");
  again->setConnected(true);
  EXPECT_TRUE(again->Connected());
  EXPECT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(windows_.presets.size(), 1u);
  vx::login::setProgramArguments({});
}

TEST_P(Login, BadCommandLinesAreRefusedWithOneMessage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/AS", "library,vxdesk"}, {"/as", "a,b,c,d"},
        {"/As", "library,vx desk,pw"}, {"/AS"}}) {
    vx::login::setProgramArguments(args);
    auto login = makeLogin();
    try {
      login->setConnected(true);
      ADD_FAILURE() << "accepted " << args.back();
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Invalid login information in /AS command line parameter!");
    }
    EXPECT_FALSE(login->Connected());
  }
  vx::login::setProgramArguments({});
}

TEST_P(Login, AccessLevelsAndTheModuleNameAsAValue) {
  auto db = library_->login("vxguest", "vxguest-demo");
  TVXAccess access(library_->session());
  struct Case {
    const char* module;
    int level;
  };
  for (const Case& c : {Case{"Circulation", 1}, Case{"Cataloguing", 2}, Case{"System Down Import", -1},
                        Case{"No such module", -1}, Case{"x' OR '1'='1", -1}}) {
    access.ModuleName = c.module;
    EXPECT_EQ(access.AccessLevel(), c.level) << c.module;
  }
  for (int context : {0, 9301}) {
    boxes_.clear();
    access.ShowAccessDenied("Vellumdex System Down", "library", context);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].buttons, context ? MsgButtons::OkHelp : MsgButtons::Ok);
    EXPECT_EQ(boxes_.boxes()[0].options.helpContext, context);
  }
}

TEST_P(Login, AServerThatIsDownOrGoesAwayIsReportedAndTheDialogOffered) {
  library_->session().addAlias(
      {"down", vx::db::DriverKind::Postgres,
       {{"SERVER NAME", dir_.path()}, {"PORT", "5432"}, {"DATABASE NAME", "library"}}});
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "down");
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "nosuchalias");
  windows_.answerCancel();
  login_->setConnected(true);
  EXPECT_FALSE(login_->Connected());
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_NE(boxes_.boxTexts()[0].indexOf(QString::fromStdString(dir_.path())), -1)
      << boxes_.boxTexts()[0].toStdString();
  EXPECT_EQ(boxes_.boxTexts()[1], "Unknown alias: nosuchalias");
  EXPECT_FALSE(login_->loginData().LoggedIn());

  if (GetParam() != Engine::Postgres) return;
  // The server ends the session in the middle of the checks.
  boxes_.clear();
  login_->OnAccessControl = [this](bool& granted) {
    arrange("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'vxdesk'");
    granted = true;
  };
  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "library");
  windows_.answerCancel();
  login_->setConnected(true);
  EXPECT_FALSE(login_->Connected());
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_FALSE(login_->loginData().LoggedIn());
}

TEST_P(Login, TheEnginesLoginEventFillsTheCredentialsOrRefuses) {
  std::vector<std::string> params = {"USER NAME=x"};
  vx::db::Database plain(library_->session());
  EXPECT_THROW(login_->LoginHandler(plain, params), vx::AssertionFailure);
  login_->loginData().setUserName("vxdesk");
  login_->loginData().setPassword("vxdesk-demo");
  login_->setLoginPromptAlways(false);
  login_->loginData().setLoggedIn(true);
  login_->LoginHandler(*login_, params);
  EXPECT_EQ(vx::db::paramValue(params, "USER NAME"), "vxdesk");
  EXPECT_EQ(vx::db::paramValue(params, "PASSWORD"), "vxdesk-demo");
  login_->setLoginPromptAlways(true);
  windows_.answerCancel();
  try {
    login_->LoginHandler(*login_, params);
    ADD_FAILURE() << "a cancelled dialog let the engine log on";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "TVXLogin: Login was terminated by user");
  }
}

TEST_P(Login, StartsWithTheDocumentedValuesAndForcesAUnit) {
  TVXLogin fresh(library_->session());
  EXPECT_FALSE(fresh.Connected());
  EXPECT_TRUE(fresh.LoginPrompt());
  EXPECT_FALSE(fresh.LoginPromptAlways());
  EXPECT_EQ(fresh.DatabaseVersion, 0.0f);
  EXPECT_FALSE(fresh.OnAccessControl);
  EXPECT_EQ(fresh.LanguageCode, "ENG");
  EXPECT_TRUE(fresh.AllowLanguageSelection);
  EXPECT_TRUE(fresh.ShowWaitForm);
  EXPECT_TRUE(fresh.ReadCmdParams);
  EXPECT_FALSE(fresh.SkipRegistry);
  EXPECT_EQ(fresh.LanguageDictionary, nullptr);
  EXPECT_FALSE(fresh.NoLanguageSave());
  fresh.AllowLanguageSelection = false;
  try {
    fresh.setConnected(true);
    ADD_FAILURE() << "logged on without a database name";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "DatabaseName is missing");
  }

  windows_.answerLogin("vxdesk", "vxdesk-demo", 1, "library");
  login_->setConnected(true);
  ASSERT_TRUE(login_->Connected());
  EXPECT_TRUE(login_->ForceUnitID(3));
  EXPECT_EQ(login_->UnitName(), "Reference Department");
  EXPECT_FALSE(login_->ForceUnitID(777));
  EXPECT_EQ(login_->UnitId(), 777);
}

}  // namespace

TEST(LoginAliases, AMalformedAliasFileIsReportedByTheLogin) {
  vxtest::TempDir dir;
  std::filesystem::create_directories(dir.file("run"));
  vxtest::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.file("run"));
  vxtest::writeAll(dir.file("aliases.ini"), "[demo]\nDRIVER=SQLITE\nPATH=x\nnot a setting\n");
  vxtest::ScopedEnv aliases("VELLUMDEX_ALIASES", dir.file("aliases.ini"));
  vx::db::Session session("Aliases");
  ScriptedLoginUi windows;
  TVXLogin login(session);
  login.databaseName = "VXDB";
  login.AllowLanguageSelection = false;
  login.setLoginPromptAlways(true);
  try {
    login.setConnected(true);
    ADD_FAILURE() << "a malformed alias file went unnoticed";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()),
              dir.file("aliases.ini") + ":4: expected NAME=value or [alias], found \"not a setting\"");
  }
  EXPECT_FALSE(login.Connected());
}

TEST(LoginCommandLine, SplitsLikeTheSuitesCommaLists) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"demo,vxdesk,vxdesk-demo", {"demo", "vxdesk", "vxdesk-demo"}},
      {"  a , b ,c  ", {"a", "b", "c"}},
      {"a b c", {"a", "b", "c"}},
      {"a,,b", {"a", "", "b"}},
      {"a,b,", {"a", "b"}},
      {"\"my lib\",\"o\"\"neil\",pw", {"my lib", "o\"neil", "pw"}},
      {"\"unclosed,x", {"unclosed,x"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(vx::login::splitCommaText(c.text), c.items) << c.text;
}

TEST(LoginDateFormat, ShortDatesGetFourDigitYears) {
  struct Case {
    const char* format;
    const char* separator;
    const char* expected;
  };
  const Case cases[] = {{"dd.MM.yy", ".", "dd.MM.yyyy"}, {"d/M/y", "/", "d/M/yyyy"},
                        {"yyyy-MM-dd", "-", "yyyy-MM-dd"}, {"yyy-MM", "-", "yyyy-MM"},
                        {"dd.MM", ".", "dd.MM.yyyy"},      {"dd.MM.", ".", "dd.MM.yyyy"}};
  for (const Case& c : cases)
    EXPECT_EQ(TVXLogin::fourDigitYearFormat(c.format, c.separator), c.expected) << c.format;
}
