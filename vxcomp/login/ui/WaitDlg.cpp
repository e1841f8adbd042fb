#include "vxcomp/login/ui/WaitDlg.h"

#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "ui_WaitDlg.h"
#include "vxcomp/animated/ui/VXAnimate.h"
#include "artwork/login/LoginArtwork.h"

#include <QApplication>
#include <QCloseEvent>

namespace {

QPixmap clipPicture(TWaitDlg::Clip clip) {
  return QPixmap(clip == TWaitDlg::Clip::FileSearch ? ":/vxlogin/filesearch.png"
                                                     : ":/vxlogin/computersearch.png");
}

}  // namespace

TWaitDlg*& waitDlg() {
  static TWaitDlg* instance = nullptr;
  return instance;
}

TWaitDlg::TWaitDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TWaitDlg) {
  vxInitLoginArtwork();
  ui_->setupUi(this);
  setObjectName("WaitDlg");
  setProperty("VXClassName", "TWaitDlg");
  setProperty("HelpFile", "VX2.HLP");
  // A fixed dialog border without title-bar buttons, centred on the screen.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(false);
  labels_[0] = ui_->Label1;
  labels_[1] = ui_->Label2;
  labels_[2] = ui_->Label3;
  labels_[3] = ui_->Label4;
  labels_[4] = ui_->Label5;
  for (QLabel* l : labels_) l->setAttribute(Qt::WA_TranslucentBackground);
  ui_->Memo->setVisible(false);
  ui_->ImgBackground->setPixmap(QPixmap(":/vxlogin/background.png"));
  ui_->Animate->setTransparentColor(QColor(255, 0, 255));
  ui_->Animate->setInterval(100);
  ui_->Animate->setLoop(true);
  setClip(Clip::FileSearch);
  ui_->Animate->setPlay(false);
  connect(ui_->Memo, &QPlainTextEdit::textChanged, this, [this] { MemoChange(); });
  connect(ui_->ButtonCancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });

  translator_ = new vx::i18n::TIvTranslator(this);
  translator_->setObjectName("IvTranslator1");
  translator_->setDictionaryName("Dictionary1");
  vx::i18n::TIvTargetProperties targets;
  for (const char* p : {"Hint", "Caption", "Text", "Lines"}) targets.add(QString(), QString::fromLatin1(p));
  translator_->setTargets(targets);
  try {
    translator_->Loaded();
  } catch (const std::exception&) {
    // Without the program's dictionary the dialog stays in its design language.
  }

  // FormCreate
  cancelled_ = false;
  allowClose_ = false;
  ShowProgress(false);
  ShowBackground(false);
}

TWaitDlg::~TWaitDlg() {
  if (waitDlg() == this) waitDlg() = nullptr;
}

TVXAnimated* TWaitDlg::Animate() const { return ui_->Animate; }
QPlainTextEdit* TWaitDlg::Memo() const { return ui_->Memo; }
QProgressBar* TWaitDlg::ProgressBar() const { return ui_->ProgressBar; }
QPushButton* TWaitDlg::ButtonCancel() const { return ui_->ButtonCancel; }

void TWaitDlg::addLine(const QString& line) {
  if (ui_->Memo->toPlainText().isEmpty())
    ui_->Memo->setPlainText(line);
  else
    ui_->Memo->appendPlainText(line);
}

QStringList TWaitDlg::lines() const {
  const QString text = ui_->Memo->toPlainText();
  return text.isEmpty() ? QStringList() : text.split('\n');
}

QString TWaitDlg::labelText(int index) const { return labels_[index]->text(); }

void TWaitDlg::setClip(Clip clip) {
  clip_ = clip;
  const QPixmap strip = clipPicture(clip);
  ui_->Animate->setBitMap(strip);
  ui_->Animate->setFrameCount(vx::login::artwork::kFrameCount);
  ui_->Animate->setFrame(0);
}

void TWaitDlg::ShowProgress(bool show) {
  ui_->ProgressBar->setVisible(show);
  ui_->ButtonCancel->setVisible(show);
  setFixedSize(326, show ? kClientHeightWithProgress : kClientHeight);
}

bool TWaitDlg::ProgressShown() const { return !ui_->ProgressBar->isHidden(); }

void TWaitDlg::ShowBackground(bool show) {
  backgroundShown_ = show;
  ui_->ImgBackground->setVisible(show);
}

void TWaitDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ui_->Animate->setPlay(true);
  for (QLabel* l : labels_) l->clear();
}

void TWaitDlg::hideEvent(QHideEvent* event) {
  ui_->Animate->setPlay(false);
  QDialog::hideEvent(event);
}

void TWaitDlg::closeEvent(QCloseEvent* event) {
  if (ProgressShown() && !allowClose_) {
    ++refusedCloses_;
    QApplication::beep();
    QApplication::processEvents();
    event->ignore();
    return;
  }
  ui_->Animate->setPlay(false);
  event->accept();
}

void TWaitDlg::MemoChange() {
  if (isVisible()) raise();
  const QStringList all = lines();
  const qsizetype first = all.size() > 5 ? all.size() - 5 : 0;
  for (int i = 0; i < 5; ++i) {
    const qsizetype line = first + i;
    labels_[i]->setText(line < all.size() ? all[line] : QString());
  }
  // The new text is painted while the caller keeps working.
  QApplication::processEvents();
}

void TWaitDlg::ButtonCancelClick() { cancelled_ = true; }
