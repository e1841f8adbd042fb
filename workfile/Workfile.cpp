#include "workfile/Workfile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <string_view>

namespace vx::workfile {

std::string strip(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

std::string makeRecord(const std::string& borrower, const std::string& item) {
  return strip(borrower) + kSeparator + strip(item);
}

CheckResult checkFile(const std::string& path) {
  CheckResult result;
  if (!fs::fileExists(path)) return result;
  const bool readOnly = fs::isReadOnly(path);
  TextFile file(path);
  std::string first;
  try {
    file.reset();
    first = file.readLine();
    file.append();  // the writability test; cuts a trailing character 26
    file.close();
  } catch (const IoError& e) {
    result.ioError = e.what();
    result.ioErrorCode = e.code();
    return result;
  }
  const std::string strippedLine = strip(first);
  if (strippedLine.empty()) {
    result.valid = !readOnly;
    return result;
  }
  std::string rest = first, field;
  getFirstString(rest, field);
  result.valid = strip(field) != strippedLine && !readOnly;
  return result;
}

std::optional<long> damagedAtLine(const std::string& path) {
  // Appending cuts a mark within the last bytes of the file instead of refusing the file.
  constexpr std::size_t kCutWindow = 128;
  std::string bytes;
  if (fs::readFile(path, bytes) != fs::ReadResult::Ok) return std::nullopt;
  const auto mark = bytes.find(char(26));
  if (mark == std::string::npos || bytes.size() - mark <= kCutWindow) return std::nullopt;
  return long(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(mark), '\n')) + 1;
}

namespace {

// What a reader learnt from the file the last time: where its last complete line ended
// (the checkpoint), what the lines before it held, and samples of the bytes there. When the
// same file has kept those bytes, the next read starts at the checkpoint: the desk's
// workfile only grows between scans, so a scan reads only the lines that came since.
//
// "Kept those bytes" is decided by the file's identity (device and inode); a size that
// grew, or stayed with the file untouched (same modification and change times); and the
// first and the last bytes before the checkpoint read again and compared. A file that was
// replaced, cut, rewritten to the same size, or changed where the samples lie is read from
// the start. What this cannot see is a rewrite to a larger size, or within one clock tick
// of the last read, that keeps both samples and changes only lines between them; the
// workfile is only ever appended to, or replaced as a new file, by the programs of the suite.
struct ReadCache {
  static constexpr off_t kSample = 4096;
  std::string path;
  TextFile::State seen;
  off_t checkpoint = 0;
  std::string head, tail;  // the first and the last (up to) kSample bytes before the checkpoint
  bool valid = false;

  bool holds(TextFile& file, const std::string& p) const {
    if (!valid || path != p) return false;
    const TextFile::State now = file.state();
    if (now.device != seen.device || now.inode != seen.inode || now.size < checkpoint) return false;
    if (now.size == seen.size && !(now == seen)) return false;  // changed without growing
    return file.readRaw(0, off_t(head.size())) == head &&
           file.readRaw(checkpoint - off_t(tail.size()), checkpoint) == tail;
  }
  // Positions `file` at the checkpoint when the cache holds for it; else forgets what it
  // knew and leaves `file` at the start.
  bool resume(TextFile& file, const std::string& p) {
    if (holds(file, p)) {
      file.seek(checkpoint);
      return true;
    }
    valid = false;
    path = p;
    return false;
  }
  void advance(TextFile& file, off_t newCheckpoint) {
    checkpoint = newCheckpoint;
    head = file.readRaw(0, std::min(kSample, checkpoint));
    tail = file.readRaw(std::max<off_t>(0, checkpoint - kSample), checkpoint);
    seen = file.state();
    valid = off_t(head.size()) == std::min(kSample, checkpoint) &&
            off_t(tail.size()) == std::min(kSample, checkpoint);
  }
};

}  // namespace

struct Workfile::CountCache : ReadCache {
  int count = 0;
};

struct Workfile::ListCache : ReadCache {
  std::string borrower;
  std::vector<std::string> items;
};

Workfile::Workfile() : count_(std::make_unique<CountCache>()), list_(std::make_unique<ListCache>()) {}
Workfile::~Workfile() = default;

bool Workfile::createFile(const std::string& path, bool closeAfter) {
  try {
    handle_.assign(path);
    handle_.rewrite();
    handle_.close();  // syncs the new, empty file and its folder entry
    handle_.reset();
    if (closeAfter) handle_.close();
    return true;
  } catch (const IoError&) {
    handle_.assign(path);
    return false;
  }
}

int Workfile::getFileLength(const std::string& path) {
  CountCache& cache = *count_;
  int count = 0;
  try {
    TextFile file(path);
    file.reset();
    if (cache.resume(file, path)) count = cache.count;
    off_t checkpoint = file.position();
    int atCheckpoint = count;
    while (!file.seekEof()) {
      ++count;
      file.skipLine();
      if (file.lastLineEnded()) {
        checkpoint = file.position();
        atCheckpoint = count;
      }
    }
    cache.advance(file, checkpoint);
    cache.count = atCheckpoint;
    file.close();
  } catch (const IoError&) {
    cache.valid = false;
  }
  return count;
}

bool Workfile::writeToFile(const std::string& path, const std::string& line, WriteError* error) {
  TextFile& handle = handle_;
  try {
    handle.assign(path);
    if (!fs::fileExists(path)) {
      handle.rewrite();
      handle.close();
    }
    handle.reset();
    // The lines the readers already went through hold no 26: the append's search for
    // one can start after them.
    off_t clean = 0;
    for (const ReadCache* cache : {static_cast<const ReadCache*>(count_.get()),
                                   static_cast<const ReadCache*>(list_.get())})
      if (cache->holds(handle, path)) clean = std::max(clean, cache->checkpoint);
    handle.append(clean);
    // A last line left open (by another program, or a file that ends in LF alone) would
    // swallow this record: end it first.
    if (!handle.atLineStart()) handle.write("\r\n");
    handle.writeLine(line);
    handle.close();
    return true;
  } catch (const IoError& e) {
    handle.assign(path);  // drops anything unwritten and releases the file
    if (error) *error = WriteError{e.code(), e.what()};
    return false;
  }
}

Workfile::Pause Workfile::deskPause() {
  return [attempt = 0]() mutable {
    attempt = std::min(attempt + 1, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt));
  };
}

