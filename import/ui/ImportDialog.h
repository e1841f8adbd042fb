#pragma once
// The import dialog: logs on to the library database while it is created (the login dialog,
// the unit, the right to run "System Down Import"), then lets the librarian choose the
// workfile, start and cancel the run, read its report and details log, and see, print or save
// the follow-up list of the lines that need a person.
//
// The circulation window creates it, hands it the workfile (SelectImportPage, SetFileLocation,
// SetFileValid) and calls Execute, which shows it only when the login succeeded. The window's
// own operations the dialog needs come as callbacks, so that the dialog does not depend on
// the window: the workfile check of Browse, and what Close does after a finished run.
#include "import/FollowUp.h"
#include "import/ImportRun.h"

#include <QDateTime>
#include <QDialog>

#include <functional>
#include <memory>
#include <thread>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTreeWidget;
class TVXAccess;
class TVXLogin;
namespace Ui {
class TVXImport;
}
namespace vx::i18n {
class TIvDictionary;
class TIvTranslator;
}  // namespace vx::i18n

class TVXImport : public QDialog, private vx::import::ImportObserver {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = 1752;

  // Creates the dialog and logs on (FormCreate): the dictionary is the program's, for the
  // login's dialogs; `session` holds the aliases.
  TVXImport(QWidget* parent, vx::i18n::TIvDictionary* dictionary,
            vx::db::Session& session = vx::db::Session::defaultSession());
  ~TVXImport() override;

  // The workfile check of Browse (the circulation window's, which shows its I/O errors).
  std::function<bool(const QString& path)> checkFile;
  // What Close does after a finished run: brings the circulation window up to date.
  std::function<void()> refreshAfterImport;

  void SelectImportPage();
  void SetFileLocation(const QString& path);
  void SetFileValid(bool valid);
  // Shows the dialog modally when the login component is connected; else returns at once.
  void Execute();

  // Waits until the desk list taken after the login is written (or given up); the dialog's
  // destruction waits too.
  void finishDeskList();

  bool Imported() const { return imported_; }
  bool Cancelled() const { return cancelled_; }
  bool Running() const { return running_; }
  TVXLogin& VXLogin1() { return *login_; }
  const vx::import::ImportOutcome& lastOutcome() const { return outcome_; }
  // The last run that finished: what Details and Report show, also after a later Import click
  // that found nothing to import.
  const vx::import::ImportOutcome& lastFinished() const { return finished_; }
  // The follow-up list of the last run that finished: what the Follow-up tab shows, prints
  // and saves (empty before the first).
  const vx::import::FollowUpList& followUp() const { return followUp_; }

  void cmdbrowseClick();
  void cmdImportClick();
  void cmdCancelClick();
  void cmdCloseClick();
  void cmdDetailsClick();
  void cmdReportClick();
  // Print and Save as CSV of the Follow-up tab; nothing happens while a run is running or the
  // list is empty. Save writes only the file the librarian chose (private to the user).
  void cmdPrintClick();
  void cmdSaveCsvClick();
  void VXLogin1AccessControl(bool& granted);

  QLineEdit* eFileLocation() const;
  QLineEdit* eRejected() const;
  QLineEdit* eOK() const;
  QLineEdit* eTotal() const;
  QProgressBar* pbImport() const;
  QTextEdit* reResult() const;
  QTabWidget* ImportPage() const;
  QTreeWidget* tvFollowUp() const;
  QPushButton* button(const char* name) const;
  QWidget* pProgress() const;
  QString percentText() const;
  QString maxText() const;

 protected:
  void done(int result) override;

 private:
  // The observer of the run.
  void started(int total) override;
  void lineDone(int index, int accepted, int total, int percent) override;
  void pump() override;
  bool cancelRequested() override { return cancelled_; }

  bool loadIntoResult(const std::string& file);
  void startDeskList(vx::db::Session& session);
  void endRun();  // the buttons as they are between runs
  void fillFollowUp();
  void FormClose();

  std::unique_ptr<Ui::TVXImport> ui_;
  std::unique_ptr<TVXLogin> login_;
  std::unique_ptr<TVXAccess> access_;
  std::unique_ptr<vx::import::ImportRun> run_;
  // Takes the desk list after the login, on a connection of its own, while the librarian
  // works in the dialog; joined when the dialog goes.
  std::thread deskListTaker_;
  vx::i18n::TIvTranslator* translator_ = nullptr;
  vx::import::ImportOutcome outcome_;
  vx::import::ImportOutcome finished_;
  vx::import::FollowUpList followUp_;
  QDateTime followUpTime_;  // when the run of followUp_ finished
  bool imported_ = false;
  bool cancelled_ = false;
  bool running_ = false;
};

namespace vx::import {

// The dialog's own messages, by string table id.
enum DialogStringId : int {
  sDatabaseNotAvailable = 3050,  // "Sorry, the database is not available right now. Try to ..."
  sUnableToOpenFile,             // "Unable to open the file."
  sImportFilter,                 // the file dialog's filter
  sImportTitle,                  // the file dialog's title
  sFollowUpTitle,                // "Follow-up after the import": the printed page's heading
  sPrintUnit,                    // "Library unit"
  sPrintUser,                    // "User"
  sPrintDate,                    // "Date"
  sSaveFollowUpTitle,            // "Save the follow-up list": the file dialog's title
  sFollowUpNotSaved,             // "The follow-up list could not be saved: " + why
  sFollowUpFilter,               // "Comma Separated File (CSV)|*.csv"
  sFollowUpNotPrinted,           // "The follow-up list could not be printed."
};

}  // namespace vx::import
