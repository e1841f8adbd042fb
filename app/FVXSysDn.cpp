#include "app/FVXSysDn.h"

#include "app/AppStrings.h"
#include "app/VXMemo.h"
#include "db/Value.h"
#include "artwork/barcode_strip/StripResource.h"
#include "workfile/Workfile.h"
#include "i18n/Dictionary.h"
#include "i18n/ToolkitTranslation.h"
#include "import/ImportStrings.h"
#include "import/ui/ImportDialog.h"
#include "i18n/ui/DictionarySource.h"
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "platform/CodePage1252.h"
#include "platform/ComposedMessage.h"
#include "platform/FileSystem.h"
#include "platform/HelpFiles.h"
#include "platform/IoError.h"
#include "platform/Registry.h"
#include "platform/ResourceStrings.h"
#include "platform/UserInterface.h"
#include "ui_FVXSysDn.h"
#include "vxcomp/about/ui/VXAboutBox.h"
#include "vxcomp/animated/ui/VXAnimate.h"
#include "vxcomp/settings/ui/FormProp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace vx;
using vx::app::appText;

namespace {

std::string bytes(const QString& s) { return s.toStdString(); }
QString text(const std::string& s) { return QString::fromStdString(s); }
QString stripped(const QString& s) { return text(workfile::strip(bytes(s))); }

// The workfile is 8-bit text in code page 1252, as the other programs of the suite write and
// read it: what is typed goes in converted, what is read comes out converted.
QString fromWorkfile(const std::string& ansi) { return text(cp1252::toUtf8(ansi)); }

// The typed text in the workfile's code page; nullopt when it holds a character the code page
// lacks (which goes to `missing`): a substitute would record another barcode than the one
// scanned.
std::optional<std::string> toWorkfile(const QString& typed, QString* missing = nullptr) {
  std::string lacking;
  auto ansi = cp1252::fromUtf8Exact(bytes(typed), &lacking);
  if (!ansi && missing) *missing = text(lacking);
  return ansi;
}

// The list shows this many characters of an item at most; a longer one is cut there and its
// length follows. Laying out a line of megabytes would hold the window for minutes, and no
// barcode comes near this length.
constexpr std::size_t kListedItemLength = 100;

QString listed(const std::string& item) {
  if (item.size() <= kListedItemLength) return fromWorkfile(item);
  return fromWorkfile(item.substr(0, kListedItemLength)) + QChar(0x2026) + QChar(' ') +
         res::formatMessage(appText(app::sItemLength), {QString::number(item.size())});
}

const char* const kHelpContextProperty = "HelpContext";

// A panel of the status bar: its design width is the least it takes, and it grows to fit its
// text (a count of any size, in any language). A panel that keeps its text whole also refuses
// to be squeezed below that text; the others give way to a narrow window.
class StatusPanel : public QLabel {
 public:
  StatusPanel(int designWidth, bool keepsTextWhole, QWidget* parent)
      : QLabel(parent), designWidth_(designWidth), keepsTextWhole_(keepsTextWhole) {}

  QSize sizeHint() const override {
    const QSize hint = QLabel::sizeHint();
    return {std::max(designWidth_, hint.width()), hint.height()};
  }
  QSize minimumSizeHint() const override {
    const QSize least = QLabel::minimumSizeHint();
    return {keepsTextWhole_ ? sizeHint().width() : designWidth_, least.height()};
  }

 private:
  int designWidth_;
  bool keepsTextWhole_;
};

}  // namespace

