#pragma once
// A broken precondition: a programming error, not a user's mistake. Its message names the
// class and the operation ("TVXDatabase.WriteDatabaseSettings: AliasName is not set!").
#include <stdexcept>

namespace vx {

class AssertionFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

}  // namespace vx
