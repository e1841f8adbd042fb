#include "import/ImportRun.h"

#include "app/workfile/Workfile.h"
#include "db/Value.h"
#include "i18n/LocaleSettings.h"
#include "import/ImportStrings.h"
#include "platform/CodePage1252.h"
#include "platform/FileSystem.h"
#include "platform/IoError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace vx::import {

namespace {

std::string fileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string trimBlanks(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The date and time as the report writes them: the short date and long time formats of the
// program, or of the user's locale when the program has set none.
std::string reportTime(const vx::db::DateTime& t) {
  return i18n::systemDateTimeText(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// The files of one run.
struct RunFiles {
  std::optional<workfile::RecordReader> workfile;
  OutputFile log, err, report;
};

// Keeps the workfile as it is now under `oldName`: a second name for the same file where the
// file system allows it, else a synced copy.
bool keepOldCopy(const std::string& path, const std::string& oldName, std::string& error) {
  if (::link(path.c_str(), oldName.c_str()) == 0) {
    fs::syncFolderOf(oldName);
    return true;
  }
  struct stat st {};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  return fs::copyToNewFile(path, oldName, mode, &error);
}

// Puts the rejected lines in the workfile's place in one rename, so that the path holds the
// old workfile or the new one at every instant. The new file takes the old one's mode.
bool replaceWorkfile(const std::string& path, const std::string& errName, std::string& error) {
  struct stat st {};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  ::chmod(errName.c_str(), mode);
  if (::rename(errName.c_str(), path.c_str()) == 0) {
    fs::syncFolderOf(path);
    return true;
  }
  if (errno != EXDEV) {
    error = "Cannot replace " + path + ": " + std::strerror(errno);
    return false;
  }
  // The working directory lies on another file system: a copy beside the workfile first.
  const std::string temporary = path + ".import-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (!fs::copyToNewFile(errName, temporary, mode, &error)) return false;
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "Cannot replace " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  fs::syncFolderOf(path);
  ::unlink(errName.c_str());
  return true;
}

}  // namespace

ImportRun::ImportRun(vx::db::Session& session, const std::string& databaseName)
    : posting_(session, databaseName) {
  registerStrings();
}

std::string ImportRun::changeExtension(const std::string& fileName, const std::string& extension) {
  const auto dot = fileName.find_last_of('.');
  return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + extension;
}

std::string ImportRun::Rename_if_exists(const std::string& name) {
  if (!exists(name)) return name;
  const auto dot = name.find_last_of('.');
  const std::string base = trimBlanks(dot == std::string::npos ? name : name.substr(0, dot));
  const std::string extension = trimBlanks(dot == std::string::npos ? std::string() : name.substr(dot));
  for (long k = 1;; ++k) {
    const std::string candidate = base + "_" + std::to_string(k) + extension;
    if (!exists(candidate)) return candidate;
  }
}

ImportOutcome ImportRun::ImportToVXDBFromFile(const std::string& path, int unitId,
                                              ImportObserver& observer) {
  ImportOutcome out;
  if (path.empty()) return out;
  const vx::db::DateTime startTime = vx::db::DateTime::now();
  posting_.AlreadyOnLoanCount = 0;

  out.total = workfile::Workfile().getFileLength(path);
  if (out.total == 0) {
    out.message = text(sCouldNotImport);
    return out;
  }
  observer.started(out.total);
  observer.pump();

  // OpenImportFiles. Nothing is posted, and nothing touched, unless every file is open.
  RunFiles files;
  const std::string base = fileNameOf(path);
  std::string error;
  const auto openAll = [&]() -> bool {
    try {
      files.workfile.emplace(path);
    } catch (const IoError& e) {
      error = path + ": " + e.what();
      return false;
    }
    out.logFile = Rename_if_exists(changeExtension(base, ".log"));
    if (!files.log.create(out.logFile, error)) return false;
    out.errFile = Rename_if_exists(changeExtension(base, ".err"));
    if (!files.err.create(out.errFile, error)) return false;
    out.reportFile = Rename_if_exists(changeExtension(base, ".rpt"));
    return files.report.create(out.reportFile, error);
  };
  if (!openAll()) {
    std::string ignored;
    for (OutputFile* f : {&files.log, &files.err, &files.report})
      if (f->isOpen()) {
        f->close(ignored);
        ::unlink(f->path().c_str());  // empty, and no run of its own
      }
    out.status = ImportOutcome::Status::NotOpened;
    out.message = error;
    return out;
  }

  // The lines. A record is read by the count's rule; what is posted is decoded from the
  // workfile's code page, what is kept is copied byte for byte.
  workfile::Record record;
  int index = 0;
  try {
    while (index < out.total && files.workfile->next(record)) {
      ++index;
      std::string result;
      if (posting_.insertdata(unitId, cp1252::toUtf8(record.borrower), cp1252::toUtf8(record.item),
                              result, files.log)) {
        ++out.accepted;
      } else {
        files.err.writeRawLine(record.line);
        observer.pump();
      }
      observer.lineDone(index, out.accepted, out.total, index * 100 / out.total);
      observer.pump();
      // A line that cannot be logged or kept must not be posted: a full disk stops the run.
      if (files.log.failed() || files.err.failed()) break;
      if (observer.cancelRequested()) {
        out.cancelled = true;
        break;
      }
    }
    out.processed = index;
    // Records not posted — after a cancel, or appended by another desk after the count —
    // stay in the workfile.
    while (files.workfile->next(record)) files.err.writeRawLine(record.line);
  } catch (const IoError& e) {
    // The workfile could not be read to its end: it stays as it is.
    out.processed = index;
    out.status = ImportOutcome::Status::NotReplaced;
    out.message = path + ": " + e.what();
    std::string ignored;
    files.err.close(ignored);
    files.log.close(ignored);
    files.report.close(ignored);
    return out;
  }
  out.alreadyOnLoan = posting_.AlreadyOnLoanCount;

  // CloseImportFiles. The workfile stays open for reading (no desk appends meanwhile) until it
  // has been replaced. The details log is on disk first: once a line has left the workfile,
  // its acceptance is logged whatever happens next.
  out.oldFile = Rename_if_exists(changeExtension(base, ".old"));
  if (!files.log.close(error) || !files.err.close(error) || !keepOldCopy(path, out.oldFile, error) ||
      !replaceWorkfile(path, out.errFile, error)) {
    out.status = ImportOutcome::Status::NotReplaced;
    out.message = text(sNotReplaced) + error;
    std::string ignored;
    files.log.close(ignored);
    files.report.close(ignored);
    return out;
  }
  files.workfile->close();

  OutputFile& r = files.report;
  const std::string separator = text(sSeparator);
  // A count and its noun, which reads "1 item" and "2 items".
  const auto items = [](long long count) { return std::to_string(count) + text(count == 1 ? sItem : sItems); };
  r.writeLine(" ");
  r.writeLine(separator);
  r.writeLine(text(sReportHeading));
  r.writeLine(separator);
  r.writeLine(" ");
  if (out.cancelled) {
    r.writeLine(text(sCancelledByUser));
    r.writeLine(text(sCompleted) + std::to_string(out.processed) + text(sOf) + items(out.total));
    r.writeLine(" ");
  }
  r.writeLine(text(sProcessed) + items(out.processed));
  r.writeLine(text(sRejected) + items(out.processed - out.accepted));
  r.writeLine(text(sAccepted) + items(out.accepted));
  r.writeLine(text(sAlreadyOnLoan) + items(out.alreadyOnLoan));
  r.writeLine(" ");
  r.writeLine(text(sStart) + reportTime(startTime));
  r.writeLine(text(sFinished) + reportTime(vx::db::DateTime::now()));
  r.writeLine(separator);
  r.writeLine(" ");
  if (out.processed < out.total) {
    r.writeLine(text(sAllAcceptedRemoved));
    r.writeLine(text(sPleaseTryAgain));
  }
  if (!files.report.close(error)) {
    out.status = ImportOutcome::Status::ReportFailed;
    out.message = error;
    return out;
  }
  out.status = ImportOutcome::Status::Finished;
  return out;
}

}  // namespace vx::import
