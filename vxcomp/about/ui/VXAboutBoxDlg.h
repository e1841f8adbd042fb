#pragma once
// The about box's dialog: the product logo, the application's name and file version, the
// library database's version and language when asked for, the copyright line and the web
// address, which opens in the user's browser when clicked.
//
// TVXAboutBox creates one for each showing and hands it the database name, the check flag and
// the application name before showing it modally. The labels are filled each time the dialog
// is shown (FormShow). With CheckDBVersion false the database is never touched. A database
// error while showing closes the dialog again; Execute hands that error to its caller.
#include "db/Session.h"
#include "vxcomp/version/VersionResource.h"

#include <QDialog>

#include <exception>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
namespace Ui {
class TVXAboutBoxDlg;
}
namespace vx::i18n {
class TIvTranslator;
}

class TVXAboutBoxDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = 1000;
  static constexpr int kClientWidth = 335;
  static constexpr int kClientHeight = 270;

  // `session` holds the database object the queries use.
  explicit TVXAboutBoxDlg(QWidget* parent = nullptr,
                          vx::db::Session& session = vx::db::Session::defaultSession());
  ~TVXAboutBoxDlg() override;

  // What TVXAboutBox hands over for one showing.
  std::string DataBaseName = "VXDB";
  bool CheckDBVersion = true;
  QString ApplicationName;

  // "VX2.HLP" in the folder of the application's help file (its language folder).
  const QString& helpFile() const { return helpFile_; }

  // Fills the labels: the application name and the program's file version, then, when
  // CheckDBVersion is set, the database's version and language. Raises the engine's error.
  void FormShow();
  // Asks the desktop to open "http://" + the web address label's text.
  void LblVXHyperlinkClick();

  // The error that ended the last showing, or null.
  std::exception_ptr showError() const { return showError_; }

  TVersionResource& VersionResource1() { return versionResource_; }
  QLabel* label(const char* name) const;
  QPushButton* OkButton() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Puts the web address label around its text, centred, so that only the address is a link.
  void fitHyperlink();

  std::unique_ptr<Ui::TVXAboutBoxDlg> ui_;
  vx::db::Session& session_;
  TVersionResource versionResource_;
  vx::i18n::TIvTranslator* translator_ = nullptr;
  QString helpFile_;
  std::exception_ptr showError_;
};
