#pragma once
// The one door through which the program shows message boxes, the file-open and file-save
// dialogs, the print dialog and help, and hands web addresses to the user's browser. Nothing
// else in the program calls QMessageBox, QFileDialog or QPrintDialog: the Qt implementation
// shows the real thing, and tests install a scripted implementation that answers from a
// queue and records every box it was asked to show.
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;
class QWidget;

namespace vx {

enum class MsgIcon { None, Information, Warning, Error, Confirmation };
enum class MsgButtons { Ok, YesNo, OkCancel, YesNoCancel, OkHelp };
enum class MsgResult { Ok, Cancel, Yes, No };

// What a box needs beyond its text and buttons.
struct MsgOptions {
  std::optional<MsgResult> defaultButton;  // none: the first button
  int helpContext = 0;                     // the topic of the box's Help button
  QString helpFile;                        // the help file of that topic ("" the program's)
};

// What a file-open dialog is asked to do; the flags are the rules the caller wants the
// dialog to enforce before it accepts a name.
struct OpenFileRequest {
  QString title;
  // Filter entries as "Description|pattern;pattern", in order.
  QStringList filters;
  QString initialPath;
  bool hideReadOnly = false;     // no "open as read-only" check box
  bool pathMustExist = false;    // the folder of the chosen name must exist
  bool createPrompt = false;     // ask before a name that does not exist is accepted
  bool noReadOnlyReturn = false; // refuse files that are read-only
};

// What a file-save dialog is asked to do.
struct SaveFileRequest {
  QString title;
  // Filter entries as "Description|pattern;pattern", in order.
  QStringList filters;
  QString initialPath;
  QString defaultSuffix;         // added to a name given without one ("csv")
  bool overwritePrompt = true;   // ask before an existing file is replaced
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows a modal message box and returns the button chosen. Caption empty means the
  // application's display name.
  virtual MsgResult messageBox(QWidget* parent, const QString& text, MsgIcon icon,
                               MsgButtons buttons, const QString& caption = QString(),
                               const MsgOptions& options = {}) = 0;

  // Shows the file-open dialog; nullopt when the user cancels.
  virtual std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request) = 0;

  // Shows the file-save dialog; nullopt when the user cancels. The dialog only chooses the
  // name: the caller writes the file. Without a desktop (this default) it is cancelled.
  virtual std::optional<QString> saveFile(QWidget* parent, const SaveFileRequest& request);

  // Shows the print dialog for `printer`, which the caller has set up (page size,
  // orientation). true: the user chose to print, and `printer` is set up as chosen; false:
  // cancelled, nothing to print. Without a desktop (this default) it is cancelled.
  virtual bool choosePrinter(QWidget* parent, QPrinter& printer);

  // Shows the help topic `context` of the help file `helpFile` (see HelpFiles.h).
  virtual void showHelp(QWidget* parent, const QString& helpFile, int context) = 0;

  // Asks the desktop to open a web address (with its scheme, "http://...") in the user's
  // browser. Returns at once; whether a browser came up is not reported. Without a desktop
  // (this default) the address is written to standard error.
  virtual void openUrl(QWidget* parent, const QString& url);
};

// The process-wide interface. The caller of setUserInterface keeps ownership and must reset
// it (nullptr) before the object dies. The program's application object installs the real
// windows (ui/VXApplication.h). Until something is installed, a headless interface answers:
// it writes each box's text to standard error and takes the answer that changes nothing
// (OK for a notice; No or Cancel for a question; a cancelled file or print dialog).
UserInterface& userInterface();
void setUserInterface(UserInterface* ui);

// Shorthands used all over the program.
inline void showMessage(QWidget* parent, const QString& text) {
  userInterface().messageBox(parent, text, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace vx
