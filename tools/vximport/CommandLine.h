#pragma once
// The command line of vximport:
//   vximport WORKFILE --alias ALIAS --user USER --unit UNIT_ID
//            [--password-file FILE] [--ignore-clock] [--follow-up FILE.csv] [--help] [--version]
// The password is never taken from the command line (every user of the machine can read it
// there): it comes from the first line of --password-file, else from a prompt without echo on
// a terminal, else from VX_PASSWORD (tools/common/PasswordSource.h).
#include "tools/common/Arguments.h"

#include <optional>
#include <string>
#include <vector>

namespace vx::tools::vximport {

using vx::tools::UsageError;

struct Options {
  bool help = false;
  bool version = false;
  std::string workfile;
  std::string alias;
  std::string user;
  int unit = 0;
  std::optional<std::string> passwordFile;
  bool ignoreClock = false;
  std::optional<std::string> followUp;  // where to write the follow-up list (CSV)
};

// Parses the arguments after the program's name; raises UsageError with what is wrong.
Options parse(const std::vector<std::string>& args);

// The text of --help.
std::string usage();

}  // namespace vx::tools::vximport
