#include "platform/XdgDirs.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace vx::xdg {

namespace {

// The variable's value when it is an absolute path.
std::string absoluteVariable(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v == '/') ? std::string(v) : std::string();
}

std::string belowHomeOr(const char* variable, const char* belowHome) {
  std::string folder = absoluteVariable(variable);
  if (!folder.empty()) return folder;
  const std::string home = homeDir();
  return home.empty() ? std::string() : home + "/" + belowHome;
}

}  // namespace

std::string homeDir() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
  return {};
}

std::string configHome() { return belowHomeOr("XDG_CONFIG_HOME", ".config"); }
std::string dataHome() { return belowHomeOr("XDG_DATA_HOME", ".local/share"); }
std::string runtimeDir() { return absoluteVariable("XDG_RUNTIME_DIR"); }

}  // namespace vx::xdg
