#pragma once
// A text file handle with the runtime's semantics and the Windows sharing rules.
//
// Opening:  reset()   read access; the file must exist.
//           rewrite() write access; creates the file or cuts it to zero bytes.
//           append()  read and write access; the file must exist. Before anything is
//                     written, a character 26 (Ctrl-Z) in the last 128 bytes cuts the file
//                     at the first such character. A 26 further up fails the open
//                     (error 38): lines after it could never be read back.
// Sharing:  a handle open for reading lets others read but not write; a handle open for
//           writing lets nobody else in (an advisory flock: shared for reading, exclusive
//           for writing, not waiting unless setLockWait() says so). A conflict fails with
//           error 32, the sharing violation, like the same open on Windows would.
// Reading:  a line ends at CR; an LF right after the CR belongs to the line end, an LF alone
//           is data. Character 26 ends the file, as does its physical end.
// Writing:  lines are buffered and written at close(), which also syncs the data to disk,
//           so that a line is durable once close() has returned.
//
// Every failure throws IoError. The destructor closes silently; call close() to learn
// whether buffered output reached the disk.
#include "platform/IoError.h"

#include <chrono>
#include <cstddef>
#include <sys/types.h>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

class TextFile {
 public:
  TextFile() = default;
  explicit TextFile(std::string path) : path_(std::move(path)) {}
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Binds the handle to a path; closes it first (quietly) if it is open.
  void assign(std::string path);
  const std::string& path() const { return path_; }
  // How long the opens of this handle wait in the queue for a conflicting holder to let go
  // before they fail with the sharing violation; 0, the default, refuses at once. Kept across
  // assign().
  void setLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

  void reset();
  void rewrite();
  // `knownClean`: the caller knows the first bytes up to this offset hold no 26, so the
  // search for one further up may start there.
  void append(off_t knownClean = 0);
  // Flushes buffered output, syncs it and releases the file. A closed handle stays closed.
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // As close(), for the error paths: a failure is not reported (what this handle appended
  // is still cut back).
  void closeQuietly() noexcept;

  // Reading (handle opened by reset()).
  bool eof();
  // Skips every character from 0 to 32 except 26, then tells whether the end is reached.
  bool seekEof();
  // Reads up to the line end and steps over it.
  std::string readLine();
  // As readLine(), into `line` (whose storage is reused).
  void readLine(std::string& line);
  // As readLine(), without keeping the text.
  void skipLine();
  // Whether the line last read or skipped was ended by a CR (rather than by the end of
  // the file or a 26).
  bool lastLineEnded() const { return lastLineEnded_; }
  // The file offset of the next byte the reader will look at.
  off_t position() const { return bufOffset_ + off_t(pos_); }
  // Moves the reader to a file offset.
  void seek(off_t offset);
  // The reader takes `end` as the file's physical end (a negative `end`: the file's own end
  // again). Bytes before `end` of a file that is only ever appended to never change, so a
  // reader limited to them may let writers in (unlock()).
  void limitTo(off_t end);
  // Releases the lock of a handle opened by reset(); the handle stays open for reading, and
  // others may write meanwhile.
  void unlock();
  // Takes the file alone (an exclusive lock, never waiting) on a handle open for reading,
  // when the path still names the file this handle has open. False when another program
  // holds the file, or the path names another file now; the handle stays open either way.
  bool tryLockExclusive();

  // Raw access for any open handle, without moving the reader.
  // Whether the file starts with exactly these bytes.
  bool startsWith(std::string_view bytes);
  // The bytes of [from, to) (fewer at the end of the file).
  std::string readRaw(off_t from, off_t to);
  // Which file is open and how it stands, from fstat.
  struct State {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    long long changedNs = 0;
    bool operator==(const State&) const = default;
  };
  State state() const;

  // Writing (handle opened by rewrite() or append()).
  // True when what is written next starts a line of its own: the file is empty or its
  // last line is ended by CR or CR LF.
  bool atLineStart();
  void write(std::string_view text);
  void writeLine(std::string_view text);

 private:
  enum class Mode { Closed, Read, Write };
  void open(int flags, bool exclusive, bool truncate);
  void requireMode(Mode m) const;
  bool fill();          // reads the next chunk; false at the physical end
  void scanLine(std::string* line);  // reads a line into *line, or skips it (nullptr)
  void cutAtCtrlZ(off_t knownClean);
  void flushBuffer();
  [[noreturn]] void fail(int err) const;

  std::string path_;
  int fd_ = -1;
  Mode mode_ = Mode::Closed;
  bool created_ = false;    // this open created the file: its folder needs a sync too
  bool ctrlZ_ = false;      // a character 26 was reached: the file ends here
  std::vector<char> buf_;
  std::size_t pos_ = 0;     // next unread byte in buf_
  off_t bufOffset_ = 0;     // file offset of buf_[0]
  bool lastLineEnded_ = false;
  std::size_t end_ = 0;     // bytes valid in buf_
  std::size_t ctrlZAt_ = 0; // position of the next 26 in buf_ (end_ when none)
  std::string out_;         // pending output
  off_t appendOrigin_ = -1;
  int writeError_ = 0;      // errno of a failed write before close()
  off_t limit_ = -1;        // the reader's end of the file (limitTo), -1: the physical end
  std::chrono::milliseconds lockWait_{0};
};

}  // namespace vx
