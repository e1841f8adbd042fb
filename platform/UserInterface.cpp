#include "platform/UserInterface.h"

#include <cstdio>

namespace vx {

namespace {

// No screen and no person to ask: a box becomes a line on standard error.
class HeadlessUserInterface : public UserInterface {
 public:
  MsgResult messageBox(QWidget*, const QString& text, MsgIcon, MsgButtons buttons,
                       const QString& caption, const MsgOptions&) override {
    const QString line = caption.isEmpty() ? text : caption + ": " + text;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    switch (buttons) {
      case MsgButtons::Ok:
      case MsgButtons::OkHelp: return MsgResult::Ok;
      case MsgButtons::YesNo: return MsgResult::No;
      case MsgButtons::OkCancel:
      case MsgButtons::YesNoCancel: return MsgResult::Cancel;
    }
    return MsgResult::Cancel;
  }
  std::optional<QString> openFile(QWidget*, const OpenFileRequest&) override { return std::nullopt; }
  void showHelp(QWidget*, const QString& helpFile, int context) override {
    std::fprintf(stderr, "help %s, topic %d\n", helpFile.toLocal8Bit().constData(), context);
  }
};

}  // namespace

std::optional<QString> UserInterface::saveFile(QWidget*, const SaveFileRequest&) { return std::nullopt; }

bool UserInterface::choosePrinter(QWidget*, QPrinter&) { return false; }

void UserInterface::openUrl(QWidget*, const QString& url) {
  std::fprintf(stderr, "open %s\n", url.toLocal8Bit().constData());
}

namespace {

UserInterface*& installed() {
  static UserInterface* ui = nullptr;
  return ui;
}

}  // namespace

UserInterface& userInterface() {
  static HeadlessUserInterface headless;
  return installed() ? *installed() : headless;
}

void setUserInterface(UserInterface* ui) { installed() = ui; }

}  // namespace vx
