#pragma once
// What happens to an exception that nothing in the program caught: the application object
// catches everything an event handler throws and hands it to the installed handler (the
// program's exception display), so one failed click never ends the program.

#include <exception>
#include <functional>

namespace vx {

using ExceptionHandler = std::function<void(const std::exception&)>;

bool hasExceptionHandler();
// Installs the process-wide handler; an empty function removes it.
void setExceptionHandler(ExceptionHandler handler);
// Gives the exception to the handler; without one its message goes to standard error.
void handleException(const std::exception& error);

}  // namespace vx
