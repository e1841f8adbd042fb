#include "import/ui/ImportDialog.h"

#include "workfile/Workfile.h"
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "import/ImportStrings.h"
#include "desklist/DeskList.h"
#include "db/Database.h"
#include "import/ui/FollowUpPrint.h"
#include "platform/ExceptionHandler.h"
#include "platform/ProcessorFault.h"
#include "platform/CodePage1252.h"
#include "platform/FileSystem.h"
#include "platform/HelpFiles.h"
#include "platform/SilentAbort.h"
#include "platform/UserInterface.h"
#include "ui_ImportDialog.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/VXLogin.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTreeWidget>

#include <exception>
#include <fstream>
#include <iterator>

using vx::res::loadResString;

namespace {

// The buttons' glyphs, drawn here: the normal look and the disabled one (grey).
QIcon glyph(const QString& kind) {
  QPixmap normal(16, 16);
  normal.fill(Qt::transparent);
  QPainter p(&normal);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (kind == "import") {  // a sheet with an arrow into a database
    p.setPen(Qt::black);
    p.setBrush(QColor(70, 110, 200));
    p.drawEllipse(6, 9, 9, 3);
    p.drawRect(6, 11, 9, 4);
    p.setPen(QPen(QColor(0, 130, 0), 2));
    p.drawLine(3, 2, 3, 7);
    p.drawLine(3, 7, 9, 7);
    p.drawLine(7, 5, 9, 7);
  } else if (kind == "cancel") {  // a red cross
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.drawLine(3, 3, 12, 12);
    p.drawLine(12, 3, 3, 12);
  } else {  // browse: an open folder
    p.setPen(Qt::black);
    p.setBrush(QColor(240, 200, 60));
    p.drawRect(1, 4, 13, 9);
    p.drawRect(1, 3, 5, 2);
  }
  p.end();
  QImage grey = normal.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x) {
      const QColor c = grey.pixelColor(x, y);
      if (c.alpha() == 0) continue;
      const int g = 128 + qGray(c.rgb()) / 2;
      grey.setPixelColor(x, y, QColor(g, g, g, c.alpha()));
    }
  QIcon icon;
  icon.addPixmap(normal, QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(grey), QIcon::Disabled);
  return icon;
}

void registerDialogStrings() {
  vx::res::registerString(vx::import::sDatabaseNotAvailable,
                          "Sorry, the database is not available right now. Try to import at a later time.");
  vx::res::registerString(vx::import::sUnableToOpenFile, "Unable to open the file.");
  vx::res::registerString(vx::import::sImportFilter,
                          "Comma Separated File (CSV)|*.CSV|Text File (TXT)|*.TXT|Error Log File (ERR)|*.ERR|All files|*.*");
  vx::res::registerString(vx::import::sImportTitle, "Open");
  vx::res::registerString(vx::import::sFollowUpTitle, "Follow-up after the import");
  vx::res::registerString(vx::import::sPrintUnit, "Library unit");
  vx::res::registerString(vx::import::sPrintUser, "User");
  vx::res::registerString(vx::import::sPrintDate, "Date");
  vx::res::registerString(vx::import::sSaveFollowUpTitle, "Save the follow-up list");
  vx::res::registerString(vx::import::sFollowUpNotSaved, "The follow-up list could not be saved: ");
  vx::res::registerString(vx::import::sFollowUpFilter, "Comma Separated File (CSV)|*.csv");
  vx::res::registerString(vx::import::sFollowUpNotPrinted, "The follow-up list could not be printed.");
}

// The file dialog's filter entries from a string table text "Description|pattern|...".
QStringList filterEntries(const QString& text) {
  QStringList entries;
  const QStringList parts = text.split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) entries << parts[i] + '|' + parts[i + 1];
  return entries;
}

// The follow-up tree: the groups' items, and the rows under them. Sorting by a column sorts
// the rows inside each group; the groups keep the list's order in both directions (Qt sorts
// a descending column by asking the items the other way round, so a group answers by the
// order the header shows).
constexpr int kKeyRole = Qt::UserRole;  // a group's index, a row's line
constexpr int kLineColumn = 0;
constexpr size_t kGroupCell = 1;  // FollowUpList::cells(): the group, shown as the parent
constexpr int kWidestColumn = 240;

