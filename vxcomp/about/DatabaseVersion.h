#pragma once
// What the about box shows of a library database: its version and its language.
#include "db/Session.h"

#include <QString>

#include <string>

namespace vx::about {

struct DatabaseVersionText {
  // The beta version followed by " (beta)" (translated) while the database is a beta, else its
  // released version: NSU.Db_Info's Beta_Version counts as no beta when it is empty, "0" or
  // there is no row.
  QString version;
  // "(" + GetDbLanguage() + " - " + Global_Options.Marc_Std + ")", e.g. "(English - MARC 21)".
  QString language;
};

// Reads both texts through queries on the database object named `databaseName` in `session`
// (opened if it is closed). Engine errors, an unknown database name included, reach the
// caller unchanged as vx::db::DbError.
DatabaseVersionText readDatabaseVersion(vx::db::Session& session, const std::string& databaseName);

}  // namespace vx::about
