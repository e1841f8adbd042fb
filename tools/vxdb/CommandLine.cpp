#include "tools/vxdb/CommandLine.h"

#include <string_view>

namespace vx::tools::vxdb {

namespace {

// "--name value" or "--name=value".
bool takeValue(const std::vector<std::string>& args, size_t& i, std::string_view name,
               std::optional<std::string>& out) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) throw UsageError{std::string(name) + " needs a value"};
    out = args[++i];
    return true;
  }
  if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
    out = a.substr(name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

Options parse(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command given"};
  Options o;
  o.command = args[0];
  if (o.command != "create" && o.command != "seed" && o.command != "drop" && o.command != "list")
    throw UsageError{"unknown command \"" + o.command + "\""};
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (takeValue(args, i, "--user", o.user) || takeValue(args, i, "--password", o.password) ||
        takeValue(args, i, "--password-file", o.passwordFile))
      continue;
    if (a == "--demo" || a == "--no-demo") {
      if (o.command != "create") throw UsageError{a + " belongs to create"};
      const bool demo = a == "--demo";
      if (o.demo && *o.demo != demo) throw UsageError{"give --demo or --no-demo, not both"};
      o.demo = demo;
      continue;
    }
    if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option \"" + a + "\""};
    positional.push_back(a);
  }
  if (o.command == "list") {
    if (!positional.empty() || o.user || o.password || o.passwordFile)
      throw UsageError{"list takes no arguments"};
    return o;
  }
  if (positional.empty()) throw UsageError{o.command + " needs an ALIAS"};
  if (positional.size() > 1) throw UsageError{"unexpected argument \"" + positional[1] + "\""};
  o.alias = positional[0];
  return o;
}

}  // namespace vx::tools::vxdb
