#include "tools/common/Arguments.h"

namespace vx::tools {

bool Arguments::is(std::initializer_list<std::string_view> names) const {
  for (std::string_view n : names)
    if (current() == n) return true;
  return false;
}

std::optional<std::string> Arguments::value(std::string_view name, bool equalsForm) {
  const std::string& a = current();
  if (a == name) {
    if (at_ + 1 >= args_.size()) throw UsageError(std::string(name) + " needs a value");
    return args_[++at_];
  }
  if (equalsForm && a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=')
    return a.substr(name.size() + 1);
  return std::nullopt;
}

bool Arguments::looksLikeOption() const { return current().size() > 1 && current()[0] == '-'; }

void Arguments::unknownOption() const { throw UsageError("unknown option " + current()); }

}  // namespace vx::tools
