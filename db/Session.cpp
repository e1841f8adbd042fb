#include "db/Session.h"

#include <algorithm>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/SqlText.h"

namespace vx::db {

Session::Session(std::string name) : name_(std::move(name)) {}

Session::Session(std::string name, std::vector<AliasSpec> aliases)
    : name_(std::move(name)), aliases_(std::move(aliases)) {}

Session::~Session() {
  // Outliving database objects break the contract; at least their connections end here.
  for (Database* d : databases_) d->close();
}

Session& Session::defaultSession() {
  static Session session("Default");
  return session;
}

std::vector<AliasSpec>& Session::aliases() {
  if (!aliases_) aliases_ = loadAliases();
  return *aliases_;
}

std::vector<std::string> Session::aliasNames() {
  std::vector<std::string> names;
  for (const auto& a : aliases()) names.push_back(a.name);
  return names;
}

const AliasSpec& Session::alias(const std::string& name) {
  for (const auto& a : aliases())
    if (sameName(a.name, name)) return a;
  throw DbError("Unknown alias: " + name);
}

void Session::addAlias(AliasSpec alias) {
  auto& all = aliases();
  for (auto& a : all)
    if (sameName(a.name, alias.name)) {
      a = std::move(alias);
      return;
    }
  all.push_back(std::move(alias));
}

void Session::reloadAliases() { aliases_.reset(); }

Database* Session::findDatabase(const std::string& databaseName) const {
  if (databaseName.empty()) return nullptr;
  // An open object wins over a closed one of the same name.
  Database* closed = nullptr;
  for (Database* d : databases_)
    if (sameName(d->databaseName, databaseName)) {
      if (d->connected()) return d;
      if (!closed) closed = d;
    }
  return closed;
}

void Session::attach(Database* d) { databases_.push_back(d); }

void Session::detach(Database* d) {
  databases_.erase(std::remove(databases_.begin(), databases_.end(), d), databases_.end());
}

}  // namespace vx::db
