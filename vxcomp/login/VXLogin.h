#pragma once
// The login component: the library database connection through which a program of the suite
// logs on. Setting Connected to true runs the whole login: the credentials come from the
// command line ("/AS alias,user,password"), from the login another program of the suite
// shares (TLoginData), or from the login dialog; the connection opens while the wait dialog
// says "Connecting to database ..."; and the database is verified before the component counts
// as connected: no upgrade in progress, a sufficient version, engine settings in step with the
// database, access granted by the owner (OnAccessControl), an existing current unit, clocks in
// step. Any failed check closes the connection again.
//
// The component never shows a window itself: the login and wait dialogs go through
// vx::login::loginUi() and message boxes through vx::userInterface(), so the whole login runs
// without a screen when those are scripted or headless.
//
// A refusal already told to the user ends in vx::SilentAbort. After Connected = true returns
// without an exception the owner must still test Connected(): a cancelled dialog returns
// normally with the component disconnected.
#include "vxcomp/login/LoginData.h"
#include "vxcomp/login/VXDatabase.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx::i18n {
class TIvDictionary;
}

class TVXLogin : public TVXDatabase {
 public:
  // LoginScope::Process: a login of this process alone, for a job of its own. It leaves the
  // suite's shared login record and the user's registry as they were (TLoginData, and the
  // engine settings kept in the process: TVXDatabase::KeepSettingsInProcess).
  explicit TVXLogin(vx::db::Session& session = vx::db::Session::defaultSession(),
                    LoginScope scope = LoginScope::Shared);
  ~TVXLogin() override;

  // Read: the engine connection is open. true: the whole login (FetchLanguageSettings, then
  // RunLogin); false: close.
  bool Connected() const { return connected(); }
  void setConnected(bool on);

  // Kept both as the engine's login-prompt flag and as the shared record's; reads give the
  // latter.
  bool LoginPrompt() const;
  void setLoginPrompt(bool on);
  bool LoginPromptAlways() const;
  void setLoginPromptAlways(bool on);

  float DatabaseVersion = 0;  // the lowest database version the program accepts
  std::function<void(bool& granted)> OnAccessControl;
  std::string LanguageCode = "ENG";
  bool AllowLanguageSelection = true;
  bool ShowWaitForm = true;
  bool ReadCmdParams = true;
  // The program's title in the clock question.
  std::string ApplicationTitle = "Vellumdex";
  // The program's dictionary; not owned. Needed when AllowLanguageSelection is set.
  vx::i18n::TIvDictionary* LanguageDictionary = nullptr;

  int UnitId() const { return loginData_->UnitID(); }
  std::string UnitName() const { return loginData_->UnitName(); }
  bool NoLanguageSave() const { return noLanguageSave_; }
  TLoginData& loginData() { return *loginData_; }

  // Stores the id as the current unit and tells whether the unit exists.
  bool ForceUnitID(int unitId);

  // The steps of the login, public for the owner and the tests.
  void FetchLanguageSettings();
  void SetLanguageByIndex(int index);
  void RunLogin();
  bool NeedsLoginPrompt() const;
  void ParseAutoStartParam(const std::string& value);
  void ApplyLoginData();
  bool LoginDialog();
  void ConnectAndVerify();
  bool IsDatabaseUpgrading();
  bool CheckUnitExists();
  bool CheckClock();
  int ReadSlackTime();  // milliseconds; 120000 when it cannot be read
  // The engine's login event: fills "USER NAME" and "PASSWORD" from the shared record.
  void LoginHandler(vx::db::Database& database, std::vector<std::string>& loginParams);

  // The short date format with a four-digit year, as the component makes it program-wide.
  static std::string fourDigitYearFormat(const std::string& shortDateFormat,
                                         const std::string& dateSeparator);

 private:
  // Closes after a failed check; a connection that cannot even close is dropped.
  void closeAfterFailure();

  std::unique_ptr<TLoginData> loginData_;
  bool noLanguageSave_ = false;
};
