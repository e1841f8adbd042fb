#pragma once
// The configured aliases: named database connections, read from INI files.
//
//   ; comment            # comment
//   [swe]
//   DRIVER=POSTGRES
//   SERVER NAME=db.example.org
//   PORT=5432
//   DATABASE NAME=vellumdex
//   sslmode=require
//
//   [demo]
//   DRIVER=SQLITE
//   PATH=demo.vxdb        (relative to the folder of the file)
//
// Names of sections and keys compare without regard to case. "USER NAME" and "PASSWORD"
// belong to the database object's parameters, not here.
//
// Plain C++ without Qt: the fuzzer compiles it on its own.
#include <string>
#include <string_view>
#include <vector>

namespace vx::db {

enum class DriverKind { Sqlite, Postgres };

struct AliasSpec {
  std::string name;
  DriverKind driver = DriverKind::Sqlite;
  // Every other line of the section in file order, DRIVER excluded.
  std::vector<std::pair<std::string, std::string>> settings;
};

// Parses the text of one alias file. `fileName` names the file in messages and gives the
// folder that relative SQLite paths are resolved from. Raises DbError
// "<file>:<line>: <what>" for a malformed line, and one naming the alias for a section
// without a known driver (or a SQLite alias without PATH).
std::vector<AliasSpec> parseAliases(std::string_view text, const std::string& fileName);

// The alias files in the order they are read: $VELLUMDEX_ALIASES alone when it is set;
// otherwise $XDG_CONFIG_HOME/vellumdex/aliases.ini (default ~/.config/...) and then
// /etc/vellumdex/aliases.ini.
std::vector<std::string> aliasFiles();

// Reads the alias files: missing files give nothing (except a file named by
// VELLUMDEX_ALIASES, which must be readable); an alias of the user's file hides one of the
// same name in the machine's file.
std::vector<AliasSpec> loadAliases();

}  // namespace vx::db