TFVXSysDn::TFVXSysDn(QWidget* parent) : QMainWindow(parent), ui_(new Ui::TFVXSysDn) {
  app::registerStrings();
  vx::import::registerStrings();  // the workfile's damage is told as the import tells it
  ui_->setupUi(this);
  setObjectName("FVXSysDn");
  workfile_.setLockWait(vx::workfile::Workfile::kDeskLockWait);
  setProperty(kHelpContextProperty, kHelpContextWindow);
  setupStatusBar();
  connectMenu();
  setupBarcodeStrip(ui_->BCBmp1);
  setupBarcodeStrip(ui_->BCBmp2);
  ui_->eBorrower->installEventFilter(this);
  ui_->eItem->installEventFilter(this);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);

  // The layout's position; the window asks to be centred, unless its placement component
  // takes that over (it does: the stored position, or this one, counts).
  move(kDesignPosition);
  setProperty("Position", "poScreenCenter");
  setupComponents();
  setupDictionary();
  if (property("Position").toString() == "poScreenCenter" && screen()) {
    QRect r = frameGeometry();
    r.moveCenter(screen()->geometry().center());
    move(r.topLeft());
  }
  ui_->eBorrower->setFocus();
  FormCreate(this);
}

TFVXSysDn::~TFVXSysDn() {
  // The placement is saved while the window is still whole.
  delete vxrfp_;
  vxrfp_ = nullptr;
  // The translator lets go of the dictionary before the dictionary goes; the dictionary then
  // stops routing the messages through itself.
  delete translator_;
  delete dictionarySource_;
  delete toolkitTranslation_;
  delete dictionary_;
}

void TFVXSysDn::setupDictionary() {
  setProperty("VXClassName", "TFVXSysDn");
  dictionary_ = new i18n::TIvBinaryDictionary(this);
  dictionary_->setObjectName("IvBinaryDictionary1");
  dictionary_->SetDictionaryName(i18n::kProgramDictionaryName);
  dictionary_->SetFileName(i18n::kProgramDictionaryFile);
  // What Qt draws itself (the buttons of message boxes, the file dialog, the edit fields'
  // menus) follows the dictionary's language too; made before the dictionary opens.
  toolkitTranslation_ = new i18n::ToolkitTranslation(*dictionary_, this);
  // Once open, the dictionary also translates every message of the string table and the
  // key names of the menus' shortcuts.
  dictionarySource_ = new i18n::TIvDictionarySource(*dictionary_, this);
  translator_ = new i18n::TIvTranslator(this);
  translator_->setObjectName("IvTranslator1");
  translator_->setDictionaryName(i18n::kProgramDictionaryName);
  translator_->setTargets(i18n::mainWindowTargets());
  // A damaged or missing dictionary, or one without a language this system supports: the
  // window stays in its design language, and the start-up says why (the window is not shown
  // yet). The translator leaves a missing file alone without a word, so that is asked here.
  try {
    translator_->Loaded();
    if (!dictionary_->Opened() && !dictionary_->IsDataAvailable())
      dictionaryProblem_ = QString::fromStdString(ioErrorText(winerr::FileNotFound));
  } catch (const std::exception& e) {
    dictionaryProblem_ = QString::fromUtf8(e.what());
  }
}

void TFVXSysDn::reportUnusableDictionary() {
  // The full path: the file that was read, or where the program looks for a missing one.
  QString path = dictionary_->FileName();
  if (QFileInfo(path).isRelative())
    path = QFileInfo(QDir(QCoreApplication::applicationDirPath()), path).absoluteFilePath();
  userInterface().messageBox(this, appText(app::sDictionaryUnusable).arg(path, dictionaryProblem_),
                             MsgIcon::Warning, MsgButtons::Ok);
}

void TFVXSysDn::setupComponents() {
  VXExceptionHandle1 = std::make_unique<TVXExceptionHandle>();
  myReg_ = new TVXRegistry(this);
  myReg_->setObjectName("MyReg");
  myReg_->setRootKey(TVXReg::rhCurrentUser);
  myReg_->Loaded();

  vxrfp_ = new TVXRegFormProperties(this, TVXRegFormProperties::Origin::FromLayout);
  vxrfp_->setObjectName("VXRFP");
  vxrfp_->setRootKey(TVXReg::rhCurrentUser);
  vxrfp_->setOverridePosition(true);
  vxrfp_->setKeepOnScreen(true);
  vxrfp_->setKeepWindowstate(true);
  vxrfp_->setKeepWindowSize(false);
  vxrfp_->Loaded();

  // The about box shows the program, not the library database (which may well be down).
  aboutBox_ = new TVXAboutBox(this);
  aboutBox_->setObjectName("VXAboutBox1");
  aboutBox_->setCheckDBVersion(false);
  aboutBox_->setDataBaseName("VXDB");
}

