#pragma once
// The windows the login shows in the middle of its work — the login dialog and the wait
// dialog — reached through one interface, so that the whole login runs without a screen: the
// program installs the real windows (vx_login_ui), tests install a scripted implementation,
// and a command-line program keeps the headless default, which never shows a dialog (the
// login then takes its credentials from the command line). Message boxes go through
// vx::userInterface() (platform/UserInterface.h).
#include <memory>
#include <string>
#include <vector>

class TVXLogin;
namespace vx::i18n {
class TIvDictionary;
}

namespace vx::login {

// What the login dialog is preset with, and what it gives back when the user presses Login.
struct LoginDialogValues {
  std::vector<std::string> databases;  // the aliases offered, the login's own database removed
  std::string database;
  std::string user;
  std::string password;
  int unitId = 0;
  std::string unitName;
  std::string languageCode;  // "NOR", "SWE", "DAN" or "ENG": the dialog's help folder
  vx::i18n::TIvDictionary* dictionary = nullptr;  // not owned; none: no language list
  int languageIndex = 0;     // back: the chosen entry of the language list (0 without one)
};

class LoginUi {
 public:
  virtual ~LoginUi() = default;

  // Shows the login dialog modally. True when the user pressed Login; `values` then holds
  // what the dialog shows. The dialog may open a connection of its own (the unit tree) on
  // the login's session; it is closed before this returns. Errors of the dialog itself
  // (not of a connection the user can correct) are thrown.
  virtual bool loginDialog(TVXLogin& login, LoginDialogValues& values) = 0;

  // The wait dialog while the login connects: shown with one line of text, taken down (or
  // given back to the caller that showed it before) by endConnectWait. hideWait hides a
  // showing wait dialog before the login dialog appears.
  virtual void beginConnectWait(const std::string& line) = 0;
  virtual void endConnectWait() = 0;
  virtual void hideWait() = 0;
};

// The installed interface; the headless one until something is installed. The caller of
// setLoginUi keeps ownership and resets it (nullptr) before the object dies.
LoginUi& loginUi();
void setLoginUi(LoginUi* ui);

}  // namespace vx::login
