#include "vxcomp/login/ui/LoginForm.h"

#include "i18n/Dictionary.h"
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "platform/ExceptionHandler.h"
#include "platform/HelpFiles.h"
#include "platform/Registry.h"
#include "platform/ResourceStrings.h"
#include "platform/UserInterface.h"
#include "ui_LoginForm.h"
#include "vxcomp/login/LoginStrings.h"
#include "artwork/login/LoginArtwork.h"
#include "vxcomp/login/ui/UnitTreeView.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <stdexcept>

namespace {

// Runs a handler of a control; what it throws goes to the program's exception display, as
// an error escaping any event handler does.
template <typename F>
void guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    vx::handleException(e);
  }
}

}  // namespace

TLoginForm::TLoginForm(vx::db::Session& session, QWidget* parent)
    : QDialog(parent), ui_(new Ui::TLoginForm) {
  vx::login::registerStrings();
  vxInitLoginArtwork();
  ui_->setupUi(this);
  setObjectName("LoginForm");
  setProperty("VXClassName", "TLoginForm");
  setProperty("HelpContext", kHelpContext);
  setWindowIcon(QIcon(":/vxlogin/login.png"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  database_ = std::make_unique<TVXDatabase>(session);
  database_->databaseName = "VXLoginDb";
  database_->loginPrompt = false;
  database_->SkipRegistry = false;

  ui_->UnitTreeView->setSession(session);
  ui_->UnitTreeView->setDatabaseName("VXLoginDb");
  ui_->UnitTreeView->setViewThisLibrary(true);
  ui_->UnitTreeView->setViewOtherLibrary(false);
  ui_->DbCombo->setInsertPolicy(QComboBox::NoInsert);
  ui_->UnitEdit->setReadOnly(true);
  QPalette face = ui_->UnitEdit->palette();
  face.setColor(QPalette::Base, palette().color(QPalette::Button));
  ui_->UnitEdit->setPalette(face);

  connect(ui_->DbCombo, &QComboBox::editTextChanged, this, [this] { guarded([this] { LoadUserUnit(); }); });
  connect(ui_->UserEdit, &QLineEdit::textChanged, this, [this] { guarded([this] { LoadUserUnit(); }); });
  connect(ui_->CBLanguage, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetLanguageIndex(index); });
  connect(ui_->UnitBitBtn, &QPushButton::clicked, this, [this] { guarded([this] { UnitBitBtnClick(); }); });
  connect(ui_->UnitTreeView, &QTreeWidget::currentItemChanged, this,
          [this] { guarded([this] { UnitTreeViewChange(); }); });
  connect(ui_->LoginButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto* help = new QAction(this);
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this,
          [this] { vx::userInterface().showHelp(this, helpFile_, kHelpContext); });
  addAction(help);

  translator_ = new vx::i18n::TIvTranslator(this);
  translator_->setObjectName("IvTranslator1");
  translator_->setDictionaryName("Dictionary1");
  vx::i18n::TIvTargetProperties targets;
  for (const char* p : {"Hint", "Caption", "Items", "Filter", "Text"})
    targets.add(QString(), QString::fromLatin1(p));
  translator_->setTargets(targets);
  try {
    translator_->Loaded();
  } catch (const std::exception&) {
    // Without the program's dictionary the dialog stays in its design language.
  }

  // FormCreate
  Dictionary = nullptr;
  CollapsedHeight = ui_->UnitBitBtn->geometry().bottom() + 1 + 12;
  ExpandedHeight = ui_->UnitTreeView->geometry().bottom() + 1 + 12;
  ShowUnitTree(false);
  SavedUnitId = 0;
  SavedUnitName.clear();
  if (staysOnTopFor(QFileInfo(QCoreApplication::applicationFilePath()).fileName()))
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
  SetLanguageCode("ENG");
}

TLoginForm::~TLoginForm() = default;

QComboBox* TLoginForm::DbCombo() const { return ui_->DbCombo; }
QLineEdit* TLoginForm::UserEdit() const { return ui_->UserEdit; }
QLineEdit* TLoginForm::PasswordEdit() const { return ui_->PasswordEdit; }
QLineEdit* TLoginForm::UnitEdit() const { return ui_->UnitEdit; }
QComboBox* TLoginForm::CBLanguage() const { return ui_->CBLanguage; }
QPushButton* TLoginForm::UnitBitBtn() const { return ui_->UnitBitBtn; }
QPushButton* TLoginForm::LoginButton() const { return ui_->LoginButton; }
QPushButton* TLoginForm::CancelButton() const { return ui_->CancelButton; }
TVXUnitTreeView* TLoginForm::UnitTreeView() const { return ui_->UnitTreeView; }

bool TLoginForm::staysOnTopFor(const QString& executableName) {
  const QString name = executableName.toLower();
  return name == "vxdbup.exe" || name == "vxdbup";
}

void TLoginForm::SetLanguageCode(const QString& code) {
  languageCode_ = code;
  // The help file beside the program's, in the language's folder; a language folder the
  // program's help file already names is replaced, not nested.
  const QString appHelp = vx::help::applicationHelpFile();
  const qsizetype slash = std::max(appHelp.lastIndexOf('/'), appHelp.lastIndexOf('\\'));
  const QString folder = slash < 0 ? QString() : appHelp.left(slash + 1);
  helpFile_ = vx::help::helpFileForLanguage(folder + "VX2.HLP", code);
}

void TLoginForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ui_->LabelLanguage->setVisible(Dictionary != nullptr);
  ui_->CBLanguage->setVisible(Dictionary != nullptr);
  if (!ui_->DbCombo->currentText().isEmpty() && !ui_->UserEdit->text().isEmpty())
    ui_->PasswordEdit->setFocus();
  else
    ui_->DbCombo->setFocus();
  UpdateButtons();
  FillLanguages();
}

