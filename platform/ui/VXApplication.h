#pragma once
// The program's application object. It installs the real message boxes, file dialog and help
// window as the user interface (QtUserInterface), and hands every exception that escapes an
// event handler to handleException (ExceptionHandler.h) instead of letting it tear through
// Qt's event loop, so that one failed click never ends the program; a processor fault in an
// event handler comes there too, as a ProcessorFault (ProcessorFault.h).
#include <QApplication>

namespace vx {

class VXApplication : public QApplication {
 public:
  VXApplication(int& argc, char** argv);
  ~VXApplication() override;
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vx