void TFVXSysDn::setupStatusBar() {
  static constexpr int kWidths[3] = {300, 75, 75};
  for (int i = 0; i < 3; ++i) {
    // The path may give way when the window is narrow; the counts never do.
    panels_[i] = new StatusPanel(kWidths[i], i > 0, this);
    panels_[i]->setObjectName(QString("sbMainPanel%1").arg(i));
    panels_[i]->setFrameShape(QFrame::StyledPanel);
    panels_[i]->setFrameShadow(QFrame::Sunken);
    ui_->sbMain->addWidget(panels_[i]);
  }
}

void TFVXSysDn::connectMenu() {
  for (QAction* a : {ui_->mnuOpen, ui_->mnuDone, ui_->mnuRefresh, ui_->mnuImport, ui_->mnuClose,
                     ui_->mnuAbout, ui_->MnuFile->menuAction(), ui_->mnuHelp->menuAction()})
    a->setProperty(kHelpContextProperty, kHelpContextWindow);
  ui_->mnuHelptopics->setProperty(kHelpContextProperty, kHelpContextTopics);
  ui_->MnuFile->installEventFilter(this);
  ui_->mnuHelp->installEventFilter(this);

  connect(ui_->mnuOpen, &QAction::triggered, this, [this] { mnuOpenClick(ui_->mnuOpen); });
  connect(ui_->mnuDone, &QAction::triggered, this, [this] { mnuDoneClick(ui_->mnuDone); });
  connect(ui_->mnuRefresh, &QAction::triggered, this, [this] { mnuRefreshClick(ui_->mnuRefresh); });
  connect(ui_->mnuImport, &QAction::triggered, this, [this] { mnuImportClick(ui_->mnuImport); });
  connect(ui_->mnuClose, &QAction::triggered, this, [this] { mnuCloseClick(ui_->mnuClose); });
  connect(ui_->mnuHelptopics, &QAction::triggered, this,
          [this] { mnuHelptopicsClick(ui_->mnuHelptopics); });
  connect(ui_->mnuAbout, &QAction::triggered, this, [this] { mnuAboutClick(ui_->mnuAbout); });
  connect(ui_->btDone, &QPushButton::clicked, this, [this] { btDoneClick(ui_->btDone); });
  // Shortcuts work from anywhere in the window, also while a field is read-only.
  for (QAction* a : {ui_->mnuDone, ui_->mnuRefresh, ui_->mnuImport}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  auto* help = new QAction(this);
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this, [this] { showHelpContext(kHelpContextWindow); });
  addAction(help);
}

void TFVXSysDn::setupBarcodeStrip(TVXAnimated* strip) {
  vxInitStripResource();
  strip->setBitMap(QPixmap(":/vxdown/barcode_strip.bmp"));
  strip->setGeometry(8, 22, 70, 21);
  strip->setFrameCount(5);
  strip->setFrame(0);
  strip->setInterval(100);
  strip->setPlay(false);
  strip->setReverse(false);
  strip->setLoop(false);
  strip->setTransparentColor(QColor(255, 0, 255));
  strip->setVisible(false);
}

QLineEdit* TFVXSysDn::eBorrower() const { return ui_->eBorrower; }
QLineEdit* TFVXSysDn::eItem() const { return ui_->eItem; }
QPushButton* TFVXSysDn::btDone() const { return ui_->btDone; }
TVXMemo* TFVXSysDn::mItems() const { return ui_->mItems; }
TVXAnimated* TFVXSysDn::BCBmp1() const { return ui_->BCBmp1; }
TVXAnimated* TFVXSysDn::BCBmp2() const { return ui_->BCBmp2; }

QString TFVXSysDn::statusPanelText(int panel) const { return panels_[panel]->text(); }
void TFVXSysDn::setStatusPanelText(int panel, const QString& t) { panels_[panel]->setText(t); }