class FollowUpGroupItem : public QTreeWidgetItem {
 public:
  explicit FollowUpGroupItem(int group) { setData(0, kKeyRole, group); }
  bool operator<(const QTreeWidgetItem& other) const override {
    const int mine = data(0, kKeyRole).toInt(), theirs = other.data(0, kKeyRole).toInt();
    const bool descending = treeWidget() && treeWidget()->header()->sortIndicatorOrder() == Qt::DescendingOrder;
    return descending ? theirs < mine : mine < theirs;
  }
};

class FollowUpRowItem : public QTreeWidgetItem {
 public:
  FollowUpRowItem(QTreeWidgetItem* group, int line) : QTreeWidgetItem(group) { setData(0, kKeyRole, line); }
  bool operator<(const QTreeWidgetItem& other) const override {
    const int line = data(0, kKeyRole).toInt(), otherLine = other.data(0, kKeyRole).toInt();
    const int column = treeWidget() ? treeWidget()->sortColumn() : kLineColumn;
    if (column != kLineColumn) {
      const int order = text(column).localeAwareCompare(other.text(column));
      if (order != 0) return order < 0;
    }
    return line < otherLine;
  }
};

}  // namespace

TVXImport::TVXImport(QWidget* parent, vx::i18n::TIvDictionary* dictionary, vx::db::Session& session)
    : QDialog(parent), ui_(new Ui::TVXImport) {
  registerDialogStrings();
  vx::import::registerStrings();
  ui_->setupUi(this);
  setObjectName("VXImport");
  setProperty("VXClassName", "TVXImport");
  setProperty("HelpContext", kHelpContext);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(448, 356);
  ui_->cmdImport->setIcon(glyph("import"));
  ui_->cmdCancel->setIcon(glyph("cancel"));
  ui_->cmdbrowse->setIcon(glyph("browse"));
  ui_->pProgress->setVisible(false);
  QPalette face = ui_->eFileLocation->palette();
  face.setColor(QPalette::Base, palette().color(QPalette::Button));
  for (QLineEdit* e : {ui_->eFileLocation, ui_->eRejected, ui_->eOK, ui_->eTotal}) e->setPalette(face);

  connect(ui_->cmdbrowse, &QPushButton::clicked, this, [this] { cmdbrowseClick(); });
  connect(ui_->cmdImport, &QPushButton::clicked, this, [this] { cmdImportClick(); });
  connect(ui_->cmdCancel, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
  connect(ui_->cmdClose, &QPushButton::clicked, this, [this] { cmdCloseClick(); });
  connect(ui_->cmdDetails, &QPushButton::clicked, this, [this] { cmdDetailsClick(); });
  connect(ui_->cmdReport, &QPushButton::clicked, this, [this] { cmdReportClick(); });
  connect(ui_->cmdPrint, &QPushButton::clicked, this, [this] { cmdPrintClick(); });
  connect(ui_->cmdSaveCsv, &QPushButton::clicked, this, [this] { cmdSaveCsvClick(); });
  // Qt's header starts with a descending indicator; the list starts in line order.
  ui_->tvFollowUp->header()->setSortIndicator(kLineColumn, Qt::AscendingOrder);
  ui_->tvFollowUp->setSortingEnabled(true);
  auto* help = new QAction(this);
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this,
          [this] { vx::userInterface().showHelp(this, vx::help::applicationHelpFile(), kHelpContext); });
  addAction(help);

  translator_ = new vx::i18n::TIvTranslator(this);
  translator_->setObjectName("IvTranslator1");
  translator_->setDictionaryName("Dictionary1");
  vx::i18n::TIvTargetProperties targets;
  for (const char* prop : {"Hint", "Caption", "Lines", "Filter", "Title"}) targets.add(QString(), prop);
  translator_->setTargets(targets);
  try {
    translator_->Loaded();
  } catch (const std::exception&) {
  }

  checkFile = [](const QString& path) { return vx::workfile::checkFile(path.toStdString()).valid; };
  login_ = std::make_unique<TVXLogin>(session);
  login_->aliasName = "swe";
  login_->databaseName = "VXDB";
  login_->params = {"USER NAME=dba", "PASSWORD=", "LANGDRIVER=SYDC850"};
  login_->DatabaseVersion = 2.5003f;
  login_->ApplicationTitle = "Vellumdex System Down";
  login_->OnAccessControl = [this](bool& granted) { VXLogin1AccessControl(granted); };
  access_ = std::make_unique<TVXAccess>(session);
  access_->DatabaseName = "VXDB";
  access_->ModuleName = "System Down Import";
  run_ = std::make_unique<vx::import::ImportRun>(session);

  // FormCreate
  imported_ = false;
  bool connected = false;
  try {
    login_->setLoginPromptAlways(true);
    login_->LanguageDictionary = dictionary;
    login_->AllowLanguageSelection = dictionary != nullptr;
    login_->setConnected(true);
    cancelled_ = false;
    connected = login_->Connected();
  } catch (const vx::SilentAbort&) {
  } catch (const std::exception&) {
  }
  if (!connected)
    vx::showMessage(this, loadResString(vx::import::sDatabaseNotAvailable));
  else
    startDeskList(session);
  fillFollowUp();  // the column headings, in the language the login chose
}

