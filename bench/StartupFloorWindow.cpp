// The floor of a start: an empty Qt Widgets main window with the same first-paint probe as
// vxdown, so that bench_startup shows what Qt itself costs on the machine beside vxdown.
#include "platform/FirstPaintProbe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vx::probe::reportFirstPaintIfAsked("FloorWindow");
  QMainWindow window;
  window.setObjectName("FloorWindow");
  window.show();
  return app.exec();
}
