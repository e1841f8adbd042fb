#pragma once
// The import run: posts every record of a workfile as a loan (LoanPosting), writes the details
// log, the rejected lines and the report, and leaves in the workfile's place a file that holds
// only the lines that were not accepted, the workfile as it was kept beside the outputs as
// ".old". The output files and the ".old" copy lie in the current working directory, each
// under a name no earlier run used (Rename_if_exists).
//
// No widget in it: the run reports to an observer (the import dialog, or vximport on a
// terminal) and asks it whether to cancel after each line.
//
// What a librarian relies on, kept at every step:
//   - every record of the workfile as it stood when the run began ends up either accepted in
//     the database and logged as accepted, or in the workfile afterwards — never only in the
//     ".old" copy, never twice in the workfile;
//   - the workfile's path always holds a complete workfile, the old one or the new one (it is
//     replaced by one rename, never removed first), also when the program is killed;
//   - a failure to replace it is reported, never shown as a finished import.
// The records are read by the count's own rule (blank lines are no records), and records
// another desk appended after the count stay in the workfile.
//
// Between desks: one run per workfile at a time (RunLock, refused with Status::Refused); the
// workfile is read without its lock while lines are posted, so that desks keep recording, and
// taken alone only for the moment of its replacement; each posting is noted in a journal
// beside the workfile (RunJournal), so that a run that was interrupted anywhere is finished by
// the next one without posting a line twice. A symbolic link at the path is followed.
#include "db/Session.h"
#include "import/FollowUp.h"
#include "import/LoanPosting.h"

#include <memory>
#include <string>

namespace vx::import {

class ImportObserver {
 public:
  virtual ~ImportObserver() = default;
  // The number of records, before the files are opened.
  virtual void started(int total) { (void)total; }
  // After each line: its 1-based index, the lines accepted so far, the total, and the percent
  // (index * 100 / total, rounded down).
  virtual void lineDone(int index, int accepted, int total, int percent) {
    (void)index, (void)accepted, (void)total, (void)percent;
  }
  // Lets pending window messages run (a terminal has none).
  virtual void pump() {}
  // Asked after each line; true stops the run after that line.
  virtual bool cancelRequested() { return false; }
};

struct ImportOutcome {
  enum class Status {
    NothingToImport,  // no path, or no record could be counted: nothing was touched
    Refused,          // another run works on the workfile, or the journal of an interrupted
                      // run no longer matches it: nothing was touched (message)
    NotOpened,        // the workfile or an output file could not be opened: nothing posted
    NotReplaced,      // lines were posted, but the workfile could not be replaced (message)
    ReportFailed,     // the workfile was replaced, but the report or log could not be written
    Finished,
  };
  Status status = Status::NothingToImport;
  int total = 0;
  int processed = 0;
  int accepted = 0;
  int alreadyOnLoan = 0;
  bool cancelled = false;
  int resumed = 0;  // lines an interrupted run had posted, counted here and not posted again
  std::string logFile, errFile, reportFile, oldFile;  // as created, in the working directory
  std::string message;                                // why, for every status but Finished
};

class ImportRun {
 public:
  explicit ImportRun(vx::db::Session& session, const std::string& databaseName = "VXDB");

  ImportOutcome ImportToVXDBFromFile(const std::string& workfilePath, int unitId,
                                     ImportObserver& observer);

  // The name itself when no file of that name exists, else the first free "base_k.ext".
  static std::string Rename_if_exists(const std::string& name);
  // Replaces the text from the last period of a file name on, or appends the extension.
  static std::string changeExtension(const std::string& fileName, const std::string& extension);

  LoanPosting& posting() { return posting_; }
  // The lines of the last run that need a person, with names and titles (empty before a run
  // posted anything, and for lines an interrupted run had posted).
  const FollowUpList& followUp() const { return followUp_; }

  // Lets go of what a run that did not come back holds: its lock, the workfile and its output
  // files, and removes a report it never wrote. The workfile and the journal stay as they
  // are, for the next run to finish. A run that ends with an exception lets go by itself; one
  // ended by a processor fault skips its destructors, and its caller calls this. The next
  // run calls it first too.
  void abandon() noexcept;

  ImportRun(const ImportRun&) = delete;
  ImportRun& operator=(const ImportRun&) = delete;
  ~ImportRun();

 private:
  struct Held;
  vx::db::Session& session_;
  std::string databaseName_;
  LoanPosting posting_;
  FollowUpList followUp_;
  std::unique_ptr<Held> held_;
};

}  // namespace vx::import