QColor TFVXSysDn::windowColour() { return QApplication::palette().color(QPalette::Base); }
QColor TFVXSysDn::buttonFaceColour() { return QApplication::palette().color(QPalette::Button); }

void TFVXSysDn::setFieldColour(QLineEdit* field, const QColor& colour) {
  QPalette p = field->palette();
  p.setColor(QPalette::Base, colour);
  field->setPalette(p);
}

// ---- Workfile operations ------------------------------------------------------------

bool TFVXSysDn::CreateFile(const QString& fileName, bool closeAfter) {
  return workfile_.createFile(bytes(fileName), closeAfter);
}

bool TFVXSysDn::checkFile(const QString& fileName) {
  const auto result = workfile::checkFile(bytes(fileName));
  if (!result.ioError) return result.valid;
  // A file that no line can be added to says where it is damaged and what to do about it.
  const auto damaged = result.ioErrorCode == winerr::HandleEof
                           ? workfile::damagedAtLine(bytes(fileName))
                           : std::nullopt;
  const QString message = damaged ? vx::res::loadResString(vx::import::sWorkfileDamaged).arg(fileName).arg(*damaged)
                                  : text(*result.ioError);
  userInterface().messageBox(this, message, MsgIcon::Warning, MsgButtons::Ok);
  return result.valid;
}

QString TFVXSysDn::writeFailureMessage(const workfile::WriteError& error) const {
  const QString& path = activeFileName_;
  const std::string file = bytes(path);
  switch (error.code) {
    case winerr::HandleEof:
      if (const auto line = workfile::damagedAtLine(file))
        return vx::res::loadResString(vx::import::sWorkfileDamaged).arg(path).arg(*line);
      break;
    case winerr::DiskFull:
      return appText(app::sWriteDiskFull).arg(path);
    case winerr::AccessDenied:
      return appText(fs::isReadOnly(file) ? app::sWriteReadOnly : app::sWriteNoPermission).arg(path);
    case winerr::SharingViolation:
      return appText(app::sWriteInUse).arg(path);
    case winerr::PathNotFound:
      return appText(app::sWriteFolderMissing).arg(path);
    default:
      break;
  }
  return appText(app::sWriteFailed).arg(path, text(error.text));
}

bool TFVXSysDn::reportFolder(const QString& path) {
  if (!fs::folderExists(bytes(path))) return false;
  userInterface().messageBox(this, appText(app::sIsAFolder).arg(path), MsgIcon::Warning,
                             MsgButtons::Ok);
  return true;
}

int TFVXSysDn::GetFileLength(const QString& fileName) {
  return workfile_.getFileLength(bytes(fileName));
}

bool TFVXSysDn::VXWriteToFile(const QString& line) {
  const auto ansi = toWorkfile(line);
  return ansi && workfile_.writeToFile(bytes(activeFileName_), *ansi);
}

void TFVXSysDn::getFirstString(QString& line, QString& first) {
  std::string l = bytes(line), f;
  workfile::getFirstString(l, f);
  line = text(l);
  first = text(f);
}

void TFVXSysDn::findBorrowersBooks(const QString& borrower) {
  std::vector<std::string> items;
  ui_->mItems->clearLines();
  // A borrower the code page cannot hold has no lines in the workfile.
  const auto ansiBorrower = toWorkfile(borrower);
  if (!ansiBorrower) return;
  const auto result = workfile_.findBorrowersBooks(bytes(activeFileName_), *ansiBorrower, items);
  QStringList lines;
  lines.reserve(qsizetype(items.size()));
  for (const auto& item : items) lines << listed(item);
  ui_->mItems->setLines(lines);
  ui_->mItems->showLastLine();  // the newest scan is the one the librarian looks for
  if (!result.ok) showMessage(this, appText(app::sRefreshReadError));
}

// ---- Start-up -----------------------------------------------------------------------