void TLoginForm::FillLanguages() {
  if (!Dictionary) return;
  const QSignalBlocker block(ui_->CBLanguage);
  ui_->CBLanguage->clear();
  languagePositions_.clear();
  std::vector<vx::i18n::TIvLanguage> records;
  Dictionary->GetLanguages(records);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].PrimaryId == 0) continue;  // the native design language
    ui_->CBLanguage->addItem(Dictionary->TranslateText(QString::fromStdString(records[i].NativeName)));
    languagePositions_.push_back(int(i));
  }
  for (std::size_t entry = 0; entry < languagePositions_.size(); ++entry)
    if (languagePositions_[entry] == Dictionary->CurrentIndex()) SetLanguageIndex(int(entry));
}

void TLoginForm::SetLanguageIndex(int index) {
  LanguageIndex = index;
  const QSignalBlocker block(ui_->CBLanguage);
  ui_->CBLanguage->setCurrentIndex(index);
}

void TLoginForm::UpdateButtons() {
  const bool haveUnit = !UnitName.isEmpty();
  ui_->LoginButton->setEnabled(haveUnit);
  ui_->LoginButton->setDefault(haveUnit);
  ui_->UnitBitBtn->setDefault(!haveUnit);
  ui_->LoginButton->setAutoDefault(haveUnit);
  ui_->UnitBitBtn->setAutoDefault(!haveUnit);
}

void TLoginForm::SetUnitName(const QString& name) {
  UnitName = name;
  ui_->UnitEdit->setText(name);
  UpdateButtons();
}

void TLoginForm::LoadUserUnit() {
  const std::string key = "Software\\Vellumdex\\Login\\" + ui_->DbCombo->currentText().toStdString() +
                          "\\" + ui_->UserEdit->text().toStdString();
  UnitId = 0;
  if (auto v = vx::reg::readValue(vx::reg::Hive::CurrentUser, key, "UnitId")) {
    bool ok = false;
    const int id = QString::fromStdString(v->text).trimmed().toInt(&ok);
    if (ok) UnitId = id;  // a value that is not a number counts as none
  }
  const auto name = vx::reg::readValue(vx::reg::Hive::CurrentUser, key, "UnitName");
  SetUnitName(name ? QString::fromStdString(name->text) : QString());
}

void TLoginForm::setInputColours(bool locked) {
  for (QWidget* w : {static_cast<QWidget*>(ui_->UserEdit), static_cast<QWidget*>(ui_->PasswordEdit),
                     static_cast<QWidget*>(ui_->DbCombo)}) {
    QPalette p = palette();
    p.setColor(QPalette::Base, locked ? palette().color(QPalette::Button) : palette().color(QPalette::Base));
    p.setColor(QPalette::Text, locked ? palette().color(QPalette::Disabled, QPalette::Text)
                                      : palette().color(QPalette::Text));
    w->setPalette(p);
  }
}

