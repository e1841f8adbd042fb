#include "platform/ui/QtUserInterface.h"

#include "platform/FileSystem.h"
#include "platform/HelpFiles.h"
#include "platform/PlatformStrings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBrowser>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace vx {

namespace {

QMessageBox::Icon qtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Confirmation: return QMessageBox::Question;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return QMessageBox::Ok;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::OkHelp: return QMessageBox::Ok | QMessageBox::Help;
  }
  return QMessageBox::Ok;
}

// "Description|*.A;*.B" becomes Qt's "Description (*.A *.B)".
QString qtFilter(const QStringList& filters) {
  QStringList out;
  for (const QString& f : filters) {
    const QString description = f.section('|', 0, 0);
    const QString patterns = f.section('|', 1).replace(';', ' ');
    out << QString("%1 (%2)").arg(description, patterns);
  }
  return out.join(";;");
}

// The columns of the file dialog's list.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

// The file dialog's sizes and dates in the program's locale (QLocale's default, which follows
// the chosen language): Qt's file model writes them in the environment's locale.
class LocaleFormats : public QIdentityProxyModel {
 public:
  explicit LocaleFormats(const QLocale& locale) : locale_(locale) {}

  QVariant data(const QModelIndex& index, int role) const override {
    const QVariant shown = QIdentityProxyModel::data(index, role);
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || shown.toString().isEmpty()) return shown;
    const QModelIndex source = mapToSource(index);
    switch (index.column()) {
      case kSizeColumn:
        if (files->isDir(source)) return shown;
        return locale_.formattedDataSize(files->size(source));
      case kDateColumn:
        return locale_.toString(files->lastModified(source), QLocale::ShortFormat);
      default:
        return shown;
    }
  }

 private:
  QLocale locale_;
};

// The date column as wide as the locale's longest date and time, so that a date shows whole
// (Qt's default width fits an American date, not a Nordic one); a wider width the user chose
// and Qt remembered stays.
void fitDateColumn(QFileDialog& dialog, const QLocale& locale) {
  auto* view = dialog.findChild<QTreeView*>("treeView");
  if (!view) return;
  const QString longest =
      locale.toString(QDateTime(QDate(2000, 12, 28), QTime(23, 59)), QLocale::ShortFormat);
  const QFontMetrics metrics = view->fontMetrics();
  const int wanted = metrics.horizontalAdvance(longest) + 3 * metrics.averageCharWidth();
  if (view->header()->sectionSize(kDateColumn) < wanted)
    view->header()->resizeSection(kDateColumn, wanted);
}

class HelpWindow : public QDialog {
 public:
  explicit HelpWindow(QWidget* parent) : QDialog(parent) {
    retitle();
    setObjectName("HelpWindow");
    auto* layout = new QVBoxLayout(this);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    layout->addWidget(browser_);
    resize(640, 520);
  }
  void showPage(const QString& page) {
    browser_->setSource(QUrl::fromLocalFile(page));
    show();
    raise();
    activateWindow();
  }

 protected:
  // The window stays open across a change of language and takes the new one.
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::LanguageChange) retitle();
    QDialog::changeEvent(event);
  }

 private:
  void retitle() {
    setWindowTitle(res::loadResString(res::sHelpWindowTitle).arg(QApplication::applicationDisplayName()));
  }

  QTextBrowser* browser_;
};

}  // namespace

QtUserInterface::QtUserInterface() { res::registerPlatformStrings(); }