void TFVXSysDn::FormCreate(QObject*) {
  show();
  bFileOpened_ = false;
  Variant location = Variant::fromString(std::string());
  myReg_->ReadSetting("FileLocation", location);
  const QString path = text(location.toString());

  bool usable = false;
  if (path.isEmpty()) {
    showMessage(this, appText(app::sNoFileAssignedAtStart));
  } else if (!reportFolder(path)) {
    usable = checkFile(path);
    if (!usable && !fs::fileExists(bytes(path))) {
      const QString question = appText(app::sUnableToFind) + path + appText(app::sCreateItNow);
      if (userInterface().messageBox(this, question, MsgIcon::Information, MsgButtons::YesNo) ==
          MsgResult::Yes)
        usable = CreateFile(path, true);
    }
  }
  if (usable) {
    activeFileName_ = path;
    setStatusPanelText(0, path);
    fileLength_ = GetFileLength(path);
    bFileOpened_ = true;
  } else {
    activeFileName_.clear();
  }
  loadDeskList();
  EnableMainForm(usable);
  if (!dictionaryProblem_.isEmpty()) reportUnusableDictionary();
  try {
    chooseLanguageAndHelpFile();
  } catch (const std::exception& e) {
    // Shown like any unhandled error (translated, with its full stop); the window carries on
    // with the help file as it was.
    i18n::ShowExceptionMessage(e);
  }
}

void TFVXSysDn::chooseLanguageAndHelpFile() {
  // The stored language index; -2 (the system's default language) when there is none.
  int index = -2;
  const std::string key = "Software\\Vellumdex";
  (void)reg::createKey(reg::Hive::CurrentUser, key);  // reading below works without it
  if (auto v = reg::readValue(reg::Hive::CurrentUser, key + "\\Language", "DefaultLanguage")) {
    if (v->type != reg::ValueType::Sz && v->type != reg::ValueType::ExpandSz)
      throw ComposedError({MessagePart::piece("Invalid data type for '"),
                           MessagePart::value("DefaultLanguage"), MessagePart::piece("'")});
    bool ok = false;
    const int stored = QString::fromStdString(v->text).trimmed().toInt(&ok);
    if (ok) index = stored;
  }
  // The dictionary takes the index (an index out of its range raises, and ends this step)
  // and reports the language it now has.
  dictionary_->SetLanguage(index);
  const int current = dictionary_->Opened() ? dictionary_->CurrentIndex() : dictionary_->Language();
  help::setApplicationHelpFile(
      help::helpFileForLanguage(help::applicationHelpFile(), help::languageCodeForIndex(current)));
}

void TFVXSysDn::EnableMainForm(bool enabled) {
  setFieldColour(ui_->eBorrower, enabled ? windowColour() : buttonFaceColour());
  setFieldColour(ui_->eItem, buttonFaceColour());
  ui_->eBorrower->clear();
  ui_->eItem->clear();
  ui_->eBorrower->setReadOnly(!enabled);
  ui_->eItem->setReadOnly(true);
  ui_->btDone->setEnabled(enabled);
  if (!enabled) setStatusPanelText(0, appText(app::sNoWorkFileAssigned));
}

void TFVXSysDn::Refresh() {
  if (!bFileOpened_) return;
  fileLength_ = GetFileLength(activeFileName_);
  setStatusPanelText(1, appText(app::sTotal) + QString::number(fileLength_));
  findBorrowersBooks(stripped(ui_->eBorrower->text()));
  setStatusPanelText(2, appText(app::sCurrent) + QString::number(ui_->mItems->lineCount()));
}

// ---- Entry workflow -----------------------------------------------------------------

void TFVXSysDn::enterField(TVXAnimated* strip, QLineEdit* field) {
  if (!bFileOpened_) return;
  strip->setVisible(true);
  strip->setPlay(true);
  field->selectAll();  // the next scan replaces the text
  setFieldColour(field, field->isReadOnly() ? buttonFaceColour() : Qt::white);
}

void TFVXSysDn::eBorrowerEnter(QObject*) { enterField(ui_->BCBmp1, ui_->eBorrower); }

