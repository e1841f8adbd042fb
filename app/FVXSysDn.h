#pragma once
// The circulation window: where loans are recorded while the library database is down.
//
// The librarian scans a borrower into eBorrower and presses Enter, then scans items into
// eItem, each followed by Enter; every item becomes one workfile line. Three states:
//   No workfile     both fields read-only, Done disabled, "No work file assigned"
//   Borrower entry  eBorrower writable, eItem read-only
//   Item entry      eBorrower read-only, eItem writable
// The window keeps no file open between operations (see workfile/Workfile.h).
#include "desklist/DeskList.h"
#include "workfile/Workfile.h"
#include "vxcomp/except/VXExceptionHandle.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;
class QLabel;
class TVXAboutBox;
class TVXAnimated;
class TVXMemo;
class TVXRegistry;
class TVXRegFormProperties;
namespace vx::i18n {
class TIvBinaryDictionary;
class TIvDictionarySource;
class TIvTranslator;
class ToolkitTranslation;
}  // namespace vx::i18n

namespace Ui {
class TFVXSysDn;
}

class TFVXSysDn : public QMainWindow {
  Q_OBJECT
  Q_PROPERTY(QString ActiveFileName READ activeFileName)
  Q_PROPERTY(bool bFileOpened READ fileOpened)
  Q_PROPERTY(int FileLength READ fileLength)

 public:
  // Loads the window from its layout, restores its placement and runs FormCreate, which
  // shows the window and may show the start-up messages.
  explicit TFVXSysDn(QWidget* parent = nullptr);
  ~TFVXSysDn() override;

  QString activeFileName() const { return activeFileName_; }
  bool fileOpened() const { return bFileOpened_; }
  int fileLength() const { return fileLength_; }

  // Workfile operations (their rules are in Workfile.h). None of them throws.
  bool CreateFile(const QString& fileName, bool closeAfter);
  bool checkFile(const QString& fileName);  // shows an I/O error in a warning box
  int GetFileLength(const QString& fileName);
  bool VXWriteToFile(const QString& line);
  static void getFirstString(QString& line, QString& first);
  void findBorrowersBooks(const QString& borrower);  // fills mItems

  void FormCreate(QObject* sender);
  void EnableMainForm(bool enabled);
  void Refresh();

  // Entry workflow. `key` is the typed character; a handler sets it to 0 to swallow it.
  void eBorrowerEnter(QObject* sender);
  void eBorrowerExit(QObject* sender);
  void eBorrowerKeyPress(QObject* sender, char& key);
  void EItemEnter(QObject* sender);
  void EItemExit(QObject* sender);
  void EItemKeyPress(QObject* sender, char& key);

  void btDoneClick(QObject* sender);
  void mnuDoneClick(QObject* sender) { btDoneClick(sender); }
  void mnuRefreshClick(QObject*) { Refresh(); }
  void mnuOpenClick(QObject* sender);
  void mnuImportClick(QObject* sender);
  void mnuCloseClick(QObject* sender);
  void mnuHelptopicsClick(QObject* sender);
  void mnuAboutClick(QObject* sender);
  void FormCloseQuery(QObject* sender, bool& canClose);

  // The controls other windows and the tests reach.
  QLineEdit* eBorrower() const;
  QLineEdit* eItem() const;
  QPushButton* btDone() const;
  TVXMemo* mItems() const;
  TVXAnimated* BCBmp1() const;
  TVXAnimated* BCBmp2() const;
  TVXRegistry* MyReg() const { return myReg_; }
  TVXAboutBox* VXAboutBox1() const { return aboutBox_; }
  vx::i18n::TIvBinaryDictionary* IvBinaryDictionary1() const { return dictionary_; }
  vx::i18n::TIvTranslator* IvTranslator1() const { return translator_; }
  QString statusPanelText(int panel) const;
  // What the desk knows of the library during an outage; nothing without a desk list.
  const std::optional<vx::desklist::DeskList>& deskList() const { return deskList_; }
  QString deskListStatus() const;
  void setStatusPanelText(int panel, const QString& text);

  // The colours of the entry workflow.
  static QColor windowColour();
  static QColor buttonFaceColour();

  // The design position of the window, where it stands when no placement is stored.
  static constexpr QPoint kDesignPosition{255, 124};
  static constexpr int kHelpContextWindow = 1751;
  static constexpr int kHelpContextTopics = 1750;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void setupComponents();
  void setupDictionary();
  void setupStatusBar();
  void connectMenu();
  void setupBarcodeStrip(TVXAnimated* strip);
  void setFieldColour(QLineEdit* field, const QColor& colour);
  // Focus entering an entry field: its strip plays once, its text is selected.
  void enterField(TVXAnimated* strip, QLineEdit* field);
  void showHelpContext(int context);
  // The last step of the start-up: the language of the dictionary and the help folder.
  void chooseLanguageAndHelpFile();
  // Says once, in a warning box, which dictionary file could not be used and why.
  void reportUnusableDictionary();
  void runImportDialog();
  // Tells the librarian that a barcode holds `character`, which the workfile cannot store.
  void refuseCharacter(const QString& character);
  // Why the item entry could not append to the workfile, and what to do, in words.
  QString writeFailureMessage(const vx::workfile::WriteError& error) const;
  // A folder standing at a workfile path: says so and returns true.
  bool reportFolder(const QString& path);
  void showAboutBox();
  // The desk list beside the workfile, else the user's (none when there is none, or it is
  // damaged or foreign: the window then works as without one), and its age in the status bar.
  void loadDeskList();
  // The desk list's word on a barcode about to be taken in the field of `field`: false when it
  // was refused (a barcode of the other kind's shape) or the librarian answered No to its
  // warning (a withdrawn card, a copy that will be refused). Always true without a list.
  bool deskListTakes(const QString& barcode, vx::desklist::BarcodeKind field);

  std::unique_ptr<Ui::TFVXSysDn> ui_;
  // The program's handler of unhandled exceptions for as long as the window lives: it shows
  // each one; with no database named it records nothing.
  std::unique_ptr<TVXExceptionHandle> VXExceptionHandle1;
  QLabel* panels_[3] = {nullptr, nullptr, nullptr};
  // Why the dictionary could not be opened at load (the window then stays in its design
  // language); empty when it opened.
  QString dictionaryProblem_;
  TVXRegistry* myReg_ = nullptr;
  TVXRegFormProperties* vxrfp_ = nullptr;
  TVXAboutBox* aboutBox_ = nullptr;
  vx::i18n::TIvBinaryDictionary* dictionary_ = nullptr;
  vx::i18n::TIvDictionarySource* dictionarySource_ = nullptr;
  vx::i18n::TIvTranslator* translator_ = nullptr;
  vx::i18n::ToolkitTranslation* toolkitTranslation_ = nullptr;
  // The workfile operations with their text-file handle (bound anew by each operation) and
  // read caches.
  vx::workfile::Workfile workfile_;

  std::optional<vx::desklist::DeskList> deskList_;
  QLabel* deskListPanel_ = nullptr;  // only while there is a desk list

  QString activeFileName_;
  bool bFileOpened_ = false;
  int fileLength_ = 0;
  // The entry field that last got the focus from inside the window; focus lost to another
  // window (a message box, a menu) is not a field exit.
  QPointer<QObject> enteredField_;
};
