#include "vxcomp/about/ui/VXAboutBox.h"

#include "vxcomp/about/ui/VXAboutBoxDlg.h"

#include <exception>

TVXAboutBox::TVXAboutBox(QObject* owner, vx::db::Session& session) : QObject(owner), session_(session) {}

void TVXAboutBox::Execute() {
  TVXAboutBoxDlg dialog(nullptr, session_);
  dialog.DataBaseName = dataBaseName_.toStdString();
  dialog.CheckDBVersion = checkDBVersion_;
  dialog.ApplicationName = applicationName_;
  dialog.exec();
  if (dialog.showError()) std::rethrow_exception(dialog.showError());
}