void TFVXSysDn::eBorrowerExit(QObject*) {
  if (!bFileOpened_) return;
  setFieldColour(ui_->eBorrower, buttonFaceColour());
  ui_->BCBmp1->setVisible(false);
  Refresh();
}

void TFVXSysDn::eBorrowerKeyPress(QObject*, char& key) {
  if (key != 13) return;
  if (stripped(ui_->eBorrower->text()).isEmpty()) return;
  if (!bFileOpened_) return;
  QString missing;
  if (!toWorkfile(stripped(ui_->eBorrower->text()), &missing)) {
    refuseCharacter(missing);
    ui_->eBorrower->selectAll();
    key = 0;
    return;
  }
  if (!deskListTakes(stripped(ui_->eBorrower->text()), desklist::BarcodeKind::Borrower)) {
    ui_->eBorrower->selectAll();  // the field stays as it was, ready for the next scan
    key = 0;
    return;
  }
  setFieldColour(ui_->eItem, windowColour());
  ui_->eItem->setReadOnly(false);
  ui_->eItem->setFocus(Qt::OtherFocusReason);
  ui_->eBorrower->setReadOnly(true);
  key = 0;
}

void TFVXSysDn::EItemEnter(QObject*) { enterField(ui_->BCBmp2, ui_->eItem); }

void TFVXSysDn::EItemExit(QObject*) {
  if (!bFileOpened_) return;
  ui_->BCBmp2->setVisible(false);
  setFieldColour(ui_->eItem, buttonFaceColour());
}

void TFVXSysDn::EItemKeyPress(QObject*, char& key) {
  if (key != 13) return;
  const QString item = stripped(ui_->eItem->text());
  if (item.isEmpty()) return;
  if (!bFileOpened_) return;
  QString missing;
  const auto ansiBorrower = toWorkfile(stripped(ui_->eBorrower->text()), &missing);
  const auto ansiItem = ansiBorrower ? toWorkfile(item, &missing) : std::nullopt;
  if (!ansiItem) {
    refuseCharacter(missing);  // nothing is written; the scan stays, selected
    ui_->eItem->selectAll();
    key = 0;
    return;
  }
  if (!deskListTakes(item, desklist::BarcodeKind::Item)) {
    ui_->eItem->selectAll();  // nothing is written; the scan stays, selected
    key = 0;
    return;
  }
  // Another desk appending to the same file holds it for a moment (the write and its sync), as
  // does the import for the moment it replaces the file: each attempt waits its turn for the
  // lock, and a pause between attempts outlasts the rest, where attempts back to back would not.
  const auto result = workfile_.appendRecord(bytes(activeFileName_), *ansiBorrower, *ansiItem,
                                             vx::workfile::Workfile::deskPause());
  if (result.written)
    Refresh();
  else if (result.error)
    userInterface().messageBox(this, writeFailureMessage(*result.error), MsgIcon::Warning,
                               MsgButtons::Ok);
  else
    showMessage(this, appText(app::sUnableToWrite));
  ui_->eItem->selectAll();
  key = 0;
}

void TFVXSysDn::loadDeskList() {
  deskList_.reset();
  if (!activeFileName_.isEmpty()) deskList_ = desklist::DeskList::read(desklist::deskListBeside(bytes(activeFileName_)));
  if (!deskList_) deskList_ = desklist::DeskList::read(desklist::userDeskListPath());
  if (!deskList_) {
    if (deskListPanel_) ui_->sbMain->removeWidget(deskListPanel_);
    delete deskListPanel_;
    deskListPanel_ = nullptr;
    return;
  }
  if (!deskListPanel_) {
    deskListPanel_ = new QLabel(this);
    deskListPanel_->setObjectName("sbMainDeskList");
    deskListPanel_->setFrameShape(QFrame::StyledPanel);
    deskListPanel_->setFrameShadow(QFrame::Sunken);
    ui_->sbMain->addWidget(deskListPanel_);
    deskListPanel_->show();
  }
  deskListPanel_->setText(deskListStatus());
}

