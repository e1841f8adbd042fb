#include "platform/ExceptionHandler.h"

#include "platform/SilentAbort.h"

#include <cstdio>
#include <stdexcept>

namespace vx {

namespace {

ExceptionHandler& installed() {
  static ExceptionHandler handler;
  return handler;
}

}  // namespace

bool hasExceptionHandler() { return static_cast<bool>(installed()); }

void setExceptionHandler(ExceptionHandler handler) { installed() = std::move(handler); }

void handleException(const std::exception& error) {
  // Already told to the user.
  if (dynamic_cast<const SilentAbort*>(&error)) return;
  if (installed()) {
    // A handler that fails itself must not take the program down with it.
    try {
      installed()(error);
      return;
    } catch (const std::exception& nested) {
      std::fprintf(stderr, "vxdown: %s (while showing: %s)\n", nested.what(), error.what());
      return;
    } catch (...) {
    }
  }
  std::fprintf(stderr, "vxdown: %s\n", error.what());
}

}  // namespace vx
