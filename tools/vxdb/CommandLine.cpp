#include "tools/vxdb/CommandLine.h"

namespace vx::tools::vxdb {

Options parse(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("no command given");
  Options o;
  o.command = args[0];
  if (o.command != "create" && o.command != "seed" && o.command != "drop" && o.command != "list" &&
      o.command != "desk-list")
    throw UsageError("unknown command \"" + o.command + "\"");
  std::vector<std::string> positional;
  Arguments a(std::vector<std::string>(args.begin() + 1, args.end()));
  while (a.next()) {
    if (auto userArg = a.value("--user", true)) {
      o.user = userArg;
    } else if (auto passwordArg = a.value("--password", true)) {
      o.password = passwordArg;
    } else if (auto passwordFileArg = a.value("--password-file", true)) {
      o.passwordFile = passwordFileArg;
    } else if (a.is({"--demo", "--no-demo"})) {
      if (o.command != "create") throw UsageError(a.current() + " belongs to create");
      const bool demo = a.is({"--demo"});
      if (o.demo && *o.demo != demo) throw UsageError("give --demo or --no-demo, not both");
      o.demo = demo;
    } else if (a.looksLikeOption()) {
      a.unknownOption();
    } else {
      positional.push_back(a.current());
    }
  }
  if (o.command == "list") {
    if (!positional.empty() || o.user || o.password || o.passwordFile)
      throw UsageError("list takes no arguments");
    return o;
  }
  if (positional.empty()) throw UsageError(o.command + " needs an ALIAS");
  if (o.command == "desk-list") {
    if (positional.size() < 2) throw UsageError("desk-list needs an ALIAS and the FILE to write");
    if (positional.size() > 2) throw UsageError("unexpected argument \"" + positional[2] + "\"");
    o.file = positional[1];
  } else if (positional.size() > 1) {
    throw UsageError("unexpected argument \"" + positional[1] + "\"");
  }
  o.alias = positional[0];
  return o;
}

}  // namespace vx::tools::vxdb
