#include "platform/HelpFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vx::help {

namespace {
QString& helpFileStorage() {
  static QString path;
  return path;
}
}  // namespace

QString applicationHelpFile() { return helpFileStorage(); }
void setApplicationHelpFile(const QString& path) { helpFileStorage() = path; }

QString helpFileForLanguage(const QString& helpFile, const QString& languageCode) {
  const qsizetype sep = std::max(helpFile.lastIndexOf('/'), helpFile.lastIndexOf('\\'));
  QString folder = sep >= 0 ? helpFile.left(sep + 1) : QString();
  const QString name = sep >= 0 ? helpFile.mid(sep + 1) : helpFile;
  auto endsInLanguageFolder = [&folder] {
    for (const char* code : {"NOR", "SWE", "DAN", "ENG"})
      for (QChar s : {QChar('/'), QChar('\\')}) {
        const QString tail = s + QLatin1String(code) + s;
        // "NOR/" at the very start is a language folder too (a relative help file).
        if (folder.endsWith(tail) || folder == tail.mid(1)) return true;
      }
    return false;
  };
  if (endsInLanguageFolder()) folder.chop(4);
  return folder + languageCode + '/' + name;
}

QString languageCodeForIndex(int languageIndex) {
  switch (languageIndex - 1) {
    case 0: return "NOR";
    case 1: return "SWE";
    case 2: return "DAN";
    default: return "ENG";
  }
}

QString topicPath(const QString& helpFile, int context, const QString& helpRoot) {
  if (helpFile.isEmpty()) return {};
  QString file = QString(helpFile).replace('\\', '/');
  QFileInfo info(QDir::isAbsolutePath(file) ? file : helpRoot + '/' + file);
  QString folder = info.absolutePath() + '/' + info.completeBaseName();
  const QString parentName = QFileInfo(info.absolutePath()).fileName();
  const bool hasLanguage = parentName == "NOR" || parentName == "SWE" || parentName == "DAN" ||
                           parentName == "ENG";
  if (!hasLanguage) folder = info.absolutePath() + "/ENG/" + info.completeBaseName();
  const QString page = folder + '/' + QString::number(context) + ".html";
  return QFileInfo::exists(page) ? page : QString();
}

QString defaultHelpRoot() { return QCoreApplication::applicationDirPath() + "/help"; }

}  // namespace vx::help