QString TFVXSysDn::deskListStatus() const {
  if (!deskList_) return {};
  const bool old = deskList_->ageInDays(db::DateTime::now().toString()) > 7;
  return appText(old ? app::sDeskListOld : app::sDeskListTaken).arg(QString::fromStdString(deskList_->takenShown()));
}

bool TFVXSysDn::deskListTakes(const QString& scanned, desklist::BarcodeKind field) {
  if (!deskList_) return true;
  const std::string barcode = scanned.toStdString();
  const bool borrowerField = field == desklist::BarcodeKind::Borrower;
  if (deskList_->shapes.looksLike(barcode, field) != field) {
    userInterface().messageBox(this, appText(borrowerField ? app::sLooksLikeItem : app::sLooksLikeCard).arg(scanned),
                               MsgIcon::Warning, MsgButtons::Ok);
    return false;
  }
  // What the list knows against the barcode, as the question to go on anyway.
  QString question;
  if (borrowerField) {
    if (!deskList_->withdrawnCards.count(barcode)) return true;
    question = appText(app::sCardWithdrawn).arg(scanned, QString::fromStdString(deskList_->takenShown()));
  } else {
    const auto refused = deskList_->refusedCopies.find(barcode);
    if (refused == deskList_->refusedCopies.end()) return true;
    const app::StringId why = refused->second == desklist::RefusedCopy::Scrapped        ? app::sWhyScrapped
                              : refused->second == desklist::RefusedCopy::RecordScrapped ? app::sWhyRecordScrapped
                              : refused->second == desklist::RefusedCopy::Lost           ? app::sWhyLost
                                                                                         : app::sWhyNotForLoan;
    question = appText(app::sCopyRefused).arg(scanned, appText(why));
  }
  MsgOptions options;
  options.defaultButton = MsgResult::No;
  return userInterface().messageBox(this, question, MsgIcon::Warning, MsgButtons::YesNo, QString(), options) ==
         MsgResult::Yes;
}

void TFVXSysDn::refuseCharacter(const QString& character) {
  showMessage(this, res::formatMessage(appText(app::sNotInCodePage), {character}));
}

void TFVXSysDn::btDoneClick(QObject*) {
  setFieldColour(ui_->eBorrower, windowColour());
  ui_->eBorrower->setReadOnly(false);
  ui_->eItem->setReadOnly(true);
  ui_->eBorrower->setFocus(Qt::OtherFocusReason);
  ui_->eItem->clear();
}

// ---- Menu ---------------------------------------------------------------------------

void TFVXSysDn::mnuOpenClick(QObject*) {
  bFileOpened_ = false;
  OpenFileRequest request;
  request.title = appText(app::sSelectWorkfile);
  request.filters = appText(app::sWorkfileFilter).split('|');
  // "Description|pattern|Description|pattern" pairs up into entries.
  QStringList entries;
  for (qsizetype i = 0; i + 1 < request.filters.size(); i += 2)
    entries << request.filters[i] + '|' + request.filters[i + 1];
  request.filters = entries;
  request.initialPath = activeFileName_;
  request.hideReadOnly = true;
  request.pathMustExist = true;
  request.createPrompt = true;
  request.noReadOnlyReturn = true;
  if (auto chosen = userInterface().openFile(this, request)) {
    const QString name = stripped(*chosen);
    if (reportFolder(name)) {
      // A folder is neither created over nor checked: the window goes without a workfile.
    } else if (!fs::fileExists(bytes(name))) {
      CreateFile(name, true);
    }
    if (!fs::folderExists(bytes(name)) && checkFile(name)) {
      bFileOpened_ = true;
      if (name != stripped(activeFileName_)) {
        activeFileName_ = name;
        setStatusPanelText(0, name);
        loadDeskList();
        if (!myReg_->WriteSetting("FileLocation", Variant::fromString(bytes(name))) && !myReg_->lastError().empty())
          userInterface().messageBox(this,
                                     appText(app::sWorkfileNotRemembered)
                                         .arg(name, QString::fromStdString(myReg_->lastError())),
                                     MsgIcon::Warning, MsgButtons::Ok);
        Refresh();
      }
    }
  }
  EnableMainForm(bFileOpened_);
  // The next scan is a borrower's: the focus goes where it can land, whichever field (the
  // item field, now read-only) had it before.
  if (bFileOpened_) {
    if (ui_->eBorrower->hasFocus())
      eBorrowerEnter(ui_->eBorrower);
    else
      ui_->eBorrower->setFocus(Qt::OtherFocusReason);
  }
}

