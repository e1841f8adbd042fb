#include "vxcomp/about/ui/VXAboutBoxDlg.h"

#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "platform/HelpFiles.h"
#include "platform/UserInterface.h"
#include "ui_VXAboutBoxDlg.h"
#include "vxcomp/about/DatabaseVersion.h"
#include "artwork/about/AboutArtwork.h"

#include <QAction>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>

namespace {

// "VX2.HLP" beside the application's help file: "ENG/sys_down.hlp" gives "ENG/VX2.HLP".
QString suiteHelpFile() {
  const QString appHelp = vx::help::applicationHelpFile();
  const qsizetype slash = std::max(appHelp.lastIndexOf('/'), appHelp.lastIndexOf('\\'));
  return (slash < 0 ? QString() : appHelp.left(slash + 1)) + "VX2.HLP";
}

}  // namespace

TVXAboutBoxDlg::TVXAboutBoxDlg(QWidget* parent, vx::db::Session& session)
    : QDialog(parent), ui_(new Ui::TVXAboutBoxDlg), session_(session) {
  vxInitAboutArtwork();
  ui_->setupUi(this);
  setObjectName("VXAboutBoxDlg");
  setProperty("VXClassName", "TVXAboutBoxDlg");
  setProperty("HelpContext", kHelpContext);
  // A fixed dialog border with a close box only; without a parent Qt centres it on the screen.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  ui_->Image1->setPixmap(QPixmap(":/vxabout/logo.png"));
  QPalette link = ui_->LblVXHyperlink->palette();
  link.setColor(QPalette::WindowText, Qt::blue);
  ui_->LblVXHyperlink->setPalette(link);
  QFont underlined = ui_->LblVXHyperlink->font();
  underlined.setUnderline(true);
  ui_->LblVXHyperlink->setFont(underlined);
  ui_->LblVXHyperlink->installEventFilter(this);

  // OK is the default and the cancel button: Enter and Esc both close with the result OK.
  ui_->OkButton->setDefault(true);
  connect(ui_->OkButton, &QPushButton::clicked, this, &QDialog::accept);
  auto* escape = new QAction(this);
  escape->setShortcut(Qt::Key_Escape);
  connect(escape, &QAction::triggered, ui_->OkButton, &QPushButton::click);
  addAction(escape);

  helpFile_ = suiteHelpFile();
  auto* help = new QAction(this);
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this,
          [this] { vx::userInterface().showHelp(this, helpFile_, kHelpContext); });
  addAction(help);

  translator_ = new vx::i18n::TIvTranslator(this);
  translator_->setObjectName("IvTranslator1");
  translator_->setDictionaryName("Dictionary1");
  vx::i18n::TIvTargetProperties targets;
  for (const char* p : {"Hint", "Caption", "Filter", "Text", "SimpleText", "Title", "DisplayLabel"})
    targets.add(QString(), QString::fromLatin1(p));
  translator_->setTargets(targets);
  try {
    translator_->Loaded();
  } catch (const std::exception&) {
    // Without the program's dictionary the dialog stays in its design language.
  }
}

TVXAboutBoxDlg::~TVXAboutBoxDlg() = default;

QLabel* TVXAboutBoxDlg::label(const char* name) const { return findChild<QLabel*>(QString::fromLatin1(name)); }
QPushButton* TVXAboutBoxDlg::OkButton() const { return ui_->OkButton; }

void TVXAboutBoxDlg::FormShow() {
  ui_->LabelVersion->setText(QString::fromStdString(versionResource_.versionInfo().FileVersion));
  ui_->LabelApplication->setText(ApplicationName);
  fitHyperlink();
  if (!CheckDBVersion) {
    ui_->Label1->setVisible(false);
    return;
  }
  ui_->Label1->setVisible(true);
  const vx::about::DatabaseVersionText db = vx::about::readDatabaseVersion(session_, DataBaseName);
  ui_->LblDBVersion->setText(db.version);
  ui_->LblDbLanguage->setText(db.language);
}

void TVXAboutBoxDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  showError_ = nullptr;
  try {
    FormShow();
  } catch (...) {
    // The showing ends: close once the dialog is up (closing inside the show would leave a
    // modal loop without an end), and let Execute hand the error on.
    showError_ = std::current_exception();
    QMetaObject::invokeMethod(this, [this] { reject(); }, Qt::QueuedConnection);
  }
}

void TVXAboutBoxDlg::fitHyperlink() {
  QLabel* link = ui_->LblVXHyperlink;
  const int width = std::min(link->fontMetrics().horizontalAdvance(link->text()) + 4, kClientWidth);
  link->setGeometry((kClientWidth - width) / 2, link->y(), width, link->height());
}

void TVXAboutBoxDlg::LblVXHyperlinkClick() {
  vx::userInterface().openUrl(this, "http://" + ui_->LblVXHyperlink->text());
}

bool TVXAboutBoxDlg::eventFilter(QObject* watched, QEvent* event) {
  // The label takes the press, so that the release comes back to it.
  if (watched == ui_->LblVXHyperlink && event->type() == QEvent::MouseButtonPress) return true;
  if (watched == ui_->LblVXHyperlink && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && ui_->LblVXHyperlink->rect().contains(mouse->position().toPoint())) {
      LblVXHyperlinkClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
