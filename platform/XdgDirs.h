#pragma once
// The XDG base folders, by one rule for the whole program: a variable that is unset, empty or
// holds a relative path is ignored (the XDG Base Directory rules say so), and the default
// below the home folder is used instead.
#include <string>

namespace vx::xdg {

// $HOME, or the home folder of the user's account; "" when neither is known.
std::string homeDir();

// $XDG_CONFIG_HOME, else ~/.config; "" without a home folder.
std::string configHome();

// $XDG_DATA_HOME, else ~/.local/share; "" without a home folder.
std::string dataHome();

// $XDG_RUNTIME_DIR, or "" when it is not set to an absolute path (there is no default).
std::string runtimeDir();

}  // namespace vx::xdg
