#include "vxcomp/login/VXDatabase.h"

#include "db/Query.h"
#include "platform/Assertion.h"
#include "platform/LocaleInfo.h"
#include "platform/Registry.h"
#include "platform/TextCompare.h"

#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

constexpr const char* kSettingsSql = "SELECT Param, Value FROM NSU.BDE_Config";

bool isPassword(const std::string& name) { return vx::sameName(name, "PASSWORD"); }

// Removes the line NAME=... of that name (case-insensitive).
void removeParam(std::vector<std::string>& lines, const std::string& name) {
  std::erase_if(lines, [&](const std::string& line) {
    return vx::sameName(line.substr(0, line.find('=')), name);
  });
}

}  // namespace

TVXDatabase::TVXDatabase(vx::db::Session& session) : vx::db::Database(session) {
  transIsolation = vx::db::TransIsolation::DirtyRead;
}

TVXDatabase::~TVXDatabase() {
  try {
    close();
  } catch (const std::exception&) {
    // The settings are compared again at the next close; nothing to report from here.
    try {
      SkipRegistry = true;
      close();
    } catch (const std::exception&) {
    }
  }
}

std::string TVXDatabase::paramsKey(const std::string& alias) {
  return "Software\\Vellumdex\\Login\\" + alias + "\\Params";
}

void TVXDatabase::beforeConnect() { ReadDatabaseSettings(); }

void TVXDatabase::beforeDisconnect() {
  prefetch(SettingsCheckStatements());
  (void)WriteDatabaseSettings();
}

std::string TVXDatabase::DbInfoStatement(const std::string& column) { return "SELECT " + column + " FROM NSU.Db_Info"; }

std::vector<vx::db::PlannedStatement> TVXDatabase::SettingsCheckStatements() const {
  if (SkipRegistry) return {};
  return {{DbInfoStatement("Version"), {}}, {kSettingsSql, {}}};
}

void TVXDatabase::ReadDatabaseSettings() {
  if (SkipRegistry) return;
  if (aliasName.empty())
    throw vx::AssertionFailure("VXDatabase.ReadDatabaseSettings: AliasName is not set!");
  const auto values = ownSettings_ ? *ownSettings_ : vx::reg::listValues(vx::reg::Hive::CurrentUser, paramsKey(aliasName));
  for (const auto& v : values) {
    if (v.value.type != vx::reg::ValueType::Sz && v.value.type != vx::reg::ValueType::ExpandSz) continue;
    if (v.value.text.empty())
      removeParam(params, v.name);
    else
      vx::db::setParamValue(params, v.name, v.value.text);
  }
}

bool TVXDatabase::WriteDatabaseSettings() {
  if (aliasName.empty())
    throw vx::AssertionFailure("TVXDatabase.WriteDatabaseSettings: AliasName is not set!");
  if (SkipRegistry) return true;
  if (IntVer(GetDBVersion(*this)) < IntVer(2.0015f)) return true;

  vx::db::Query q(session());
  q.databaseName = databaseName;
  q.setSql(kSettingsSql);
  q.open();
  // What the table prescribes: the last row of a name counts, and an empty value
  // prescribes nothing. Comparing row by row instead would never agree with a table that
  // names a parameter twice or leaves one empty, and every login would rewrite the
  // registry and reconnect.
  std::vector<vx::reg::RegistryHive::NamedValue> prescribed;
  for (; !q.eof(); q.next()) {
    const std::string name = q.fieldByName("Param").asString();
    const std::string value = q.fieldByName("Value").asString();
    if (isPassword(name)) continue;  // the password stays out of the registry
    std::erase_if(prescribed, [&](const auto& p) { return vx::sameName(p.name, name); });
    if (!value.empty()) prescribed.push_back({name, vx::reg::Value::sz(value)});
  }
  q.close();
  bool agrees = true;
  for (const auto& p : prescribed)
    if (vx::db::paramValue(params, p.name) != p.value.text) agrees = false;
  if (agrees) return true;
  if (KeepSettingsInProcess)
    ownSettings_ = prescribed;
  else
    settingsError_ = vx::reg::replaceKey(vx::reg::Hive::CurrentUser, paramsKey(aliasName), prescribed).why();
  return false;
}

int TVXDatabase::IntVer(float version) { return int(std::lround(double(version) * 10000.0)); }

float TVXDatabase::VersionToFloat(const std::string& text) {
  const std::string separator = vx::locale::decimalSeparator();
  std::string s = text;
  if (const auto dot = s.find('.'); dot != std::string::npos)
    s = s.substr(0, dot) + separator + s.substr(dot + 1);
  // Read in the locale's notation: its separator is the decimal point, nothing else is.
  std::string plain = s;
  if (const auto sep = plain.find(separator); sep != std::string::npos)
    plain = plain.substr(0, sep) + "." + plain.substr(sep + separator.size());
  const auto b = plain.find_first_not_of(" \t");
  const auto e = plain.find_last_not_of(" \t");
  float value = 0;
  if (b != std::string::npos) {
    const char* first = plain.data() + b;
    const char* last = plain.data() + e + 1;
    if (*first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc() && end == last) return value;
  }
  throw std::invalid_argument("'" + text + "' is not a valid floating point value");
}

namespace {
std::string readDbInfo(vx::db::Database& db, const std::string& column) {
  vx::db::Query q(db.session());
  q.databaseName = db.databaseName;
  q.setSql(TVXDatabase::DbInfoStatement(column));
  q.open();
  std::string value = q.fieldByName(column).asString();
  q.close();
  return value;
}
}  // namespace

float TVXDatabase::GetDBVersion(vx::db::Database& db) { return VersionToFloat(readDbInfo(db, "Version")); }

float TVXDatabase::GetDBBetaVersion(vx::db::Database& db) {
  try {
    return VersionToFloat(readDbInfo(db, "Beta_Version"));
  } catch (const std::exception&) {
    return 0;
  }
}