AppendResult Workfile::appendRecord(const std::string& path, const std::string& borrower,
                                    const std::string& item, const Pause& pause) {
  const std::string line = makeRecord(borrower, item);
  AppendResult result;
  WriteError error;
  while (result.attempts < kWriteAttempts) {
    ++result.attempts;
    if (writeToFile(path, line, &error)) {
      result.written = true;
      return result;
    }
    // Only another writer's moment is worth waiting for; a read-only file or a full disk
    // fails every attempt at once.
    if (pause && result.attempts < kWriteAttempts && error.code == winerr::SharingViolation) pause();
  }
  result.error = error;
  return result;
}

void getFirstString(std::string& line, std::string& first) {
  const auto comma = line.find(kSeparator);
  if (comma == std::string::npos) {
    first = std::move(line);
    line.clear();
    return;
  }
  first = line.substr(0, comma);
  line.erase(0, comma + 1);
}

ListResult Workfile::findBorrowersBooks(const std::string& path, const std::string& borrower,
                                        std::vector<std::string>& items) {
  if (!fs::fileExists(path)) return {};
  ListCache& cache = *list_;
  std::vector<std::string> found;
  try {
    TextFile file(path);
    file.reset();
    if (cache.borrower != borrower) cache.valid = false;
    if (cache.resume(file, path)) found = cache.items;
    cache.borrower = borrower;
    off_t checkpoint = file.position();
    std::size_t atCheckpoint = found.size();
    std::string line;
    while (!file.seekEof()) {
      file.readLine(line);
      // The first split gives the borrower, the second the item: done in place, as the
      // file may hold a hundred thousand lines and only a few are this borrower's.
      const std::string_view view(line);
      const auto comma = view.find(kSeparator);
      if (view.substr(0, comma) == borrower) {
        if (comma == std::string_view::npos) {
          found.emplace_back();
        } else {
          const auto rest = view.substr(comma + 1);
          found.emplace_back(rest.substr(0, rest.find(kSeparator)));
        }
      }
      if (file.lastLineEnded()) {
        checkpoint = file.position();
        atCheckpoint = found.size();
      }
    }
    cache.advance(file, checkpoint);
    cache.items.assign(found.begin(), found.begin() + std::ptrdiff_t(atCheckpoint));
    file.close();
  } catch (const IoError&) {
    cache.valid = false;
    items.insert(items.end(), found.begin(), found.end());
    return {false};
  }
  items.insert(items.end(), found.begin(), found.end());
  return {};
}

RecordReader::RecordReader(const std::string& path) : file_(path) { file_.reset(); }

bool RecordReader::next(Record& record) {
  // The count's rule, step for step: blanks and blank lines before a record are skipped, and
  // the record is the rest of its line.
  if (!file_.isOpen() || file_.seekEof()) return false;
  record.offset = file_.position();
  file_.readLine(record.line);
  std::string rest = record.line;
  getFirstString(rest, record.borrower);
  getFirstString(rest, record.item);
  return true;
}

void RecordReader::close() { file_.closeQuietly(); }

}  // namespace vx::workfile
