#include "platform/VXApplication.h"

#include "platform/ExceptionHandler.h"
#include "platform/QtUserInterface.h"

#include <stdexcept>

namespace vx {

namespace {

QtUserInterface& qtInterface() {
  static QtUserInterface ui;
  return ui;
}

}  // namespace

VXApplication::VXApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setUserInterface(&qtInterface());
}

VXApplication::~VXApplication() {
  if (&userInterface() == &qtInterface()) setUserInterface(nullptr);
}

bool VXApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    handleException(e);
  } catch (...) {
    handleException(std::runtime_error("An unknown error occurred"));
  }
  return false;
}

}  // namespace vx
