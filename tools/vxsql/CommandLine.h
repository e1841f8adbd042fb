#pragma once
// The command line of vxsql, read into what to run. A plain parser of the arguments: it
// touches no database.
#include "db/Query.h"
#include "db/Value.h"
#include "tools/common/Arguments.h"

#include <optional>
#include <string>
#include <vector>

namespace vx::tools::vxsql {

// A bad command line; an empty message asks for the usage only (--help).
using vx::tools::UsageError;

struct ParamArg {
  std::string name;
  std::optional<std::string> value;
  vx::db::ParamDirection direction = vx::db::ParamDirection::Input;
  vx::db::DataType type = vx::db::DataType::Unknown;
};

struct Options {
  bool version = false;             // --version: nothing else is read
  std::string alias;
  std::optional<std::string> sql;   // exactly one of sql and proc is set (neither with --version)
  std::optional<std::string> proc;
  std::optional<std::string> user;
  std::optional<std::string> password;      // -P: kept for old scripts (see PasswordSource.h)
  std::optional<std::string> passwordFile;  // --password-file
  std::vector<ParamArg> params;     // in the order given; names unique (case-insensitive)
};

// The arguments after the program name. Raises UsageError.
Options parse(const std::vector<std::string>& args);

// The value a parameter binds: its --type, or an integer when written as a plain integer
// ("0", "42", "-7"; not "007"), else text. Raises UsageError for a value not of its type.
vx::db::Value valueOf(const ParamArg& p);

}  // namespace vx::tools::vxsql