TVXImport::~TVXImport() { finishDeskList(); }

void TVXImport::startDeskList(vx::db::Session& session) {
  // The list is a help for the next outage, never a reason for the import to fail: whatever
  // goes wrong here leaves the list that was there.
  try {
    const vx::db::AliasSpec alias = session.alias(login_->aliasName);
    const std::vector<std::string> params = login_->params;
    const std::string path = vx::desklist::userDeskListPath();
    deskListTaker_ = std::thread([alias, params, path] {
      try {
        vx::db::Session own("DeskList", {alias});
        vx::db::Database db(own);
        db.databaseName = "VXDB";
        db.aliasName = alias.name;
        db.params = params;
        db.open();
        const vx::desklist::DeskList list = vx::desklist::takeDeskList(own, "VXDB");
        std::string error;
        (void)list.write(path, error);
      } catch (...) {
      }
    });
  } catch (const std::exception&) {
  }
}

void TVXImport::finishDeskList() {
  if (deskListTaker_.joinable()) deskListTaker_.join();
}

void TVXImport::VXLogin1AccessControl(bool& granted) {
  granted = access_->AccessLevel() == 1;
  if (!granted) access_->ShowAccessDenied("Vellumdex System Down", login_->aliasName, 0);
}

QLineEdit* TVXImport::eFileLocation() const { return ui_->eFileLocation; }
QLineEdit* TVXImport::eRejected() const { return ui_->eRejected; }
QLineEdit* TVXImport::eOK() const { return ui_->eOK; }
QLineEdit* TVXImport::eTotal() const { return ui_->eTotal; }
QProgressBar* TVXImport::pbImport() const { return ui_->pbImport; }
QTextEdit* TVXImport::reResult() const { return ui_->reResult; }
QTabWidget* TVXImport::ImportPage() const { return ui_->ImportPage; }
QTreeWidget* TVXImport::tvFollowUp() const { return ui_->tvFollowUp; }
QWidget* TVXImport::pProgress() const { return ui_->pProgress; }
QString TVXImport::percentText() const { return ui_->lpercent->text(); }
QString TVXImport::maxText() const { return ui_->lMax->text(); }
QPushButton* TVXImport::button(const char* name) const { return findChild<QPushButton*>(name); }

void TVXImport::SelectImportPage() { ui_->ImportPage->setCurrentWidget(ui_->TabImport); }
void TVXImport::SetFileLocation(const QString& path) { ui_->eFileLocation->setText(path); }
void TVXImport::SetFileValid(bool valid) { ui_->cmdImport->setEnabled(valid); }

void TVXImport::Execute() {
  if (login_->Connected()) exec();
}

void TVXImport::cmdbrowseClick() {
  vx::OpenFileRequest request;
  request.title = loadResString(vx::import::sImportTitle);
  request.filters = filterEntries(loadResString(vx::import::sImportFilter));
  request.initialPath = ui_->eFileLocation->text();
  request.hideReadOnly = true;
  request.pathMustExist = true;
  const auto chosen = vx::userInterface().openFile(this, request);
  if (!chosen) return;
  if (checkFile && checkFile(*chosen)) {
    ui_->eFileLocation->setText(*chosen);
    ui_->cmdImport->setEnabled(true);
  } else {
    vx::showMessage(this, loadResString(vx::import::sUnableToOpenFile));
  }
}

