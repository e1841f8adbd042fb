#include "import/RunJournal.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::import {

namespace {

constexpr auto kSyncEvery = std::chrono::milliseconds(100);

std::string hex(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, v);
  return text;
}

std::optional<std::uint64_t> number(const std::string& text, int base = 10) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || text[0] == '-' || text[0] == '+') return std::nullopt;
  return std::uint64_t(v);
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// One record's fields, when its checksum holds.
std::optional<std::vector<std::string>> checkedRecord(const std::string& line) {
  const auto mark = line.rfind(" #");
  if (mark == std::string::npos) return std::nullopt;
  const auto sum = number(line.substr(mark + 2), 16);
  if (!sum || line.size() - mark - 2 != 16 || *sum != journalHash(line.substr(0, mark))) return std::nullopt;
  auto fields = words(line.substr(0, mark));
  if (fields.empty()) return std::nullopt;
  return fields;
}

bool apply(const std::vector<std::string>& f, JournalContents& j) {
  const std::string& kind = f[0];
  if (kind == "R" && f.size() == 5) {
    const auto inode = number(f[1]);
    const auto started = number(f[4]);
    if (!inode || !started) return false;
    if (!j.workfileInode) {
      j.workfileInode = inode;
      j.host = f[2];
      j.started = std::time_t(*started);
    }
    return true;
  }
  if (kind == "P" && f.size() == 4) {
    const auto offset = number(f[1]), length = number(f[2]), hash = number(f[3], 16);
    if (!offset || !length || !hash) return false;
    j.lines[off_t(*offset)] = {std::size_t(*length), *hash, JournalLine::Outcome::InDoubt, 0};
    return true;
  }
  if (kind == "D" && f.size() == 4 && (f[2] == "A" || f[2] == "R")) {
    const auto offset = number(f[1]), returns = number(f[3]);
    if (!offset || !returns) return false;
    const auto it = j.lines.find(off_t(*offset));
    if (it == j.lines.end()) return false;
    it->second.outcome = f[2] == "A" ? JournalLine::Outcome::Accepted : JournalLine::Outcome::Rejected;
    it->second.returns = int(*returns);
    return true;
  }
  if (kind == "C" && f.size() == 2) {
    const auto inode = number(f[1]);
    if (!inode) return false;
    j.replacementInode = inode;
    return true;
  }
  return false;
}

}  // namespace

std::uint64_t journalHash(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

JournalContents parseJournal(const std::string& bytes) {
  JournalContents j;
  bool bad = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto end = bytes.find('\n', at);
    const std::string line = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const auto fields = end == std::string::npos ? std::nullopt : checkedRecord(line);
    if (!fields || !apply(*fields, j)) {
      bad = true;
    } else if (bad) {
      // A good record after a bad one: the journal was changed, not torn at its end.
      j.damaged = true;
      return j;
    } else {
      j.wellFormed = off_t(end + 1);
    }
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return j;
}

std::string RunJournal::pathFor(const std::string& workfile) { return workfile + ".import-journal"; }

RunJournal::~RunJournal() { close(); }

bool RunJournal::open(const std::string& path, off_t keep, std::uint64_t workfileInode, mode_t mode,
                      std::string& error) {
  close();
  path_ = path;
  errno_ = 0;
  const bool existed = ::access(path.c_str(), F_OK) == 0;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0 || (!existed && ::fchmod(fd_, mode & 0666) != 0) || ::ftruncate(fd_, keep) != 0 ||
      ::lseek(fd_, keep, SEEK_SET) < 0) {
    error = "Cannot write " + path + ": " + std::strerror(errno);
    close();
    return false;
  }
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::strcpy(host, "localhost");
  for (char& c : host)
    if (c == ' ' || c == '\n') c = '_';
  write("R " + std::to_string(workfileInode) + " " + host + " " + std::to_string(::getpid()) + " " +
        std::to_string(static_cast<long long>(std::time(nullptr))));
  if (errno_ == 0 && ::fdatasync(fd_) != 0) errno_ = errno;
  if (errno_ == 0 && !existed && !fs::syncFolderOf(path)) errno_ = errno ? errno : EIO;
  lastSync_ = std::chrono::steady_clock::now();
  if (errno_ != 0) {
    error = errorText();
    close();
    return false;
  }
  return true;
}

void RunJournal::write(const std::string& record) {
  if (fd_ < 0 || errno_ != 0) return;
  const std::string text = record + " #" + hex(journalHash(record)) + "\n";
  // One write per record: a process killed between two records leaves whole records only.
  if (!fs::writeAll(fd_, text)) errno_ = errno ? errno : EIO;
}

void RunJournal::posting(off_t offset, const std::string& line) {
  write("P " + std::to_string(offset) + " " + std::to_string(line.size()) + " " + hex(journalHash(line)));
}

void RunJournal::posted(off_t offset, bool accepted, int returns) {
  write("D " + std::to_string(offset) + (accepted ? " A " : " R ") + std::to_string(returns));
}

void RunJournal::syncIfDue() {
  if (fd_ < 0 || errno_ != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastSync_ < kSyncEvery) return;
  if (::fdatasync(fd_) != 0) errno_ = errno;
  lastSync_ = now;
}

bool RunJournal::replacing(std::uint64_t inode) {
  write("C " + std::to_string(inode));
  if (fd_ >= 0 && errno_ == 0 && ::fdatasync(fd_) != 0) errno_ = errno;
  return fd_ >= 0 && errno_ == 0;
}

std::string RunJournal::errorText() const {
  return "Cannot write " + path_ + ": " + std::strerror(errno_ ? errno_ : EIO);
}

void RunJournal::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RunJournal::remove() {
  close();
  if (path_.empty()) return true;
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return false;
  fs::syncFolderOf(path_);
  return true;
}

}  // namespace vx::import
