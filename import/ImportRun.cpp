#include "import/ImportRun.h"

#include "workfile/Workfile.h"
#include "db/Value.h"
#include "i18n/LocaleSettings.h"
#include "import/FaultPoint.h"
#include "import/ImportStrings.h"
#include "import/RunJournal.h"
#include "import/RunLock.h"
#include "platform/CodePage1252.h"
#include "platform/FileSystem.h"
#include "platform/IoError.h"
#include "platform/ResourceStrings.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <thread>

#include <fcntl.h>
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

// How often a run tries to open the workfile, or to take it alone for its replacement, while
// desks append to it (each holds it for the moment of its write and sync), 2 ms apart.
constexpr int kBusyAttempts = 2500;

// Keeps the workfile as it is now under `oldName`: a second name for the same file where the
// file system allows it (it then also holds what desks append until the replacement).
bool linkOldCopy(const std::string& path, const std::string& oldName) {
  if (::link(path.c_str(), oldName.c_str()) != 0) return false;
  fs::syncFolderOf(oldName);
  return true;
}

// ... else a synced copy, taken while the run holds the workfile alone.
bool copyOldCopy(const std::string& path, const std::string& oldName, std::string& error) {
  struct stat st {};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  return fs::copyToNewFile(path, oldName, mode, &error);
}

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Appends `bytes` to the file and syncs it.
bool appendSynced(const std::string& path, const std::string& bytes, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    error = errnoText("Cannot write", path);
    return false;
  }
  const bool ok = fs::writeAll(fd, bytes) && ::fdatasync(fd) == 0;
  if (!ok) error = errnoText("Cannot write", path);
  ::close(fd);
  return ok;
}

std::optional<std::uint64_t> inodeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::uint64_t(st.st_ino);
}

// The file a workfile path names: a symbolic link is followed, so that the run replaces the
// file it points at and the link stays a link.
std::string resolvedPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string out(real);
  std::free(real);
  return out;
}