void TVXImport::cmdImportClick() {
  // An Import click that waited in the queue behind a Cancel must not start a second run.
  if (running_) return;
  const std::string path = vx::workfile::strip(ui_->eFileLocation->text().toStdString());
  if (path.empty()) return;
  running_ = true;
  cancelled_ = false;
  ui_->cmdImport->setEnabled(false);
  ui_->cmdbrowse->setEnabled(false);
  ui_->cmdClose->setEnabled(false);
  ui_->cmdCancel->setEnabled(true);
  ui_->cmdPrint->setEnabled(false);
  ui_->cmdSaveCsv->setEnabled(false);
  ui_->pbImport->setValue(0);
  ui_->lpercent->setText("0 %");
  // Whatever ends the run, the dialog comes back to its resting state: an error out of the run
  // (a processor fault included, which skips the run's destructors) is a failed run, shown
  // and recorded by the program's exception display once the buttons work again.
  std::exception_ptr failure;
  try {
    vx::runGuarded([&] { outcome_ = run_->ImportToVXDBFromFile(path, login_->UnitId(), *this); });
  } catch (const std::exception& e) {
    run_->abandon();  // the lock, the workfile and the outputs; the journal stays for the next run
    outcome_ = {};
    outcome_.status = vx::import::ImportOutcome::Status::NotReplaced;
    outcome_.message = e.what();
    failure = std::current_exception();
  }
  using Status = vx::import::ImportOutcome::Status;
  if (failure) {
    endRun();
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      vx::handleException(e);
    }
    return;
  }
  if (outcome_.status == Status::Finished) {
    finished_ = outcome_;
    followUp_ = run_->followUp();
    followUpTime_ = QDateTime::currentDateTime();
    fillFollowUp();
    if (loadIntoResult(outcome_.reportFile)) {
      ui_->cmdDetails->setEnabled(true);
      ui_->ImportPage->setCurrentWidget(ui_->TabResult);
      imported_ = true;
    } else {
      vx::showMessage(this, QString::fromStdString(vx::import::text(vx::import::sReportTooLarge)) + "\r\n" +
                                QString::fromStdString(outcome_.logFile));
    }
  } else if (!outcome_.message.empty()) {
    // Nothing to import, files that could not be opened, or a workfile that could not be
    // replaced: said, never shown as a finished import.
    vx::userInterface().messageBox(this, QString::fromStdString(outcome_.message),
                                   outcome_.status == Status::NothingToImport ? vx::MsgIcon::None
                                                                             : vx::MsgIcon::Error,
                                   vx::MsgButtons::Ok);
  }
  endRun();
}

void TVXImport::endRun() {
  ui_->cmdCancel->setEnabled(false);
  ui_->cmdImport->setEnabled(true);
  ui_->cmdbrowse->setEnabled(true);
  ui_->cmdClose->setEnabled(true);
  ui_->cmdPrint->setEnabled(!followUp_.empty());
  ui_->cmdSaveCsv->setEnabled(!followUp_.empty());
  running_ = false;
}

