#pragma once
// The workfile: the local text file in which loans are collected while the library
// database is down. One record per line: borrower barcode, ",", item barcode, CR LF.
//
// These are the file operations behind the circulation window and the import. They never
// let an exception out: each catches its own I/O error and returns a flag, a count or the
// error, and each opens the file, does its work and closes it again, so that no handle
// outlives an operation. The caller shows whatever messages they report.
//
// A Workfile object owns the read caches of the count and of the borrower listing (they make
// a refresh read only the lines that came since the last one), so two objects never share
// what they learnt; one object is used from one thread at a time.
#include "platform/TextFile.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vx::workfile {

// The one separator between the two fields of a line.
constexpr char kSeparator = ',';

// How many times the item entry tries to append a line before it gives up.
constexpr int kWriteAttempts = 251;

// Strips every character from 0 to 32 (space and the control characters) at both ends.
std::string strip(const std::string& text);

// Splits `line` at its first comma: `first` gets the text before it and `line` the text
// after it. Without a comma, `first` gets the whole line and `line` becomes empty. Neither
// field is stripped.
void getFirstString(std::string& line, std::string& first);

// The line the item entry writes for a loan: the stripped borrower, a comma and the stripped
// item.
std::string makeRecord(const std::string& borrower, const std::string& item);

struct CheckResult {
  bool valid = false;
  // The text of the I/O error met while opening, reading or reopening the file for
  // appending; the window shows it in a warning box. Empty when there was none.
  std::optional<std::string> ioError;
  int ioErrorCode = 0;  // its number (IoError::code), 0 when there was none
};

// Is this a valid workfile? It must exist, not be read-only, open for reading and for
// appending (which cuts a trailing character 26), and its first line must be blank or
// hold a comma.
CheckResult checkFile(const std::string& path);

// The line (counted from 1) that holds the first character 26 of the file, when one stands
// before the file's last 128 bytes: such a mark ends the file for every reader, so appending
// refuses it (error 38) and the lines before it are all that can be read. Nothing when there
// is no such mark or the file cannot be read.
std::optional<long> damagedAtLine(const std::string& path);

// Why a write failed: the I/O error's number and the runtime's text for it.
struct WriteError {
  int code = 0;
  std::string text;
};

struct AppendResult {
  bool written = false;
  int attempts = 0;                 // how many writes were tried
  std::optional<WriteError> error;  // the last attempt's failure when nothing was written
};

struct ListResult {
  bool ok = true;  // false: a read error cut the listing short
};

class Workfile {
 public:
  // Creates the file, cutting an existing one to zero bytes, and reopens it for reading in
  // the object's handle; closes it again when `closeAfter`. False on any I/O failure.
  bool createFile(const std::string& path, bool closeAfter);

  // The number of records: lines that are not blank, up to the end of the file or a
  // character 26. On an I/O failure, the count reached so far (0 when the file cannot be
  // opened).
  int getFileLength(const std::string& path);

  // Appends `line` and CR LF to `path`, creating the file when missing. The line is synced
  // to disk before this returns true. False on any I/O failure (for example while another
  // program has the file open), without changing the file; `error` then gets the cause.
  bool writeToFile(const std::string& path, const std::string& line, WriteError* error = nullptr);

  // What the item entry does with one scan: builds the record (makeRecord) and writes it,
  // trying up to kWriteAttempts times while the file is busy, with `pause` between attempts
  // that met another writer (a sharing violation)
  // (another desk appending to the same file holds it for the moment of its write and sync).
  using Pause = std::function<void()>;
  // The pause between the desk's attempts: 1 ms, growing by 1 ms an attempt up to 20 ms, so
  // that kWriteAttempts attempts outlast about 5 seconds of other writers (eight desks at one
  // file, each holding it for its write and its sync, which a busy disk can make slow).
  static Pause deskPause();
  // How long each of the desk's opens waits in the queue for the file's lock. Polling alone
  // loses to writers that come back at once: eight desks appending as fast as they can keep
  // the lock taken nearly all the time, and a desk that only asks between pauses may find it
  // taken for seconds. Queued, it gets its turn among them.
  static constexpr std::chrono::milliseconds kDeskLockWait{20};
  void setLockWait(std::chrono::milliseconds wait) { handle_.setLockWait(wait); }
  AppendResult appendRecord(const std::string& path, const std::string& borrower,
                            const std::string& item, const Pause& pause);

  // Appends to `items`, in file order, the item barcode of every record whose borrower field
  // equals `borrower` exactly. A missing file lists nothing and is not an error.
  ListResult findBorrowersBooks(const std::string& path, const std::string& borrower,
                                std::vector<std::string>& items);

  // The handle the last createFile or writeToFile bound.
  TextFile& handle() { return handle_; }

  Workfile();
  ~Workfile();
  Workfile(const Workfile&) = delete;
  Workfile& operator=(const Workfile&) = delete;

 private:
  TextFile handle_;
  struct CountCache;
  struct ListCache;
  std::unique_ptr<CountCache> count_;
  std::unique_ptr<ListCache> list_;
};

// One record of the workfile as the import reads it.
struct Record {
  std::string line;      // the record's line without its line end (and without the blanks
                         // and blank lines before it, which the count skips too)
  std::string borrower;  // the line split with getFirstString: the first field
  std::string item;      // the first field of the rest
  off_t offset = 0;      // where the record's line starts in the file
};

// Reads the records one by one by the same rule as the count (getFileLength): lines that are
// not blank, up to the end of the file or a character 26; so a file holds exactly
// getFileLength records. The file is open for reading, shared, while the reader lives.
class RecordReader {
 public:
  // Opens the file; throws IoError when it cannot.
  explicit RecordReader(const std::string& path);

  // The next record; false at the end. Throws IoError on a read error.
  bool next(Record& record);

  // Closes the file early; the destructor closes it too.
  void close();

  // Where the next record would be looked for: after the last record read, its line end
  // included (or at the end of the file, or at the 26 that ends it).
  off_t position() const { return file_.position(); }
  // The open file, for reading it without its lock (limitTo, unlock) and taking it alone.
  TextFile& file() { return file_; }

 private:
  TextFile file_;
};

}  // namespace vx::workfile
