// vxdown: the circulation desk's recorder for the time the library database is down.
#include "app/FVXSysDn.h"
#include "platform/HelpFiles.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Vellumdex System Down");
  // The windows are laid out for an 8 point sans serif of the Windows desktop.
  QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans", "Sans Serif"});
  vx::help::setApplicationHelpFile("sys_down.hlp");
  TFVXSysDn window;
  return app.exec();
}
