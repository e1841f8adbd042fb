// vxdown: the circulation desk's recorder for the time the library database is down.
#include "app/FVXSysDn.h"
#include "artwork/desktop_icons/DesktopIcons.h"
#include "db/Session.h"
#include "db/library/DemoAlias.h"
#include "i18n/Dictionary.h"
#include "platform/ui/VXApplication.h"
#include "vxcomp/login/LoginUi.h"
#include "vxcomp/login/ui/QtLoginUi.h"
#include "platform/FirstPaintProbe.h"
#include "platform/HelpFiles.h"
#include "vxcomp/version/VersionResource.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: vxdown [/AS ALIAS,USER,PASSWORD] [Qt options]\n"
    "       vxdown --help | --version\n"
    "\n"
    "The circulation desk's recorder for the time the library database is down: scan a\n"
    "borrower, then the items; each loan is one line of the workfile, posted into the library\n"
    "database later with File > Import ... (F1 opens the help).\n"
    "\n"
    "  /AS ALIAS,USER,PASSWORD        log on with these when the import needs the database\n"
    "  /AUTOSTART ALIAS,USER,PASSWORD (in any case; an item with blanks in double quotes).\n"
    "                                 Every user of the machine can read a command line in\n"
    "                                 the process list: only for scripted runs\n"
    "  -platform NAME, -style NAME    and Qt's other options for every Qt program\n"
    "  --help                         this text\n"
    "  --version                      vxdown's own version\n";

// The files the program reads beside itself, found as the program finds them (through the path
// of its own executable), so that an administrator sees where an installed program looks.
void printFilesBesideProgram(int argc, char** argv) {
  QCoreApplication core(argc, argv);  // no display needed
  vx::i18n::TIvBinaryDictionary dictionary;
  dictionary.SetFileName(vx::i18n::kProgramDictionaryFile);
  const QString dictionaryPath = dictionary.FileName();
  const QString helpRoot = vx::help::defaultHelpRoot();
  const auto line = [](const char* what, const QString& path, bool found) {
    std::printf("  %-11s %s%s\n", what, qPrintable(QFileInfo(path).absoluteFilePath()), found ? "" : " (missing)");
  };
  std::printf("\nFiles:\n");
  line("dictionary", dictionaryPath, dictionary.IsDataAvailable());
  line("help pages", helpRoot, QFileInfo(helpRoot).isDir());
}

}  // namespace

int main(int argc, char** argv) {
  // --help and the program's version (from its own version information) are answered before
  // Qt or any window starts, so that they work without a display.
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    printFilesBesideProgram(argc, argv);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    const std::string version = vx::version::runningProgramVersion();
    if (version.empty()) {
      std::fprintf(stderr, "vxdown: the program file holds no version information\n");
      return 1;
    }
    std::printf("vxdown %s\n", version.c_str());
    return 0;
  }
  // Exceptions that escape an event handler are shown (by the dictionary's display) instead
  // of ending the program.
  vx::VXApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Vellumdex System Down");
  // The desktop entry (data/desktop) that the desktop matches the windows with (the Wayland
  // app id; on X11 StartupWMClass=vxdown, the application name Qt takes from the program's
  // name), and its icon on every window, from the pictures embedded in the program.
  QGuiApplication::setDesktopFileName("org.example.vellumdex.SystemDown");
  QApplication::setWindowIcon(vx::desktop::applicationIcon());
  // The windows are laid out for an 8 point sans serif of the Windows desktop.
  QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans", "Sans Serif"});
  // The about box names Arial, which a Linux desktop may lack.
  QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans", "Sans Serif"});
  vx::help::setApplicationHelpFile("sys_down.hlp");
  // The start-up benchmark's probe (VX_REPORT_FIRST_PAINT): the circulation window's first
  // paint ends the program.
  vx::probe::reportFirstPaintIfAsked("FVXSysDn");
  // The login shows its dialogs on the screen.
  static vx::login::QtLoginUi loginWindows;
  vx::login::setLoginUi(&loginWindows);
  // A machine without any library database alias gets the embedded demo library, so that
  // loans can be recorded and imported at once. Recording needs no database: a failure here
  // is reported and the desk goes on.
  try {
    vx::db::library::ensureDemoAlias(vx::db::Session::defaultSession());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vxdown: the demo library database could not be set up: %s\n", e.what());
  }
  TFVXSysDn window;
  return app.exec();
}
