#pragma once
// The login's windows on the screen: the login dialog (TLoginForm) and the program's wait
// dialog (TWaitDlg) while connecting. The program installs one at start:
//   static vx::login::QtLoginUi loginWindows;  vx::login::setLoginUi(&loginWindows);
#include "vxcomp/login/LoginUi.h"

namespace vx::login {

class QtLoginUi : public LoginUi {
 public:
  bool loginDialog(TVXLogin& login, LoginDialogValues& values) override;
  void beginConnectWait(const std::string& line) override;
  void endConnectWait() override;
  void hideWait() override;

 private:
  bool createdWait_ = false;
  int previousClip_ = 0;
};

}  // namespace vx::login
