#include "vxcomp/login/VXLogin.h"

#include "db/DbError.h"
#include "db/Query.h"
#include "i18n/Dictionary.h"
#include "i18n/LocaleSettings.h"
#include "platform/Assertion.h"
#include "platform/LocaleInfo.h"
#include "platform/Registry.h"
#include "platform/SilentAbort.h"
#include "platform/TextCompare.h"
#include "platform/UserInterface.h"
#include "vxcomp/login/AutoStart.h"
#include "vxcomp/login/LoginStrings.h"
#include "vxcomp/login/LoginUi.h"

#include <QString>

#include <cmath>
#include <cstdio>
#include <stdexcept>

using vx::login::text;

namespace {

// The login's reading statements, written once for running them and for announcing them.
constexpr const char* kUpgradingSql = "SELECT Upgrading from NSU.Db_Info";
constexpr const char* kUnitNameSql = "select name from unit where Unit_Id = :UnitId";
constexpr const char* kSlackTimeSql = "SELECT Slack_Time from NSU.Global_Options";
constexpr const char* kServerTimeSql = "SELECT getdate()";

const char* const kLanguageKey = "Software\\Vellumdex\\Language";
const char* const kLanguageValue = "DefaultLanguage";

QString q(const std::string& s) { return QString::fromStdString(s); }

// A version as the messages show it: four decimals, the locale's decimal separator.
QString versionText(float version) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", double(version));
  std::string s = buf;
  if (const auto dot = s.find('.'); dot != std::string::npos)
    s = s.substr(0, dot) + vx::locale::decimalSeparator() + s.substr(dot + 1);
  return q(s);
}

QString message(vx::login::StringId id, const QStringList& args = {}) {
  return vx::res::formatMessage(vx::res::loadResString(id), args);
}

std::string cut(const std::string& s) { return s.substr(0, TLoginData::kMaxText); }

std::string shownDateTime(const vx::db::DateTime& t) {
  const auto& f = vx::i18n::formatSettings();
  return vx::i18n::formatDateTime(f.ShortDateFormat + " " + f.LongTimeFormat, f, t.year, t.month,
                                  t.day, t.hour, t.minute, t.second);
}

}  // namespace

std::string TVXLogin::fourDigitYearFormat(const std::string& format, const std::string& separator) {
  const auto y = format.find('y');
  if (y == std::string::npos) {
    std::string out = format;
    if (!separator.empty() && (out.size() < separator.size() ||
                               out.compare(out.size() - separator.size(), separator.size(), separator) != 0))
      out += separator;
    return out + "yyyy";
  }
  std::size_t run = 0;
  while (y + run < format.size() && format[y + run] == 'y') ++run;
  if (run >= 4) return format;
  return format.substr(0, y) + std::string(4 - run, 'y') + format.substr(y);
}

TVXLogin::TVXLogin(vx::db::Session& session, LoginScope scope) : TVXDatabase(session) {
  vx::login::registerStrings();
  loginData_ = std::make_unique<TLoginData>(scope);
  KeepSettingsInProcess = scope == LoginScope::Process;
  onLogin = [this](vx::db::Database& db, std::vector<std::string>& loginParams) { LoginHandler(db, loginParams); };
  setLoginPrompt(true);
  setLoginPromptAlways(false);
  // Every date the program shows from now on carries four-digit years.
  auto settings = vx::i18n::formatSettings();
  settings.ShortDateFormat = fourDigitYearFormat(settings.ShortDateFormat, settings.DateSeparator);
  vx::i18n::setFormatSettings(settings);
  SkipRegistry = false;
}

TVXLogin::~TVXLogin() = default;

bool TVXLogin::LoginPrompt() const { return loginData_->LoginPrompt; }
void TVXLogin::setLoginPrompt(bool on) {
  loginPrompt = on;
  loginData_->LoginPrompt = on;
}
bool TVXLogin::LoginPromptAlways() const { return loginData_->LoginPromptAlways; }
void TVXLogin::setLoginPromptAlways(bool on) { loginData_->LoginPromptAlways = on; }

