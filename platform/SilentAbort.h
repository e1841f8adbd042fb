#pragma once
// A refusal that has already been told to the user: the operation ends by throwing this, and
// nobody shows it again (the exception display skips it, a login offers its dialog anew).
#include <exception>

namespace vx {

class SilentAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace vx
