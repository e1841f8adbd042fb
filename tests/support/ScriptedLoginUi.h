#pragma once
// A login window interface for tests: each login dialog is answered by the next scripted
// answer (a function that edits the values and returns whether Login was pressed; none left
// counts as Cancel), and every dialog's preset values and every wait line are recorded. While
// it lives it is the installed interface.
#include "i18n/Dictionary.h"
#include "vxcomp/login/LoginUi.h"

#include <algorithm>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vxtest {

class ScriptedLoginUi : public vx::login::LoginUi {
 public:
  using Answer = std::function<bool(vx::login::LoginDialogValues&)>;

  ScriptedLoginUi() { vx::login::setLoginUi(this); }
  ~ScriptedLoginUi() override { vx::login::setLoginUi(nullptr); }

  // Login pressed with these credentials and unit (the database stays as preset when empty).
  void answerLogin(const std::string& user, const std::string& password, int unitId = 1,
                   const std::string& database = "") {
    answers.push_back([=](vx::login::LoginDialogValues& v) {
      if (!database.empty()) v.database = database;
      v.user = user;
      v.password = password;
      v.unitId = unitId;
      v.unitName = "unit " + std::to_string(unitId);
      // The language list shows the dictionary's current language (its entries leave out the
      // design language).
      if (v.dictionary) v.languageIndex = std::max(0, v.dictionary->CurrentIndex() - 1);
      return true;
    });
  }
  void answerCancel() {
    answers.push_back([](vx::login::LoginDialogValues&) { return false; });
  }

  bool loginDialog(TVXLogin&, vx::login::LoginDialogValues& values) override {
    presets.push_back(values);
    if (answers.empty()) return false;
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer(values);
  }
  void beginConnectWait(const std::string& line) override {
    waitLines.push_back(line);
    ++waitShowing;
  }
  void endConnectWait() override { --waitShowing; }
  void hideWait() override {}

  std::deque<Answer> answers;
  std::vector<vx::login::LoginDialogValues> presets;
  std::vector<std::string> waitLines;
  int waitShowing = 0;
};

}  // namespace vxtest
