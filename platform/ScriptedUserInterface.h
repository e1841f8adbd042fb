#pragma once
// A UserInterface for tests: every box and dialog is recorded, and answered from queues
// the test filled beforehand. A box nobody scripted an answer for is answered with its
// first button (OK or Yes) and flagged as unscripted, so a test sees boxes it did not
// expect. While it lives it is the installed interface.
#include "platform/UserInterface.h"

#include <deque>
#include <functional>
#include <vector>

namespace vx {

struct RecordedBox {
  QString text;
  MsgIcon icon;
  MsgButtons buttons;
  MsgResult answer;
  bool scripted;
  QString caption;
  MsgOptions options;
};

struct RecordedHelp {
  QString helpFile;
  int context;
};

class ScriptedUserInterface : public UserInterface {
 public:
  ScriptedUserInterface();
  ~ScriptedUserInterface() override;

  void answerNextBox(MsgResult answer) { boxAnswers_.push_back(answer); }
  // nullopt scripts a cancelled dialog.
  void answerNextOpenFile(const std::optional<QString>& name) {
    fileAnswers_.push_back({name.has_value(), name.value_or(QString())});
  }

  void answerNextSaveFile(const std::optional<QString>& name) {
    saveAnswers_.push_back({name.has_value(), name.value_or(QString())});
  }
  // The answer sets the printer up as the user would (a test prints to a PDF file) and returns
  // whether to print; an unscripted print dialog is cancelled.
  void answerNextPrint(std::function<bool(QPrinter&)> answer) { printAnswers_.push_back(std::move(answer)); }

  const std::vector<RecordedBox>& boxes() const { return boxes_; }
  const std::vector<OpenFileRequest>& openFileRequests() const { return fileRequests_; }
  const std::vector<SaveFileRequest>& saveFileRequests() const { return saveRequests_; }
  int printDialogsShown() const { return printDialogs_; }
  const std::vector<RecordedHelp>& helpShown() const { return help_; }
  // The web addresses the program asked to open, in order; no browser is started.
  const QStringList& urlsOpened() const { return urls_; }
  QStringList boxTexts() const;
  void clear();

  MsgResult messageBox(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                       const QString& caption = QString(), const MsgOptions& options = {}) override;
  std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request) override;
  std::optional<QString> saveFile(QWidget* parent, const SaveFileRequest& request) override;
  bool choosePrinter(QWidget* parent, QPrinter& printer) override;
  void showHelp(QWidget* parent, const QString& helpFile, int context) override;
  void openUrl(QWidget* parent, const QString& url) override;

 private:
  UserInterface* previous_;
  std::deque<MsgResult> boxAnswers_;
  std::deque<std::pair<bool, QString>> fileAnswers_;  // chosen?, name
  std::vector<RecordedBox> boxes_;
  std::vector<OpenFileRequest> fileRequests_;
  std::deque<std::pair<bool, QString>> saveAnswers_;  // chosen?, name
  std::vector<SaveFileRequest> saveRequests_;
  std::deque<std::function<bool(QPrinter&)>> printAnswers_;
  int printDialogs_ = 0;
  std::vector<RecordedHelp> help_;
  QStringList urls_;
};

}  // namespace vx