void TLoginForm::ShowUnitTree(bool show) {
  setFixedSize(width(), show ? ExpandedHeight : CollapsedHeight);
  ui_->UnitBitBtn->setEnabled(true);
  ui_->CancelButton->setEnabled(true);
  setInputColours(show);
  ui_->UserEdit->setReadOnly(show);
  ui_->PasswordEdit->setReadOnly(show);
  ui_->UserEdit->setFocusPolicy(show ? Qt::NoFocus : Qt::StrongFocus);
  ui_->PasswordEdit->setFocusPolicy(show ? Qt::NoFocus : Qt::StrongFocus);
  ui_->DbCombo->setEnabled(!show);
  ui_->UnitTreeView->setVisible(show);
  ui_->UnitTreeView->setFocusPolicy(show ? Qt::StrongFocus : Qt::NoFocus);
  UpdateButtons();
  treeShown_ = show;
}

void TLoginForm::LockInputs() {
  ui_->UnitBitBtn->setEnabled(false);
  ui_->CancelButton->setEnabled(false);
  ui_->LoginButton->setEnabled(false);
  setInputColours(true);
  ui_->UserEdit->setReadOnly(true);
  ui_->PasswordEdit->setReadOnly(true);
  ui_->DbCombo->setEnabled(false);
}

void TLoginForm::UnitBitBtnClick() {
  if (treeShown_) {
    if (database_->connected()) database_->close();
    ui_->UnitTreeView->setActive(false);
    ShowUnitTree(false);
    return;
  }
  LockInputs();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct RestoreCursor {
    ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
  } restore;
  SavedUnitId = UnitId;
  SavedUnitName = UnitName;
  database_->aliasName = ui_->DbCombo->currentText().toStdString();
  vx::db::setParamValue(database_->params, "USER NAME", ui_->UserEdit->text().toStdString());
  vx::db::setParamValue(database_->params, "PASSWORD", ui_->PasswordEdit->text().toStdString());
  try {
    if (database_->connected()) database_->close();
    database_->ReadDatabaseSettings();
    database_->open();
    // The settings check and the tree's first question go out together (one round trip);
    // the units follow, as their query depends on the answer.
    std::vector<vx::db::PlannedStatement> first = database_->SettingsCheckStatements();
    first.push_back({vx::login::kIllColumnTestSql, {}});
    database_->prefetch(first);
    if (!database_->WriteDatabaseSettings()) {
      database_->close();
      database_->ReadDatabaseSettings();
      database_->open();
      database_->prefetch({{vx::login::kIllColumnTestSql, {}}});
    }
    ui_->UnitTreeView->setActive(false);
    ui_->UnitTreeView->setActive(true);
  } catch (...) {
    try {
      database_->SkipRegistry = true;
      database_->close();
    } catch (const std::exception&) {
    }
    database_->SkipRegistry = false;
    ShowUnitTree(false);
    throw;
  }
  ShowUnitTree(true);
  if (SavedUnitId > 0) {
    try {
      ui_->UnitTreeView->SelectUnit(SavedUnitId);
    } catch (const std::exception&) {
      ui_->UnitTreeView->expandAll();  // the remembered unit is not in the tree
    }
  }
  ui_->UnitTreeView->setFocus();
}

void TLoginForm::UnitTreeViewChange() {
  if (reselecting_) return;
  const auto nodeInfo = TVXUnitTreeView::nodeData(ui_->UnitTreeView->currentItem());
  if (!nodeInfo) return;
  if (ui_->UnitTreeView->SelectedIsILL()) {
    vx::userInterface().messageBox(this, vx::res::loadResString(vx::login::sIllUnit),
                                   vx::MsgIcon::Information, vx::MsgButtons::Ok);
    reselecting_ = true;
    try {
      ui_->UnitTreeView->SelectUnit(UnitId);
    } catch (const std::exception&) {
      ui_->UnitTreeView->setCurrentItem(nullptr);
    }
    reselecting_ = false;
    return;
  }
  SetUnitName(ui_->UnitTreeView->currentItem()->text(0));
  UnitId = ui_->UnitTreeView->SelectedUnitId();
}

void TLoginForm::done(int result) {
  // FormClose: the dialog's own connection goes with it.
  try {
    ui_->UnitTreeView->setActive(false);
    if (database_->connected()) database_->close();
  } catch (const std::exception&) {
    database_->SkipRegistry = true;
    try {
      database_->close();
    } catch (const std::exception&) {
    }
  }
  QDialog::done(result);
}
