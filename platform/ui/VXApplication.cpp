#include "platform/ui/VXApplication.h"

#include "platform/ExceptionHandler.h"
#include "platform/ProcessorFault.h"
#include "platform/ui/QtUserInterface.h"

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
  installFaultHandlers();
}

VXApplication::~VXApplication() {
  if (&userInterface() == &qtInterface()) setUserInterface(nullptr);
}

bool VXApplication::notify(QObject* receiver, QEvent* event) {
  try {
    // One reference captured, so the function object needs no memory of its own per event.
    struct Call {
      VXApplication* self;
      QObject* receiver;
      QEvent* event;
      bool handled = false;
    } call{this, receiver, event};
    runGuarded([&call] { call.handled = call.self->QApplication::notify(call.receiver, call.event); });
    return call.handled;
  } catch (const std::exception& e) {
    handleException(e);
  } catch (...) {
    handleException(std::runtime_error("An unknown error occurred"));
  }
  return false;
}

}  // namespace vx
