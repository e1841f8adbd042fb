#pragma once
// The command line of vxver:
//   vxver FILE [--language N] [--codepage N] [--help] [--version]
// N is decimal or hexadecimal with 0x: --language 1044 (or 0x414) --codepage 1252 (or 0x4E4).
// Without them the string table read is US English in code page 1252, as TVersionResource's
// own defaults.
#include "tools/common/Arguments.h"
#include "vxcomp/version/Language.h"

#include <string>
#include <vector>

namespace vx::tools::vxver {

using vx::tools::UsageError;

struct Options {
  bool help = false;
  bool version = false;
  std::string file;
  TLanguage language = lnUSEnglish;
  TCharacterSet characterSet = csMultilingual;
};

// Parses the arguments after the program's name; raises UsageError with what is wrong,
// including a language or code page that the reader does not know.
Options parse(const std::vector<std::string>& args);

// The text of --help.
std::string usage();

}  // namespace vx::tools::vxver
