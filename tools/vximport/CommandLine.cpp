#include "tools/vximport/CommandLine.h"

#include <charconv>

namespace vx::tools::vximport {

Options parse(const std::vector<std::string>& args) {
  Options o;
  bool haveUnit = false;
  Arguments a(args);
  while (a.next()) {
    if (a.is({"--help", "-h"})) {
      o.help = true;
    } else if (a.is({"--version"})) {
      o.version = true;
    } else if (auto aliasArg = a.value("--alias")) {
      o.alias = *aliasArg;
    } else if (auto userArg = a.value("--user")) {
      o.user = *userArg;
    } else if (auto unitArg = a.value("--unit")) {
      const auto [end, ec] = std::from_chars(unitArg->data(), unitArg->data() + unitArg->size(), o.unit);
      if (ec != std::errc() || end != unitArg->data() + unitArg->size() || o.unit <= 0)
        throw UsageError("--unit takes the number of a library unit, not \"" + *unitArg + "\"");
      haveUnit = true;
    } else if (auto passwordFileArg = a.value("--password-file")) {
      o.passwordFile = *passwordFileArg;
    } else if (auto followUpArg = a.value("--follow-up")) {
      if (followUpArg->empty()) throw UsageError("--follow-up takes the name of the CSV file to write");
      o.followUp = *followUpArg;
    } else if (a.is({"--ignore-clock"})) {
      o.ignoreClock = true;
    } else if (a.is({"--password"}) || a.current().rfind("--password=", 0) == 0) {
      throw UsageError("the password is never given on the command line (every user of the machine "
                       "can read it there): use the prompt, VX_PASSWORD or --password-file");
    } else if (a.looksLikeOption()) {
      a.unknownOption();
    } else if (o.workfile.empty()) {
      o.workfile = a.current();
    } else {
      throw UsageError("only one workfile can be imported at a time");
    }
  }
  if (o.help || o.version) return o;
  if (o.workfile.empty()) throw UsageError("no workfile given");
  if (o.alias.empty()) throw UsageError("--alias is missing");
  if (o.user.empty()) throw UsageError("--user is missing");
  if (!haveUnit) throw UsageError("--unit is missing");
  return o;
}

std::string usage() {
  return R"(usage: vximport WORKFILE --alias ALIAS --user USER --unit UNIT_ID
                [--password-file FILE] [--ignore-clock] [--follow-up FILE.csv]
       vximport --help | --version

Posts every line of a workfile as a loan in the library database of ALIAS, served at the
library unit UNIT_ID, as the import dialog of vxdown does: an item still on loan is returned
first, each line's outcome goes to WORKFILE's name with ".log", the rejected lines to ".err",
the totals to ".rpt", and the workfile as it was to ".old", all in the current directory under
names no earlier run used. Afterwards WORKFILE holds only the lines that were not accepted, so
the import can simply be run again later.

The login checks are the program's: the database's version and upgrade state, its engine
settings, the user's right to run "System Down Import", the unit, and the clocks of this
machine and the server (a difference beyond the database's slack time aborts, unless
--ignore-clock).

The password is read from the first line of --password-file FILE when one is named; else from
a prompt without echo when standard input is a terminal; else from the environment variable
VX_PASSWORD. It is never taken from the command line, where every user of the machine can
read it.

Progress goes to standard error: a bar with lines per second and the time left on a terminal,
one line per thousand lines otherwise. The report is printed at the end.

With --follow-up FILE.csv the lines that need a person are written to FILE.csv after the run
(UTF-8, a header row, one row per line, private to the user): unknown barcodes to check for a
mis-scan, items lent although the database refuses them, items reserved or booked for someone
else, items taken from another borrower (with that borrower), and lines that failed; with the
borrowers' names and the titles. The count of each group is printed after the report.

  --follow-up FILE.csv  write the follow-up list there (only when asked: it holds names)
  --help      this text
  --version   vximport's own version

Exit status:
  0  every line was accepted
  1  some lines were rejected (they are in WORKFILE again)
  2  the command line is wrong
  3  could not log on, or no right to import
  4  could not import, nothing posted unless said (workfile missing, empty, locked, read-only,
     not a workfile or damaged; another import of it running; its journal no longer matching;
     outputs not writable; the workfile could not be replaced; an unexpected error)
  5  the import finished, but the follow-up list could not be written
)";
}

}  // namespace vx::tools::vximport