void TVXLogin::setConnected(bool on) {
  if (!on) {
    close();
    return;
  }
  if (connected()) return;
  FetchLanguageSettings();
  RunLogin();
}

bool TVXLogin::ForceUnitID(int unitId) {
  loginData_->setUnitID(unitId);
  return CheckUnitExists();
}

// ---- Language -----------------------------------------------------------------------

void TVXLogin::FetchLanguageSettings() {
  if (!AllowLanguageSelection) return;
  if (!LanguageDictionary)
    throw vx::AssertionFailure("TVXLogin: LanguageDictionary is NIL on FetchLanguageSettings!");
  int value = -2;
  if (auto v = vx::reg::readValue(vx::reg::Hive::CurrentUser, kLanguageKey, kLanguageValue)) {
    bool ok = false;
    const int stored = q(v->text).trimmed().toInt(&ok);
    if (ok) value = stored;
  }
  if (value >= LanguageDictionary->GetLanguageCount()) {
    noLanguageSave_ = true;
    value = -2;
  }
  LanguageDictionary->SetLanguage(value);
  SetLanguageByIndex(LanguageDictionary->Language() - 1);
}

void TVXLogin::SetLanguageByIndex(int index) {
  switch (index) {
    case 0: LanguageCode = "NOR"; break;
    case 1: LanguageCode = "SWE"; break;
    case 2: LanguageCode = "DAN"; break;
    default: LanguageCode = "ENG"; break;
  }
}

// ---- The login ----------------------------------------------------------------------

bool TVXLogin::NeedsLoginPrompt() const {
  return (loginData_->LoginPrompt && !loginData_->LoggedIn()) || loginData_->LoginPromptAlways;
}

void TVXLogin::RunLogin() {
  if (databaseName.empty()) throw std::runtime_error(text(vx::login::sDatabaseNameMissing));
  bool fromCommandLine = false;
  if (ReadCmdParams) {
    const auto args = vx::login::programArguments();
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string arg = q(args[i]).trimmed().toUpper().toStdString();
      if (arg == "/AUTOSTART" || arg == "/AS") {
        fromCommandLine = true;
        ++i;
        ParseAutoStartParam(i < args.size() ? args[i] : std::string());
      }
    }
  }

  bool dialogAccepted = false;
  for (;;) {
    bool dialogRaised = false;
    try {
      dialogAccepted = false;
      if (NeedsLoginPrompt() && !fromCommandLine) {
        vx::login::loginUi().hideWait();
        bool accepted = false;
        try {
          accepted = LoginDialog();
        } catch (...) {
          dialogRaised = true;
          throw;
        }
        if (!accepted) return;  // cancelled: disconnected, no error
        dialogAccepted = true;
        ApplyLoginData();
      } else if (!fromCommandLine && LoginPrompt() && loginData_->LoggedIn()) {
        ApplyLoginData();  // another program of the suite is logged in
      }
      ReadDatabaseSettings();
      const bool prompt = LoginPrompt();
      setLoginPrompt(false);
      try {
        ConnectAndVerify();
      } catch (...) {
        setLoginPrompt(prompt);
        ReadCmdParams = false;
        throw;
      }
      setLoginPrompt(prompt);
      ReadCmdParams = false;
      break;
    } catch (const std::exception& e) {
      vx::login::loginUi().hideWait();
      if (!NeedsLoginPrompt() || dialogRaised) throw;
      const bool silent = dynamic_cast<const vx::SilentAbort*>(&e) != nullptr;
      if (!silent)
        vx::userInterface().messageBox(nullptr, QString::fromUtf8(e.what()), vx::MsgIcon::Information,
                                       vx::MsgButtons::Ok);
      // Credentials from the command line are tried once: the next pass offers the dialog.
      fromCommandLine = false;
    }
  }
  if (dialogAccepted && AllowLanguageSelection) FetchLanguageSettings();
}

