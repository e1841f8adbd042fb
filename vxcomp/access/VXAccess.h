#pragma once
// The module access check: whether the logged-on user may run a named module of the suite,
// as the library database's function VXAccess says, and the standard refusal message.
//
// The database holds and evaluates the rights; this component passes the module's name (as a
// bound parameter, never pasted into the statement) and reads back a number: 1 may run the
// module, anything else may not. A 0 (or no row, or NULL) comes back as -1, so a caller never
// sees 0.
#include "db/Session.h"

#include <string>

class TVXAccess {
 public:
  explicit TVXAccess(vx::db::Session& session = vx::db::Session::defaultSession());

  std::string DatabaseName = "VXDB";
  std::string SessionName;
  std::string ModuleName;

  // The user's access level for ModuleName on the open database DatabaseName; never 0.
  // Engine errors (no connection, no such function) reach the caller unchanged.
  int AccessLevel();

  // "You don't have permission to run <program> on database <database>" in an information
  // box: OK alone for help context 0, OK and Help (showing that topic) otherwise.
  void ShowAccessDenied(const std::string& programName, const std::string& databaseName,
                        int helpContext);

 private:
  vx::db::Session& session_;
};

namespace vx::access {

// String table ids of the component's messages.
enum StringId : int {
  sNoPermission = 2100,  // "You don't have permission to run %s on database %s"
};

void registerStrings();

}  // namespace vx::access
