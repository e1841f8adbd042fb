#include "platform/LockWait.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vx {

namespace {

struct Wait {
  std::mutex mutex;
  std::condition_variable finished;
  int fd = -1;  // the helper's duplicate
  bool done = false;
  bool abandoned = false;
  int result = 0;
  int error = 0;
};

}  // namespace

bool lockWithin(int fd, int operation, std::chrono::milliseconds timeout) {
  if (::flock(fd, operation | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK || timeout.count() <= 0) return false;

  auto wait = std::make_shared<Wait>();
  wait->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (wait->fd < 0) return false;
  try {
    std::thread([wait, operation] {
      int result;
      do result = ::flock(wait->fd, operation);
      while (result != 0 && errno == EINTR);
      const int error = errno;
      std::lock_guard lock(wait->mutex);
      if (wait->abandoned) {
        if (result == 0) ::flock(wait->fd, LOCK_UN);
        ::close(wait->fd);
        return;
      }
      wait->done = true;
      wait->result = result;
      wait->error = error;
      wait->finished.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    ::close(wait->fd);
    errno = EAGAIN;
    return false;
  }

  std::unique_lock lock(wait->mutex);
  if (!wait->finished.wait_for(lock, timeout, [&] { return wait->done; })) {
    wait->abandoned = true;  // the helper closes its duplicate
    errno = EWOULDBLOCK;
    return false;
  }
  // The lock belongs to the open file description, which `fd` keeps open.
  ::close(wait->fd);
  if (wait->result != 0) {
    errno = wait->error;
    return false;
  }
  return true;
}

}  // namespace vx