void TVXImport::fillFollowUp() {
  using vx::import::FollowUpList;
  QTreeWidget* tree = ui_->tvFollowUp;
  tree->setSortingEnabled(false);  // the items are placed first, then sorted once
  tree->clear();
  QStringList headings;
  const std::vector<std::string> columns = FollowUpList::columnHeadings();
  for (size_t c = 0; c < columns.size(); ++c)
    if (c != kGroupCell) headings << QString::fromStdString(columns[c]);
  tree->setColumnCount(static_cast<int>(headings.size()));
  tree->setHeaderLabels(headings);
  for (int g = 0; g < vx::import::kFollowUpGroupCount; ++g) {
    const auto group = static_cast<vx::import::FollowUpGroup>(g);
    if (followUp_.count(group) == 0) continue;
    auto* groupItem = new FollowUpGroupItem(g);
    groupItem->setText(0, QString::fromStdString(FollowUpList::groupHeading(group)) + " (" +
                              QString::number(followUp_.count(group)) + ")");
    QFont bold = tree->font();
    bold.setBold(true);
    groupItem->setFont(0, bold);
    tree->addTopLevelItem(groupItem);
    groupItem->setFirstColumnSpanned(true);
    for (const vx::import::FollowUpRow& row : followUp_.rows()) {
      if (row.group != group) continue;
      auto* item = new FollowUpRowItem(groupItem, row.line);
      const std::vector<std::string> cells = FollowUpList::cells(row);
      int column = 0;
      for (size_t c = 0; c < cells.size(); ++c) {
        if (c == kGroupCell) continue;
        const QString cell = QString::fromStdString(cells[c]);
        item->setText(column, cell);
        item->setToolTip(column, cell);  // the long texts are cut in their column
        ++column;
      }
      item->setTextAlignment(kLineColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  tree->expandAll();
  for (int c = 0; c < tree->columnCount(); ++c) {
    tree->resizeColumnToContents(c);
    if (tree->columnWidth(c) > kWidestColumn) tree->setColumnWidth(c, kWidestColumn);
  }
  tree->setSortingEnabled(true);  // sorts by the column and order the header shows
}

void TVXImport::cmdPrintClick() {
  if (running_ || followUp_.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(loadResString(vx::import::sFollowUpTitle));
  if (!vx::userInterface().choosePrinter(this, printer)) return;
  vx::import::FollowUpHeader header;
  header.unit = QString::fromStdString(login_->UnitName());
  header.user = QString::fromStdString(login_->loginData().UserName());
  header.finished = followUpTime_;
  header.processed = finished_.processed;
  header.accepted = finished_.accepted;
  header.rejected = finished_.processed - finished_.accepted;
  // A printer that cannot start writes its output nowhere (a print-to-file in a folder the
  // user may not write, a spool file that cannot be made): said, never taken for printed.
  if (!vx::import::printFollowUp(printer, followUp_, header))
    vx::userInterface().messageBox(this, loadResString(vx::import::sFollowUpNotPrinted), vx::MsgIcon::Error,
                                   vx::MsgButtons::Ok);
}

void TVXImport::cmdSaveCsvClick() {
  if (running_ || followUp_.empty()) return;
  vx::SaveFileRequest request;
  request.title = loadResString(vx::import::sSaveFollowUpTitle);
  request.filters = filterEntries(loadResString(vx::import::sFollowUpFilter));
  request.defaultSuffix = "csv";
  const auto chosen = vx::userInterface().saveFile(this, request);
  if (!chosen) return;
  std::string error;
  if (!followUp_.saveCsv(chosen->toStdString(), error))
    vx::userInterface().messageBox(this, loadResString(vx::import::sFollowUpNotSaved) + QString::fromStdString(error),
                                   vx::MsgIcon::Error, vx::MsgButtons::Ok);
}

void TVXImport::cmdCancelClick() {
  cancelled_ = true;
  ui_->cmdImport->setEnabled(true);
}

bool TVXImport::loadIntoResult(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > 64 * 1024 * 1024) return false;  // beyond what the text box shows usefully
  std::string text;
  for (char c : vx::cp1252::toUtf8(bytes))
    if (c != '\r') text += c;
  ui_->reResult->setPlainText(QString::fromStdString(text));
  return true;
}

void TVXImport::cmdDetailsClick() {
  if (!loadIntoResult(finished_.logFile)) {
    ui_->reResult->setPlainText(loadResString(vx::import::sUnableToOpenFile));
    return;
  }
  ui_->cmdDetails->setEnabled(false);
  ui_->cmdReport->setEnabled(true);
}

void TVXImport::cmdReportClick() {
  if (!loadIntoResult(finished_.reportFile)) {
    ui_->reResult->setPlainText(loadResString(vx::import::sUnableToOpenFile));
    return;
  }
  ui_->cmdDetails->setEnabled(true);
  ui_->cmdReport->setEnabled(false);
}

void TVXImport::cmdCloseClick() {
  SelectImportPage();
  ui_->pProgress->setVisible(false);
  if (imported_ && refreshAfterImport) refreshAfterImport();
  accept();
}

void TVXImport::done(int result) {
  // The dialog never closes under a run (Escape included): it asks the run to stop instead.
  if (running_) {
    cancelled_ = true;
    return;
  }
  FormClose();
  QDialog::done(result);
}

void TVXImport::FormClose() {
  try {
    login_->setConnected(false);
  } catch (const std::exception&) {
  }
  ui_->pProgress->setVisible(false);
  ui_->pbImport->setValue(0);
  for (QLineEdit* e : {ui_->eRejected, ui_->eOK, ui_->eTotal}) e->setText("0");
  ui_->eFileLocation->clear();
  ui_->reResult->clear();
  followUp_ = {};
  fillFollowUp();
  ui_->cmdPrint->setEnabled(false);
  ui_->cmdSaveCsv->setEnabled(false);
}

void TVXImport::started(int total) {
  ui_->lMax->setText(QString::number(total));
  ui_->pProgress->setVisible(true);
}

void TVXImport::lineDone(int index, int accepted, int, int percent) {
  ui_->eRejected->setText(QString::number(index - accepted));
  ui_->eOK->setText(QString::number(accepted));
  ui_->eTotal->setText(QString::number(index));
  ui_->pbImport->setValue(percent);
  ui_->lpercent->setText(QString::number(percent) + " %");
}

void TVXImport::pump() { QApplication::processEvents(); }
