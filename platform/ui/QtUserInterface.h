#pragma once
// The real message boxes, file dialogs, print dialog and help viewer; web addresses go to the
// desktop's browser.
#include "platform/UserInterface.h"

namespace vx {

class QtUserInterface : public UserInterface {
 public:
  // Registers the texts of its own checks and windows in the string table.
  QtUserInterface();
  MsgResult messageBox(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                       const QString& caption = QString(), const MsgOptions& options = {}) override;
  std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request) override;
  std::optional<QString> saveFile(QWidget* parent, const SaveFileRequest& request) override;
  bool choosePrinter(QWidget* parent, QPrinter& printer) override;
  void showHelp(QWidget* parent, const QString& helpFile, int context) override;
  void openUrl(QWidget* parent, const QString& url) override;
};

}  // namespace vx
