#include "tools/vxver/CommandLine.h"

#include <charconv>

namespace vx::tools::vxver {

namespace {

int numberOf(const std::string& option, const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  int value = 0;
  const auto [stop, ec] = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (ec != std::errc() || stop != end || begin == end)
    throw UsageError(option + " takes a number, not \"" + text + "\"");
  return value;
}

}  // namespace

Options parse(const std::vector<std::string>& args) {
  Options o;
  Arguments a(args);
  while (a.next()) {
    if (a.is({"--help", "-h"})) {
      o.help = true;
    } else if (a.is({"--version"})) {
      o.version = true;
    } else if (auto languageArg = a.value("--language")) {
      const auto language = version::languageFromId(numberOf("--language", *languageArg));
      if (!language) throw UsageError("--language " + *languageArg + " is not a language the reader knows");
      o.language = *language;
    } else if (auto codepageArg = a.value("--codepage")) {
      const auto characterSet = version::characterSetFromCodePage(numberOf("--codepage", *codepageArg));
      if (!characterSet) throw UsageError("--codepage " + *codepageArg + " is not a code page the reader knows");
      o.characterSet = *characterSet;
    } else if (a.looksLikeOption()) {
      a.unknownOption();
    } else if (o.file.empty()) {
      o.file = a.current();
    } else {
      throw UsageError("only one file at a time");
    }
  }
  if (!o.help && !o.version && o.file.empty()) throw UsageError("no file given");
  return o;
}

std::string usage() {
  return R"(usage: vxver FILE [--language N] [--codepage N]

Shows the version information of a program of the suite: of our own programs (their version
section) or of a Windows executable (its version resource, PE32 or PE32+).

The first block is what the about box reads: the fifteen texts in the string table of language
N and code page N (default 1033, US English, and 1252). The second is what the exception log
records: the same texts from the Norwegian table 041404E4, "Unknown" where nothing is found.
One "Name: value" line each.

  --language N   a Windows language identifier, decimal or 0x hexadecimal (1044 Norwegian
                 Bokmål, 1053 Swedish, 1030 Danish, 1033 US English, ...)
  --codepage N   the table's code page (1252, 1200 Unicode, 1250, 1251, ...)
  --help         this text
  --version      vxver's own version

Exit status: 0 shown; 1 the file cannot be read or holds no version information (the reason
is on standard error); 2 a bad command line.
)";
}

}  // namespace vx::tools::vxver
