#pragma once
// A UserInterface for tests: every box and dialog is recorded, and answered from queues
// the test filled beforehand. A box nobody scripted an answer for is answered with its
// first button (OK or Yes) and flagged as unscripted, so a test sees boxes it did not
// expect. While it lives it is the installed interface.
#include "platform/UserInterface.h"

#include <deque>
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

  const std::vector<RecordedBox>& boxes() const { return boxes_; }
  const std::vector<OpenFileRequest>& openFileRequests() const { return fileRequests_; }
  const std::vector<RecordedHelp>& helpShown() const { return help_; }
  // The web addresses the program asked to open, in order; no browser is started.
  const QStringList& urlsOpened() const { return urls_; }
  QStringList boxTexts() const;
  void clear();

  MsgResult messageBox(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                       const QString& caption = QString(), const MsgOptions& options = {}) override;
  std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request) override;
  void showHelp(QWidget* parent, const QString& helpFile, int context) override;
  void openUrl(QWidget* parent, const QString& url) override;

 private:
  UserInterface* previous_;
  std::deque<MsgResult> boxAnswers_;
  std::deque<std::pair<bool, QString>> fileAnswers_;  // chosen?, name
  std::vector<RecordedBox> boxes_;
  std::vector<OpenFileRequest> fileRequests_;
  std::vector<RecordedHelp> help_;
  QStringList urls_;
};

}  // namespace vx
