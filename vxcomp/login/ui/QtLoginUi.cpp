#include "vxcomp/login/ui/QtLoginUi.h"

#include "vxcomp/animated/ui/VXAnimate.h"
#include "vxcomp/login/VXLogin.h"
#include "vxcomp/login/ui/LoginForm.h"
#include "vxcomp/login/ui/WaitDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

namespace vx::login {

bool QtLoginUi::loginDialog(TVXLogin& login, LoginDialogValues& values) {
  TLoginForm form(login.session());
  form.SetLanguageCode(QString::fromStdString(values.languageCode));
  for (const std::string& db : values.databases) form.DbCombo()->addItem(QString::fromStdString(db));
  form.DbCombo()->model()->sort(0);  // the list is sorted
  form.DbCombo()->setEditText(QString::fromStdString(values.database));
  form.UserEdit()->setText(QString::fromStdString(values.user));
  form.PasswordEdit()->setText(QString::fromStdString(values.password));
  form.UnitId = values.unitId;
  form.SetUnitName(QString::fromStdString(values.unitName));
  form.Dictionary = values.dictionary;
  if (form.exec() != QDialog::Accepted) return false;
  values.database = form.DbCombo()->currentText().toStdString();
  values.user = form.UserEdit()->text().toStdString();
  values.password = form.PasswordEdit()->text().toStdString();
  values.unitId = form.UnitId;
  values.unitName = form.UnitName.toStdString();
  values.languageIndex = form.LanguageIndex;
  return true;
}

void QtLoginUi::beginConnectWait(const std::string& line) {
  TWaitDlg*& dlg = waitDlg();
  createdWait_ = dlg == nullptr;
  if (createdWait_) {
    dlg = new TWaitDlg();
    dlg->setWindowTitle("Vellumdex");
    dlg->ShowProgress(false);
  }
  dlg->ShowBackground(true);
  previousClip_ = static_cast<int>(dlg->clip());
  dlg->setClip(TWaitDlg::Clip::ComputerSearch);
  dlg->show();
  dlg->Animate()->setPlay(true);
  dlg->addLine(QString::fromStdString(line));
}

void QtLoginUi::endConnectWait() {
  TWaitDlg*& dlg = waitDlg();
  if (!dlg) return;
  if (createdWait_) {
    dlg->setAllowClose(true);
    dlg->close();
    delete dlg;  // clears waitDlg()
    createdWait_ = false;
    return;
  }
  dlg->setClip(static_cast<TWaitDlg::Clip>(previousClip_));
  dlg->Animate()->setPlay(true);
}

void QtLoginUi::hideWait() {
  if (TWaitDlg* dlg = waitDlg(); dlg && dlg->isVisible()) dlg->hide();
}

}  // namespace vx::login
