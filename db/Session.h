#pragma once
// The session: the configured aliases and the open database objects by database name.
// The program uses one session, "Default"; tests make their own with the aliases they need.
// A session must outlive the database objects, queries and procedures made on it.
#include <optional>
#include <string>
#include <vector>

#include "db/AliasConfig.h"

namespace vx::db {

class Database;

class Session {
 public:
  // A session that reads its aliases from the alias files (AliasConfig.h) when first asked.
  explicit Session(std::string name = "Default");
  // A session with exactly these aliases.
  Session(std::string name, std::vector<AliasSpec> aliases);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The program's session "Default".
  static Session& defaultSession();

  const std::string& name() const { return name_; }

  // The alias names, in file order. Raises DbError when an alias file is malformed.
  std::vector<std::string> aliasNames();
  // The alias of that name (case-insensitive); raises DbError "Unknown alias: <name>".
  const AliasSpec& alias(const std::string& name);
  // Adds or replaces one alias (the demo set-up, tests).
  void addAlias(AliasSpec alias);
  // Forgets the aliases read so far; the next question reads the files again.
  void reloadAliases();

  // The database object with that database name (case-insensitive), or nullptr.
  Database* findDatabase(const std::string& databaseName) const;

 private:
  friend class Database;
  void attach(Database* d);
  void detach(Database* d);
  std::vector<AliasSpec>& aliases();

  std::string name_;
  std::optional<std::vector<AliasSpec>> aliases_;
  std::vector<Database*> databases_;
};

}  // namespace vx::db
