#include "db/AliasConfig.h"

#include <cstdlib>

#include "db/DbError.h"
#include "db/PostgresDriver.h"
#include "db/SqlText.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

namespace vx::db {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

[[noreturn]] void lineError(const std::string& file, size_t line, const std::string& what) {
  throw DbError(file + ":" + std::to_string(line) + ": " + what);
}

std::string folderOf(const std::string& file) {
  const auto slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

struct Pending {
  AliasSpec alias;
  std::string driverText;
  bool hasDriver = false;
  size_t line = 0;
};

void finish(Pending& p, const std::string& file, std::vector<AliasSpec>& out) {
  const std::string where = file + ":" + std::to_string(p.line) + ": alias \"" + p.alias.name + "\"";
  if (!p.hasDriver) throw DbError(where + " names no DRIVER (SQLITE or POSTGRES)");
  if (sameName(p.driverText, "SQLITE")) {
    p.alias.driver = DriverKind::Sqlite;
    bool hasPath = false;
    for (auto& [k, v] : p.alias.settings)
      if (sameName(k, "PATH")) {
        if (v.empty()) continue;
        if (v.front() != '/') v = folderOf(file) + v;
        hasPath = true;
      }
    if (!hasPath) throw DbError(where + " names no database file (PATH)");
  } else if (sameName(p.driverText, "POSTGRES") || sameName(p.driverText, "POSTGRESQL")) {
    p.alias.driver = DriverKind::Postgres;
    // A misspelt setting would otherwise be dropped without a word (and a timeout the
    // administrator meant to set would silently not apply).
    for (const auto& [k, v] : p.alias.settings)
      if (!PostgresDriver::knowsSetting(k))
        throw DbError(where + " has the setting \"" + k +
                      "\", which a POSTGRES alias does not know (SERVER NAME, PORT, DATABASE NAME, "
                      "CONNECT TIMEOUT or a libpq keyword)");
  } else {
    throw DbError(where + " has the unknown driver \"" + p.driverText +
                  "\" (SQLITE or POSTGRES)");
  }
  out.push_back(std::move(p.alias));
}

}  // namespace

std::vector<AliasSpec> parseAliases(std::string_view text, const std::string& file) {
  std::vector<AliasSpec> out;
  Pending current;
  bool inSection = false;
  size_t lineNo = 0;
  size_t pos = 0;
  // A UTF-8 byte order mark, as some editors write it.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
  while (pos <= text.size()) {
    const auto nl = text.find('\n', pos);
    const std::string_view raw =
        text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.find('\0') != std::string_view::npos) lineError(file, lineNo, "a NUL character");
    if (line.front() == '[') {
      if (line.back() != ']') lineError(file, lineNo, "a section header without ']'");
      const std::string name(trim(line.substr(1, line.size() - 2)));
      if (name.empty()) lineError(file, lineNo, "a section without an alias name");
      if (name.find_first_of("[]") != std::string::npos)
        lineError(file, lineNo, "'[' or ']' inside an alias name");
      if (inSection) finish(current, file, out);
      for (const auto& a : out)
        if (sameName(a.name, name))
          lineError(file, lineNo, "the alias \"" + name + "\" is defined twice");
      current = Pending{};
      current.alias.name = name;
      current.line = lineNo;
      inSection = true;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
      lineError(file, lineNo, "expected NAME=value or [alias], found \"" + std::string(line) + "\"");
    const std::string key(trim(line.substr(0, eq)));
    const std::string value(trim(line.substr(eq + 1)));
    if (key.empty()) lineError(file, lineNo, "a setting without a name");
    if (!inSection) lineError(file, lineNo, "a setting before the first [alias]");
    if (sameName(key, "DRIVER")) {
      current.driverText = value;
      current.hasDriver = true;
      continue;
    }
    bool replaced = false;
    for (auto& [k, v] : current.alias.settings)
      if (sameName(k, key)) {
        v = value;
        replaced = true;
      }
    if (!replaced) current.alias.settings.emplace_back(key, value);
  }
  if (inSection) finish(current, file, out);
  return out;
}

std::vector<std::string> aliasFiles() {
  if (const char* named = std::getenv("VELLUMDEX_ALIASES"); named && *named) return {named};
  const std::string config = xdg::configHome();
  std::vector<std::string> files;
  if (!config.empty()) files.push_back(config + "/vellumdex/aliases.ini");
  files.push_back("/etc/vellumdex/aliases.ini");
  return files;
}

std::vector<AliasSpec> loadAliases() {
  const char* named = std::getenv("VELLUMDEX_ALIASES");
  const bool mustExist = named && *named;
  std::vector<AliasSpec> all;
  for (const std::string& file : aliasFiles()) {
    std::string text;
    if (fs::readFile(file, text) != fs::ReadResult::Ok) {
      if (mustExist) throw DbError(file + ": the alias file cannot be read");
      continue;
    }
    for (AliasSpec& a : parseAliases(text, file)) {
      bool hidden = false;
      for (const auto& seen : all) hidden = hidden || sameName(seen.name, a.name);
      if (!hidden) all.push_back(std::move(a));
    }
  }
  return all;
}

}  // namespace vx::db
