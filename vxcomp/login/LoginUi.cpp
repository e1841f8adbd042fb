#include "vxcomp/login/LoginUi.h"

namespace vx::login {

namespace {

// No screen: there is no dialog to offer (the login counts it as cancelled) and nothing to
// show while connecting.
class HeadlessLoginUi : public LoginUi {
 public:
  bool loginDialog(TVXLogin&, LoginDialogValues&) override { return false; }
  void beginConnectWait(const std::string&) override {}
  void endConnectWait() override {}
  void hideWait() override {}
};

LoginUi*& installed() {
  static LoginUi* ui = nullptr;
  return ui;
}

}  // namespace

LoginUi& loginUi() {
  static HeadlessLoginUi headless;
  return installed() ? *installed() : headless;
}

void setLoginUi(LoginUi* ui) { installed() = ui; }

}  // namespace vx::login