void TVXLogin::ParseAutoStartParam(const std::string& value) {
  const auto items = vx::login::splitCommaText(value);
  if (items.size() != 3) throw std::runtime_error(text(vx::login::sInvalidAutoStart));
  aliasName = items[0];
  params = {"USER NAME=" + items[1], "PASSWORD=" + items[2]};
  loginData_->setAlias(cut(items[0]));
  loginData_->setUserName(cut(items[1]));
  loginData_->setPassword(cut(items[2]));
  setLoginPrompt(false);
}

void TVXLogin::ApplyLoginData() {
  aliasName = loginData_->Alias();
  vx::db::setParamValue(params, "USER NAME", loginData_->UserName());
  vx::db::setParamValue(params, "PASSWORD", loginData_->Password());
}

bool TVXLogin::LoginDialog() {
  if (AllowLanguageSelection && !LanguageDictionary)
    throw vx::AssertionFailure("TVXLogin: LanguageDictionary is NIL on LoginDialog!");
  vx::login::LoginDialogValues values;
  for (const std::string& alias : session().aliasNames())
    if (!vx::sameName(alias, databaseName)) values.databases.push_back(alias);
  values.database = loginData_->Alias();
  values.user = loginData_->UserName();
  values.password = loginData_->Password();
  values.unitId = loginData_->UnitID();
  values.unitName = loginData_->UnitName();
  values.languageCode = LanguageCode;
  values.dictionary = LanguageDictionary;
  if (!vx::login::loginUi().loginDialog(*this, values)) return false;
  loginData_->setAlias(cut(values.database));
  loginData_->setUserName(cut(values.user));
  loginData_->setPassword(cut(values.password));
  loginData_->setUnitID(values.unitId);
  loginData_->setUnitName(values.unitName);
  if (!noLanguageSave_)  // a language not remembered is asked again at the next login
    (void)vx::reg::writeValue(vx::reg::Hive::CurrentUser, kLanguageKey, kLanguageValue,
                        vx::reg::Value::sz(std::to_string(values.languageIndex + 1)));
  SetLanguageByIndex(values.languageIndex);
  return true;
}

// ---- Connecting and verifying -------------------------------------------------------

void TVXLogin::closeAfterFailure() {
  try {
    close();
  } catch (const std::exception&) {
    const bool skip = SkipRegistry;
    SkipRegistry = true;
    try {
      close();
    } catch (const std::exception&) {
    }
    SkipRegistry = skip;
  }
}

