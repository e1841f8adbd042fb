#pragma once
// The command line of vxdb, read into what to do. A plain parser of the arguments: it
// touches no database.
#include "tools/common/Arguments.h"

#include <optional>
#include <string>
#include <vector>

namespace vx::tools::vxdb {

using vx::tools::UsageError;

struct Options {
  std::string command;  // create, seed, drop, desk-list or list
  std::string alias;    // set for every command but list
  std::optional<std::string> user;
  std::optional<std::string> password;      // --password: kept for old scripts
  std::optional<std::string> passwordFile;  // --password-file
  // create: --demo (true) or --no-demo (false); unset, the driver decides (see main.cpp).
  std::optional<bool> demo;
  std::string file;  // desk-list: the file to write
};

// The arguments after the program name. Raises UsageError.
Options parse(const std::vector<std::string>& args);

}  // namespace vx::tools::vxdb
