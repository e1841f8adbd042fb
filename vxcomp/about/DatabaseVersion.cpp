#include "vxcomp/about/DatabaseVersion.h"

#include "db/Query.h"
#include "vxcomp/about/AboutStrings.h"

#include <optional>

namespace vx::about {

namespace {

// The first value of the first row, or nullopt when the statement gives no row.
std::optional<std::string> firstValue(vx::db::Query& query, const std::string& sql) {
  query.setSql(sql);
  query.open();
  std::optional<std::string> value;
  if (!query.eof()) value = query.field(0).asString();
  query.close();
  return value;
}

}  // namespace

DatabaseVersionText readDatabaseVersion(vx::db::Session& session, const std::string& databaseName) {
  registerStrings();
  vx::db::Query query(session);
  query.databaseName = databaseName;

  DatabaseVersionText text;
  const std::optional<std::string> beta = firstValue(query, "SELECT Beta_Version FROM NSU.Db_Info");
  if (!beta || beta->empty() || *beta == "0") {
    text.version = QString::fromStdString(firstValue(query, "SELECT Version FROM NSU.Db_Info").value_or(""));
  } else {
    text.version = QString::fromStdString(*beta) + res::loadResString(sBetaSuffix);
  }

  query.setSql("SELECT GetDbLanguage(), (Select Marc_Std from Global_Options) FROM NSU.Db_Info");
  query.open();
  // Without a row both fields read as empty text, as fields after the last row do.
  text.language = "(" + QString::fromStdString(query.field(0).asString()) + " - " +
                  QString::fromStdString(query.field(1).asString()) + ")";
  query.close();
  return text;
}

}  // namespace vx::about