void TFVXSysDn::mnuImportClick(QObject*) { runImportDialog(); }

void TFVXSysDn::runImportDialog() {
  // A dialog of its own each time, with a connection of its own; freed when it returns.
  std::unique_ptr<TVXImport> dialog = std::make_unique<TVXImport>(this, dictionary_);
  dialog->checkFile = [this](const QString& path) { return checkFile(path); };
  dialog->refreshAfterImport = [this] {
    Refresh();
    setStatusPanelText(2, QString());
    ui_->mItems->clearLines();
    ui_->eBorrower->clear();
    btDoneClick(ui_->btDone);
  };
  dialog->SelectImportPage();
  if (checkFile(activeFileName_)) {
    dialog->SetFileLocation(activeFileName_);
    dialog->SetFileValid(true);
  } else {
    dialog->SetFileValid(false);
  }
  dialog->Execute();
}

void TFVXSysDn::mnuCloseClick(QObject*) {
  if (userInterface().messageBox(this, appText(app::sExitQuestion), MsgIcon::Confirmation,
                                 MsgButtons::YesNo) == MsgResult::Yes)
    close();
}

void TFVXSysDn::mnuHelptopicsClick(QObject*) { showHelpContext(kHelpContextTopics); }

void TFVXSysDn::mnuAboutClick(QObject*) { showAboutBox(); }

void TFVXSysDn::showAboutBox() {
  aboutBox_->setApplicationName(appText(app::sAppTitle));
  aboutBox_->Execute();
}

void TFVXSysDn::showHelpContext(int context) {
  userInterface().showHelp(this, help::applicationHelpFile(), context);
}

void TFVXSysDn::FormCloseQuery(QObject*, bool& canClose) { canClose = true; }

void TFVXSysDn::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  FormCloseQuery(this, canClose);
  if (canClose)
    event->accept();
  else
    event->ignore();
}

// ---- Events -------------------------------------------------------------------------

bool TFVXSysDn::eventFilter(QObject* watched, QEvent* event) {
  const bool isBorrower = watched == ui_->eBorrower;
  const bool isItem = watched == ui_->eItem;
  switch (event->type()) {
    case QEvent::FocusIn:
      if ((isBorrower || isItem) && enteredField_ != watched) {
        enteredField_ = watched;
        isBorrower ? eBorrowerEnter(watched) : EItemEnter(watched);
      }
      break;
    case QEvent::FocusOut: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Focus that goes to another window or a menu comes back to the same field: a menu
      // opened with the mouse takes it as a popup, one opened from the keyboard (Alt, F10)
      // through the menu bar.
      if ((isBorrower || isItem) && reason != Qt::ActiveWindowFocusReason &&
          reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
          enteredField_ == watched) {
        enteredField_ = nullptr;
        isBorrower ? eBorrowerExit(watched) : EItemExit(watched);
      }
      break;
    }
    case QEvent::KeyPress: {
      auto* ke = static_cast<QKeyEvent*>(event);
      if (ke->key() == Qt::Key_F1) {
        // Help for the menu item under the cursor, or for the window.
        int context = kHelpContextWindow;
        if (auto* menu = qobject_cast<QMenu*>(watched); menu && menu->activeAction()) {
          bool ok = false;
          const int c = menu->activeAction()->property(kHelpContextProperty).toInt(&ok);
          if (ok) context = c;
        }
        showHelpContext(context);
        return true;
      }
      if ((isBorrower || isItem) && (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)) {
        char key = 13;
        isBorrower ? eBorrowerKeyPress(watched, key) : EItemKeyPress(watched, key);
        return key == 0;
      }
      break;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}
