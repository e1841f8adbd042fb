#pragma once
// The wait dialog: a small modeless window that says a lengthy operation runs, with an
// animation at the left and the last five lines of its hidden memo beside it, and optionally
// a progress bar with a Cancel button.
//
// Callers add lines (addLine, or the memo itself); the five labels always show the memo's
// last five lines. While the progress bar shows, the user cannot close the window (a beep
// answers) unless the caller allows it; Cancel only sets Cancelled, which callers poll.
// The program keeps at most one instance, WaitDlg (see waitDlg()).
#include <QDialog>
#include <QPixmap>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class TVXAnimated;

namespace Ui {
class TWaitDlg;
}
namespace vx::i18n {
class TIvTranslator;
}

class TWaitDlg : public QDialog {
  Q_OBJECT
  Q_PROPERTY(bool Cancelled READ Cancelled)
  Q_PROPERTY(bool AllowClose READ AllowClose WRITE setAllowClose)

 public:
  // The client heights without and with the progress bar (the window's outer heights of 122
  // and 147 on a desktop whose caption and borders take 29 pixels).
  static constexpr int kClientHeight = 93;
  static constexpr int kClientHeightWithProgress = 118;
  // The two animations, exchanged by the callers.
  enum class Clip { FileSearch, ComputerSearch };

  explicit TWaitDlg(QWidget* parent = nullptr);
  ~TWaitDlg() override;

  void addLine(const QString& line);
  QStringList lines() const;
  // The text the five labels show, from the top.
  QString labelText(int index) const;

  void ShowProgress(bool show);
  bool ProgressShown() const;
  void ShowBackground(bool show);
  bool BackgroundShown() const { return backgroundShown_; }
  bool Cancelled() const { return cancelled_; }
  bool AllowClose() const { return allowClose_; }
  void setAllowClose(bool allow) { allowClose_ = allow; }

  Clip clip() const { return clip_; }
  void setClip(Clip clip);
  TVXAnimated* Animate() const;
  QPlainTextEdit* Memo() const;
  QProgressBar* ProgressBar() const;
  QPushButton* ButtonCancel() const;

  // How many times closing was refused with a beep (tests read it).
  int refusedCloses() const { return refusedCloses_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void MemoChange();
  void ButtonCancelClick();

  std::unique_ptr<Ui::TWaitDlg> ui_;
  vx::i18n::TIvTranslator* translator_ = nullptr;
  QLabel* labels_[5] = {};
  bool cancelled_ = false;
  bool allowClose_ = false;
  bool backgroundShown_ = false;
  Clip clip_ = Clip::FileSearch;
  int refusedCloses_ = 0;
};

// The program's one wait dialog, or nullptr; whoever creates it sets it and clears it again
// when it destroys the dialog.
TWaitDlg*& waitDlg();
