#include "import/RunLock.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::import {

namespace {

constexpr int kReopenAttempts = 16;

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

// "host\npid\nstart\n", as the holder wrote it; false while it is not all there yet.
bool readHolder(int fd, RunLock::Holder& holder) {
  char bytes[512] = {};
  const ssize_t n = ::pread(fd, bytes, sizeof bytes - 1, 0);
  if (n <= 0) return false;
  const std::string text(bytes, std::size_t(n));
  const auto first = text.find('\n');
  const auto second = first == std::string::npos ? first : text.find('\n', first + 1);
  const auto third = second == std::string::npos ? second : text.find('\n', second + 1);
  if (third == std::string::npos) return false;
  holder.host = text.substr(0, first);
  try {
    holder.since = std::time_t(std::stoll(text.substr(second + 1, third - second - 1)));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace

std::string RunLock::pathFor(const std::string& workfile) { return workfile + ".import-lock"; }

RunLock::~RunLock() { release(); }

RunLock::Result RunLock::acquire(const std::string& workfile) {
  release();
  path_ = pathFor(workfile);
  holder_ = {};
  for (int attempt = 1; attempt <= kReopenAttempts; ++attempt) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      error_ = "Cannot create " + path_ + ": " + std::strerror(errno);
      return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      if (err != EWOULDBLOCK) {
        ::close(fd);
        error_ = "Cannot lock " + path_ + ": " + std::strerror(err);
        return Result::Failed;
      }
      // The holder writes its name right after it took the lock: give it a moment.
      for (int i = 0; i < 50 && !readHolder(fd, holder_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ::close(fd);
      return Result::Busy;
    }
    // A run that ended removed the file while this one opened it: the lock is worth
    // something only on the file the name holds now.
    if (!fs::namesSameFile(fd, path_)) {
      ::close(fd);
      continue;
    }
    // Desks of other users share the folder: they must be able to open it too.
    ::fchmod(fd, 0666);
    const std::string text = hostName() + "\n" + std::to_string(::getpid()) + "\n" +
                             std::to_string(static_cast<long long>(std::time(nullptr))) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != ssize_t(text.size())) {
      error_ = "Cannot write " + path_ + ": " + std::strerror(errno);
      ::unlink(path_.c_str());
      ::close(fd);
      return Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
  }
  error_ = "Cannot lock " + path_ + ": it is replaced over and over";
  return Result::Failed;
}

void RunLock::release() {
  if (fd_ < 0) return;
  // Removed while still held: a run that opened it meanwhile finds, once it has the lock,
  // that the name no longer holds its file, and makes a new one.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
}

}  // namespace vx::import
