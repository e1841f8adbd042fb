#pragma once
// The journal of an import run: a file beside the workfile, "<workfile>.import-journal", in
// which the run notes each line's outcome as it posts it, so that a run that was interrupted
// (killed, the power lost, the server gone, the replacement refused) is finished by the next
// run, from any desk, and no line is posted twice. It is removed once the workfile has been
// replaced.
//
// One record per line of text, each ending in a checksum of its own, so that a record torn by
// a power loss is known as torn and the ones before it are kept:
//   R <inode> <host> <pid> <start>   a run began on the workfile with that inode
//   P <offset> <length> <hash>       the line at that byte offset is about to be posted
//   D <offset> <A|R> <returns>       ... it was accepted or rejected, after so many returns
//   C <inode>                        the file with that inode is about to replace the workfile
// A line is named by where it starts in the workfile and checked by its length and a hash
// of its bytes, so a journal is never applied to lines other than the ones it recorded.
//
// Each record is written to the file at once (a killed process loses none); the file is
// synced at most every tenth of a second while lines are posted, and before the workfile is
// replaced, so a power loss forgets at most the outcomes of the last tenth of a second.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>

namespace vx::import {

// FNV-1a, 64 bits: the hash of a line's bytes and of a record's text.
std::uint64_t journalHash(const std::string& bytes);

struct JournalLine {
  std::size_t length = 0;
  std::uint64_t hash = 0;
  enum class Outcome { InDoubt, Accepted, Rejected };
  Outcome outcome = Outcome::InDoubt;  // InDoubt: about to be posted, no outcome recorded
  int returns = 0;                     // successful returns of the posting
};

// What a journal file says.
struct JournalContents {
  std::map<off_t, JournalLine> lines;             // by the offset of the line in the workfile
  std::optional<std::uint64_t> workfileInode;     // of the first run's R record
  std::optional<std::uint64_t> replacementInode;  // of the last C record
  std::string host;                               // of the first run
  std::time_t started = 0;
  off_t wellFormed = 0;   // bytes up to the end of the last good record
  bool damaged = false;   // a bad record stands before good ones: not just torn at the end
};

// Parses the bytes of a journal. A torn last record is left out (wellFormed ends before it);
// a bad record with good ones after it makes the journal damaged.
JournalContents parseJournal(const std::string& bytes);

class RunJournal {
 public:
  RunJournal() = default;
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  static std::string pathFor(const std::string& workfile);

  // Opens the journal for this run: a new file, or the one an interrupted run left, cut
  // after its last good record; then writes the run's R record. A new journal gets `mode`
  // (the workfile's: whoever may change the workfile may finish its import). False with
  // `error` set.
  bool open(const std::string& path, off_t keep, std::uint64_t workfileInode, mode_t mode,
            std::string& error);

  void posting(off_t offset, const std::string& line);
  void posted(off_t offset, bool accepted, int returns);
  // Notes the replacement and syncs: true when it is on disk.
  bool replacing(std::uint64_t inode);
  // Syncs when the last sync is a tenth of a second old.
  void syncIfDue();

  // A write or sync has failed (a full disk): no line may be posted after it.
  bool failed() const { return errno_ != 0; }
  std::string errorText() const;

  // Closes and removes the file, and syncs its folder. False when it could not be removed.
  bool remove();
  void close();

 private:
  void write(const std::string& record);

  int fd_ = -1;
  std::string path_;
  int errno_ = 0;
  std::chrono::steady_clock::time_point lastSync_;
};

}  // namespace vx::import