void TVXLogin::ConnectAndVerify() {
  if (ShowWaitForm)
    vx::login::loginUi().beginConnectWait(
        message(vx::login::sConnectingTo, {q(loginData_->Alias())}).toStdString());
  const auto cleanUp = [this] {
    if (ShowWaitForm) vx::login::loginUi().endConnectWait();
    loginData_->setLoggedIn(connected());
  };
  try {
    open();
    if (connected()) {
      try {
        // Over a wide-area link the desk waits for round trips: the checks' reading
        // statements go out together, in three flights (the database's state and settings,
        // the owner's access check, the unit and the clocks). Answers come in the order
        // below, and a refusal still stops where it stops.
        std::vector<vx::db::PlannedStatement> stateChecks = {{kUpgradingSql, {}}, {DbInfoStatement("Version"), {}}};
        for (auto& s : SettingsCheckStatements()) stateChecks.push_back(std::move(s));
        prefetch(stateChecks);
        if (IsDatabaseUpgrading()) {
          vx::userInterface().messageBox(
              nullptr, message(vx::login::sUpgrading) + message(vx::login::sTryAgainLater),
              vx::MsgIcon::Error, vx::MsgButtons::Ok);
          throw vx::SilentAbort();
        }
        const float version = GetDBVersion(*this);
        if (IntVer(version) < IntVer(DatabaseVersion)) {
          const float beta = GetDBBetaVersion(*this);
          if (IntVer(beta) != IntVer(DatabaseVersion))
            throw vx::db::DbError(message(vx::login::sVersionTooLow,
                                          {versionText(DatabaseVersion), "\n", versionText(version)})
                                      .toStdString());
          vx::userInterface().messageBox(
              nullptr,
              message(vx::login::sBetaVersion, {q(loginData_->Alias()), versionText(beta)}) +
                  message(vx::login::sRememberUpgrade),
              vx::MsgIcon::Warning, vx::MsgButtons::Ok);
        }
        if (!WriteDatabaseSettings()) {
          close();
          ReadDatabaseSettings();
          open();
          prefetch(SettingsCheckStatements());
          if (!WriteDatabaseSettings())
            throw vx::db::DbError(text(vx::login::sSettingsOutOfStep) +
                                  (SettingsWriteError().empty() ? "" : "\n" + SettingsWriteError()));
        }
        if (OnAccessControl) {
          bool granted = false;
          OnAccessControl(granted);
          if (!granted) throw vx::SilentAbort();
        }
        prefetch({{kUnitNameSql, {vx::db::Value::integer(UnitId())}}, {kSlackTimeSql, {}}, {kServerTimeSql, {}}});
        if (!CheckUnitExists()) throw vx::db::DbError(text(vx::login::sUnitMissing));
        if (!CheckClock()) throw vx::SilentAbort();
      } catch (...) {
        closeAfterFailure();
        throw;
      }
    }
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
}

bool TVXLogin::IsDatabaseUpgrading() {
  try {
    vx::db::Query query(session());
    query.databaseName = databaseName;
    query.setSql(kUpgradingSql);
    query.open();
    return !query.eof() && query.field(0).asInteger() == 1;
  } catch (const std::exception&) {
    return false;
  }
}

bool TVXLogin::CheckUnitExists() {
  vx::db::Query query(session());
  query.databaseName = databaseName;
  query.setSql(kUnitNameSql);
  query.paramByName("UnitId").setInteger(UnitId());
  query.open();
  if (query.eof()) return false;
  loginData_->setUnitName(cut(query.field(0).asString()));
  return true;
}

int TVXLogin::ReadSlackTime() {
  try {
    vx::db::Query query(session());
    query.databaseName = databaseName;
    query.setSql(kSlackTimeSql);
    query.open();
    if (query.eof()) throw std::runtime_error("no options");
    return static_cast<int>(query.field(0).asInteger() * 1000);
  } catch (const std::exception&) {
    return 120000;
  }
}

bool TVXLogin::CheckClock() {
  try {
    const int slack = ReadSlackTime();
    const vx::db::DateTime client = vx::db::DateTime::now();
    vx::db::Query query(session());
    query.databaseName = databaseName;
    query.setSql(kServerTimeSql);
    query.open();
    const vx::db::DateTime server = query.field(0).asDateTime();
    const long long difference =
        std::llabs(server.toEpochMilliseconds() - client.toEpochMilliseconds());
    if (difference <= slack) return true;
    const QString text =
        message(vx::login::sClockTimes, {q(shownDateTime(client)), q(shownDateTime(server))}) +
        message(vx::login::sClockImportant, {q(ApplicationTitle)}) +
        message(vx::login::sClockDifferent) + message(vx::login::sClockChoice);
    vx::MsgOptions options;
    options.defaultButton = vx::MsgResult::Cancel;
    return vx::userInterface().messageBox(nullptr, text, vx::MsgIcon::Warning, vx::MsgButtons::OkCancel,
                                          message(vx::login::sClockCaption), options) ==
           vx::MsgResult::Ok;
  } catch (const std::exception&) {
    return false;
  }
}

void TVXLogin::LoginHandler(vx::db::Database& database, std::vector<std::string>& loginParams) {
  if (!dynamic_cast<TVXDatabase*>(&database))
    throw vx::AssertionFailure("TVXLogin.LoginHandler: Database should be TVXDatabase!");
  if (!LoginPrompt()) return;
  if (NeedsLoginPrompt() && !LoginDialog())
    throw std::runtime_error("TVXLogin: " + text(vx::login::sTerminatedByUser));
  vx::db::setParamValue(loginParams, "USER NAME", loginData_->UserName());
  vx::db::setParamValue(loginParams, "PASSWORD", loginData_->Password());
}
