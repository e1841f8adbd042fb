#pragma once
// The program's one case-insensitive comparison of names: registry keys and values, alias
// names and their settings, database objects and parameters. ASCII letters fold; every other
// byte (UTF-8 included) compares as it is, so that the rule never depends on the locale.
#include <string_view>

namespace vx {

// Equal when the two differ at most in the case of ASCII letters.
bool sameName(std::string_view a, std::string_view b);

// The order that goes with sameName, for sorted containers.
bool lessNoCase(std::string_view a, std::string_view b);

struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return lessNoCase(a, b); }
};

}  // namespace vx
