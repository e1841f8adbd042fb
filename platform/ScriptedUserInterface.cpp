#include "platform/ScriptedUserInterface.h"

namespace vx {

ScriptedUserInterface::ScriptedUserInterface() : previous_(&userInterface()) {
  setUserInterface(this);
}

ScriptedUserInterface::~ScriptedUserInterface() {
  // The headless interface is the default; anything else installed before us comes back.
  setUserInterface(nullptr);
  if (previous_ != &userInterface()) setUserInterface(previous_);
}

QStringList ScriptedUserInterface::boxTexts() const {
  QStringList texts;
  for (const auto& b : boxes_) texts << b.text;
  return texts;
}

void ScriptedUserInterface::clear() {
  boxes_.clear();
  fileRequests_.clear();
  saveRequests_.clear();
  printDialogs_ = 0;
  help_.clear();
  urls_.clear();
}

MsgResult ScriptedUserInterface::messageBox(QWidget*, const QString& text, MsgIcon icon,
                                            MsgButtons buttons, const QString& caption,
                                            const MsgOptions& options) {
  bool scripted = !boxAnswers_.empty();
  MsgResult answer = MsgResult::Ok;
  if (scripted) {
    answer = boxAnswers_.front();
    boxAnswers_.pop_front();
  } else if (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) {
    answer = MsgResult::Yes;
  }
  boxes_.push_back({text, icon, buttons, answer, scripted, caption, options});
  return answer;
}

std::optional<QString> ScriptedUserInterface::openFile(QWidget*, const OpenFileRequest& request) {
  fileRequests_.push_back(request);
  if (fileAnswers_.empty()) return std::nullopt;
  const auto [chosen, name] = fileAnswers_.front();
  fileAnswers_.pop_front();
  if (!chosen) return std::nullopt;
  return name;
}

std::optional<QString> ScriptedUserInterface::saveFile(QWidget*, const SaveFileRequest& request) {
  saveRequests_.push_back(request);
  if (saveAnswers_.empty()) return std::nullopt;
  const auto [chosen, name] = saveAnswers_.front();
  saveAnswers_.pop_front();
  if (!chosen) return std::nullopt;
  return name;
}

bool ScriptedUserInterface::choosePrinter(QWidget*, QPrinter& printer) {
  ++printDialogs_;
  if (printAnswers_.empty()) return false;
  const auto answer = std::move(printAnswers_.front());
  printAnswers_.pop_front();
  return answer && answer(printer);
}

void ScriptedUserInterface::showHelp(QWidget*, const QString& helpFile, int context) {
  help_.push_back({helpFile, context});
}

void ScriptedUserInterface::openUrl(QWidget*, const QString& url) { urls_ << url; }

}  // namespace vx