std::string clockText(std::time_t t) {
  std::tm local {};
  ::localtime_r(&t, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

// Opens the workfile for reading, shared, waiting a moment while a desk holds it alone for
// its append.
void openShared(std::optional<workfile::RecordReader>& reader, const std::string& path) {
  for (int attempt = 1;; ++attempt) {
    try {
      reader.emplace(path);
      return;
    } catch (const IoError& e) {
      if (e.code() != winerr::SharingViolation || attempt == kBusyAttempts) throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
}

// Does the workfile still hold, at each offset the journal names, the very line it recorded?
bool journalMatches(const JournalContents& journal, TextFile& file) {
  const off_t size = file.state().size;
  for (const auto& [offset, line] : journal.lines) {
    const off_t end = offset + off_t(line.length);
    if (end > size) return false;
    const std::string bytes = file.readRaw(offset, end + 1);
    const std::string text = bytes.substr(0, line.length);
    if (journalHash(text) != line.hash) return false;
    // The line ended there: at a line end, a 26 or the end of the file.
    if (bytes.size() > line.length && bytes[line.length] != '\r' && bytes[line.length] != 26) return false;
    if (offset > 0 && static_cast<unsigned char>(file.readRaw(offset - 1, offset)[0]) > 32) return false;
  }
  return true;
}

}  // namespace

ImportRun::ImportRun(vx::db::Session& session, const std::string& databaseName)
    : session_(session), databaseName_(databaseName), posting_(session, databaseName) {
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

// What a run holds while it works, kept by the ImportRun rather than the call (abandon()).
struct ImportRun::Held {
  RunLock lock;
  RunFiles files;
  RunJournal journal;
};

ImportRun::~ImportRun() { abandon(); }

void ImportRun::abandon() noexcept {
  if (!held_) return;
  try {
    std::string ignored;
    OutputFile& report = held_->files.report;
    for (OutputFile* f : {&held_->files.log, &held_->files.err, &report})
      if (f->isOpen()) f->close(ignored);
    // A report the run made and never wrote: an empty file would read as a run with no result.
    struct stat st {};
    if (!report.path().empty() && ::stat(report.path().c_str(), &st) == 0 && st.st_size == 0)
      ::unlink(report.path().c_str());
  } catch (...) {
    // Letting go must not fail: what it could not close goes with the objects below.
  }
  held_.reset();
}

ImportOutcome ImportRun::ImportToVXDBFromFile(const std::string& given, int unitId,
                                              ImportObserver& observer) {
  ImportOutcome out;
  if (given.empty()) return out;
  followUp_ = FollowUpList{};
  abandon();
  held_ = std::make_unique<Held>();
  // Whatever way the call ends, short of a processor fault, it lets go of what it held.
  struct LetGo {
    ImportRun& run;
    ~LetGo() { run.abandon(); }
  } letGo{*this};
  RunLock& lock = held_->lock;
  RunFiles& files = held_->files;
  const vx::db::DateTime startTime = vx::db::DateTime::now();
  posting_.AlreadyOnLoanCount = 0;
  const std::string path = resolvedPath(given);
  const auto nothingToImport = [&] {
    out.status = ImportOutcome::Status::NothingToImport;
    out.message = text(sCouldNotImport);
    return out;
  };

  // One run per workfile, decided before anything is read.
  switch (lock.acquire(path)) {
    case RunLock::Result::Busy: {
      const RunLock::Holder& holder = lock.holder();
      out.status = ImportOutcome::Status::Refused;
      out.message = res::formatMessage(QString::fromStdString(text(sImportRunning)),
                                       {QString::fromStdString(holder.host.empty() ? text(sAnotherDesk) : holder.host),
                                        QString::fromStdString(holder.since ? clockText(holder.since) : "?")})
                        .toStdString();
      return out;
    }
    case RunLock::Result::Failed:
      // Nothing can be made beside it: a workfile that is not there, or a folder nobody may
      // change, where the workfile could never be replaced either.
      if (workfile::Workfile().getFileLength(path) == 0) return nothingToImport();
      out.status = ImportOutcome::Status::NotOpened;
      out.message = lock.error();
      return out;
    case RunLock::Result::Acquired:
      break;
  }

  // The count, with the workfile held for reading. What a desk appends from now on lies after
  // `end`: it is not posted, and it stays in the workfile.
  workfile::Record record;
  try {
    openShared(files.workfile, path);
    while (files.workfile->next(record)) ++out.total;
  } catch (const IoError&) {
    out.total = 0;
  }
  if (out.total == 0) return nothingToImport();
  TextFile& workfileHandle = files.workfile->file();
  const off_t end = files.workfile->position();
  struct stat workfileStat {};
  ::stat(path.c_str(), &workfileStat);
  const mode_t workfileMode = workfileStat.st_mode & 07777;
  const std::uint64_t workfileInode = workfileHandle.state().inode;

  // The journal an interrupted run left: finished by this run, or refused when the workfile
  // has changed since, so that it is never applied to other lines and what it posted is
  // never posted again.
  const std::string journalPath = RunJournal::pathFor(path);
  JournalContents journal;
  std::string journalBytes;
  switch (fs::readFile(journalPath, journalBytes)) {
    case fs::ReadResult::Missing:
      break;
    case fs::ReadResult::Failed:
      out.status = ImportOutcome::Status::NotOpened;
      out.message = errnoText("Cannot read", journalPath);
      return out;
    case fs::ReadResult::Ok:
      journal = parseJournal(journalBytes);
      if (!journal.damaged && journal.replacementInode && *journal.replacementInode == workfileInode) {
        // That run had replaced the workfile already: its journal is done with.
        ::unlink(journalPath.c_str());
        fs::syncFolderOf(journalPath);
        journal = {};
      } else if (journal.damaged || !journalMatches(journal, workfileHandle)) {
        out.status = ImportOutcome::Status::Refused;
        out.message = res::formatMessage(QString::fromStdString(text(sJournalDoesNotMatch)),
                                         {QString::fromStdString(journalPath)})
                          .toStdString();
        return out;
      }
      break;
  }

  // From here the workfile is read without its lock: the desks keep recording.
  try {
    workfileHandle.unlock();
    workfileHandle.limitTo(end);
    workfileHandle.seek(0);
  } catch (const IoError& e) {
    out.status = ImportOutcome::Status::NotOpened;
    out.message = path + ": " + e.what();
    return out;
  }
  observer.started(out.total);
  observer.pump();

  // OpenImportFiles. Nothing is posted, and nothing touched, unless every file is open.
  const std::string base = fileNameOf(path);
  std::string error;
  RunJournal& runJournal = held_->journal;
  const auto openAll = [&]() -> bool {
    out.logFile = Rename_if_exists(changeExtension(base, ".log"));
    if (!files.log.create(out.logFile, error)) return false;
    out.errFile = Rename_if_exists(changeExtension(base, ".err"));
    if (!files.err.create(out.errFile, error)) return false;
    out.reportFile = Rename_if_exists(changeExtension(base, ".rpt"));
    if (!files.report.create(out.reportFile, error)) return false;
    return runJournal.open(journalPath, journal.wellFormed, workfileInode, workfileMode, error);
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
  // workfile's code page, what is kept is copied byte for byte. Each posting is noted in the
  // journal before it starts and when it ends.
  int index = 0;
  const auto writeBlockHead = [&](const std::string& borrower, const std::string& item) {
    files.log.writeLine(" ");
    files.log.writeLine(text(sSeparator));
    files.log.writeLine(text(sBorrowerBarcode) + borrower + text(sItemBarcode) + item);
  };
  try {
    while (index < out.total && files.workfile->next(record)) {
      ++index;
      const std::string borrower = cp1252::toUtf8(record.borrower), item = cp1252::toUtf8(record.item);
      const auto known = journal.lines.find(record.offset);
      const bool inJournal = known != journal.lines.end();
      bool accepted = false;
      if (inJournal && known->second.outcome != JournalLine::Outcome::InDoubt) {
        // Posted by the interrupted run: its outcome counts, the line is not posted again.
        accepted = known->second.outcome == JournalLine::Outcome::Accepted;
        posting_.AlreadyOnLoanCount += known->second.returns;
        ++out.resumed;
        writeBlockHead(borrower, item);
        files.log.writeLine(text(sPostedBeforeLog) + text(accepted ? sIssueLoanOk : sLoanNotPossible));
      } else if (inJournal && posting_.isOnLoanTo(borrower, item) == true) {
        // The interrupted run was posting this line when it stopped, and the loan is there.
        accepted = true;
        ++out.resumed;
        writeBlockHead(borrower, item);
        files.log.writeLine(text(sFoundOnLoan));
        runJournal.posted(record.offset, true, 0);
      } else {
        runJournal.posting(record.offset, record.line);
        if (runJournal.failed()) {
          // Not noted, so not posted: it stays, with the lines after it.
          --index;
          files.err.writeRawLine(record.line);
          break;
        }
        const int returnsBefore = posting_.AlreadyOnLoanCount;
        std::string result;
        accepted = posting_.insertdata(unitId, borrower, item, result, files.log);
        followUp_.note(index, borrower, item, posting_.lastOutcome());
        runJournal.posted(record.offset, accepted, posting_.AlreadyOnLoanCount - returnsBefore);
        runJournal.syncIfDue();
      }
      if (accepted) {
        ++out.accepted;
      } else {
        files.err.writeRawLine(record.line);
        observer.pump();
      }
      observer.lineDone(index, out.accepted, out.total, index * 100 / out.total);
      observer.pump();
      // A line that cannot be logged, kept or noted must not be posted: a full disk stops the run.
      if (files.log.failed() || files.err.failed() || runJournal.failed()) break;
      if (observer.cancelRequested()) {
        out.cancelled = true;
        break;
      }
    }
    out.processed = index;
    // Records not posted (after a cancel, or a stop) stay in the workfile.
    while (files.workfile->next(record)) files.err.writeRawLine(record.line);
  } catch (const IoError& e) {
    // The workfile could not be read to its end: it stays as it is, and the journal with it.
    out.processed = index;
    out.status = ImportOutcome::Status::NotReplaced;
    out.message = text(sNotReplaced) + path + ": " + e.what() + "\n\n" + text(sNotReplacedKept);
    std::string ignored;
    files.err.close(ignored);
    files.log.close(ignored);
    files.report.close(ignored);
    return out;
  }
  out.alreadyOnLoan = posting_.AlreadyOnLoanCount;
  // While the run is still connected: the names and titles of the lines that need a person.
  followUp_.readNames(session_, databaseName_);

  // CloseImportFiles. The details log is on disk first: once a line has left the workfile,
  // its outcome is logged whatever happens next. Until the workfile is replaced, the journal
  // stays: a run stopped anywhere before is finished by the next one.
  out.oldFile = Rename_if_exists(changeExtension(base, ".old"));
  std::string replacement = out.errFile;  // the file that takes the workfile's place
  bool copied = false;
  const auto notReplaced = [&](const std::string& why) {
    out.status = ImportOutcome::Status::NotReplaced;
    out.message = text(sNotReplaced) + why + "\n\n" + text(sNotReplacedKept);
    std::string ignored;
    files.log.close(ignored);
    files.err.close(ignored);
    files.report.close(ignored);
    if (copied) ::unlink(replacement.c_str());
    return out;
  };
  faultPoint("posted");
  if (!files.log.close(error) || !files.err.close(error)) return notReplaced(error);
  faultPoint("outputs-closed");
  // One rename puts the new workfile in place, so it must lie in the workfile's folder.
  struct stat folderStat {}, errStat {};
  if (::stat(fs::folderOf(path).c_str(), &folderStat) == 0 && ::stat(out.errFile.c_str(), &errStat) == 0 &&
      folderStat.st_dev != errStat.st_dev) {
    replacement = path + ".import-" + std::to_string(::getpid());
    ::unlink(replacement.c_str());
    if (!fs::copyToNewFile(out.errFile, replacement, workfileMode, &error)) return notReplaced(error);
    copied = true;
  }
  ::chmod(replacement.c_str(), workfileMode);
  const bool linked = linkOldCopy(path, out.oldFile);
  faultPoint("old-linked");
  const auto replacementInode = inodeOf(replacement);
  if (!replacementInode) return notReplaced(errnoText("Cannot read", replacement));
  if (!runJournal.replacing(*replacementInode)) return notReplaced(runJournal.errorText());
  faultPoint("replacement-noted");
  // The last moment: the workfile alone, so that what the desks appended during the run goes
  // with it and nothing is appended to the file that is being replaced.
  bool alone = false;
  for (int attempt = 0; attempt < kBusyAttempts && !(alone = workfileHandle.tryLockExclusive()); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (!alone) return notReplaced(path + ": " + ioErrorText(winerr::SharingViolation));
  std::string appended;
  try {
    workfileHandle.limitTo(-1);
    workfileHandle.seek(end);
    while (files.workfile->next(record)) appended += record.line + "\r\n";
  } catch (const IoError& e) {
    return notReplaced(path + ": " + e.what());
  }
  if (!appended.empty() && !appendSynced(replacement, appended, error)) return notReplaced(error);
  faultPoint("appended-kept");
  if (!linked && !copyOldCopy(path, out.oldFile, error)) return notReplaced(error);
  if (::rename(replacement.c_str(), path.c_str()) != 0) return notReplaced(errnoText("Cannot replace", path));
  fs::syncFolderOf(path);
  faultPoint("replaced");
  files.workfile->close();
  if (copied) ::unlink(out.errFile.c_str());
  runJournal.remove();
  faultPoint("journal-removed");
  lock.release();

  OutputFile& r = files.report;
  const std::string separator = text(sSeparator);
  // A count and its noun, which reads "1 item" and "2 items".
  const auto items = [](long long count) { return std::to_string(count) + text(count == 1 ? sItem : sItems); };
  r.writeLine(" ");
  r.writeLine(separator);
  r.writeLine(text(sReportHeading));
  r.writeLine(separator);
  r.writeLine(" ");
  if (out.resumed > 0) {
    r.writeLine(text(sResumedRun));
    r.writeLine(text(sPostedBefore) + items(out.resumed));
    r.writeLine(" ");
  }
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
    // A report cut short would read as a run that did less: none at all, and the message.
    ::unlink(out.reportFile.c_str());
    out.status = ImportOutcome::Status::ReportFailed;
    out.message = res::formatMessage(QString::fromStdString(text(sReportNotWritten)),
                                     {QString::fromStdString(error), QString::fromStdString(out.logFile)})
                      .toStdString();
    return out;
  }
  faultPoint("reported");
  out.status = ImportOutcome::Status::Finished;
  return out;
}

}  // namespace vx::import
