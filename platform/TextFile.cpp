#include "platform/TextFile.h"

#include "platform/FileSystem.h"
#include "platform/LockWait.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
constexpr char kCtrlZ = 26;
constexpr std::size_t kCtrlZWindow = 128;
}  // namespace

TextFile::~TextFile() { closeQuietly(); }

void TextFile::closeQuietly() noexcept {
  try {
    close();
  } catch (const IoError&) {
    // Callers that need to know call close() themselves.
  }
}

void TextFile::assign(std::string path) {
  closeQuietly();
  path_ = std::move(path);
}

void TextFile::fail(int err) const { throw IoError(windowsErrorFromErrno(err, path_)); }

void TextFile::requireMode(Mode m) const {
  if (mode_ == Mode::Closed) throw IoError(103);  // the runtime's "file not open"
  if (mode_ != m) throw IoError(m == Mode::Read ? 104 : 105);
}

namespace {

constexpr int kReopenAttempts = 16;

}  // namespace

void TextFile::open(int flags, bool exclusive, bool truncate) {
  close();
  if (path_.empty()) throw IoError(winerr::FileNotFound);
  const bool writing = (flags & O_ACCMODE) != O_RDONLY;
  struct stat st {};
  const bool existed = ::stat(path_.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) throw IoError(winerr::AccessDenied);
  // The read-only attribute refuses writers even for root, whom the kernel would let in.
  if (writing && existed && fs::isReadOnly(path_)) throw IoError(winerr::AccessDenied);

  int fd = -1;
  for (int attempt = 1;; ++attempt) {
    fd = ::open(path_.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) fail(errno);
    if (!lockWithin(fd, exclusive ? LOCK_EX : LOCK_SH, lockWait_)) {
      int err = errno;
      ::close(fd);
      fail(err);
    }
    // Another program may have put a new file in the path's place (renamed over it) between
    // the open and the lock, while it held the old one: the lock is only worth anything on
    // the file the path names now, else a line written would go to the replaced file.
    if (fs::namesSameFile(fd, path_)) break;
    ::close(fd);
    if (attempt == kReopenAttempts) fail(EWOULDBLOCK);
  }
  // Cut only once the lock is ours, so a refused open never changes the file.
  if (truncate && ::ftruncate(fd, 0) != 0) {
    int err = errno;
    ::close(fd);
    fail(err);
  }
  fd_ = fd;
  created_ = !existed;
  mode_ = writing ? Mode::Write : Mode::Read;
  ctrlZ_ = false;
  pos_ = end_ = ctrlZAt_ = 0;
  bufOffset_ = 0;
  lastLineEnded_ = false;
  appendOrigin_ = -1;
  writeError_ = 0;
  limit_ = -1;
  out_.clear();
}

void TextFile::reset() { open(O_RDONLY, false, false); }

void TextFile::rewrite() { open(O_WRONLY | O_CREAT, true, true); }

void TextFile::append(off_t knownClean) {
  open(O_RDWR, true, false);
  try {
    cutAtCtrlZ(knownClean);
    appendOrigin_ = ::lseek(fd_, 0, SEEK_END);
    if (appendOrigin_ < 0) fail(errno);
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    mode_ = Mode::Closed;
    throw;
  }
}

void TextFile::cutAtCtrlZ(off_t knownClean) {
  off_t size = ::lseek(fd_, 0, SEEK_END);
  if (size < 0) fail(errno);
  off_t start = size > off_t(kCtrlZWindow) ? size - off_t(kCtrlZWindow) : 0;
  char tail[kCtrlZWindow];
  ssize_t n = ::pread(fd_, tail, std::size_t(size - start), start);
  if (n < 0) fail(errno);
  if (const void* z = std::memchr(tail, kCtrlZ, std::size_t(n))) {
    off_t at = start + (static_cast<const char*>(z) - tail);
    if (::ftruncate(fd_, at) != 0) fail(errno);
  }
  // A 26 further up would hide everything written after it from every reader: refuse
  // rather than append lines that can never be read back.
  std::vector<char> chunk(kChunk);
  for (off_t at = std::min(knownClean, start); at < start;) {
    ssize_t got = ::pread(fd_, chunk.data(), std::min<std::size_t>(kChunk, std::size_t(start - at)), at);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (got == 0) break;
    if (std::memchr(chunk.data(), kCtrlZ, std::size_t(got))) throw IoError(winerr::HandleEof);
    at += got;
  }
}

void TextFile::flushBuffer() {
  std::size_t done = 0;
  while (done < out_.size()) {
    ssize_t n = ::write(fd_, out_.data() + done, out_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      writeError_ = errno;  // close() cuts back what this handle wrote
      out_.clear();
      fail(writeError_);
    }
    done += std::size_t(n);
  }
  out_.clear();
}

void TextFile::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  Mode mode = mode_;
  fd_ = -1;
  mode_ = Mode::Closed;
  buf_.clear();
  buf_.shrink_to_fit();
  if (mode != Mode::Write) {
    ::close(fd);
    return;
  }
  // Write out, sync, and only then release the lock by closing. When anything fails, an
  // appending handle cuts the file back to where it stood, so that no half line stays.
  int err = writeError_;
  writeError_ = 0;
  std::size_t done = 0;
  while (err == 0 && done < out_.size()) {
    ssize_t n = ::write(fd, out_.data() + done, out_.size() - done);
    if (n < 0 && errno != EINTR) err = errno;
    if (n > 0) done += std::size_t(n);
  }
  out_.clear();
  if (err == 0 && ::fdatasync(fd) != 0) err = errno;
  if (err != 0 && appendOrigin_ >= 0 && ::ftruncate(fd, appendOrigin_) == 0) ::fdatasync(fd);
  appendOrigin_ = -1;
  if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  if (err == 0 && created_ && !fs::syncFolderOf(path_)) err = EIO;
  if (err != 0) fail(err);
}

