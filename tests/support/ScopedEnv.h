#pragma once
// Sets (or, with nullopt, removes) an environment variable for the life of the object and
// puts back what was there before.
#include <optional>
#include <string>

namespace vxtest {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  // A null `value` removes the variable.
  ScopedEnv(const char* name, const char* value)
      : ScopedEnv(name, value ? std::optional<std::string>(value) : std::nullopt) {}
  ScopedEnv(const char* name, const std::string& value)
      : ScopedEnv(name, std::optional<std::string>(value)) {}
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Changes the value again; the destructor still restores the one from before the object.
  void set(const std::optional<std::string>& value);

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace vxtest
