#include "tests/support/ScopedEnv.h"

#include <cstdlib>

namespace vxtest {

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  set(value);
}

ScopedEnv::~ScopedEnv() { set(old_); }

void ScopedEnv::set(const std::optional<std::string>& value) {
  if (value)
    setenv(name_.c_str(), value->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

}  // namespace vxtest