bool TextFile::fill() {
  if (ctrlZ_) return false;
  if (buf_.size() < kChunk) buf_.resize(kChunk);
  std::size_t want = kChunk;
  if (limit_ >= 0) {
    const off_t at = bufOffset_ + off_t(end_);
    want = at >= limit_ ? 0 : std::size_t(std::min<off_t>(off_t(kChunk), limit_ - at));
  }
  for (;;) {
    ssize_t n = want == 0 ? 0 : ::read(fd_, buf_.data(), want);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    bufOffset_ += off_t(end_);
    pos_ = 0;
    end_ = std::size_t(n);
    const void* z = std::memchr(buf_.data(), kCtrlZ, end_);
    ctrlZAt_ = z ? std::size_t(static_cast<const char*>(z) - buf_.data()) : end_;
    return n > 0;
  }
}

bool TextFile::eof() {
  requireMode(Mode::Read);
  if (pos_ >= end_ && !fill()) return true;
  if (pos_ == ctrlZAt_) {
    ctrlZ_ = true;
    return true;
  }
  return false;
}

bool TextFile::seekEof() {
  requireMode(Mode::Read);
  for (;;) {
    if (pos_ >= end_ && !fill()) return true;
    // Blanks and control characters up to the 26 that ends the file, or the chunk's end.
    const std::size_t stop = ctrlZAt_;
    while (pos_ < stop && static_cast<unsigned char>(buf_[pos_]) <= 32) ++pos_;
    if (pos_ < stop) return false;
    if (stop < end_) {
      ctrlZ_ = true;
      return true;
    }
  }
}

void TextFile::skipLine() { scanLine(nullptr); }

std::string TextFile::readLine() {
  std::string line;
  readLine(line);
  return line;
}

void TextFile::readLine(std::string& line) {
  line.clear();
  scanLine(&line);
}

void TextFile::scanLine(std::string* line) {
  requireMode(Mode::Read);
  lastLineEnded_ = false;
  for (;;) {
    if (eof()) return;
    // The line runs to the next CR, or to the 26 that ends the file, within this chunk.
    const char* from = buf_.data() + pos_;
    const std::size_t limit = ctrlZAt_ - pos_;
    const void* cr = std::memchr(from, '\r', limit);
    const std::size_t len = cr ? std::size_t(static_cast<const char*>(cr) - from) : limit;
    if (line) line->append(from, len);
    pos_ += len;
    if (cr) {
      ++pos_;
      lastLineEnded_ = true;
      if (!eof() && buf_[pos_] == '\n') ++pos_;
      return;
    }
  }
}

void TextFile::seek(off_t offset) {
  requireMode(Mode::Read);
  if (::lseek(fd_, offset, SEEK_SET) < 0) fail(errno);
  bufOffset_ = offset;
  pos_ = end_ = ctrlZAt_ = 0;
  ctrlZ_ = false;
}

void TextFile::limitTo(off_t end) {
  requireMode(Mode::Read);
  // What is buffered beyond the new end must not be read: start again from here.
  const off_t here = position();
  limit_ = end;
  seek(here);
}

void TextFile::unlock() {
  requireMode(Mode::Read);
  if (::flock(fd_, LOCK_UN) != 0) fail(errno);
}

bool TextFile::tryLockExclusive() {
  requireMode(Mode::Read);
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
  if (fs::namesSameFile(fd_, path_)) return true;
  ::flock(fd_, LOCK_UN);
  return false;
}

bool TextFile::startsWith(std::string_view bytes) {
  if (mode_ == Mode::Closed) throw IoError(103);
  std::vector<char> chunk(kChunk);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t want = std::min(kChunk, bytes.size() - at);
    ssize_t got = ::pread(fd_, chunk.data(), want, off_t(at));
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (got == 0 || std::memcmp(chunk.data(), bytes.data() + at, std::size_t(got)) != 0) return false;
    at += std::size_t(got);
  }
  return true;
}

TextFile::State TextFile::state() const {
  if (mode_ == Mode::Closed) throw IoError(103);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail(errno);
  auto ns = [](const timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; };
  return {st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

std::string TextFile::readRaw(off_t from, off_t to) {
  if (mode_ == Mode::Closed) throw IoError(103);
  std::string out(std::size_t(std::max<off_t>(0, to - from)), '\0');
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, from + off_t(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (got == 0) break;
    done += std::size_t(got);
  }
  out.resize(done);
  return out;
}

bool TextFile::atLineStart() {
  requireMode(Mode::Write);
  if (!out_.empty()) return out_.back() == '\r' || (out_.back() == '\n' && out_.size() > 1 && out_[out_.size() - 2] == '\r');
  const off_t size = ::lseek(fd_, 0, SEEK_CUR);
  if (size < 0) fail(errno);
  if (size == 0) return true;
  char tail[2] = {0, 0};
  const off_t from = size >= 2 ? size - 2 : 0;
  const ssize_t n = ::pread(fd_, tail, std::size_t(size - from), from);
  if (n < 0) fail(errno);
  const char last = tail[n - 1];
  return last == '\r' || (last == '\n' && n == 2 && tail[0] == '\r');
}

void TextFile::write(std::string_view text) {
  requireMode(Mode::Write);
  out_.append(text);
  if (out_.size() >= kChunk) flushBuffer();
}

void TextFile::writeLine(std::string_view text) {
  write(text);
  write("\r\n");
}

}  // namespace vx