MsgResult QtUserInterface::messageBox(QWidget* parent, const QString& text, MsgIcon icon,
                                      MsgButtons buttons, const QString& caption,
                                      const MsgOptions& options) {
  QMessageBox box(qtIcon(icon), caption.isEmpty() ? QApplication::applicationDisplayName() : caption,
                  text, qtButtons(buttons), parent);
  if (options.defaultButton) {
    switch (*options.defaultButton) {
      case MsgResult::Ok: box.setDefaultButton(QMessageBox::Ok); break;
      case MsgResult::Cancel: box.setDefaultButton(QMessageBox::Cancel); break;
      case MsgResult::Yes: box.setDefaultButton(QMessageBox::Yes); break;
      case MsgResult::No: box.setDefaultButton(QMessageBox::No); break;
    }
  }
  if (QAbstractButton* help = box.button(QMessageBox::Help)) {
    // Help shows the topic and leaves the box open.
    help->disconnect();
    QObject::connect(help, &QAbstractButton::clicked, &box, [&] {
      showHelp(&box, options.helpFile.isEmpty() ? help::applicationHelpFile() : options.helpFile,
               options.helpContext);
    });
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
  }
}

std::optional<QString> QtUserInterface::openFile(QWidget* parent, const OpenFileRequest& request) {
  QFileDialog dialog(parent, request.title, QFileInfo(request.initialPath).absolutePath(),
                     qtFilter(request.filters));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // An open dialog that may name a new file: AnyFile, with our own checks below.
  dialog.setFileMode(request.createPrompt ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // Qt's own dialog, never the desktop's: it speaks the program's language (not the
  // desktop's) and shows dates and sizes in the program's locale.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setLocale(QLocale());
  dialog.setProxyModel(new LocaleFormats(QLocale()));  // the dialog owns it
  fitDateColumn(dialog, QLocale());
  if (!request.initialPath.isEmpty()) dialog.selectFile(QFileInfo(request.initialPath).fileName());
  while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const QString name = dialog.selectedFiles().first();
    const QFileInfo info(name);
    if (request.pathMustExist && !info.absoluteDir().exists()) {
      messageBox(&dialog, res::loadResString(res::sPathDoesNotExist).arg(name),
                 MsgIcon::Warning, MsgButtons::Ok, request.title);
      continue;
    }
    if (!info.exists() && request.createPrompt) {
      if (messageBox(&dialog, res::loadResString(res::sFileDoesNotExist).arg(name),
                     MsgIcon::Confirmation, MsgButtons::YesNo, request.title) != MsgResult::Yes)
        continue;
    }
    if (info.exists() && request.noReadOnlyReturn && fs::isReadOnly(name.toStdString())) {
      messageBox(&dialog, res::loadResString(res::sFileIsReadOnly).arg(name),
                 MsgIcon::Warning, MsgButtons::Ok, request.title);
      continue;
    }
    return name;
  }
  return std::nullopt;
}

std::optional<QString> QtUserInterface::saveFile(QWidget* parent, const SaveFileRequest& request) {
  QFileDialog dialog(parent, request.title, QFileInfo(request.initialPath).absolutePath(),
                     qtFilter(request.filters));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Qt's own dialog, as for opening: the program's language and locale.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
  dialog.setLocale(QLocale());
  dialog.setProxyModel(new LocaleFormats(QLocale()));  // the dialog owns it
  fitDateColumn(dialog, QLocale());
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.initialPath.isEmpty()) dialog.selectFile(QFileInfo(request.initialPath).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

bool QtUserInterface::choosePrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

void QtUserInterface::showHelp(QWidget* parent, const QString& helpFile, int context) {
  const QString page = help::topicPath(helpFile, context, help::defaultHelpRoot());
  if (page.isEmpty()) {
    messageBox(parent, res::loadResString(res::sHelpTopicNotFound).arg(context).arg(helpFile),
               MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  // One help window for the program, as the help viewer is one window per help file.
  static QPointer<HelpWindow> window;
  if (!window) {
    window = new HelpWindow(parent ? parent->window() : nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
  }
  window->showPage(page);
}

void QtUserInterface::openUrl(QWidget*, const QString& url) {
  // The desktop chooses the browser (xdg-open and the like); a failure has no one to tell.
  QDesktopServices::openUrl(QUrl(url));
}

}  // namespace vx
