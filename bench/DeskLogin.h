#pragma once
// The login of a desk to the demo library, as the import dialog makes it: the demo desk user,
// unit 1, the access check of "System Down Import", no dialogs. For the benchmarks of the login.
#include "db/Session.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/VXLogin.h"

#include <memory>

namespace vxbench {

inline std::unique_ptr<TVXLogin> deskLogin(vx::db::Session& session) {
  auto login = std::make_unique<TVXLogin>(session);
  login->databaseName = "VXDB";
  login->aliasName = "library";
  login->params = {"USER NAME=vxdesk", "PASSWORD=vxdesk-demo"};
  login->AllowLanguageSelection = false;
  login->ReadCmdParams = false;
  login->setLoginPrompt(false);
  login->DatabaseVersion = 2.5003f;
  login->loginData().setUnitID(1);
  login->OnAccessControl = [&session](bool& granted) {
    TVXAccess access(session);
    access.ModuleName = "System Down Import";
    granted = access.AccessLevel() == 1;
  };
  return login;
}

}  // namespace vxbench
