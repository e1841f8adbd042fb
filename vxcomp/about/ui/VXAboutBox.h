#pragma once
// TVXAboutBox: the about box component a window holds. Execute shows the about box
// (TVXAboutBoxDlg) modally with the component's application name, check flag and database
// name, and returns when the user closed it.
#include "db/Session.h"

#include <QObject>
#include <QString>

class TVXAboutBox : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString ApplicationName READ ApplicationName WRITE setApplicationName)
  Q_PROPERTY(bool CheckDBVersion READ CheckDBVersion WRITE setCheckDBVersion)
  Q_PROPERTY(QString DataBaseName READ DataBaseName WRITE setDataBaseName)

 public:
  // `session` holds the database object named DataBaseName.
  explicit TVXAboutBox(QObject* owner = nullptr,
                       vx::db::Session& session = vx::db::Session::defaultSession());

  QString ApplicationName() const { return applicationName_; }
  void setApplicationName(const QString& name) { applicationName_ = name; }
  bool CheckDBVersion() const { return checkDBVersion_; }
  void setCheckDBVersion(bool check) { checkDBVersion_ = check; }
  QString DataBaseName() const { return dataBaseName_; }
  void setDataBaseName(const QString& name) { dataBaseName_ = name; }

  // Creates the dialog without an owner, shows it modally and frees it when it closes. A
  // database error while the dialog was being filled closes it and is raised here.
  void Execute();

 private:
  vx::db::Session& session_;
  QString applicationName_;
  bool checkDBVersion_ = true;
  QString dataBaseName_ = QStringLiteral("VXDB");
};
