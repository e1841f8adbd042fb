#include "vxcomp/access/VXAccess.h"

#include "db/Query.h"
#include "platform/ResourceStrings.h"
#include "platform/UserInterface.h"

TVXAccess::TVXAccess(vx::db::Session& session) : session_(session) { vx::access::registerStrings(); }

int TVXAccess::AccessLevel() {
  vx::db::Query query(session_);
  query.databaseName = DatabaseName;
  query.setSql(std::vector<std::string>{"SELECT VXAccess(Description) FROM NSU.Module",
                                        " WHERE Description = :Module"});
  query.paramByName("Module").setString(ModuleName);
  query.open();
  const int level = query.eof() ? 0 : static_cast<int>(query.field(0).asInteger());
  query.close();
  return level == 0 ? -1 : level;
}

void TVXAccess::ShowAccessDenied(const std::string& programName, const std::string& databaseName,
                                 int helpContext) {
  const QString text = vx::res::formatMessage(
      vx::res::loadResString(vx::access::sNoPermission),
      {QString::fromStdString(programName), QString::fromStdString(databaseName)});
  vx::MsgOptions options;
  options.helpContext = helpContext;
  vx::userInterface().messageBox(nullptr, text, vx::MsgIcon::Information,
                                 helpContext == 0 ? vx::MsgButtons::Ok : vx::MsgButtons::OkHelp,
                                 QString(), options);
}

namespace vx::access {

void registerStrings() {
  res::registerString(sNoPermission, "You don't have permission to run %s on database %s");
}

}  // namespace vx::access
